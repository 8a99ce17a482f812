// The simulated gateway on the wire: the router's UDP service, its TCP
// service and the wireless module behind it, in normal mode and in the
// downloader, with and without faults; the program's refusal of bad options
// (a whole run of the program is in the end-to-end tests); what it records:
// the written memory (its pieces merged only when read) and the record
// directory.
#include <random>

#include "sim/SimRecorder.h"
#include "support/sim/SimWire.h"

namespace simtest {

const std::string VERSION_2_1 = "4B C9 03 FF '2.1.0.7' 00 *66";

// Each scenario is one conversation with a fresh simulator; afterwards the
// written memory is what the downloader accepted.
TEST_F(SimTest, Scenarios) {
  Bytes spoiled = Frame(BOARD_VERSION, true);
  spoiled[2] ^= 0x01;
  const Bytes block = Pattern(4096, 1), wrongLength{0x0F, 0, 0, 0x20, 0, 0, 3, 1, 2};
  const Step wait{'W', {}, ""}, downloader{'T', HANDSHAKE, HandshakeReply(1, 1)}, reset{'L', RESET, "02"};
  const struct { const char* m_Name; std::vector<std::string> m_Faults; std::vector<Step> m_Steps;
                 std::map<uint32_t, Bytes> m_Memory = {}; std::function<void(SimOptions&)> m_Change = {}; } scenarios[] = {
      {"normal mode", {}, {
         {'U', Padded({1}, 32), "01 7F 00 00 01 02 51 E1 00 00 01 '1.2.3.4' 00 *32"}, {'U', RouterRecord(6), "="},
         {'U', RouterRecord(8), "="}, {'U', RouterRecord(42), ""}, {'U', RouterRecord(10), "="},
         {'R', spoiled, ""}, {'T', HANDSHAKE, HandshakeReply(0, 0)}, {'T', BOARD_VERSION, VERSION_2_1},  // spoiled: dropped
         {'T', ISO_VERSION, "4B C9 24 FF 00 '3.0.1.2' 00 *260"}, {'T', RESTORE_STATUS, "4B C9 21 FF 00 00 00 *36"},
         {'T', NV_BACKUP, "="}, {'T', RESTORE_STATUS, "4B C9 21 FF 00 01 00 *36"},  // a backup now
         {'T', {0x29, 0x01, 0x00}, "="}, {'T', HANDSHAKE, HandshakeReply(0, 1)},  // offline mode
         {'L', RESET, "13 0A"}, {'T', {0x55, 0x66}, "13 55 66"}}},  // downloader commands are unknown here
      {"discovery faults, long version, no dashboard", {"zero-mac", "bad-fcs"}, {
         {'U', RouterRecord(1), "7E 01 7F 00 00 01 00 00 00 00 00 00 'QEL-ROUTER-1.2.3.4-build-2024' 00 .. .. 7E"},
         {'T', ISO_VERSION, "4B C9 24 FF 01 *260"}}, {},
       [](SimOptions& o) { o.m_RouterVersion = "QEL-ROUTER-1.2.3.4-build-2024", o.m_DashboardVersion = ""; }},
      {"silences and refusals",
       {"no-discovery", "erase-silent", "force-refused", "offline", "handshake-silent=2", "nv-backup-reason=3"}, {
         {'U', RouterRecord(1), ""}, {'U', RouterRecord(6), ""}, {'U', RouterRecord(7), ""}, {'U', RouterRecord(10), "="},
         {'T', HANDSHAKE, ""}, {'L', HANDSHAKE, ""}, {'T', BOARD_VERSION, VERSION_2_1},  // no restart: force refused
         {'T', HANDSHAKE, HandshakeReply(0, 1)}, {'T', NV_BACKUP, "4B C8 1E FF 00 01 03 00"},
         {'T', RESTORE_STATUS, "4B C9 21 FF 00 00 00 *36"}}},
      {"restore refused", {"restore-status=1,1", "restore-refused=2"}, {
         {'T', RESTORE_STATUS, "4B C9 21 FF 00 01 01 *36"},  // forced, without a backup
         {'T', NV_RESTORE, "4B C8 1E FF 01 01 04 00"}, {'T', NV_RESTORE, "4B C8 1E FF 01 01 04 00"},
         {'T', NV_RESTORE, "4B C8 1E FF 01 00 00 00"}}},
      {"downloader", {"start-in-downloader", "unlock-refused=1", "block-refused=2:2", "reset-at-block=3"}, {
         downloader, {'L', HANDSHAKE, HandshakeReply(1, 1)},
         {'L', {0x26}, ""}, {'L', Write(0x2000, {1}), "03 0F 01"},  // a lone 26; a write before the unlock
         {'L', Unlock(), "03 0B 01"}, {'L', Unlock("WRONGCOD"), "03 0B 01"}, {'L', Unlock(), "02"},
         {'L', wrongLength, "03 0F 01"}, {'L', Write(0x1000, {1}), "02 00 00 10 00"},
         {'L', Write(0x1001, {2}), "03 0F 01"}, {'L', Write(0x1001, {2}), "03 0F 01"},
         {'L', Write(0x1001, {2}), "02 00 00 10 01"}, {'L', Write(0x1002, {3}), ""}, {'X', {}, ""},
         {'L', Write(0x1002, {3}), "02 00 00 10 02"},
         {'T', BOARD_VERSION, "13 4B C9 03 FF"}}, {{0x1000, {1, 2, 3}}}},  // normal-mode queries are unknown here
      {"reset refused", {"start-in-downloader", "reset-refused"}, {{'L', RESET, "03 0A 01"}, downloader}},  // no restart
      {"stays in downloader, locked again", {"start-in-downloader", "stays-in-downloader"},
       {{'L', Unlock(), "02"}, reset, wait, downloader, {'L', Write(0x2000, {1}), "03 0F 01"}}},
      // Entering the forcing mode restarts the module into the downloader,
      // and so does any restart while it is set, also by the FWT force packet.
      {"forcing mode", {}, {
         {'U', RouterRecord(7), "="}, {'T', HANDSHAKE, ""}, wait, downloader, {'U', RouterRecord(8), "="},
         {'L', ControlPacket("Zyphex FWT Begin Download Pkt", 0), ""},
         {'L', ControlPacket("Zyphex FWT Force Download Pkt", 0), ""},
         {'L', ControlPacket("Something else", 0), "13 FF 'Something' *41"}, reset, wait, downloader,
         {'U', RouterRecord(8), "="}, reset, wait, {'T', BOARD_VERSION, VERSION_2_1}}},
      // Switch, restart into the downloader (the router silent to pings
      // meanwhile), unlock, blocks, reset, restart into normal mode with the
      // new versions and the NV backup restored.
      {"download cycle", {"ping-silent=20000"}, {
         {'T', NV_BACKUP, "="}, {'T', SWITCH, "="}, {'U', Padded({10}, 32), ""}, {'T', HANDSHAKE, ""}, wait,
         {'U', RouterRecord(10), "="}, {'R', {0x7E}, ""}, downloader, {'L', Unlock(), "02"},  // a lone flag: nothing
         {'L', Write(0x00100000, block), "02 00 10 00 00"}, {'L', Write(0x00101000, {0x7E, 0x7D}), "02 00 10 10 00"},
         reset, {'T', HANDSHAKE, ""}, wait, {'T', BOARD_VERSION, "4B C9 03 FF '2.2.0.0' 00 *66"},
         {'T', ISO_VERSION, "4B C9 24 FF 00 '3.1.0.0' 00 *260"}, {'T', RESTORE_STATUS, "4B C9 21 FF 00 01 00 *36"}},
       {{0x00100000, Concat({block, {0x7E, 0x7D}})}},
       [](SimOptions& o) { o.m_NewFirmwareVersion = "2.2.0.0", o.m_NewDashboardVersion = "3.1.0.0"; }},
  };
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(scenario.m_Name);
    Launch(scenario.m_Faults, scenario.m_Change);
    Run(scenario.m_Steps);
    EXPECT_EQ(m_Sim->WirelessMemory(), scenario.m_Memory);
  }
}

// The image (holding 7E and 7D, sent raw) ends at its announced size or,
// shorter, when the stream goes idle after its first byte. It is installed
// (3000 ms) and answered with the result packet; then the stream carries
// frames again. Once stopped, the simulator leaves the image and the
// transcript in its record directory (the written memory: see the
// end-to-end tests).
TEST_F(SimTest, RouterImagesAreInstalledAnsweredAndRecorded) {
  // Faults, announced size, result code, at least this long after the image.
  const struct { std::vector<std::string> m_Faults; uint32_t m_Announced, m_Code; uint64_t m_Ms; } cases[] = {
      {{"erase-silent"}, 50000, 4, 3000}, {{"erase-silent", "result-code=3", "result-delay=20000"}, 20000, 3, 23000}};
  const Bytes image = Pattern(20000, 5);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.m_Code);
    TempDir dir;
    Launch(c.m_Faults, [&](SimOptions& o) { o.m_RecordDir = dir.File("rec"); });
    Run({{'U', RouterRecord(6), ""}, {'U', RouterRecord(1), "01 *"}, {'L', ControlPacket(RUT_BEGIN, c.m_Announced), ""}});
    Clock::Sleep(10000);  // no idle end before the first byte
    m_Tool->Send(image);
    const uint64_t sent = Clock::TickCount();
    EXPECT_EQ(m_Tool->ReceiveFrame(), ControlPacket("", c.m_Code));
    EXPECT_GE(Clock::TickCount() - sent, c.m_Ms);
    Run({{'T', BOARD_VERSION, VERSION_2_1}});
    m_Sim.reset();
    EXPECT_EQ(ReadFile(dir.File("rec/router-image-1.bin")), image);
    const std::string transcript = ReadText(dir.File("rec/transcript.txt"));
    for (const std::string& line : std::vector<std::string>{"udp -> discover ip=127.0.0.1 mac=02-51-E1-00-00-01",
                                    "udp -- erase-nvram not answered", "tcp <- rut-begin size=" + std::to_string(c.m_Announced),
                                    "tcp -> rut-image result code=" + std::to_string(c.m_Code),
                                    "tcp -> board-version version=2.1.0.7"})
      EXPECT_NE(transcript.find(line), std::string::npos) << line;
  }
}

TEST(SimFaultTest, BadFaultTextsAreRefused) {
  std::string error;
  SimFaults faults;
  for (const char* text : {"result-code", "offline=1", "result-code=x", "restore-status=1", "block-refused=5",
                           "nv-backup-reason=0", "handshake-silent=-1", "ping-silent=1e3"})
    EXPECT_FALSE(ApplyFault(text, &faults, &error)) << text;
}

// Writes over, beside and between earlier ones, checked after each against a
// byte model: every byte reads as its last write; runs merge where they touch
// and split where nothing was written. A run may end at the top of memory.
TEST(SimRecorderTest, MemoryReadsAsTheLastWriteOfEveryByte) {
  SimRecorder recorder("", true);
  std::mt19937 random(5);
  std::vector<int> model(1100, -1);  // -1: never written
  std::map<uint32_t, Bytes> expected;
  for (int write = 0; write < 300; ++write) {
    const uint32_t address = random() % 1060, length = 1 + random() % 40;
    const Bytes data = Pattern(length, static_cast<uint8_t>(random()));
    recorder.WriteMemory(address, data.data(), length);
    std::copy(data.begin(), data.end(), model.begin() + address);
    expected.clear();
    for (uint32_t a = 0; a < model.size(); ++a) {
      if (model[a] < 0) continue;
      if (a == 0 || model[a - 1] < 0) expected[a];
      std::prev(expected.end())->second.push_back(static_cast<uint8_t>(model[a]));
    }
    ASSERT_EQ(recorder.Memory(), expected) << "after write " << write;
  }
  for (const uint8_t b : {9, 7}) recorder.WriteMemory(0xFFFFFFFE, Bytes{b, b}.data(), 2);
  expected[0xFFFFFFFE] = {7, 7};
  EXPECT_EQ(recorder.Memory(), expected);
}

}  // namespace simtest
