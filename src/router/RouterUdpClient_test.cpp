#include "router/RouterUdpClient.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "log/Notice.h"
#include "net/PortFactory.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"

namespace {

using testsupport::Bytes;
using testsupport::Frame;
using testsupport::Message;
using testsupport::ScriptedLink;

constexpr uint8_t LOOPBACK[4] = {127, 0, 0, 1};
constexpr uint8_t MAC[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr uint8_t ROUTER_IP[4] = {192, 168, 1, 1};
constexpr uint64_t SLACK = 150 * 20;  // 150 ms real at scale 20, in program ms

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

TEST(RouterTextTest, AddressFormsParsingAndTheCommandRecord) {
  const uint8_t mac[6] = {0x00, 0x0A, 0xFF, 0x10, 0xAB, 0x01};
  EXPECT_EQ(FormatMac(mac), "00-0A-FF-10-AB-01");
  EXPECT_EQ(FormatIp(BROADCAST_IP), "255.255.255.255");
  uint8_t ip[4] = {};
  for (const char* text : {"255.255.255.255", "127.255.255.255", "10.1.2.3"}) {
    ASSERT_TRUE(ParseIp(text, ip)) << text;
    EXPECT_EQ(FormatIp(ip), text);
  }
  for (const char* text : {"", "router.local", "1.2.3.4.5", "010.001.002.003          " /* 25 */}) {
    EXPECT_FALSE(ParseIp(text, ip)) << text;
  }
  EXPECT_EQ(FormatIp(ip), "10.1.2.3") << "untouched on failure";
  RouterCommand command;
  command.m_Bytes[31] = 0xEE;
  command.Set(ROUTER_CMD_ERASE_NVRAM, ROUTER_IP, MAC);
  Bytes expected = {6, 192, 168, 1, 1, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  expected.resize(32, 0);
  EXPECT_EQ(Bytes(command.m_Bytes, command.m_Bytes + 32), expected);
}

class RouterUdpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(20); }
  ScriptedLink link;
};

TEST_F(RouterUdpClientTest, Discovery) {
  const auto F = [](const Bytes& payload) { return Frame(payload, true); };
  Bytes bad = F(Reply(1, MAC, "1.0"));
  bad[12] ^= 0x01;
  const std::string long33 = "QEL-ROUTER-2.10.300.4000-build-77";
  struct Case {
    const char* what;
    std::vector<std::pair<Bytes, uint32_t>> answers;  // datagrams and their delays
    bool found;
    std::string text;
    uint64_t minMs, maxMs;
  };
  const Case cases[] = {
      {"text ends at its NUL", {{F(Reply(1, MAC, {"1.2.3.4\0junk", 12})), 0}}, true, "1.2.3.4", 0, 3000},
      {"ignored replies restart the wait",
       {{F(Reply(2, MAC, "x")), 0}, {F(Reply(1, ZERO_MAC, "zero")), 1000}, {F({1, 192, 168, 1, 1, 0xAA}), 2000},
        {F(Reply(1, MAC, "2.0.0.1")), 3500}},
       true, "2.0.0.1", 3500, 3500 + SLACK},
      {"only ignored replies: 3 s after the last", {{F(Reply(1, ZERO_MAC, "a")), 500}, {F(Reply(1, ZERO_MAC, "b")), 1000}},
       false, "untouched", 4000, 4000 + 100 + SLACK},
      {"a bad check value ends the try", {{bad, 0}, {F(Reply(1, MAC, "1.0")), 0}}, false, "untouched", 0, 3000},
      {"no answer", {}, false, "untouched", 3000, 3000 + 100 + SLACK},
      {"text runs past the record", {{F(Reply(1, MAC, long33 + '\0' + "tail")), 0}}, true, long33, 0, 3000},
      {"no NUL: text ends with the reply, not in its FCS", {{F(Reply(1, MAC, "ABCDEFGHIJKLMNOPQRSTUVWXY", 0)), 0}},
       true, "ABCDEFGHIJKLMNOPQRSTUVWXY", 0, 3000},
      {"10 bytes are ignored, 11 give an empty text",
       {{F({1, 10, 0, 0, 1, 1, 2, 3, 4, 5}), 0}, {F(Reply(1, MAC, "", 11)), 0}}, true, "", 0, 3000},
      {"text made valid UTF-8", {{F(Reply(1, MAC, "V\xE9rsion")), 0}}, true, "V\xEF\xBF\xBDrsion", 0, 3000},
  };
  Bytes request(32, 0);
  request[0] = ROUTER_CMD_DISCOVER;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    link.SetScript([&](const Message&) {
      for (const auto& [datagram, delayMs] : c.answers) link.AnswerRaw(datagram, delayMs, PORT_UDP);
    });
    const size_t before = link.Messages().size();
    RouterUdpClient client(LOOPBACK, 1280);
    uint8_t mac[6] = {}, ip[4] = {};
    std::string text = "untouched";
    const uint64_t start = Clock::TickCount();
    EXPECT_EQ(client.Discover(mac, ip, &text), c.found);
    const uint64_t elapsed = Clock::TickCount() - start;
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LT(elapsed, c.maxMs);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(FormatMac(mac), c.found ? "00-1A-2B-3C-4D-5E" : "00-00-00-00-00-00");
    EXPECT_EQ(FormatIp(ip), c.found ? "192.168.1.1" : "0.0.0.0");
    const std::vector<Message> sent = link.Messages();
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(sent.back().m_Wire, F(request));
    EXPECT_EQ(sent.back().m_Address + ":" + std::to_string(sent.back().m_Port), "127.0.0.1:1280");
  }
  RouterUdpClient client(LOOPBACK, 1280);
  uint8_t mac[6] = {}, ip[4] = {};
  EXPECT_TRUE(client.Discover(mac, ip, nullptr)) << "the text may be left out";
}

TEST_F(RouterUdpClientTest, ExchangeNeedsTheRequestEchoedWhole) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    bool ok;
    int flipped;  // the byte the router changed, kept in m_Response
  };
  const Case cases[] = {
      {"echo", [](Bytes&) {}, true, -1},
      {"shorter", [](Bytes& b) { b.pop_back(); }, false, -1},
      {"longer", [](Bytes& b) { b.push_back(0); }, false, -1},
      {"code differs", [](Bytes& b) { b[0] ^= 1; }, false, 0},
      {"address differs", [](Bytes& b) { b[4] ^= 1; }, false, 4},
      {"MAC differs", [](Bytes& b) { b[10] ^= 1; }, false, 10},
      {"last byte differs", [](Bytes& b) { b[31] ^= 1; }, false, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    link.SetScript([&](const Message& m) {
      Bytes answer = m.m_Payload;
      c.change(answer);
      link.Answer(answer);
    });
    RouterUdpClient client(LOOPBACK, 1280);
    client.m_Request.Set(ROUTER_CMD_ENTER_FORCE_LOAD, ROUTER_IP, MAC);
    EXPECT_EQ(client.Exchange(2000), c.ok);
    EXPECT_EQ(link.Messages().back().m_Wire, Frame(Bytes(client.m_Request.m_Bytes, client.m_Request.m_Bytes + 32), true));
    EXPECT_TRUE(!c.ok || memcmp(client.m_Response.m_Bytes, client.m_Request.m_Bytes, 32) == 0);
    EXPECT_TRUE(c.flipped < 0 || client.m_Response.m_Bytes[c.flipped] == (client.m_Request.m_Bytes[c.flipped] ^ 1));
  }
  link.SetScript({});
  RouterUdpClient silent(LOOPBACK, 1280);
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(silent.Exchange(4000));
  EXPECT_GE(Clock::TickCount() - start, 4000u);
}

// A port that cannot be configured, or configured but not opened.
class RefusingPort : public INetPort {
 public:
  explicit RefusingPort(bool refuseConfig) : m_RefuseConfig(refuseConfig) {}
  int Write(const uint8_t*, uint32_t, uint32_t) override { return 0; }
  int Read(uint8_t*, uint32_t, uint32_t*, uint32_t) override { return 0; }
  int Close() override { return 1; }
  int SetConfig(const std::string&, int) override { return m_RefuseConfig ? 0 : 1; }
  int Open() override {
    m_LastError = EACCES;
    return 0;
  }
  int GetType() const override { return PORT_UDP; }
  bool m_RefuseConfig;
};

TEST(RouterUdpClientNoticeTest, PortThatCannotBeSetUpShowsItsNotice) {
  testsupport::RecordingNotices notices;
  SetNoticeSink(&notices);
  for (bool refuseConfig : {true, false}) {
    SetPortMaker([=](int) { return std::make_unique<RefusingPort>(refuseConfig); });
    RouterUdpClient client(LOOPBACK, 1280);
    uint8_t mac[6], ip[4];
    EXPECT_FALSE(client.m_PortReady);
    EXPECT_FALSE(client.Discover(mac, ip, nullptr));
  }
  SetPortMaker({});
  SetNoticeSink(nullptr);
  EXPECT_EQ(notices.Texts(), (std::vector<std::string>{"m_UdpPort.SetConfig() failed", "m_UdpPort.Open() failed"}));
}

}  // namespace
