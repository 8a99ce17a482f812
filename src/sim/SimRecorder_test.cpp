// What the simulator records: the written memory (its pieces merged only
// when read) and the record directory.
#include "sim/SimRecorder.h"

#include <random>

#include "support/sim/SimWire.h"

namespace simtest {

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

// Once stopped, the simulator leaves the router images and the transcript in
// its record directory (the written memory: see the end-to-end tests).
TEST_F(SimTest, RecordDirectoryHoldsImagesAndTranscript) {
  TempDir dir;
  Launch({"erase-silent"}, [&](SimOptions& o) { o.m_RecordDir = dir.File("rec"); });
  Run({{'U', RouterRecord(6), ""}, {'U', RouterRecord(1), "01 *"}, {'L', ControlPacket(RUT_BEGIN, 300), ""},
       {'R', Bytes(300, 0x7E), ""}, {'T', BOARD_VERSION, "4B *"}});
  EXPECT_EQ(m_Tool->ReceiveFrame(), ControlPacket("", 4));
  m_Sim.reset();
  EXPECT_EQ(ReadFile(dir.File("rec/router-image-1.bin")), Bytes(300, 0x7E));
  const std::string transcript = ReadText(dir.File("rec/transcript.txt"));
  for (const char* line : {"udp -> discover ip=127.0.0.1 mac=02-51-E1-00-00-01", "udp -- erase-nvram not answered",
                           "tcp <- rut-begin size=300", "tcp -> rut-image result code=4",
                           "tcp -> board-version version=2.1.0.7"})
    EXPECT_NE(transcript.find(line), std::string::npos) << line;
}

}  // namespace simtest
