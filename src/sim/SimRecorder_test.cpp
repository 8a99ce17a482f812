// Recording in memory; the record directory is seen through the program.
#include "sim/SimRecorder.h"

#include <random>

#include "support/sim/SimWire.h"

namespace simtest {

TEST(SimRecorderTest, MemoryRunsMergeWhenTheyTouchOrOverlap) {
  SimRecorder recorder("", true);
  const uint8_t a[4] = {1, 2, 3, 4}, b[2] = {9, 9};
  recorder.WriteMemory(0x1004, a, 4);
  recorder.WriteMemory(0x2000, a, 2);
  recorder.WriteMemory(0x1000, a, 4);  // touches the run at 0x1004
  recorder.WriteMemory(0x1006, b, 2);  // overwrites inside it
  recorder.WriteMemory(0xFFFFFFFE, b, 2);
  EXPECT_EQ(recorder.Memory(), (std::map<uint32_t, Bytes>{
                                   {0x1000, {1, 2, 3, 4, 1, 2, 9, 9}}, {0x2000, {1, 2}}, {0xFFFFFFFE, {9, 9}}}));
}

// Writes over and between earlier ones, checked after each against a byte
// model: every byte reads as its last write, runs split where nothing was.
TEST(SimRecorderTest, MemoryReadsAsTheLastWriteOfEveryByte) {
  SimRecorder recorder("", true);
  std::mt19937 random(5);
  std::vector<int> model(1100, -1);  // -1: never written
  for (int write = 0; write < 300; ++write) {
    const uint32_t address = random() % 1060, length = 1 + random() % 40;
    std::vector<uint8_t> data(length);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    recorder.WriteMemory(address, data.data(), length);
    std::copy(data.begin(), data.end(), model.begin() + address);
    std::map<uint32_t, std::vector<uint8_t>> expected;
    for (uint32_t a = 0; a < model.size(); ++a) {
      if (model[a] < 0) continue;
      if (a == 0 || model[a - 1] < 0) expected[a];
      std::prev(expected.end())->second.push_back(static_cast<uint8_t>(model[a]));
    }
    ASSERT_EQ(recorder.Memory(), expected) << "after write " << write;
  }
}

TEST(SimRecorderTest, TranscriptFollowsRequestsAndAnswers) {
  SimRecorder recorder("", true);
  recorder.Answer(recorder.Request("udp", "ping", "ip=127.0.0.1"), "echo");
  recorder.Silent(recorder.Request("tcp", "handshake", ""), "module restarting");
  EXPECT_TRUE(recorder.Events()[0].m_Answered);
  EXPECT_FALSE(recorder.Events()[1].m_Answered);
  EXPECT_EQ(recorder.Transcript(),
            std::vector<std::string>({"udp <- ping ip=127.0.0.1", "udp -> ping echo", "tcp <- handshake",
                                      "tcp -- handshake not answered (module restarting)"}));
}

}  // namespace simtest
