#include "diag/DiagCaller.h"

#include <gtest/gtest.h>

#include "diag/DiagFixture.h"

namespace {

const uint8_t kBoardRequest[] = {0x4B, 0xC9, 0x03, 0xFF};
const uint8_t kDownloaderPattern[] = {0x02};

class ExecuteTest : public DiagFixture {
 protected:
  int ExecuteBoardQuery(uint32_t expectedLength) {
    m_Channel.ExpectReply(kBoardRequest, 4);
    return m_Caller.Execute(kBoardRequest, 4, expectedLength, 0, 1000);
  }
};

TEST_F(ExecuteTest, ErrorRepliesEndAfterOneTry) {
  for (uint8_t code : {0x13, 0x14, 0x15}) {
    SCOPED_TRACE(code);
    m_Channel.Close();
    const size_t before = Messages().size();
    // Error replies repeat the request behind their code.
    ConnectReplying({{code, 0x4B, 0xC9, 0x03, 0xFF}});
    EXPECT_EQ(ExecuteBoardQuery(0), 0);
    EXPECT_EQ(RequestCount(), 1u);
    char expected[32];
    snprintf(expected, sizeof expected, "Execute#1> %02X", code);
    const std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + before, messages.end()),
              std::vector<std::string>{expected});
  }
}

TEST_F(ExecuteTest, NakRepliesAreRetriedThreeTimes) {
  // A downloader request refused with 03 00 01 each time.
  ConnectReplying({{0x03, 0x00, 0x01}});
  const uint8_t reset[] = {0x0A};
  m_Channel.ExpectReply(kDownloaderPattern, 1);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(m_Caller.Execute(reset, 1, 1, 1, 3000), 0);
  EXPECT_GE(Clock::TickCount() - start, 600u) << "a 200 ms pause after every try";
  EXPECT_EQ(RequestCount(), 3u);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Execute#1> (03 00 01)", "Execute#2> (03 00 01)",
                                                  "Execute#3> (03 00 01)"}));
}

TEST_F(ExecuteTest, Error18IsRetriedAndAGoodReplyEndsTheRetries) {
  Connect([](const Bytes&, int index) -> std::vector<Bytes> {
    if (index == 0) return {{0x18, 0x4B, 0xC9, 0x03, 0xFF}};
    return {{0x4B, 0xC9, 0x03, 0xFF, 0x01}};
  });
  EXPECT_EQ(ExecuteBoardQuery(5), 1);
  EXPECT_EQ(RequestCount(), 2u);
  EXPECT_EQ(m_Caller.m_ReplyLength, 5u);
  EXPECT_EQ(m_Caller.m_Reply[4], 0x01);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Execute#1> (18 4B C9)"});
}

TEST_F(ExecuteTest, LengthErrorsAreLoggedAndRetried) {
  ConnectReplying({{0x3A, 0x00}});
  const uint8_t request[] = {0x3A};
  m_Channel.ExpectReply(request, 1);
  EXPECT_EQ(m_Caller.Execute(request, 1, 1, 0, 1000), 0);
  EXPECT_EQ(RequestCount(), 3u);
  const std::string line = "CDiagCaller::Execute> Response's Length Error(Expect:1 Actual:2)";
  EXPECT_EQ(Messages(), (std::vector<std::string>{line, line, line}));
}

TEST_F(ExecuteTest, ExpectedLengthZeroAcceptsAnyLength) {
  ConnectReplying({{0x4B, 0xC9, 0x03, 0xFF, 1, 2, 3}});
  EXPECT_EQ(ExecuteBoardQuery(0), 1);
  EXPECT_EQ(RequestCount(), 1u);
  EXPECT_EQ(m_Caller.m_ReplyLength, 7u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ExecuteTest, ShortReplyLeavesCdFillBehindIt) {
  Connect([](const Bytes&, int index) -> std::vector<Bytes> {
    if (index == 0) return {Reply({0x4B, 0xC9, 0x03, 0xFF}, 40, 0x11)};
    return {{0x4B, 0xC9, 0x03, 0xFF, 0x22}};
  });
  ASSERT_EQ(ExecuteBoardQuery(0), 1);
  ASSERT_EQ(m_Caller.m_ReplyLength, 40u);
  ASSERT_EQ(ExecuteBoardQuery(0), 1);
  ASSERT_EQ(m_Caller.m_ReplyLength, 5u);
  EXPECT_EQ(m_Caller.m_Reply[4], 0x22);
  for (uint32_t i = 5; i < DIAG_REPLY_SIZE; ++i) ASSERT_EQ(m_Caller.m_Reply[i], 0xCD) << "byte " << i;
}

TEST_F(ExecuteTest, ClosedChannelFailsEveryWrite) {
  m_Channel.ExpectReply(kBoardRequest, 4);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(m_Caller.Execute(kBoardRequest, 4, 66, 0, 3000), 0);
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_GE(elapsed, 600u);
  EXPECT_LT(elapsed, 600u + 40 * DIAG_TEST_SCALE) << "no wait but the three pauses";
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Execute#1> Write Fail", "Execute#2> Write Fail",
                                                  "Execute#3> Write Fail"}));
}

TEST_F(ExecuteTest, SilenceFailsEveryRead) {
  ConnectReplying({});
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(ExecuteBoardQuery(66), 0);
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_GE(elapsed, 3u * (1000 + 200));
  EXPECT_LT(elapsed, 3u * (1000 + 200) + 40 * DIAG_TEST_SCALE);
  EXPECT_EQ(RequestCount(), 3u);
  EXPECT_EQ(m_Caller.m_ReplyLength, 0u);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Execute#1> Read Fail", "Execute#2> Read Fail",
                                                  "Execute#3> Read Fail"}));
}

TEST_F(ExecuteTest, FramesThatDoNotMatchThePatternAreNoReply) {
  // Another command's reply first, then the real one in the same burst.
  ConnectReplying({{0x29, 0x01, 0x00}, {0x4B, 0xC9, 0x03, 0xFF, 0x07}});
  EXPECT_EQ(ExecuteBoardQuery(5), 1);
  EXPECT_EQ(m_Caller.m_Reply[0], 0x4B);
  EXPECT_EQ(m_Caller.m_Reply[4], 0x07);
}

}  // namespace
