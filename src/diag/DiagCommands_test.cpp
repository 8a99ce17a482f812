#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "diag/DiagFixture.h"

namespace {

using Bytes = ScriptedPeer::Bytes;

Bytes HandshakeReply(uint8_t inDownloader, uint8_t offline, size_t length = 24) {
  Bytes reply = Reply({0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06, 0x00, 0x00, 0x00}, length);
  if (length > 14) reply[14] = inDownloader;
  if (length > 15) reply[15] = offline;
  return reply;
}

Bytes Range(const Bytes& bytes, size_t from, size_t count) {
  return Bytes(bytes.begin() + from, bytes.begin() + from + count);
}

// ---- handshake

class HandshakeTest : public DiagFixture {
 protected:
  int m_InDownloader = 7;
  int m_Offline = 7;
  int HandShake(int leadingFlag = 0) { return m_Caller.DIAG_HandShake(leadingFlag, &m_InDownloader, &m_Offline); }
};

TEST_F(HandshakeTest, RequestAndFlagsOfAGoodReply) {
  ConnectReplying({HandshakeReply(1, 0)});
  EXPECT_EQ(HandShake(), 1);
  EXPECT_EQ(m_InDownloader, 1);
  EXPECT_EQ(m_Offline, 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DIAG_HandShake: (1,0)"});
  const Bytes request = m_Peer->Requests().at(0);
  ASSERT_EQ(request.size(), 133u);
  EXPECT_EQ(Range(request, 0, 7), (Bytes{0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}));
  EXPECT_EQ(std::count(request.begin() + 7, request.end(), 0), 126);
  EXPECT_NE(m_Peer->Wire().at(0), HDLC_FLAG) << "no leading flag asked for";
}

TEST_F(HandshakeTest, OnlyTheValueOneSetsAFlag) {
  ConnectReplying({HandshakeReply(2, 1)});
  EXPECT_EQ(HandShake(1), 1);
  EXPECT_EQ(m_InDownloader, 0);
  EXPECT_EQ(m_Offline, 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DIAG_HandShake: (0,1)"});
  EXPECT_EQ(m_Peer->Wire().at(0), HDLC_FLAG) << "leading flag asked for";
}

TEST_F(HandshakeTest, TooShortReplyFailsWithoutRetry) {
  ConnectReplying({HandshakeReply(0, 0, 15)});
  EXPECT_EQ(HandShake(), 0);
  EXPECT_EQ(RequestCount(), 1u);
  EXPECT_EQ(m_InDownloader, 1);
  EXPECT_EQ(m_Offline, 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DIAG_HandShake: Response Length = 15 (too short)"});
}

TEST_F(HandshakeTest, FormatErrors) {
  // Bytes 1 to 3 belong to the reply pattern: a reply without them is no reply.
  for (size_t offset : {4, 5, 6, 7, 8}) {
    SCOPED_TRACE(offset);
    m_Channel.Close();
    Bytes reply = HandshakeReply(0, 0);
    reply[offset] ^= 0x40;
    ConnectReplying({reply});
    const size_t before = Messages().size();
    EXPECT_EQ(HandShake(), 0);
    EXPECT_EQ(RequestCount(), 1u);
    EXPECT_EQ(m_InDownloader, 1);
    EXPECT_EQ(Messages().at(before), "DIAG_HandShake: Response's format error");
  }
}

TEST_F(HandshakeTest, NonZeroStatusFails) {
  Bytes reply = HandshakeReply(0, 0);
  reply[9] = 2;
  ConnectReplying({reply});
  EXPECT_EQ(HandShake(), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DIAG_HandShake: status = 2"});
  EXPECT_EQ(m_Offline, 1);
}

TEST_F(HandshakeTest, NoAnswerLeavesBothFlagsSet) {
  m_InDownloader = 0;
  m_Offline = 0;
  EXPECT_EQ(HandShake(), 0);  // channel never opened
  EXPECT_EQ(m_InDownloader, 1);
  EXPECT_EQ(m_Offline, 1);
  EXPECT_EQ(Messages().back(), "DIAG_HandShake: Write or Read Fail");
}

// ---- versions

class VersionQueryTest : public DiagFixture {};

TEST_F(VersionQueryTest, BoardVersionEndsAtALineBreak) {
  ConnectReplying({Reply({0x4B, 0xC9, 0x03, 0xFF, 0x56, 0x31, 0x2E, 0x30, 0x0D, 0x0A, 0x41}, 66, 0x41)});
  std::string text;
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 1);
  EXPECT_EQ(text, "V1.0");
  EXPECT_EQ(Messages(), std::vector<std::string>{"Firmware Version: V1.0"});
  EXPECT_EQ(m_Peer->Requests().at(0), (Bytes{0x4B, 0xC9, 0x03, 0xFF}));
}

TEST_F(VersionQueryTest, BoardVersionStopsAt00AndFfAndAfter31Characters) {
  Connect([](const Bytes&, int index) -> std::vector<Bytes> {
    switch (index) {
      case 0: return {Reply({0x4B, 0xC9, 0x03, 0xFF, '2', '.', '1', 0x00, '9'}, 66, '9')};
      case 1: return {Reply({0x4B, 0xC9, 0x03, 0xFF, '2', '.', '2', 0xFF, '9'}, 66, '9')};
      default: return {Reply({0x4B, 0xC9, 0x03, 0xFF}, 66, 'x')};
    }
  });
  std::string text;
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 1);
  EXPECT_EQ(text, "2.1");
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 1);
  EXPECT_EQ(text, "2.2");
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 1);
  EXPECT_EQ(text, std::string(31, 'x'));
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(nullptr), 1) << "the text may be absent";
}

TEST_F(VersionQueryTest, BoardVersionOfTheWrongLengthFailsToRead) {
  ConnectReplying({Reply({0x4B, 0xC9, 0x03, 0xFF, '1'}, 65)});
  std::string text = "earlier";
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 0);
  EXPECT_EQ(text, "Failed to read");
  EXPECT_EQ(RequestCount(), 3u);
  EXPECT_EQ(Messages().back(), "DIAG_QueryBoardVersion: Write or Read Fail");
}

TEST_F(VersionQueryTest, BoardVersionBytesThatAreNotTextAreReplaced) {
  ConnectReplying({Reply({0x4B, 0xC9, 0x03, 0xFF, '1', 0xC3, '2'}, 66, 0x00)});
  std::string text;
  EXPECT_EQ(m_Caller.DIAG_QueryBoardVersion(&text), 1);
  EXPECT_EQ(text, "1\xEF\xBF\xBD" "2");
}

TEST_F(VersionQueryTest, DashboardVersion) {
  Connect([](const Bytes& request, int index) -> std::vector<Bytes> {
    EXPECT_EQ(request.size(), 36u);
    if (index == 0) return {Reply({0x4B, 0xC9, 0x24, 0xFF, 0x00, '3', '.', '0', '.', '1', '.', '2', 0x0A}, 260)};
    if (index == 1) return {Reply({0x4B, 0xC9, 0x24, 0xFF, 0x01, '9'}, 260)};
    return {Reply({0x4B, 0xC9, 0x24, 0xFF, 0x00}, 260, 'd')};
  });
  std::string text;
  EXPECT_EQ(m_Caller.DIAG_QueryISOVersion(&text), 1);
  EXPECT_EQ(text, "3.0.1.2");
  EXPECT_EQ(m_Caller.DIAG_QueryISOVersion(&text), 1);
  EXPECT_EQ(text, "No version");
  EXPECT_EQ(m_Caller.DIAG_QueryISOVersion(&text), 1);
  EXPECT_EQ(text, std::string(128, 'd'));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Dashboard Version: 3.0.1.2",
                                                  "Dashboard Version: " + std::string(128, 'd')}));
  EXPECT_EQ(Range(m_Peer->Requests().at(0), 0, 4), (Bytes{0x4B, 0xC9, 0x24, 0xFF}));
}

TEST_F(VersionQueryTest, DashboardVersionFailsToRead) {
  std::string text;
  EXPECT_EQ(m_Caller.DIAG_QueryISOVersion(&text), 0);
  EXPECT_EQ(text, "Failed to read");
  EXPECT_EQ(Messages().back(), "DIAG_QueryISOVersion: Write or Read Fail");
}

// ---- NV

class NvTest : public DiagFixture {};

TEST_F(NvTest, BackupAndRestoreRequests) {
  ConnectReplying({{0x4B, 0xC8, 0x1E, 0xFF, 0x00, 0x00, 0x00, 0x00}});
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(1), 1);
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(0), 1);
  EXPECT_TRUE(Messages().empty());
  const std::vector<Bytes> requests = m_Peer->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], (Bytes{0x4B, 0xC8, 0x1E, 0xFF, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(requests[1], (Bytes{0x4B, 0xC8, 0x1E, 0xFF, 0x01, 0x01, 0x00, 0x00}));
}

TEST_F(NvTest, ReasonLines) {
  // Reasons 1, 2, 3, 4 and 5 in turn.
  Connect([](const Bytes& request, int index) -> std::vector<Bytes> {
    return {{0x4B, 0xC8, 0x1E, 0xFF, request[4], 0x00, static_cast<uint8_t>(index + 1), 0x00}};
  });
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(i % 2 == 0), 0);
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(0), 0) << "reason 5";
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Backup NV: 单板状态不正确", "Restore NV: 不存在有效的备份",
                                                  "Backup NV: CRC校验失败", "Restore NV: NV操作失败"}));
}

TEST_F(NvTest, Byte5AloneFailsSilently) {
  ConnectReplying({{0x4B, 0xC8, 0x1E, 0xFF, 0x00, 0x01, 0x00, 0x00}});
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(1), 0);
  EXPECT_EQ(RequestCount(), 1u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(NvTest, BackupWithoutAnswer) {
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(1), 0);
  EXPECT_EQ(Messages().back(), "Backup NV: Write or Read Fail");
  EXPECT_EQ(m_Caller.DIAG_NV_BackupRestore(0), 0);
  EXPECT_EQ(Messages().back(), "Restore NV: Write or Read Fail");
}

TEST_F(NvTest, RestoreStatus) {
  struct Case {
    uint8_t m_Byte5, m_Byte6;
    int m_Result;
    const char* m_Line;
  };
  const Case cases[] = {
      {0, 9, 1, "DIAG_NV_QueryRestoreStatus: No Backup to Restore"},
      {1, 0, 1, "DIAG_NV_QueryRestoreStatus: Restore Success"},
      {1, 1, 0, "DIAG_NV_QueryRestoreStatus: Restore Fail"},
      {2, 0, 0, "DIAG_NV_QueryRestoreStatus: Restore Fail"},
  };
  Connect([&cases](const Bytes& request, int index) -> std::vector<Bytes> {
    EXPECT_EQ(request.size(), 36u);
    EXPECT_EQ(Range(request, 0, 4), (Bytes{0x4B, 0xC9, 0x21, 0xFF}));
    const Case& c = cases[index % 4];
    return {Reply({0x4B, 0xC9, 0x21, 0xFF, 0x00, c.m_Byte5, c.m_Byte6}, 36)};
  });
  for (const Case& c : cases) {
    EXPECT_EQ(m_Caller.DIAG_NV_QueryRestoreStatus(), c.m_Result);
    EXPECT_EQ(Messages().back(), c.m_Line);
  }
}

// ---- downloader commands

class DownloaderCommandTest : public DiagFixture {
 protected:
  // The downloader answers the unlock request only, not the lone 26 before it.
  void ConnectUnlockReplying(Bytes reply) {
    Connect([reply](const Bytes& request, int) -> std::vector<Bytes> {
      if (request[0] == 0x0B) return {reply};
      return {};
    });
  }
};

TEST_F(DownloaderCommandTest, UnlockSendsTwoFramesBeforeItsReply) {
  ConnectUnlockReplying({0x02});
  const uint8_t code[8] = {'Q', 'E', 'L', 'U', 'N', 'L', 'K', '1'};
  EXPECT_EQ(m_Caller.DIAG_Unlock(code), 1);
  const Bytes wire = m_Peer->Wire();
  ASSERT_GE(wire.size(), 5u);
  EXPECT_EQ(Range(wire, 0, 5), (Bytes{0x7E, 0x26, 0x4C, 0xB4, 0x7E}));
  EXPECT_EQ(wire.at(5), 0x7E) << "the unlock request has its own leading flag";
  const std::vector<Bytes> requests = m_Peer->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1], (Bytes{0x0B, 'Q', 'E', 'L', 'U', 'N', 'L', 'K', '1'}));
}

TEST_F(DownloaderCommandTest, UnlockRefused) {
  ConnectUnlockReplying({0x03, 0x00, 0x05});
  const uint8_t code[8] = {};
  EXPECT_EQ(m_Caller.DIAG_Unlock(code), 0);
  EXPECT_EQ(Messages().back(), "DIAG_Unlock: Write or Read Fail");
  EXPECT_EQ(Messages().front(), "Execute#1> (03 00 05)");
}

TEST_F(DownloaderCommandTest, WireFormsOfSwitchResetAndChangeMode) {
  Connect([](const Bytes& request, int) -> std::vector<Bytes> {
    if (request[0] == 0x3A) return {{0x3A}};
    if (request[0] == 0x29) return {request};
    return {{0x02}};
  });
  EXPECT_EQ(m_Caller.DIAG_SwitchToDownloader(), 1);
  EXPECT_EQ(m_Peer->Wire(), (Bytes{0x3A, 0xA1, 0x6E, 0x7E}));
  EXPECT_EQ(m_Caller.DIAG_Reset(), 1);
  EXPECT_EQ(Range(m_Peer->Wire(), 4, 5), (Bytes{0x7E, 0x0A, 0x22, 0x5F, 0x7E}));
  EXPECT_EQ(m_Caller.DIAG_ChangeMode(0x101), 1);
  EXPECT_EQ(m_Peer->Requests().back(), (Bytes{0x29, 0x01, 0x00}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(DownloaderCommandTest, FailureLines) {
  EXPECT_EQ(m_Caller.DIAG_SwitchToDownloader(), 0);
  EXPECT_EQ(Messages().back(), "DIAG_SwitchToDownloader: Write or Read Fail");
  EXPECT_EQ(m_Caller.DIAG_Reset(), 0);
  EXPECT_EQ(Messages().back(), "DIAG_Reset: Write or Read Fail");
  EXPECT_EQ(m_Caller.DIAG_ChangeMode(1), 0);
  EXPECT_EQ(Messages().back(), "DIAG_ChangeMode: Write or Read Fail");
  EXPECT_EQ(m_Caller.DIAG_NV_QueryRestoreStatus(), 0);
  EXPECT_EQ(Messages().back(), "DIAG_NV_QueryRestoreStatus: Write or Read Fail");
}

}  // namespace
