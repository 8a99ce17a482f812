// The engine: how it shows its work in the rows; whole upgrade passes over a
// scripted gateway that runs the simulator's module and router UDP service
// (which rows run and in which order, every path and fault of the wireless
// stages and their waits, what ends a pass early, how every pass ends); and
// a gateway that misbehaves at each step of the Check and of the stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "app/CheckProcedure.h"
#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "packages/PackageBuilder.h"
#include "platform/SystemError.h"
#include "sim/RouterTcpProtocol.h"
#include "sim/RouterUdpService.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;

using Lines = std::vector<std::string>;
constexpr ModuleKind BOOT = MODULE_BOOT, APP = MODULE_APP, CUSTOM = MODULE_CUSTOMIZATION, FW = MODULE_FIRMWARE,
                     DASH = MODULE_DASHBOARD;

// What the gateway sends for an answer: the answer itself; or, misbehaving,
// nothing, garbage, a run of 1500 bytes without a flag, 60 unrequested
// frames before the answer, the answer with a good check value but its bytes
// from the fifth on inverted, cut to half or 100 bytes longer, a datagram of
// 600 bytes or of none, a reset of the connection, the answer one byte every
// 100 ms; or the answer, after which the next 3 writes of the program on
// that port fail.
enum Misbehaviour { ANSWER, SILENT, GARBAGE, LONG_RUN, BURST, WRONG, SHORT, LONG, OVERSIZED, EMPTY, RESET, DRIP, FAIL_WRITES };

// After the first m_After answers, the next m_Times answers to the request
// of that simulator name misbehave.
struct Misbehaving { std::string m_Request; Misbehaviour m_What; int m_Times = 1, m_After = 0; };

// The simulator's router (its UDP service and TCP protocol) and wireless
// module, answering the program's ports over a ScriptedLink on the program
// clock. Requests, images and written memory land in m_Recorder under the
// simulator's names. The program sends its router images in one block, so
// an image never ends here by going idle.
struct ScriptedGateway {
  ScriptedGateway(const SimOptions& options, std::vector<Misbehaving> faults)
      : m_Options(options), m_Faults(std::move(faults)), m_Module(m_Options, &m_Router, &m_Recorder),
        m_Udp(m_Options, m_Options.m_Ip, &m_Router, &m_Module, &m_Recorder), m_Tcp(m_Options, &m_Router, &m_Module, &m_Recorder),
        m_Link([this](const Message& message) { Serve(message); }) {}

  // The request names in order without the pings, a run of one name as "name*count".
  std::string Conversation() const {
    std::vector<std::pair<std::string, int>> runs;
    for (const SimEvent& event : m_Recorder.Events()) {
      if (event.m_Name == "ping") continue;
      if (runs.empty() || runs.back().first != event.m_Name) runs.emplace_back(event.m_Name, 0);
      ++runs.back().second;
    }
    std::string text;
    for (const auto& [name, count] : runs) text += (text.empty() ? "" : " ") + name + (count > 1 ? "*" + std::to_string(count) : "");
    return text;
  }

  void Serve(const Message& message) {
    std::lock_guard<std::mutex> hold(m_Lock);
    const SimTime now = SimClock::now();
    if (message.m_Kind == PORT_UDP) {
      if (!message.m_Framed) return;
      Bytes answer = m_Udp.Answer(message.m_Payload, now);  // records the request, so before its name is read
      Send(m_Recorder.Events().back().m_Name, std::move(answer), PORT_UDP, 0);
      return;
    }
    Bytes answer;
    bool reset = false;
    const Bytes& wire = message.m_Wire;
    for (size_t at = 0; at < wire.size() && !reset;) at += m_Tcp.Receive(&wire[at], wire.size() - at, now, &answer, &reset);
    if (reset) { m_Tcp.EndConnection(); m_Link.Reset(); return; }
    if (message.m_Framed) Send(m_Recorder.Events().back().m_Name, answer, PORT_TCP, 0);  // not an image's bytes
    if (const SimTime due = m_Tcp.ResultDue(); due != SIM_NEVER) {
      Bytes result;
      m_Tcp.OnTimer(due, &result);
      const double delayMs = std::chrono::duration<double, std::milli>(due - now).count() * m_Options.m_TimeScale;
      Send("rut-image", result, PORT_TCP, static_cast<uint32_t>(std::lround(delayMs)));
    }
  }

  // What takes the place of this answer to the request.
  Misbehaviour Misbehaves(const std::string& request) {
    const int answer = m_Answers[request]++;  // the answers to the request before this one
    for (const Misbehaving& f : m_Faults)
      if (f.m_Request == request) return answer >= f.m_After && answer < f.m_After + f.m_Times ? f.m_What : ANSWER;
    return ANSWER;
  }

  // The answer (a frame, or nothing) to the request, or what a misbehaviour puts in its place.
  void Send(const std::string& request, Bytes answer, int kind, uint32_t delayMs) {
    const auto send = [&](const Bytes& bytes, uint32_t laterMs = 0) { m_Link.AnswerRaw(bytes, delayMs + laterMs, kind); };
    const Misbehaviour what = Misbehaves(request);
    Bytes payload = Unframe(answer);
    switch (what) {
      case ANSWER: break;
      case SILENT: return;
      case RESET: m_Link.Reset(); return;
      case EMPTY: send({}); return;
      case DRIP: for (size_t i = 0; i < answer.size(); ++i) send({answer[i]}, 100 * static_cast<uint32_t>(i + 1)); return;
      case GARBAGE: answer.resize(300); for (size_t i = 0; i < 300; ++i) answer[i] = static_cast<uint8_t>(i * 37 + 11); break;
      case LONG_RUN: answer = Bytes(1500, 0x31); break;
      case OVERSIZED: answer = Bytes(600, 0x41); break;
      case BURST: for (int i = 0; i < 60; ++i) send(Frame({0x55, static_cast<uint8_t>(i)}, true)); break;
      case WRONG: for (size_t i = 4; i < payload.size(); ++i) payload[i] ^= 0xFF; break;
      case SHORT: payload.resize(payload.size() / 2); break;
      case LONG: payload.resize(payload.size() + 100); break;
      case FAIL_WRITES: m_Link.FailWrites(kind, 3); break;
    }
    if (what == WRONG || what == SHORT || what == LONG) answer = Frame(payload, true);
    if (!answer.empty()) send(answer);
  }

  const SimOptions m_Options;
  const std::vector<Misbehaving> m_Faults;
  std::map<std::string, int> m_Answers;
  std::mutex m_Lock;
  RouterState m_Router;
  SimRecorder m_Recorder{"", true};
  WirelessModule m_Module;
  RouterUdpService m_Udp;
  RouterTcpProtocol m_Tcp;
  ScriptedLink m_Link;
};

// Hears a pass row by row, as "start 3", "status 3 text", "% 3 45",
// "bytes 3 done/total", "end 3 ok|failed id seconds text" and "pass end".
struct RecordingEvents : IUpgradeEvents {
  void OnRowStart(ModuleKind row) override { Add("start " + std::to_string(row)); }
  void OnRowStatus(ModuleKind row, const std::string& text) override { Add("status " + std::to_string(row) + " " + text); }
  void OnRowProgress(ModuleKind row, int percent) override { Add("% " + std::to_string(row) + " " + std::to_string(percent)); }
  void OnRowTransfer(ModuleKind row, uint64_t done, uint64_t total) override {
    Add("bytes " + std::to_string(row) + " " + std::to_string(done) + "/" + std::to_string(total));
  }
  void OnRowEnd(const RowOutcome& o) override {
    m_Outcomes.push_back(o);
    Add("end " + std::to_string(o.m_Row) + (o.m_Succeeded ? " ok " : " failed ") + std::to_string(o.m_ResultTextId) + " " +
        std::to_string(o.m_ElapsedSeconds) + " " + o.m_Text);
  }
  void OnPassEnd() override {
    Add("pass end");
    m_OnPassEnd();
  }
  void Add(const std::string& line) { m_Lines.push_back(line); }
  Lines m_Lines;
  std::vector<RowOutcome> m_Outcomes;
  std::function<void()> m_OnPassEnd = [] {};
};

// An engine aimed at a scripted gateway as a Check leaves it (router address
// and MAC known), packages in its own module table, rows recorded, its log in
// a scratch TMPDIR. Program time runs 50 times faster: the protocol's 3 s
// time-outs last 60 real milliseconds, room enough on a busy machine.
class GatewayTest : public ::testing::Test {
 protected:
  GatewayTest() {
    const uint8_t ip[4] = {127, 1, 2, 3};  // each octet in its place
    std::memcpy(m_Options.m_Ip, ip, 4);
    m_Options.m_TimeScale = Clock::Scale();  // the gateway's delays last as long on the program clock
    m_Options.m_RestartMs = 3000;
    m_Options.m_InstallMs = 10000;  // as a router does: the result comes after the tool listened for it a while
  }

  // Adds the packages, starts the gateway with m_Options and makes the engine (not connected).
  UpgradeEngine& Start(const std::vector<ModuleKind>& selected, const std::vector<Misbehaving>& faults) {
    for (ModuleKind kind : selected) AddPackage(kind);
    m_Gateway = std::make_unique<ScriptedGateway>(m_Options, faults);
    m_Engine = std::make_unique<UpgradeEngine>(EngineSetup{.m_List = &m_List, .m_Table = &m_Table,
                                                           .m_MakePort = m_Gateway->m_Link.Maker(), .m_Notices = &m_Notices,
                                                           .m_Events = &m_Events});
    RouterInfo router;
    std::memcpy(router.m_Ip, m_Options.m_Ip, 4);
    std::memcpy(router.m_Mac, m_Options.m_Mac, 6);
    m_Engine->SetRouter(router);
    return *m_Engine;
  }

  // Writes the kind's package and selects its row: a router image of 3000
  // bytes; the firmware as blocks of 4096 and 1 bytes at 0x100000 (49 %,
  // 50 %) and one of 4096 at 0x300000 (100 %); the dashboard as 4096 and 1904
  // bytes at 0x800000 (68 %, 100 %).
  void AddPackage(ModuleKind kind) {
    const std::vector<std::pair<uint32_t, size_t>> units[] = {
        {{0, 3000}}, {{0x100000, 3000}}, {{0x200000, 3000}}, {{0x100000, 4097}, {0x300000, 4096}}, {{0x800000, 6000}}};
    PackagePlan plan;
    plan.m_Kind = kind;
    for (const auto& [address, length] : units[kind])
      plan.m_Units.push_back({address, Pattern(length, static_cast<uint8_t>(kind * 40 + (address >> 20)))});
    ModuleEntry& entry = m_Table[kind];
    entry.m_Package.SetPath(m_Dir.File("pkg" + std::to_string(kind) + ".bin"));
    ASSERT_TRUE(WritePackageFile(plan, entry.m_Package.Path(), nullptr));
    ASSERT_TRUE(entry.m_Package.Load());
    entry.m_VersionMatch = 1;
  }

  ScopedClockScale m_Clock{50};
  SimOptions m_Options;
  TempDir m_Dir;
  ScopedLogFolder m_TmpDir{m_Dir.Path()};
  RecordingList m_List;
  ModuleTable m_Table;
  RecordingNotices m_Notices;
  RecordingEvents m_Events;
  std::unique_ptr<ScriptedGateway> m_Gateway;
  std::unique_ptr<UpgradeEngine> m_Engine;
};

// What the rows show and the events tell: status texts with their colour
// (ids without a text show nothing; each text is also logged and fitted),
// the "%" once per value and row until the rows are made anew, and the
// result with the minutes and seconds since the stage began (within the
// hour, never below zero; the clock may tick over while it runs).
TEST_F(GatewayTest, RowDisplayShowsStatusProgressAndResult) {
  RecordingEvents events;
  UpgradeLog log;
  CRowDisplay display(&m_List, &events, log);
  display.SetRow(FW);
  for (int id : {104, 0, int{IDS_BACKING_UP_NV}}) display.ShowStatusId(id);  // 104: an id without a text
  for (int percent : {0, 0, 45, 45}) display.ShowProgress(percent);
  display.ShowProgress(uint64_t{1} << 40, uint64_t{3} << 40);  // no wrap
  display.StartTransfer(8);
  display.ShowTransfer(8, 8);
  display.SetRow(APP);
  display.ShowProgress(100);
  display.ForgetProgress();
  display.ShowProgress(100);
  display.SetRow(MODULE_NONE);  // as during the erase: no row changes, the status is still fitted
  const size_t fitted = m_List.Changes().size();
  display.ShowStatusId(IDS_BACKING_UP_NV);
  display.ShowProgress(10);
  EXPECT_EQ(m_List.Changes().size(), fitted + 1);
  EXPECT_EQ(m_List.Statuses(FW), Lines{"Backing up the NV"});
  EXPECT_EQ(m_List.Statuses(-1), Lines(2, "Backing up the NV")) << "fitted";
  EXPECT_EQ(m_List.LastColour(FW), COLOUR_BLACK);
  EXPECT_EQ(m_List.Cells(FW, COL_PERCENT), (Lines{"0%", "45%", "33%", "100%"}));
  EXPECT_EQ(m_List.Cells(APP, COL_PERCENT), (Lines{"100%", "100%"}));
  EXPECT_EQ(events.m_Lines, (Lines{"start 3", "status 3 Backing up the NV", "% 3 0", "% 3 45", "% 3 33", "bytes 3 0/8",
                                   "bytes 3 8/8", "% 3 100", "start 1", "% 1 100", "% 1 100"}));
  // The result shows wall-clock seconds as the program's clock counts them:
  // an hour passes in a few real milliseconds (and a real microsecond is a
  // second), so the time shown is held against the clock read around it.
  ScopedClockScale fast(1e6);
  for (const auto& [seconds, id] : {std::pair{3665, IDS_DOWNLOAD_OK}, {59, IDS_DOWNLOAD_FAILED}}) {
    SCOPED_TRACE(seconds);
    RecordingEvents events;
    CRowDisplay display(&m_List, &events, log);
    display.SetRow(DASH);
    const time_t begin = Clock::WallSeconds();
    display.StartStage();
    Clock::Sleep(seconds * 1000);
    const time_t resultAt = Clock::WallSeconds();
    const int64_t least = resultAt - begin - 1;
    const size_t changes = m_List.Changes().size();
    display.ShowResult(id);
    const int64_t most = Clock::WallSeconds() - begin;
    EXPECT_EQ(m_List.Changes().size(), changes + 3);  // colour, text, fit
    ASSERT_EQ(events.m_Outcomes.size(), 1u);
    const RowOutcome& outcome = events.m_Outcomes[0];
    const int64_t elapsed = outcome.m_ElapsedSeconds;
    EXPECT_TRUE(elapsed >= least && elapsed <= most) << elapsed << " not in " << least << "-" << most;
    // Minutes within the hour.
    char time[32];
    snprintf(time, sizeof time, " (%02d:%02d)", static_cast<int>(elapsed / 60 % 60), static_cast<int>(elapsed % 60));
    const std::string shown = LoadStringId(id) + std::string(time);
    EXPECT_EQ(std::tuple(m_List.LastStatus(DASH), LogMessages(ReadLog(log.FilePath())).back(), m_List.LastColour(DASH)),
              std::tuple(shown, shown, id == IDS_DOWNLOAD_OK ? COLOUR_BLUE : COLOUR_RED));
    EXPECT_EQ(std::tuple(outcome.m_Row, outcome.m_Succeeded, outcome.m_ResultTextId, outcome.m_Text),
              std::tuple(DASH, id == IDS_DOWNLOAD_OK, id, shown));
    display.ShowResult(id);
    EXPECT_LE(events.m_Outcomes.back().m_ElapsedSeconds, Clock::WallSeconds() - resultAt) << "the next stage's time starts then";
  }
}

constexpr int FORCE = 0;  // the forcing download mode's status, which has no id
enum Reach { CONNECTS, NO_ADDRESS, REFUSED };

struct Pass {
  const char* m_Name;
  std::vector<ModuleKind> m_Selected;
  SimFaults m_Faults = {};
  std::vector<Misbehaving> m_Misbehaving = {};
  std::vector<int> m_Results = {};   // the selected rows' result ids in order; the pass leaves the rows after alone
  std::vector<int> m_Statuses = {}, m_Percents = {};  // the row it ends at, if wireless: its status ids before the result, its "%" cells
  const char* m_Conversation = "";   // the requests the gateway received but the pings
  Lines m_Log = {};                  // lines the log holds in this order
  uint64_t m_AtLeastMs = 0;          // program time the pass takes at least
  Reach m_Reach = CONNECTS;
};

// The packages are those of GatewayTest::AddPackage.
const std::vector<int> kFirmwarePercents = {0, 49, 50, 100, 0, 30, 50, 70, 100}, kDashboardPercents = {68, 100, 0, 30, 50, 70, 100};
constexpr int OK = IDS_DOWNLOAD_OK;
const std::vector<int> kFirmwareFromTheDownloader = {IDS_UNLOCKING, IDS_DOWNLOADING_FIRMWARE, IDS_RESTARTING,
                                                     IDS_PREPARING_WIRELESS, IDS_CHECK_NV_RESTORE};
const Pass kPasses[] = {
    // The firmware's restart wait is answered by its third handshake.
    {.m_Name = "AllFiveRowsInOrder", .m_Selected = {BOOT, APP, CUSTOM, FW, DASH}, .m_Misbehaving = {{"handshake", SILENT, 6, 1}},
     .m_Results = {OK, OK, OK, OK, OK}, .m_Statuses = {IDS_OFFLINE_MODE, IDS_SWITCHING, IDS_PREPARING_WIRELESS, IDS_UNLOCKING,
                                                       IDS_DOWNLOADING_DASHBOARD, IDS_RESTARTING, IDS_PREPARING_WIRELESS},
     .m_Percents = {0, 30, 50, 70, 100, 68, 100, 0, 30, 50, 70, 100},
     .m_Conversation = "rut-begin rut-image rut-begin rut-image rut-begin rut-image erase-nvram handshake nv-backup change-mode "
                       "fwt-begin switch-downloader handshake*7 flag unlock write*3 reset handshake restore-status board-version "
                       "handshake change-mode fwt-begin switch-downloader handshake flag unlock write*2 reset handshake "
                       "iso-version leave-force-load",
     .m_Log = {"Sending FWT Begin Pkt", "Switching to the downloading mode", "DIAG_HandShake: Write or Read Fail",
               "DIAG_HandShake: (1,1)", "  Try1: Reading restored status ..."}, .m_AtLeastMs = 10000},
    {.m_Name = "BootAloneErasesNothing", .m_Selected = {BOOT}, .m_Results = {OK}, .m_Conversation = "rut-begin rut-image"},
    {.m_Name = "FailingAppEndsThePass", .m_Selected = {APP, CUSTOM, FW}, .m_Faults = {.m_RouterResultCode = 3},
     .m_Results = {IDS_ROUTER_RESULT_FAIL}, .m_Conversation = "rut-begin rut-image leave-force-load"},
    {.m_Name = "NoRouterAddressTouchesNoRow", .m_Selected = {BOOT, FW}, .m_Conversation = "leave-force-load", .m_Reach = NO_ADDRESS},
    {.m_Name = "RefusedConnectionStillLeavesTheForcingMode", .m_Selected = {DASH}, .m_Conversation = "leave-force-load",
     .m_Reach = REFUSED},
    {.m_Name = "FirmwareFromTheDownloaderRetryingABlockAndTheRestore", .m_Selected = {FW},
     .m_Faults = {.m_StartInDownloader = true, .m_RestoreStatus5 = 2, .m_RestoreStatusForced = true, .m_RestoreRefused = 1,
                  .m_BlockRefusedAt = 1, .m_BlockRefusedTries = 2},
     .m_Results = {OK}, .m_Statuses = kFirmwareFromTheDownloader, .m_Percents = kFirmwarePercents,
     .m_Conversation = "handshake fwt-force flag unlock write*5 leave-force-load reset handshake restore-status*2 nv-restore "
                       "restore-status*2 nv-restore board-version leave-force-load",
     .m_Log = {"Have Enter Downloader Mode", "Sending FWT Force Pkt", "DIAG_Write#2> Exec Fail", "Restore NV: NV操作失败"}},
    {.m_Name = "BeginPacketNotSent", .m_Selected = {FW}, .m_Misbehaving = {{"change-mode", FAIL_WRITES}},
     .m_Results = {IDS_BEGIN_FAILED}, .m_Statuses = {IDS_BACKING_UP_NV, IDS_OFFLINE_MODE}, .m_Percents = {0},
     .m_Conversation = "handshake nv-backup change-mode leave-force-load", .m_Log = {"Sending FWT Begin Pkt"}},
    {.m_Name = "RouterSilentAtTheSecondCheck", .m_Selected = {FW}, .m_Faults = {.m_SecondCheckSilent = true},
     .m_Results = {IDS_RESTART_TIMEOUT}, .m_Statuses = {IDS_BACKING_UP_NV, IDS_OFFLINE_MODE, IDS_SWITCHING, IDS_PREPARING_WIRELESS},
     .m_Percents = {0, 30, 50}, .m_Conversation = "handshake nv-backup change-mode fwt-begin switch-downloader leave-force-load",
     .m_Log = {"Waiting: Second Check Fail"}, .m_AtLeastMs = 6000 + 60000},
    {.m_Name = "FailingFirmwareSkipsTheDashboard", .m_Selected = {FW, DASH},
     .m_Faults = {.m_StartInDownloader = true, .m_ResetRefused = true}, .m_Results = {IDS_RESTART_FAILED},
     .m_Statuses = {IDS_UNLOCKING, IDS_DOWNLOADING_FIRMWARE, IDS_RESTARTING}, .m_Percents = {0, 49, 50, 100},
     .m_Conversation = "handshake fwt-force flag unlock write*3 leave-force-load reset*3 leave-force-load"},
    {.m_Name = "StillInTheDownloaderAfterTheReboot", .m_Selected = {FW},
     .m_Faults = {.m_StartInDownloader = true, .m_StaysInDownloader = true}, .m_Results = {IDS_NV_RESTORE_FAILED},
     .m_Statuses = {IDS_UNLOCKING, IDS_DOWNLOADING_FIRMWARE, IDS_RESTARTING, IDS_PREPARING_WIRELESS}, .m_Percents = kFirmwarePercents,
     .m_Conversation = "handshake fwt-force flag unlock write*3 leave-force-load reset handshake leave-force-load",
     .m_Log = {"Still in downloader after reboot"}},
    {.m_Name = "RestoreCheckGivesUp", .m_Selected = {FW},
     .m_Faults = {.m_StartInDownloader = true, .m_RestoreStatus5 = 2, .m_RestoreStatusForced = true, .m_RestoreRefused = 2},
     .m_Results = {IDS_NV_RESTORE_FAILED}, .m_Statuses = kFirmwareFromTheDownloader, .m_Percents = kFirmwarePercents,
     .m_Conversation = "handshake fwt-force flag unlock write*3 leave-force-load reset handshake restore-status*2 nv-restore "
                       "restore-status*2 nv-restore leave-force-load"},
    {.m_Name = "HandshakeWaitBehindARouterRefusingTheForcingMode", .m_Selected = {FW},
     .m_Faults = {.m_HandshakeSilent = 100, .m_ForceLoadRefused = true}, .m_Results = {IDS_UNLOCK_FAILED},
     .m_Statuses = {FORCE, IDS_UNLOCKING, FORCE}, .m_Percents = {0},
     .m_Conversation = "handshake*3 enter-force-load fwt-force flag unlock*3 enter-force-load leave-force-load",
     .m_Log = {"DIAG_HandShake: Write or Read Fail"}},
    {.m_Name = "DashboardFromTheDownloaderUnlockedOnTheSecondTry", .m_Selected = {DASH},
     .m_Faults = {.m_StartInDownloader = true, .m_UnlockRefused = 3}, .m_Results = {OK},
     .m_Statuses = {IDS_UNLOCKING, FORCE, IDS_DOWNLOADING_DASHBOARD, IDS_RESTARTING, IDS_PREPARING_WIRELESS},
     .m_Percents = kDashboardPercents, .m_Conversation = "handshake fwt-force flag unlock*3 enter-force-load flag unlock write*2 "
                                                         "leave-force-load reset handshake iso-version leave-force-load"},
    {.m_Name = "DashboardStillInTheDownloaderAfterTheReboot", .m_Selected = {DASH},
     .m_Faults = {.m_StartInDownloader = true, .m_StaysInDownloader = true}, .m_Results = {IDS_VERSION_CHECK_FAILED},
     .m_Statuses = {IDS_UNLOCKING, IDS_DOWNLOADING_DASHBOARD, IDS_RESTARTING, IDS_PREPARING_WIRELESS},
     .m_Percents = kDashboardPercents,
     .m_Conversation = "handshake fwt-force flag unlock write*2 leave-force-load reset handshake leave-force-load"},
};

class PassTest : public GatewayTest, public ::testing::WithParamInterface<Pass> {};

TEST_P(PassTest, RunsTheSelectedRows) {
  const Pass& c = GetParam();
  m_Options.m_Faults = c.m_Faults;
  UpgradeEngine& engine = Start(c.m_Selected, c.m_Misbehaving);
  if (c.m_Reach == NO_ADDRESS) {
    RouterInfo unknownAddress;
    std::memcpy(unknownAddress.m_Mac, m_Options.m_Mac, 6);
    engine.SetRouter(unknownAddress);
  }
  m_Gateway->m_Link.RefuseConnects(c.m_Reach == REFUSED);
  const std::string logFile = m_Dir.File("QelUpgradeLog.txt"), separator(50, '+');
  std::vector<bool> logComplete;  // at each end-of-pass notice: the log holds the pass's last line
  m_Events.m_OnPassEnd = [&] { logComplete.push_back(ReadText(logFile).find(separator) != std::string::npos); };
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(engine.RunUpgrade(), 0);
  EXPECT_GE(Clock::TickCount() - start, c.m_AtLeastMs);
  EXPECT_EQ(logComplete, std::vector<bool>{true});
  EXPECT_EQ(std::pair(engine.Busy(), m_Gateway->m_Link.OpenPorts()), std::pair(false, 0)) << "all ends";
  std::vector<int> outcomes;
  for (const RowOutcome& outcome : m_Events.m_Outcomes) outcomes.push_back(outcome.m_ResultTextId);
  EXPECT_EQ(outcomes, c.m_Results) << "each stage's outcome";
  EXPECT_EQ(m_Gateway->m_Link.Connections(), c.m_Reach == CONNECTS ? 1 : 0);
  for (const Message& m : m_Gateway->m_Link.Messages())
    EXPECT_EQ(m.m_Address + ":" + std::to_string(m.m_Port), c.m_Reach == NO_ADDRESS ? "0.0.0.0:1280" : "127.1.2.3:1280");

  // Each row's result, and each image the pass sent and each wireless image it wrote, byte for byte.
  std::vector<Bytes> images;
  auto memory = m_Gateway->m_Recorder.Memory();
  for (int row = 0; row < MODULE_COUNT; ++row) {
    SCOPED_TRACE(row);
    const size_t i = std::find(c.m_Selected.begin(), c.m_Selected.end(), row) - c.m_Selected.begin();
    const Lines statuses = m_List.Statuses(row);
    if (i >= c.m_Results.size()) {  // a row the pass leaves alone: no status, "%" or colour
      EXPECT_EQ(std::tuple(statuses, m_List.Cells(row, COL_PERCENT), m_List.LastColour(row)), std::tuple(Lines{}, Lines{}, 0u));
      continue;
    }
    const int id = c.m_Results[i];
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().substr(0, statuses.back().find(" (") + 2), LoadStringId(id) + std::string(" ("));
    EXPECT_EQ(m_List.LastColour(row), id == OK ? COLOUR_BLUE : COLOUR_RED);
    if (id == OK) { EXPECT_EQ(m_List.LastPercent(row), "100%"); }
    const UpgradePackage& package = m_Table[row].m_Package;
    for (size_t unit = 0; unit < package.UnitCount(); ++unit) {
      const Bytes data(package.UnitData(unit), package.UnitData(unit) + package.Extent(unit).m_Length);
      if (row < FW) images.push_back(data);
      if (row >= FW && id == OK) { EXPECT_EQ(memory[package.Unit(unit).LoadAddress()], data) << unit; }
    }
    if (row < FW || i + 1 != c.m_Results.size()) continue;  // the wireless row the pass ends at
    Lines expected, percents;
    for (int status : c.m_Statuses) expected.push_back(status == FORCE ? "Enter Forcing Download Mode ..." : LoadStringId(status));
    for (int percent : c.m_Percents) percents.push_back(std::to_string(percent) + "%");
    EXPECT_EQ(Lines(statuses.begin(), statuses.end() - 1), expected) << "before the result";
    EXPECT_EQ(m_List.Cells(row, COL_PERCENT), percents);
  }
  EXPECT_EQ(m_Gateway->m_Recorder.RouterImages(), images);
  EXPECT_EQ(m_Gateway->Conversation(), c.m_Conversation);

  // The MAC line first, the separator last, the given lines in order between.
  const Lines log = LogMessages(ReadLog(logFile));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(std::pair(log.front(), log.back()), std::pair(std::string("02-51-E1-00-00-01"), separator));
  Lines inOrder;
  for (const std::string& line : log)
    if (inOrder.size() < c.m_Log.size() && line == c.m_Log[inOrder.size()]) inOrder.push_back(line);
  EXPECT_EQ(inOrder, c.m_Log);
  // Lines logged later (a Check's) reach the file when the engine ends.
  LogPrintf(&engine.Log(), "%s", "later");
  m_Engine.reset();
  EXPECT_EQ(LogMessages(ReadLog(logFile)).back(), "later");
}

INSTANTIATE_TEST_SUITE_P(Passes, PassTest, ::testing::ValuesIn(kPasses), [](const auto& i) { return std::string(i.param.m_Name); });

// A gateway that misbehaves at one step of the Check or of a stage. The run
// ends within the time the protocol's time-outs and tries give that step on
// top of the rest of the run, with the step's text on its row (or in the
// notice) and its line in the log.
struct Hostile {
  bool m_Check = false;                       // the Check (with the packages) rather than the upgrade pass
  std::vector<ModuleKind> m_Selected = {FW};  // the last one's row shows the text
  std::vector<Misbehaving> m_Faults;
  const char* m_Text;                         // the start of the row's result, the Check's current version or its notice
  const char* m_Line;                         // the start of a line of the log
  uint64_t m_StepMs = 0;                      // program time the step may add to a well-behaved run
};

// The most a misbehaving step can add: a diagnostic request's three tries
// (reply time-out and pause, the handshake's 6 s), the three discovery tries,
// the erase's three tries, a presence wait (its limit plus a ping's pause and
// time-out), a block's tries.
constexpr uint64_t kDiag = 3 * (3000 + 200), kHandshake = 3 * (6000 + 200), kDiscovery = 3 * (3000 + 100),
                   kErase = 3 * (4000 + 1000), kPresence = 60000 + 2000 + 2000, kBlock = 3 * 5000;
// The texts the row shows.
const char* const kOk = "Download successfully", * const kDownloadFailed = "Download failed", * const kFirmware = "2.1.0.7";
const char* const kTimedOut = "Restarting the wireless module timed out", * const kFailedToRead = "Failed to read";
const char* const kRestartFailed = "Restarting the wireless module failed", * const kNoRouter = "No router is detected";
const char* const kSwitchFailed = "Switching to the downloading mode failed";
const char* const kVersionFailed = "Failed to check the version after the upgrade.";
// The lines the log shows.
const char* const kLengthError = "CDiagCaller::Execute> Response's Length Error", * const kNoRouterLine = "没有检测到路由器";
const std::string kResetLine = "Router Block1 Transfer Fail: " + SystemErrorPhrase(CONNECTION_RESET);
const Hostile kHostile[] = {
    {.m_Check = true, .m_Faults = {{"discover", OVERSIZED, 3}}, .m_Text = kNoRouter, .m_Line = kNoRouterLine,
     .m_StepMs = kDiscovery},
    {.m_Check = true, .m_Faults = {{"discover", EMPTY, 3}}, .m_Text = kNoRouter, .m_Line = kNoRouterLine, .m_StepMs = kDiscovery},
    {.m_Check = true, .m_Faults = {{"discover", BURST}}, .m_Text = kFirmware, .m_Line = "Firmware Version: 2.1.0"},
    {.m_Check = true, .m_Faults = {{"handshake", RESET}}, .m_Text = kFirmware, .m_Line = "Execute#1> Read Fail",
     .m_StepMs = kHandshake},
    {.m_Check = true, .m_Faults = {{"handshake", DRIP}}, .m_Text = kFirmware, .m_Line = "DIAG_HandShake: (0,0)",
     .m_StepMs = 6000},
    {.m_Check = true, .m_Faults = {{"board-version", DRIP, 3}}, .m_Text = kFailedToRead,
     .m_Line = "DIAG_QueryBoardVersion: Write or Read Fail", .m_StepMs = kDiag},
    {.m_Check = true, .m_Selected = {FW, DASH}, .m_Faults = {{"iso-version", SHORT, 3}}, .m_Text = kFailedToRead,
     .m_Line = kLengthError, .m_StepMs = kDiag},
    {.m_Selected = {CUSTOM}, .m_Faults = {{"rut-begin", RESET}}, .m_Text = "Failed to transmit",
     .m_Line = kResetLine.c_str()},
    {.m_Selected = {CUSTOM}, .m_Faults = {{"rut-image", DRIP}}, .m_Text = kOk, .m_Line = "TCP_GetRouterResult's ElapsedTime = ",
     .m_StepMs = 8000},
    {.m_Selected = {APP, FW}, .m_Faults = {{"erase-nvram", BURST, 3}}, .m_Text = "", .m_Line = "Erasing the NVRAM",
     .m_StepMs = kErase},
    // The router entered the forcing mode all the same, so the module comes back in its downloader.
    {.m_Faults = {{"handshake", GARBAGE, 3}, {"enter-force-load", GARBAGE}}, .m_Text = kOk, .m_Line = "DIAG_HandShake: W",
     .m_StepMs = kHandshake + 2 * kDiag},
    {.m_Faults = {{"nv-backup", WRONG}}, .m_Text = "Backing up the NV file", .m_Line = "Backing up the NV"},
    {.m_Faults = {{"change-mode", SILENT, 3}}, .m_Text = kOk, .m_Line = "DIAG_ChangeMode: Write or Read Fail", .m_StepMs = kDiag},
    {.m_Faults = {{"ping", GARBAGE, 1000}}, .m_Text = kTimedOut, .m_Line = "Waiting: First Check Fail",
     .m_StepMs = 10000 + 2 * kPresence},
    {.m_Faults = {{"unlock", LONG_RUN, 6}}, .m_Text = "Unlocking the wireless module failed", .m_Line = "DIAG_Unlock:",
     .m_StepMs = 2 * kDiag + 18000},
    {.m_Faults = {{"write", BURST, 3}}, .m_Text = kDownloadFailed, .m_Line = "Unit1 Block1: Download Fail", .m_StepMs = kBlock},
    {.m_Faults = {{"write", SHORT, 3}}, .m_Text = kOk, .m_Line = "Downloading the firmware"},
    {.m_Faults = {{"write", RESET}}, .m_Text = kOk, .m_Line = "DIAG_Write#1> Read Fail", .m_StepMs = 5000},
    // A restore request that succeeds settles the check.
    {.m_Faults = {{"restore-status", WRONG, 100}}, .m_Text = kOk, .m_Line = "DIAG_NV_QueryRestoreStatus: Restore Fail",
     .m_StepMs = 2 * kDiag},
    {.m_Faults = {{"board-version", LONG, 3}}, .m_Text = kVersionFailed, .m_Line = kLengthError, .m_StepMs = kDiag},
    // The steps both wireless stages share, each ending the dashboard stage (the
    // firmware stage ends at them above and in the pass table), and its own last one.
    {.m_Selected = {DASH}, .m_Faults = {{"switch-downloader", GARBAGE, 3}}, .m_Text = kSwitchFailed,
     .m_Line = "DIAG_SwitchToDownloader:", .m_StepMs = kDiag},
    {.m_Selected = {DASH}, .m_Faults = {{"write", BURST, 3}}, .m_Text = kDownloadFailed, .m_Line = "Unit1 Block1: Download Fail",
     .m_StepMs = kBlock},
    {.m_Selected = {DASH}, .m_Faults = {{"reset", GARBAGE, 3}}, .m_Text = kRestartFailed, .m_Line = "DIAG_Reset:",
     .m_StepMs = kDiag},
    // After the reset.
    {.m_Selected = {DASH}, .m_Faults = {{"handshake", LONG_RUN, 9, 2}}, .m_Text = kTimedOut,
     .m_Line = "Waiting: Handshake failed", .m_StepMs = 3 * kHandshake},
    {.m_Selected = {DASH}, .m_Faults = {{"iso-version", GARBAGE, 3}}, .m_Text = kVersionFailed,
     .m_Line = "DIAG_QueryISOVersion: Write or Read Fail", .m_StepMs = kDiag},
};

void PrintTo(const Hostile& c, std::ostream* out) {
  *out << (c.m_Check ? "check " : "") << c.m_Selected.back() << " " << c.m_Faults[0].m_Request << " " << c.m_Faults[0].m_What;
}

class HostileTest : public GatewayTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileTest, EndsInTimeWithTheStepsTextAndLine) {
  const Hostile& c = GetParam();
  UpgradeEngine& engine = Start(c.m_Selected, c.m_Faults);
  const uint64_t start = Clock::TickCount();
  if (c.m_Check) RunCheck(engine, m_List, {"", {.m_Target = "127.255.255.255"}, true});
  else engine.RunUpgrade();
  // The well-behaved runs take 0.2 s (Check), 15 s (router image), 26 s (firmware or dashboard); the
  // slack allows for a busy machine.
  uint64_t bound = c.m_StepMs + (c.m_Check ? 3000 : 0);
  for (ModuleKind kind : c.m_Selected) bound += c.m_Check ? 0 : kind == FW || kind == DASH ? 30000 : 20000;
  const auto slack = static_cast<uint64_t>(LOADED_MACHINE_REAL_MS * Clock::Scale());
  EXPECT_LE(Clock::TickCount() - start, bound + bound / 10 + slack);
  const std::string text = !m_Notices.Texts().empty() ? m_Notices.Texts().back()
                                                    : m_List.Last(c.m_Selected.back(), c.m_Check ? COL_CURRENT : COL_STATUS);
  EXPECT_EQ(*c.m_Text ? text.substr(0, std::strlen(c.m_Text)) : text, c.m_Text);
  const Lines log = LogMessages(ReadLog(m_Dir.File("QelUpgradeLog.txt")));
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(c.m_Line, 0) == 0; }))
      << c.m_Line;
}

INSTANTIATE_TEST_SUITE_P(Steps, HostileTest, ::testing::ValuesIn(kHostile));

}  // namespace
