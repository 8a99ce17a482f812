// The router image transfer and the router's UDP commands against a
// scripted router: the wire, the row's texts and "%" cells, the result text
// and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <regex>

#include "model/StringIds.h"
#include "log/Notice.h"
#include "net/PortFactory.h"
#include "net/TcpPort.h"
#include "packages/PackageBuilder.h"
#include "router/RouterUdpClient.h"
#include "router/RouterUpgrade.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;
using Lines = std::vector<std::string>;

constexpr uint8_t LOOPBACK[4] = {127, 0, 0, 1}, MAC[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::string kRutBegin = "Sending RUT Begin Pkt";
const std::string kTransmitting = "Transmitting the upgrade data of the router module";
const std::string kWaiting = "Waiting for the upgrade of the router module";

// Marker, 29 magic characters (or zeros), the value little-endian, zeros.
Bytes ControlPacket(const std::string& magic, uint32_t value, size_t length = 40, uint8_t marker = 0xFF) {
  Bytes packet(length, 0);
  packet[0] = marker;
  std::copy(magic.begin(), magic.end(), packet.begin() + 1);
  for (int i = 0; i < 4; ++i) packet[30 + i] = static_cast<uint8_t>(value >> (8 * i));
  return packet;
}

// The router's side over a connection through interface qelx to a scripted
// router at 127.0.0.1, as the engine has it.
struct RouterTest : testing::Test {
  RouterTest() {
    RouterInfo router{.m_Interface = "qelx"};
    memcpy(router.m_Ip, LOOPBACK, 4);
    memcpy(router.m_Mac, MAC, 6);
    m_Router.SetRouter(router, ROUTER_UDP_PORT, {.m_MakePort = m_Link.Maker(), .m_Interface = "qelx"});
  }
  bool Connect() {
    if (!m_Channel.Open("127.0.0.1", ROUTER_UDP_PORT, PORT_TCP, "qelx")) return false;
    m_Channel.StartReceiveThread();
    return true;
  }
  // Writes and loads m_Package: units of these data lengths at 0x100000.
  void MakePackage(ModuleKind kind, const std::vector<size_t>& lengths) {
    PackagePlan plan;
    plan.m_Kind = kind;
    for (size_t n : lengths) plan.m_Units.push_back({0x100000, Pattern(n, uint8_t(n))});
    m_Package.SetPath(m_Dir.File("router.bin"));
    ASSERT_TRUE(WritePackageFile(plan, m_Package.Path(), nullptr));
    ASSERT_TRUE(m_Package.Load());
  }
  // Log messages; the elapsed time of a result line reads "#".
  Lines Log() const {
    Lines lines = LogMessages(ReadLog(m_Log.FilePath()));
    for (std::string& line : lines) line = std::regex_replace(line, std::regex("Time = [0-9]+"), "Time = #");
    return lines;
  }

  TempDir m_Dir;
  ScopedLogFolder m_TmpDir{m_Dir.Path()};
  ScriptedLink m_Link;
  RecordingView m_View;
  PortChannel m_Channel{m_Link.Maker()};
  UpgradeLog m_Log;
  int m_Result = IDS_DOWNLOAD_OK;
  CRouterUpgrade m_Router{m_Channel, m_Log, m_View, &m_Result};
  UpgradePackage m_Package;
};

struct ImageCase {
  const char* m_Name;
  ModuleKind m_Kind;
  std::vector<size_t> m_Units, m_Blocks;  // data lengths; the blocks sent
  uint32_t m_Result, m_ResultMs;          // the code the router sends that long after the image (0 ms: none)
  int m_FailWrites, m_TextId;             // writes that fail from the first (begin packets); 103: the image is accepted
  const char* m_Transfer;                 // the row's "%" cells up to the result wait
  Lines m_Log;
  uint64_t m_MinMs = 0;  // program time of the stage
};

const Lines kOk = {kRutBegin, kTransmitting, kWaiting, "TCP_GetRouterResult's ElapsedTime = # ms"};
const Lines kTimedOut = {kRutBegin, kTransmitting, kWaiting};

// At scale 200 a result 40 s after the image comes 200 real ms later, long
// after the wait for it began, and a late one 400 real ms after the time-out.
const ImageCase kImageCases[] = {
    {"OneBlockAndTheBeginPacketAtTheThirdTry", MODULE_BOOT, {7300}, {7300}, 4, 40000, 2, 103, "0% 100% ", kOk, 2700},
    {"TwoBlocks", MODULE_CUSTOMIZATION, {7301}, {7300, 1}, 4, 40000, 0, 103, "0% 99% 100% ", kOk},
    {"AllUnitsAnnouncedTheFirstSent", MODULE_BOOT, {5000, 3000}, {5000}, 4, 40000, 0, 103, "0% 62% ", kOk},
    {"ResultCodeOtherThan4", MODULE_BOOT, {1000}, {1000}, 0x01020003, 40000, 0, 122, "0% 100% ",
     {kRutBegin, kTransmitting, kWaiting, "TCP_GetRouterResult's ElapsedTime = # ms, Result = 16908291"}},
    {"BeginPacketNotSent", MODULE_BOOT, {1000}, {}, 4, 40000, 3, 120, "0% ", {kRutBegin}, 300},
    {"BootResultAfter200sTimesOut", MODULE_BOOT, {100}, {100}, 4, 200000, 0, 123, "0% 100% ", kTimedOut, 122500},
    {"AppWithoutResultTimesOut", MODULE_APP, {100}, {100}, 4, 0, 0, 123, "0% 100% ", kTimedOut, 242500},
};

class RouterImageTest : public RouterTest, public testing::WithParamInterface<ImageCase> {};

TEST_P(RouterImageTest, WireRowAndLog) {
  const ImageCase& c = GetParam();
  testsupport::ScopedClockScale clock(200);
  ASSERT_NO_FATAL_FAILURE(MakePackage(c.m_Kind, c.m_Units));
  const Bytes image(m_Package.UnitData(0), m_Package.UnitData(0) + c.m_Units[0]);
  // With the image in, two frames that are no result (one byte too long, a
  // wrong marker), then the result: only its marker, length and value count.
  Bytes received;
  m_Link.SetScript([&](const Message& m) {
    if (m.m_Kind != PORT_TCP || m.m_Framed) return;
    received.insert(received.end(), m.m_Wire.begin(), m.m_Wire.end());
    if (received.size() != image.size()) return;
    m_Link.Answer(ControlPacket("", ROUTER_RESULT_OK, 41), 20000, true);
    m_Link.Answer(ControlPacket("", ROUTER_RESULT_OK, 40, 0xFE), 20000, true);
    if (c.m_ResultMs) m_Link.Answer(ControlPacket("Result", c.m_Result), c.m_ResultMs, true);
  });
  ASSERT_TRUE(Connect());
  m_Link.FailWrites(PORT_TCP, c.m_FailWrites);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(m_Router.UpgradeImage(m_Package), c.m_TextId == IDS_DOWNLOAD_OK);
  EXPECT_GE(Clock::TickCount() - start, c.m_MinMs);
  EXPECT_EQ(m_Result, c.m_TextId);
  // The statuses go to the row (whose display logs them too), the rest to the log.
  Lines statuses, lines;
  for (const std::string& line : c.m_Log) (line == kTransmitting || line == kWaiting ? statuses : lines).push_back(line);
  EXPECT_EQ(std::pair(Log(), m_View.Statuses()), std::pair(lines, statuses));
  std::vector<size_t> sizes;
  const Bytes begin = ControlPacket("Zyphex RUT Begin Download Pkt", std::accumulate(c.m_Units.begin(), c.m_Units.end(), 0u));
  for (const Message& m : m_Link.Messages())
    if (!m.m_Framed) sizes.push_back(m.m_Wire.size());
    else EXPECT_EQ(m.m_Wire, Frame(begin, true)) << "with leading flag";
  EXPECT_EQ(sizes, c.m_Blocks);
  EXPECT_TRUE(std::equal(received.begin(), received.end(), image.begin()));
  // The transfer's shares of the total; then, from the begin packet to the
  // result wait without receive thread, the wait's shares of its limit from
  // 0, and 100 once a result came.
  const Lines cells = m_View.Percents();
  std::string transfer, wait;
  for (size_t i = 0; i < cells.size(); ++i) (i <= c.m_Blocks.size() ? transfer : wait) += cells[i] + " ";
  EXPECT_EQ(transfer, c.m_Transfer);
  const bool waited = c.m_Log.size() > 2;
  EXPECT_EQ(m_Channel.ReceiveThreadRunning(), waited);
  EXPECT_EQ(wait.rfind("0% ", 0) == 0, waited) << wait;
  for (size_t i = c.m_Blocks.size() + 2; i < cells.size(); ++i) {
    EXPECT_GE(std::stoi(cells[i]), std::stoi(cells[i - 1])) << wait;
    EXPECT_EQ(cells[i] == "100%", i + 1 == cells.size() && c.m_TextId != IDS_ROUTER_RESULT_TIMEOUT) << wait;
  }
  if (c.m_TextId == IDS_ROUTER_RESULT_TIMEOUT) { EXPECT_GT(std::stoi(cells.back()), 0) << wait; }
}

INSTANTIATE_TEST_SUITE_P(Images, RouterImageTest, testing::ValuesIn(kImageCases),
                         [](const testing::TestParamInfo<ImageCase>& info) { return info.param.m_Name; });

// The first image's result comes while the receive thread starts, before the
// wait for it begins, and answers it at once, before a copy of it comes. The
// copy, kept meanwhile, answers no later image, which waits for its own
// (code 3). At this scale the thread's start takes 10 real ms, and the copy
// comes 190 real ms after it.
TEST_F(RouterTest, AnEarlyResultAnswersItsImageOnly) {
  testsupport::ScopedClockScale clock(10);
  ASSERT_NO_FATAL_FAILURE(MakePackage(MODULE_BOOT, {100}));
  bool first = true;
  m_Link.SetScript([&](const Message& m) {
    if (m.m_Kind != PORT_TCP || m.m_Framed) return;
    for (uint32_t ms : {1, 2000}) if (first) m_Link.Answer(ControlPacket("", ROUTER_RESULT_OK), ms, true);
    if (!first) m_Link.Answer(ControlPacket("", 3), 3000, true);
    first = false;
  });
  ASSERT_TRUE(Connect());
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(m_Router.UpgradeImage(m_Package));
  EXPECT_LT(Clock::TickCount() - start, BEGIN_READY_PAUSE_MS + 1500u) << "answered before the copy came";
  Clock::Sleep(3000);  // the copy is queued meanwhile
  EXPECT_FALSE(m_Router.UpgradeImage(m_Package));
  EXPECT_EQ(m_Result, IDS_ROUTER_RESULT_FAIL);
}

// The firmware stage's begin packets; then the UDP commands: each sends its
// record (code, the router's address and MAC, zeros) to the router's port
// 1280 and succeeds only on its echo, whole and unchanged.
TEST_F(RouterTest, BeginPacketsAndCommands) {
  testsupport::ScopedClockScale clock(1000);
  ASSERT_TRUE(Connect());
  const char* const kMagic[] = {"Zyphex FWT Begin Download Pkt", "Zyphex FWT Force Download Pkt", ""};
  for (int type = BEGIN_FWT; type <= 3; ++type) {
    EXPECT_TRUE(m_Router.SendBeginPacket(type, 0x7E7D0102));  // flag and escape bytes arrive unchanged
    EXPECT_EQ(m_Link.Payloads().back(), ControlPacket(kMagic[type - 1], 0x7E7D0102));
    EXPECT_EQ(m_Router.ForceLoad(), type >= BEGIN_FWT_FORCE) << type;
  }
  // Where the system will not tie a port to the interface, one line says so
  // and the commands go all the same.
  m_Link.RefuseInterfaces(EPERM);
  int answer = 1;  // 0: silent, 1: the echo, 2: the echo a byte short, 3: the echo with its last byte changed
  m_Link.SetScript([&](const Message& m) {
    Bytes echo = m.m_Payload;
    if (answer == 2) echo.pop_back();
    if (answer == 3) echo.back() ^= 1;
    if (answer) m_Link.Answer(echo);
  });
  using Call = std::function<bool()>;
  const Call erase = [&] { return m_Router.EraseNvram(); }, enter = [&] { return m_Router.EnterForceLoad(); };
  const Call leave = [&] { return m_Router.LeaveForceLoad(); }, wait = [&] { return m_Router.WaitForRouter(10000); };
  struct Step { int answer; Call call; uint8_t code; size_t requests; uint64_t minMs; };  // requests 0: unchecked
  const Step steps[] = {{1, erase, 6, 1, 0}, {1, enter, 7, 1, 2000}, {1, leave, 8, 1, 0}, {1, wait, 10, 1, 2000},
                        {2, leave, 8, 1, 0}, {3, leave, 8, 1, 0}, {0, erase, 6, 3, 3 * (4000 + 1000)},
                        {0, enter, 7, 1, 2000}, {0, wait, 10, 0, 10001}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.code) + " " + std::to_string(s.answer));
    answer = s.answer;
    m_Router.ClearForceLoad();
    const size_t before = m_Link.Messages().size();
    const uint64_t start = Clock::TickCount();
    EXPECT_EQ(s.call(), s.answer == 1);
    EXPECT_GE(Clock::TickCount() - start, s.minMs);
    EXPECT_EQ(m_Router.ForceLoad(), s.answer == 1 && s.code == ROUTER_CMD_ENTER_FORCE_LOAD);
    Bytes record = {s.code, 127, 0, 0, 1, 0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    record.resize(32, 0);
    const std::vector<Message> sent = m_Link.Messages();
    if (s.requests) { EXPECT_EQ(sent.size() - before, s.requests); }
    for (size_t i = before; i < sent.size(); ++i)
      EXPECT_EQ(sent[i].m_Address + ":" + std::to_string(sent[i].m_Port) + "@" + sent[i].m_Interface +
                    testing::PrintToString(sent[i].m_Payload),
                "127.0.0.1:1280@qelx" + testing::PrintToString(record));
    EXPECT_EQ(m_Link.OpenPorts(PORT_UDP), 0) << "every client closes its port";
  }
  EXPECT_EQ(m_Result, IDS_DOWNLOAD_OK) << "no result text of their own";
  const std::string erasing = "Erasing the NVRAM of the router module", entering = "Enter Forcing Download Mode ...",
                    leaving = "Leave Forcing Download Mode ...";
  const std::string refused = "Cannot bind to interface qelx (" + SystemMessage(EPERM) + "): the routing table picks the way to the router";
  EXPECT_EQ(Log(), (Lines{"Sending FWT Begin Pkt", "Sending FWT Force Pkt", refused, leaving, leaving, leaving}));
  EXPECT_EQ(m_View.Statuses(), (Lines{erasing, entering, erasing, entering}));
  // A client whose port cannot be set up shows a notice and sends nothing: a
  // TCP port refuses the limited broadcast, and nobody listens on the free port.
  RecordingNotices notices;
  const RouterLink tcpPorts{.m_MakePort = [](int) { return std::make_unique<CTcpPort>(); }, .m_Notices = &notices};
  EXPECT_FALSE(RouterUdpClient(BROADCAST_IP, 1280, tcpPorts).PortReady());
  RouterUdpClient unopened(LOOPBACK, FreePort(), tcpPorts);
  EXPECT_FALSE(unopened.PortReady());
  EXPECT_FALSE(unopened.SendDiscovery(0));
  EXPECT_FALSE(unopened.Exchange(100));
  EXPECT_EQ(notices.Texts(), (Lines{"m_UdpPort.SetConfig() failed", "m_UdpPort.Open() failed"}));
}

}  // namespace
