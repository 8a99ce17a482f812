// Recording in memory and into the record directory.
#include "sim/SimRecorder.h"

#include <filesystem>
#include <random>

#include "sim/SimTestFixture.h"

using namespace simtest;

namespace {

TEST(SimRecorderTest, MemoryRunsMergeWhenTheyTouchOrOverlap) {
  SimRecorder recorder("", true);
  const uint8_t a[4] = {1, 2, 3, 4};
  const uint8_t b[2] = {9, 9};
  recorder.WriteMemory(0x1004, a, 4);
  recorder.WriteMemory(0x2000, a, 2);
  recorder.WriteMemory(0x1000, a, 4);   // touches the run at 0x1004
  recorder.WriteMemory(0x1006, b, 2);   // overwrites inside it
  recorder.WriteMemory(0xFFFFFFFE, b, 2);
  const auto memory = recorder.Memory();
  ASSERT_EQ(memory.size(), 3u);
  EXPECT_EQ(memory.at(0x1000), std::vector<uint8_t>({1, 2, 3, 4, 1, 2, 9, 9}));
  EXPECT_EQ(memory.at(0x2000), std::vector<uint8_t>({1, 2}));
  EXPECT_EQ(memory.at(0xFFFFFFFE), std::vector<uint8_t>({9, 9}));
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

TEST(SimRecorderTest, EventsAndTranscriptFollowRequestsAndAnswers) {
  SimRecorder recorder("", true);
  const size_t first = recorder.Request("udp", "ping", "ip=127.0.0.1");
  recorder.Answer(first, "echo");
  const size_t second = recorder.Request("tcp", "handshake", "");
  recorder.Silent(second, "module restarting");
  const auto events = recorder.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[0].m_Answered);
  EXPECT_FALSE(events[1].m_Answered);
  EXPECT_EQ(recorder.Transcript(),
            std::vector<std::string>({"udp <- ping ip=127.0.0.1", "udp -> ping echo", "tcp <- handshake",
                                      "tcp -- handshake not answered (module restarting)"}));
}

class RecordDirTest : public SimTest {};

TEST_F(RecordDirTest, ImagesMemoryAndTranscriptGoToFiles) {
  testsupport::TempDir dir;
  SimOptions options = TestOptions();
  options.m_RecordDir = dir.File("rec");
  options.m_Faults.m_StartInDownloader = true;
  Launch(options);
  TcpClient tool(Port());
  const std::vector<uint8_t> image(300, 0x7E);
  tool.SendFrame(ControlPacket("Zyphex RUT Begin Download Pkt", 300), true);
  tool.SendRaw(image);
  ASSERT_EQ(tool.Receive(2000).size(), 40u);
  ASSERT_EQ(tool.Exchange(Unlock(), true), std::vector<uint8_t>({0x02}));
  ASSERT_EQ(tool.Exchange(Write(0x40000, {5, 6, 7}), true).size(), 5u);
  ASSERT_EQ(tool.Exchange(Write(0x3FFFE, {3, 4}), true).size(), 5u);
  m_Sim->Stop();

  EXPECT_EQ(testsupport::ReadFile(dir.File("rec/router-image-1.bin")), image);
  EXPECT_EQ(testsupport::ReadFile(dir.File("rec/wireless-0003fffe.bin")),
            std::vector<uint8_t>({3, 4, 5, 6, 7}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("rec/wireless-00040000.bin")));
  const std::string transcript = testsupport::ReadText(dir.File("rec/transcript.txt"));
  const size_t begin = transcript.find("tcp <- rut-begin size=300");
  const size_t result = transcript.find("tcp -> rut-image result code=4");
  const size_t unlock = transcript.find("tcp -> unlock unlocked");
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(result, std::string::npos);
  ASSERT_NE(unlock, std::string::npos);
  EXPECT_LT(begin, result);
  EXPECT_LT(result, unlock);
}

}  // namespace
