// The router image transfer and the router's UDP commands against a
// scripted router: the wire, the row's texts and "%" cells, the result text
// and the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "packages/PackageBuilder.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::Message;
using Lines = std::vector<std::string>;

const uint8_t kIp[4] = {127, 0, 0, 1};
const uint8_t kMac[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::string kRutBegin = "Sending RUT Begin Pkt";
const std::string kTransmitting = "Transmitting the upgrade data of the router module";
const std::string kWaiting = "Waiting for the upgrade of the router module";

// Marker, 29 magic characters (or zeros), the value little-endian, zeros.
Bytes ControlPacket(const std::string& magic, uint32_t value) {
  Bytes packet(40, 0);
  packet[0] = 0xFF;
  std::copy(magic.begin(), magic.end(), packet.begin() + 1);
  for (int i = 0; i < 4; ++i) packet[30 + i] = static_cast<uint8_t>(value >> (8 * i));
  return packet;
}

class RouterTest : public testing::Test {
 protected:
  RouterTest() {
    memcpy(m_Engine.m_RouterIp, kIp, 4);
    memcpy(m_Engine.m_RouterMac, kMac, 6);
  }
  // Log messages; the elapsed time of a result line reads "#".
  Lines Log() const {
    Lines lines = testsupport::LogMessages(m_Engine.m_Log.Pending());
    for (std::string& line : lines) {
      const size_t at = line.find("ElapsedTime = ");
      if (at != std::string::npos) line.replace(at + 14, line.find(' ', at + 14) - at - 14, "#");
    }
    return lines;
  }

  testsupport::TempDir m_Dir;
  testsupport::ScopedEnv m_TmpDir{"TMPDIR", m_Dir.Path().c_str()};
  testsupport::ScriptedLink m_Link;
  testsupport::RecordingList m_List;
  UpgradeEngine m_Engine{&m_List};
};

// ---- the image on the TCP connection

struct ImageCase {
  const char* m_Name;
  double m_Scale;
  ModuleKind m_Kind;
  std::vector<size_t> m_Units;  // data lengths
  // Frames the router sends when the image is in, each after its delay (ms).
  std::vector<std::pair<Bytes, uint32_t>> m_Answers;
  int m_FailWrites;  // writes that fail from the first (begin packets)
  int m_BreakAt;     // the connection breaks as the block before this one arrives (0: never)
  int m_TextId;  // 103: the image is accepted
  std::vector<size_t> m_Blocks;
  const char* m_Transfer;  // the row's "%" cells up to the result wait
  Lines m_Log;
  uint64_t m_MinMs = 0, m_MaxMs = 0;  // program time of the stage (0: unchecked)
  int m_WaitAtLeast = 0;              // the "%" shown last before the result is at least this
};

// Only the marker, the length and the value of a result count.
std::pair<Bytes, uint32_t> Result(uint32_t code, uint32_t delayMs) { return {ControlPacket("Result", code), delayMs}; }
const Lines kOk = {kRutBegin, kTransmitting, kWaiting, "TCP_GetRouterResult's ElapsedTime = # ms"};
const Lines kFail3 = {kRutBegin, kTransmitting, kWaiting, "TCP_GetRouterResult's ElapsedTime = # ms, Result = 3"};
const Lines kTimedOut = {kRutBegin, kTransmitting, kWaiting};
Bytes Junk(uint8_t marker, size_t length) {
  Bytes packet = ControlPacket("", ROUTER_RESULT_OK);
  packet[0] = marker;
  packet.resize(length, 0);
  return packet;
}

// At scale 200 a result sent 4 s after the image meets the wait with 20 real
// milliseconds to spare either side; the long waits run at 1000.
const ImageCase kImageCases[] = {
    {"OneBlock", 200, MODULE_BOOT, {7300}, {Result(4, 4000)}, 0, 0, 103, {7300}, "0% 100%", kOk},
    {"TwoBlocks", 200, MODULE_CUSTOMIZATION, {7301}, {Result(4, 4000)}, 0, 0, 103, {7300, 1},
     "0% 99% 100%", kOk},
    {"ThreeBlocks", 200, MODULE_APP, {20000}, {Result(4, 4000)}, 0, 0, 103, {7300, 7300, 5400},
     "0% 36% 73% 100%", kOk},
    {"AllUnitsAnnouncedTheFirstSent", 200, MODULE_BOOT, {5000, 3000}, {Result(4, 4000)}, 0, 0, 103, {5000},
     "0% 62%", kOk},
    {"ResultCode3", 200, MODULE_BOOT, {1000}, {Result(3, 4000)}, 0, 0, 122, {1000}, "0% 100%", kFail3},
    {"OtherFramesDoNotEndTheWait", 200, MODULE_BOOT, {1000},
     {{Junk(0xFF, 41), 2000}, {Junk(0xFE, 40), 2000}, Result(3, 4000)}, 0, 0, 122, {1000}, "0% 100%", kFail3},
    {"BeginPacketAtTheThirdTry", 200, MODULE_BOOT, {1000}, {Result(4, 4000)}, 2, 0, 103, {1000},
     "0% 100%", kOk, 200 + 2500},
    {"BeginPacketNotSent", 20, MODULE_BOOT, {1000}, {}, 3, 0, 120, {}, "0%", {kRutBegin}, 300, 2500},
    {"ConnectionLostAtBlock2", 200, MODULE_APP, {20000}, {}, 0, 2, 121, {7300}, "0% 36%",
     {kRutBegin, kTransmitting, "Router Block2 Transfer Fail: Connection reset by peer", ""}},
    {"BootResultAfter95s", 1000, MODULE_BOOT, {100}, {Result(4, 95000)}, 0, 0, 103, {100}, "0% 100%", kOk},
    {"AppResultAfter200s", 1000, MODULE_APP, {100}, {Result(4, 200000)}, 0, 0, 103, {100}, "0% 100%", kOk, 0, 0,
     60},
    {"BootResultAfter200sTimesOut", 1000, MODULE_BOOT, {100}, {Result(4, 200000)}, 0, 0, 123, {100},
     "0% 100%", kTimedOut, 2500 + 120000},
    {"AppResultAfter300sTimesOut", 1000, MODULE_APP, {100}, {Result(4, 300000)}, 0, 0, 123, {100},
     "0% 100%", kTimedOut, 2500 + 240000},
};

class RouterImageTest : public RouterTest, public testing::WithParamInterface<ImageCase> {};

TEST_P(RouterImageTest, WireRowAndLog) {
  const ImageCase& c = GetParam();
  Clock::SetScale(c.m_Scale);
  PackagePlan plan;
  plan.m_Kind = c.m_Kind;
  plan.m_Version = "9.9.9.9";
  uint32_t total = 0;
  for (size_t length : c.m_Units) {
    plan.m_Units.push_back({static_cast<uint32_t>(0x100000 * (plan.m_Units.size() + 1)),
                            testsupport::Pattern(length, static_cast<uint8_t>(length))});
    total += static_cast<uint32_t>(length);
  }
  UpgradePackage package;
  package.m_Path = m_Dir.File("router.bin");
  std::string reason;
  ASSERT_TRUE(WritePackageFile(plan, package.m_Path, &reason)) << reason;
  ASSERT_TRUE(package.Load());
  const Bytes image(package.UnitData(0), package.UnitData(0) + c.m_Units[0]);

  Bytes received;
  int blocks = 0;
  m_Link.SetScript([&](const Message& m) {
    if (m.m_Kind != PORT_TCP || m.m_Framed) return;
    received.insert(received.end(), m.m_Wire.begin(), m.m_Wire.end());
    if (++blocks + 1 == c.m_BreakAt) m_Link.Reset();
    if (received.size() != image.size()) return;
    for (const auto& [frame, delayMs] : c.m_Answers) m_Link.Answer(frame, delayMs, true);
  });
  ASSERT_TRUE(m_Engine.Connect());
  m_Link.FailWrites(PORT_TCP, c.m_FailWrites);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(m_Engine.UpgradeRouterImage(package), c.m_TextId == IDS_DOWNLOAD_OK);
  const uint64_t elapsed = Clock::TickCount() - start;

  EXPECT_EQ(m_Engine.m_ResultTextId, c.m_TextId);
  EXPECT_EQ(Log(), c.m_Log);
  std::vector<size_t> sizes;
  for (const Message& m : m_Link.Messages()) {
    if (m.m_Framed) {
      EXPECT_EQ(m.m_Payload, ControlPacket("Zyphex RUT Begin Download Pkt", total));
      EXPECT_EQ(m.m_Wire.front(), 0x7E) << "leading flag";
    } else {
      sizes.push_back(m.m_Wire.size());
    }
  }
  EXPECT_EQ(sizes, c.m_Blocks);
  if (c.m_TextId != 121) {
    EXPECT_EQ(received, c.m_Blocks.empty() ? Bytes{} : image);
  }

  Lines statuses;
  for (const std::string& line : c.m_Log) {
    if (line == kTransmitting || line == kWaiting) statuses.push_back(line);
  }
  EXPECT_EQ(m_List.Statuses(c.m_Kind), statuses);
  const bool waited = statuses.size() == 2;
  EXPECT_EQ(m_Engine.m_Channel.ReceiveThreadRunning(), waited) << "stopped from the begin packet to the result wait";

  // The transfer's shares of the total; the wait's rising shares of its limit, 100 with the result.
  const Lines cells = m_List.Cells(c.m_Kind, COL_PERCENT);
  std::string percents;
  for (const std::string& cell : cells) percents += (percents.empty() ? "" : " ") + cell;
  const size_t transfer = 1 + c.m_Blocks.size();
  EXPECT_EQ(percents.substr(0, strlen(c.m_Transfer)), c.m_Transfer);
  EXPECT_EQ(cells.size() > transfer, waited) << percents;
  for (size_t i = transfer; waited && i < cells.size(); ++i) {
    const int percent = atoi(cells[i].c_str());
    EXPECT_TRUE(i == transfer ? percent == 0 : percent > atoi(cells[i - 1].c_str())) << percents;
    EXPECT_TRUE(percent < 100 || i + 1 == cells.size()) << percents;
  }
  if (waited) {
    EXPECT_EQ(cells.back() == "100%", c.m_TextId != IDS_ROUTER_RESULT_TIMEOUT) << percents;
  }
  if (c.m_WaitAtLeast) {
    EXPECT_GE(atoi(cells[cells.size() - 2].c_str()), c.m_WaitAtLeast) << percents;
  }
  EXPECT_GE(elapsed, c.m_MinMs);
  if (c.m_MaxMs) {
    EXPECT_LT(elapsed, c.m_MaxMs);
  }
}

INSTANTIATE_TEST_SUITE_P(Images, RouterImageTest, testing::ValuesIn(kImageCases),
                         [](const testing::TestParamInfo<ImageCase>& info) { return info.param.m_Name; });

TEST_F(RouterTest, BeginPacketsOfEachType) {
  Clock::SetScale(1000);
  ASSERT_TRUE(m_Engine.Connect());
  const char* const kMagic[] = {"Zyphex RUT Begin Download Pkt", "Zyphex FWT Begin Download Pkt",
                                "Zyphex FWT Force Download Pkt", ""};
  for (int type = BEGIN_RUT; type <= 3; ++type) {
    SCOPED_TRACE(type);
    m_Engine.m_ForceLoad = 0;
    const uint64_t start = Clock::TickCount();
    EXPECT_TRUE(m_Engine.SendBeginPacket(type, 0x7E7D0102));  // flag and escape bytes arrive unchanged
    EXPECT_GE(Clock::TickCount() - start, 2500u) << "the router's time to get ready";
    EXPECT_EQ(m_Link.Payloads().back(), ControlPacket(kMagic[type], 0x7E7D0102));
    EXPECT_EQ(m_Engine.m_ForceLoad, type == BEGIN_FWT_FORCE);
  }
  EXPECT_EQ(Log(), (Lines{kRutBegin, "Sending FWT Begin Pkt", "Sending FWT Force Pkt"}));
}

// ---- the UDP commands

struct CommandCase {
  const char* m_Name;
  std::function<bool(UpgradeEngine&)> m_Call;
  bool m_Answered;  // the router echoes the record: the command succeeds
  uint8_t m_Code;
  size_t m_Requests;  // 0: not checked
  uint64_t m_MinMs;
  int m_ForceLoad;        // afterwards
  std::string m_Status;   // the firmware row's status afterwards
  Lines m_Log;
};

const auto kErase = [](UpgradeEngine& e) { return e.EraseRouterNvram(); };
const auto kEnter = [](UpgradeEngine& e) { return e.EnterForceLoad(); };
const auto kLeave = [](UpgradeEngine& e) {
  e.m_ForceLoad = 1;
  return e.LeaveForceLoad();
};
const auto kWait = [](UpgradeEngine& e) { return e.WaitForRouter(10000); };
const std::string kErasing = "Erasing the NVRAM of the router module";
const std::string kEntering = "Enter Forcing Download Mode ...";
const std::string kLeaving = "Leave Forcing Download Mode ...";

const CommandCase kCommandCases[] = {
    {"Erase", kErase, true, 6, 1, 0, 0, "", {kErasing}},
    {"EraseUnanswered", kErase, false, 6, 3, 3 * (4000 + 1000), 0, "", {kErasing}},
    {"EnterForceLoad", kEnter, true, 7, 1, 2000, 1, kEntering, {kEntering}},
    {"EnterForceLoadUnanswered", kEnter, false, 7, 1, 2000, 0, kEntering, {kEntering}},
    {"LeaveForceLoad", kLeave, true, 8, 1, 0, 1, "", {kLeaving}},
    {"LeaveForceLoadUnanswered", kLeave, false, 8, 1, 2000, 1, "", {kLeaving}},
    {"RouterPresent", kWait, true, 10, 1, 2000, 0, "", {}},
    {"RouterAbsent", kWait, false, 10, 0, 10001, 0, "", {}},
};

class RouterCommandTest : public RouterTest, public testing::WithParamInterface<CommandCase> {};

TEST_P(RouterCommandTest, RecordRowAndLog) {
  const CommandCase& c = GetParam();
  Clock::SetScale(1000);
  m_Link.SetScript([&](const Message& m) {
    if (c.m_Answered) m_Link.Answer(m.m_Payload);
  });
  m_Engine.m_Row = MODULE_FIRMWARE;
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(c.m_Call(m_Engine), c.m_Answered);
  EXPECT_GE(Clock::TickCount() - start, c.m_MinMs);
  EXPECT_EQ(m_Engine.m_ForceLoad, c.m_ForceLoad);
  EXPECT_EQ(m_Engine.m_ResultTextId, IDS_DOWNLOAD_OK) << "no result text of its own";
  EXPECT_EQ(m_List.LastStatus(MODULE_FIRMWARE), c.m_Status);
  EXPECT_EQ(Log(), c.m_Log);
  // code, the router's address and MAC, zeros; to the router's port 1280
  Bytes record = {c.m_Code, 127, 0, 0, 1, 0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  record.resize(32, 0);
  const std::vector<Message> messages = m_Link.Messages();
  if (c.m_Requests) {
    EXPECT_EQ(messages.size(), c.m_Requests);
  }
  for (const Message& m : messages) {
    EXPECT_EQ(m.m_Kind, PORT_UDP);
    EXPECT_EQ(m.m_Payload, record);
    EXPECT_EQ(m.m_Address + ":" + std::to_string(m.m_Port), "127.0.0.1:1280");
  }
  EXPECT_EQ(m_Link.OpenPorts(PORT_UDP), 0) << "every client closes its port";
}

INSTANTIATE_TEST_SUITE_P(Commands, RouterCommandTest, testing::ValuesIn(kCommandCases),
                         [](const testing::TestParamInfo<CommandCase>& info) { return info.param.m_Name; });

}  // namespace
