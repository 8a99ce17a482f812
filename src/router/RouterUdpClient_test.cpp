#include "router/RouterUdpClient.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "diag/Hdlc.h"
#include "log/Notice.h"
#include "net/testing/LoopbackPeers.h"

namespace {

using testpeers::Bytes;
using testpeers::Frame;
using testpeers::UdpResponder;

constexpr uint8_t LOOPBACK_BROADCAST[4] = {127, 255, 255, 255};
constexpr uint8_t LOOPBACK[4] = {127, 0, 0, 1};
constexpr uint8_t MAC[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr uint8_t ROUTER_IP[4] = {192, 168, 1, 1};
constexpr uint64_t SLACK = 150 * 20;  // program ms at scale 20

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }

// A discovery reply: code, address, MAC, then the text bytes as given.
Bytes Reply(uint8_t code, const uint8_t mac[6], const std::string& text, size_t minimum = 32) {
  Bytes reply(11 + text.size());
  reply[0] = code;
  memcpy(reply.data() + 1, ROUTER_IP, 4);
  memcpy(reply.data() + 5, mac, 6);
  memcpy(reply.data() + 11, text.data(), text.size());
  if (reply.size() < minimum) reply.resize(minimum, 0);
  return reply;
}

UdpResponder::Script Answer(std::vector<Bytes> payloads) {
  return [payloads](const Bytes&, int) {
    std::vector<Bytes> frames;
    for (const Bytes& payload : payloads) frames.push_back(Frame(payload));
    return frames;
  };
}

class RouterUdpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }

  struct Found {
    bool ok = false;
    uint8_t mac[6] = {};
    uint8_t ip[4] = {};
    std::string text = "untouched";
  };
  Found Discover(int port) {
    RouterUdpClient client(LOOPBACK_BROADCAST, port);
    EXPECT_TRUE(client.m_PortReady);
    Found found;
    found.ok = client.Discover(found.mac, found.ip, &found.text);
    return found;
  }
};

TEST(RouterTextTest, AddressFormsAndParsing) {
  const uint8_t mac[6] = {0x00, 0x0A, 0xFF, 0x10, 0xAB, 0x01};
  EXPECT_EQ(FormatMac(mac), "00-0A-FF-10-AB-01");
  EXPECT_EQ(FormatMac(ZERO_MAC), "00-00-00-00-00-00");
  EXPECT_EQ(FormatIp(ROUTER_IP), "192.168.1.1");
  EXPECT_EQ(FormatIp(BROADCAST_IP), "255.255.255.255");
  EXPECT_EQ(FormatIp(ZERO_IP), "0.0.0.0");
  uint8_t ip[4] = {};
  ASSERT_TRUE(ParseIp("255.255.255.255", ip));
  EXPECT_EQ(memcmp(ip, BROADCAST_IP, 4), 0);
  ASSERT_TRUE(ParseIp("127.255.255.255", ip));
  EXPECT_EQ(memcmp(ip, LOOPBACK_BROADCAST, 4), 0);
  ASSERT_TRUE(ParseIp("10.1.2.3", ip));
  EXPECT_EQ(FormatIp(ip), "10.1.2.3");
  EXPECT_FALSE(ParseIp("", ip));
  EXPECT_FALSE(ParseIp("router.local", ip));
  EXPECT_FALSE(ParseIp("1.2.3.4.5", ip));
  EXPECT_FALSE(ParseIp("010.001.002.003          ", ip));  // 25 characters
  EXPECT_EQ(FormatIp(ip), "10.1.2.3");                      // untouched on failure
}

TEST(RouterTextTest, CommandRecordLayout) {
  RouterCommand command;
  command.m_Bytes[31] = 0xEE;
  command.Set(ROUTER_CMD_ERASE_NVRAM, ROUTER_IP, MAC);
  const Bytes expected = {6, 192, 168, 1, 1, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(Bytes(command.m_Bytes, command.m_Bytes + 11), expected);
  EXPECT_EQ(Bytes(command.m_Bytes + 11, command.m_Bytes + 32), Bytes(21, 0));
}

TEST_F(RouterUdpClientTest, DiscoverySendsOneFramedRequestAndTakesTheReply) {
  UdpResponder router(Answer({Reply(1, MAC, std::string("1.2.3.4\0junk", 12))}));
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_EQ(FormatMac(found.mac), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(FormatIp(found.ip), "192.168.1.1");
  EXPECT_EQ(found.text, "1.2.3.4");
  ASSERT_EQ(router.Requests().size(), 1u);
  Bytes request(32, 0);
  request[0] = ROUTER_CMD_DISCOVER;
  EXPECT_EQ(router.Requests()[0], Frame(request, true));
}

TEST_F(RouterUdpClientTest, IgnoredRepliesRestartTheWait) {
  // Another code, a zero MAC and a reply too short to hold a MAC come first.
  UdpResponder router(Answer({Reply(2, MAC, "x"), Reply(1, ZERO_MAC, "zero"), Bytes{1, 192, 168, 1, 1, 0xAA},
                              Reply(1, MAC, "2.0.0.1")}));
  router.SetDelayRealMs(50);  // 1000 program ms apart: three of them outlast one wait
  const uint64_t start = Clock::TickCount();
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_GT(Since(start), 3000u);  // only possible because each wait began afresh
  EXPECT_EQ(found.text, "2.0.0.1");
  EXPECT_EQ(FormatMac(found.mac), "00-1A-2B-3C-4D-5E");
}

TEST_F(RouterUdpClientTest, OnlyIgnoredRepliesFailThreeSecondsAfterTheLast) {
  UdpResponder router(Answer({Reply(1, ZERO_MAC, "a"), Reply(1, ZERO_MAC, "b")}));
  router.SetDelayRealMs(25);  // 500 program ms apart
  const uint64_t start = Clock::TickCount();
  const Found found = Discover(router.Port());
  EXPECT_FALSE(found.ok);
  EXPECT_GE(Since(start), 1000u + 3000u);
  EXPECT_LT(Since(start), 1000u + 3000u + SLACK);
  EXPECT_EQ(found.text, "untouched");
  EXPECT_EQ(FormatMac(found.mac), "00-00-00-00-00-00");
}

TEST_F(RouterUdpClientTest, BadCheckValueEndsTheTry) {
  UdpResponder router([](const Bytes&, int) {
    Bytes bad = Frame(Reply(1, MAC, "1.0"));
    bad[12] ^= 0x01;
    return std::vector<Bytes>{bad, Frame(Reply(1, MAC, "1.0"))};
  });
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(Discover(router.Port()).ok);
  EXPECT_LT(Since(start), 3000u);  // not skipped: no wait for the good one
}

TEST_F(RouterUdpClientTest, NoAnswerFailsAfterThreeSeconds) {
  UdpResponder router(Answer({}));
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(Discover(router.Port()).ok);
  EXPECT_GE(Since(start), 3000u);
  EXPECT_LT(Since(start), 3000u + SLACK);
}

TEST_F(RouterUdpClientTest, VersionTextRunsPastTheRecordUpToItsNul) {
  const std::string longText = "QEL-ROUTER-2.10.300.4000-build-77";  // 33 characters
  UdpResponder router(Answer({Reply(1, MAC, longText + std::string(1, '\0') + "tail")}));
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_EQ(found.text, longText);
}

TEST_F(RouterUdpClientTest, VersionTextWithoutNulEndsWithTheReply) {
  // 11 + 25 bytes, no NUL anywhere: the FCS that follows in the datagram
  // must not become part of the text.
  UdpResponder router(Answer({Reply(1, MAC, "ABCDEFGHIJKLMNOPQRSTUVWXY", 0)}));
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_EQ(found.text, "ABCDEFGHIJKLMNOPQRSTUVWXY");
}

TEST_F(RouterUdpClientTest, ElevenByteReplyGivesAnEmptyTextAndTenBytesAreIgnored) {
  UdpResponder router(Answer({Bytes{1, 10, 0, 0, 1, 1, 2, 3, 4, 5}, Reply(1, MAC, "", 11)}));
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_EQ(found.text, "");
  EXPECT_EQ(FormatIp(found.ip), "192.168.1.1");
}

TEST_F(RouterUdpClientTest, VersionTextIsMadeValidUtf8) {
  UdpResponder router(Answer({Reply(1, MAC, "V\xE9rsion")}));
  const Found found = Discover(router.Port());
  ASSERT_TRUE(found.ok);
  EXPECT_EQ(found.text, "V\xEF\xBF\xBDrsion");
}

TEST_F(RouterUdpClientTest, TextOutputMayBeAbsent) {
  UdpResponder router(Answer({Reply(1, MAC, "1.0")}));
  RouterUdpClient client(LOOPBACK_BROADCAST, router.Port());
  uint8_t mac[6] = {}, ip[4] = {};
  ASSERT_TRUE(client.Discover(mac, ip, nullptr));
  EXPECT_EQ(memcmp(mac, MAC, 6), 0);
}

class ExchangeTest : public RouterUdpClientTest {
 protected:
  // Runs one exchange of command 7 against a router answering with answer(request).
  bool Run(std::function<Bytes(const Bytes&)> answer, RouterUdpClient** out = nullptr) {
    router = std::make_unique<UdpResponder>([answer](const Bytes& request, int) {
      Bytes payload(request.size());
      payload.resize(HdlcDecode(request.data(), static_cast<uint32_t>(request.size()), payload.data()));
      return std::vector<Bytes>{Frame(answer(payload))};
    });
    client = std::make_unique<RouterUdpClient>(LOOPBACK, router->Port());
    client->m_Request.Set(ROUTER_CMD_ENTER_FORCE_LOAD, ROUTER_IP, MAC);
    if (out) *out = client.get();
    return client->Exchange(2000);
  }

  std::unique_ptr<UdpResponder> router;
  std::unique_ptr<RouterUdpClient> client;
};

TEST_F(ExchangeTest, EchoedRequestSucceeds) {
  EXPECT_TRUE(Run([](const Bytes& request) { return request; }));
  EXPECT_EQ(memcmp(client->m_Response.m_Bytes, client->m_Request.m_Bytes, 32), 0);
  // May be repeated on one client; each call sends the request again.
  EXPECT_TRUE(client->Exchange(2000));
  EXPECT_EQ(router->Requests().size(), 2u);
}

TEST_F(ExchangeTest, AnswersOfOtherLengthsFail) {
  EXPECT_FALSE(Run([](Bytes request) {
    request.pop_back();
    return request;
  }));
  EXPECT_FALSE(Run([](Bytes request) {
    request.push_back(0);
    return request;
  }));
}

TEST_F(ExchangeTest, AnyDifferingByteFailsAndIsKeptAsTheResponse) {
  for (size_t index : {size_t{0}, size_t{4}, size_t{10}, size_t{31}}) {
    EXPECT_FALSE(Run([index](Bytes request) {
      request[index] ^= 0x01;
      return request;
    })) << index;
    EXPECT_EQ(client->m_Response.m_Bytes[index], client->m_Request.m_Bytes[index] ^ 0x01);
  }
}

TEST_F(ExchangeTest, SilenceFailsAfterTheTimeOut) {
  router = std::make_unique<UdpResponder>(Answer({}));
  RouterUdpClient silent(LOOPBACK, router->Port());
  silent.m_Request.Set(ROUTER_CMD_ERASE_NVRAM, ROUTER_IP, MAC);
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(silent.Exchange(4000));
  EXPECT_GE(Since(start), 4000u);
}

class CapturedNotices : public INoticeSink {
 public:
  void ShowNotice(const std::string& caption, const std::string& text) override {
    m_Caption = caption;
    m_Text = text;
  }
  std::string m_Caption, m_Text;
};

// Makes every socket() call of this process fail with EACCES from now on.
bool RefuseSockets() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(RouterUdpClientNoticeTest, FailedOpenShowsItsNoticeAndSendsFail) {
  // Tried in a child, so the refusal does not reach the rest of the tests.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CapturedNotices notices;
    SetNoticeSink(&notices);
    if (!RefuseSockets()) _exit(2);
    RouterUdpClient client(LOOPBACK, 1);
    uint8_t mac[6], ip[4];
    const bool sent = client.Discover(mac, ip, nullptr);
    const bool ok = !client.m_PortReady && !sent && client.m_UdpPort->m_LastError == EACCES &&
                    notices.m_Text == "m_UdpPort.Open() failed" &&
                    notices.m_Caption == program_invocation_short_name;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: the socket refusal could not be installed";
}

}  // namespace
