// The wireless module on the wire, in normal mode and in the downloader,
// with and without faults. A scenario is a run of requests on one
// connection, each with the pattern of its reply. A request expected to go
// unanswered is only sent: the next answered request shows it, as its reply
// then comes first. An empty request waits for the module's restart to end.
#include "support/sim/SimWire.h"

namespace simtest {

struct Step {
  Bytes m_Request;
  bool m_Lead;
  std::string m_Reply;  // empty: no answer
};
const Step RESTARTED{{}, false, ""};

class ModuleTest : public SimTest {
 protected:
  void Run(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      if (steps[i].m_Request.empty()) {
        ASSERT_TRUE(WaitRestarted());
      } else if (steps[i].m_Reply.empty()) {
        m_Tool->SendFrame(steps[i].m_Request, steps[i].m_Lead);
      } else {
        EXPECT_PRED2(Matches, Ask(steps[i].m_Request, steps[i].m_Lead), steps[i].m_Reply);
      }
    }
  }
};

const std::string VERSION_2_1 = "4B C9 03 FF '2.1.0.7' 00 *66";
const Bytes WRONG_LENGTH{0x0F, 0, 0, 0x20, 0, 0, 3, 1, 2};

TEST_F(ModuleTest, Scenarios) {
  const struct {
    const char* m_Name;
    Change m_Change;
    std::vector<Step> m_Steps;
  } scenarios[] = {
      {"normal mode", {}, {
         {HANDSHAKE, false, HandshakeReply(0, 0)}, {BOARD_VERSION, false, VERSION_2_1},
         {ISO_VERSION, false, "4B C9 24 FF 00 '3.0.1.2' 00 *260"},
         {RESTORE_STATUS, false, "4B C9 21 FF 00 00 00 *36"},  // no backup yet
         {NV_BACKUP, false, "4B C8 1E FF 00 00 00 00"},
         {RESTORE_STATUS, false, "4B C9 21 FF 00 01 00 *36"},
         {{0x29, 0x01, 0x00}, false, "29 01 00"},  // offline mode
         {HANDSHAKE, false, HandshakeReply(0, 1)},
         {RESET, true, "13 0A"},  // downloader commands are unknown here
         {{0x55, 0x66}, false, "13 55 66"}}},
      {"no dashboard", [](SimOptions& o) { o.m_DashboardVersion = ""; }, {{ISO_VERSION, false, "4B C9 24 FF 01 *260"}}},
      {"downloader", Faults({"start-in-downloader"}), {
         {HANDSHAKE, false, HandshakeReply(1, 1)}, {HANDSHAKE, true, HandshakeReply(1, 1)},
         {{0x26}, true, ""},  // the lone 26 before an unlock
         {Write(0x2000, {1}), true, "03 0F 01"},  // not unlocked
         {Unlock("WRONGCOD"), true, "03 0B 01"}, {Unlock(), true, "02"}, {WRONG_LENGTH, true, "03 0F 01"},
         {Write(0x2000, {1}), true, "02 00 00 20 00"},
         {BOARD_VERSION, false, "13 4B C9 03 FF"}}},  // normal-mode queries are unknown here
      {"offline", Faults({"offline"}), {{HANDSHAKE, false, HandshakeReply(0, 1)}}},
      {"handshake silent", Faults({"handshake-silent=2"}), {
         {HANDSHAKE, false, ""}, {HANDSHAKE, true, ""}, {BOARD_VERSION, false, VERSION_2_1},
         {HANDSHAKE, false, HandshakeReply(0, 0)}}},
      {"backup refused", Faults({"nv-backup-reason=3"}), {
         {NV_BACKUP, false, "4B C8 1E FF 00 01 03 00"}, {RESTORE_STATUS, false, "4B C9 21 FF 00 00 00 *36"}}},
      {"restore refused", Faults({"restore-status=1,1", "restore-refused=2"}), {
         {RESTORE_STATUS, false, "4B C9 21 FF 00 01 01 *36"},  // forced, without a backup
         {NV_RESTORE, false, "4B C8 1E FF 01 01 04 00"}, {NV_RESTORE, false, "4B C8 1E FF 01 01 04 00"},
         {NV_RESTORE, false, "4B C8 1E FF 01 00 00 00"}}},
      {"unlock refused", Faults({"start-in-downloader", "unlock-refused=2"}), {
         {Unlock(), true, "03 0B 01"}, {Unlock(), true, "03 0B 01"}, {Unlock(), true, "02"}}},
      {"block refused", Faults({"start-in-downloader", "block-refused=2:2"}), {
         {Unlock(), true, "02"}, {Write(0x100, {1}), true, "02 00 00 01 00"},
         {Write(0x101, {2}), true, "03 0F 01"}, {Write(0x101, {2}), true, "03 0F 01"},
         {Write(0x101, {2}), true, "02 00 00 01 01"}, {Write(0x102, {3}), true, "02 00 00 01 02"}}},
      {"reset refused", Faults({"start-in-downloader", "reset-refused"}), {
         {RESET, true, "03 0A 01"}, {HANDSHAKE, false, HandshakeReply(1, 1)}}},  // no restart
      {"stays in downloader", Faults({"start-in-downloader", "stays-in-downloader"}), {
         {RESET, true, "02"}, RESTARTED, {HANDSHAKE, false, HandshakeReply(1, 1)}}},
  };
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(scenario.m_Name);
    Launch(scenario.m_Change);
    Run(scenario.m_Steps);
  }
}

// Switch, restart into the downloader, unlock, blocks, reset, restart into
// normal mode with the new versions and the NV backup restored.
TEST_F(ModuleTest, DownloadCycleChangesModesAndVersions) {
  Launch([](SimOptions& o) {
    o.m_NewFirmwareVersion = "2.2.0.0";
    o.m_NewDashboardVersion = "3.1.0.0";
    o.m_RestartMs = 15000;  // 150 ms real: room to be silent while restarting
  });
  Run({{NV_BACKUP, false, "4B C8 1E FF 00 00 00 00"}, {SWITCH, false, "3A"}, {HANDSHAKE, false, ""}, RESTARTED});
  m_Tool->Send({0x7E});  // a lone flag before the handshakes changes nothing
  const Bytes block = Pattern(4096, 1);
  Run({{HANDSHAKE, false, HandshakeReply(1, 1)}, {Unlock(), true, "02"},
       {Write(0x00100000, block), true, "02 00 10 00 00"}, {Write(0x00101000, {0x7E, 0x7D}), true, "02 00 10 10 00"},
       {RESET, true, "02"}, {HANDSHAKE, false, ""}, RESTARTED,
       {BOARD_VERSION, false, "4B C9 03 FF '2.2.0.0' 00 *66"}, {ISO_VERSION, false, "4B C9 24 FF 00 '3.1.0.0' 00 *260"},
       {RESTORE_STATUS, false, "4B C9 21 FF 00 01 00 *36"}});
  EXPECT_EQ(m_Sim->WirelessMemory(), (std::map<uint32_t, Bytes>{{0x00100000, Concat({block, {0x7E, 0x7D}})}}));
}

// The router's forcing download mode restarts the module into the
// downloader; after leaving it a reset brings the module back unchanged.
TEST_F(ModuleTest, ForcingModeRestartsIntoTheDownloader) {
  Launch();
  EXPECT_EQ(AskUdp(RouterRecord(7)), RouterRecord(7));
  EXPECT_TRUE(m_Sim->ForceLoad());
  Run({RESTARTED, {HANDSHAKE, false, HandshakeReply(1, 1)}});
  EXPECT_EQ(AskUdp(RouterRecord(8)), RouterRecord(8));
  Run({{RESET, true, "02"}, RESTARTED, {BOARD_VERSION, false, VERSION_2_1}});
}

}  // namespace simtest
