// Recording in memory and into the record directory.
#include "sim/SimRecorder.h"

#include <filesystem>

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

class RecordDirTest : public SimTest {};

TEST_F(RecordDirTest, ImagesMemoryAndTranscriptGoToFiles) {
  TempDir dir;
  Launch([&](SimOptions& o) {
    o.m_RecordDir = dir.File("rec");
    o.m_Faults.m_StartInDownloader = true;
  });
  const Bytes image(300, 0x7E);
  m_Tool->SendFrame(ControlPacket(RUT_BEGIN, 300), true);
  m_Tool->Send(image);
  ASSERT_EQ(m_Tool->ReceiveFrame().size(), 40u);
  ASSERT_EQ(Ask(Unlock(), true), Bytes{0x02});
  ASSERT_EQ(Ask(Write(0x40000, {5, 6, 7}), true).size(), 5u);
  ASSERT_EQ(Ask(Write(0x3FFFE, {3, 4}), true).size(), 5u);
  m_Sim->Stop();
  EXPECT_EQ(ReadFile(dir.File("rec/router-image-1.bin")), image);
  EXPECT_EQ(ReadFile(dir.File("rec/wireless-0003fffe.bin")), Bytes({3, 4, 5, 6, 7}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("rec/wireless-00040000.bin")));
  const std::string transcript = ReadText(dir.File("rec/transcript.txt"));
  const size_t begin = transcript.find("tcp <- rut-begin size=300");
  const size_t result = transcript.find("tcp -> rut-image result code=4");
  EXPECT_LT(begin, result);
  EXPECT_LT(result, transcript.find("tcp -> unlock unlocked"));
  EXPECT_NE(transcript.find("tcp -> unlock unlocked"), std::string::npos);
}

}  // namespace simtest
