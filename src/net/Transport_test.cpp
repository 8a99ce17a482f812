// The transport on loopback: the address texts each port takes, the TCP
// and UDP ports, the frame cutter, the reply queue, and the channel over a
// TCP connection with and without its receive thread.
#include <gtest/gtest.h>

#include <tuple>

#include "net/AddressText.h"
#include "net/FrameAssembler.h"
#include "net/PortChannel.h"
#include "net/TcpPort.h"
#include "net/UdpPort.h"
#include "support/LoopbackPeers.h"
#include "support/Packages.h"

namespace {

using namespace testsupport;

constexpr uint64_t SLACK = 500 * 20;  // 500 ms real at scale 20, in program ms: room for a loaded machine

uint64_t Since(uint64_t start) { return Clock::TickCount() - start; }
uint32_t Size(const Bytes& bytes) { return static_cast<uint32_t>(bytes.size()); }

// What one read call (buffer, capacity, &received) took, empty when it
// failed, which it must report exactly then; *took: how long it waited.
template <typename Call>
Bytes Taken(uint32_t capacity, uint64_t* took, Call read) {
  Bytes out(capacity);
  uint32_t received = 99;
  const uint64_t start = Clock::TickCount();
  const int ok = read(out.data(), capacity, &received);
  *took = Since(start);
  EXPECT_EQ(ok == 1, received > 0);
  return Bytes(out.begin(), out.begin() + std::min(received, capacity));
}

// Nothing is sent here: the limited broadcast never leaves a test's machine.
TEST(AddressTextTest, ClassicFormsAndWhatEachPortTakes) {
  struct Case { std::string text, parsed; bool tcp, udp, broadcast; };  // parsed: "" when refused
  const Case cases[] = {
      {"10.0.255.1", "10.0.255.1", 1, 1, 0}, {"127.1 junk", "127.0.0.1", 1, 1, 0} /* the classic parser's forms */,
      {"0x7f.1.0377", "127.1.0.255", 1, 1, 1}, {"10.65535", "10.0.255.255", 1, 1, 1}, {"1.2.65536", "", 0, 0, 0},
      {"256.1.1.1", "", 0, 0, 0}, {"08.1.1.1", "", 0, 0, 0}, {"1..2", "", 0, 0, 0}, {"1.2.3.4.5", "", 0, 0, 0},
      {"0x", "", 0, 0, 0}, {"4294967296", "", 0, 0, 0}, {"1.2.3.4x", "", 0, 0, 0},
      {"127.255.255.255", "127.255.255.255", 1, 1, 1}, {"", "", 0, 0, 0}, {{"1.2.3.4\0", 8}, "", 0, 0, 0},
      // The limited broadcast: only the UDP port takes it, by its exact text.
      {"255.255.255.255", "255.255.255.255", 0, 1, 1}, {"0xffffffff", "255.255.255.255", 0, 0, 0},
      {"255.0.255.255", "255.0.255.255", 1, 1, 1}, {"255.255.0.255", "255.255.0.255", 1, 1, 1},  // every octet counts
      {"10.1.2.3" + std::string(16, ' '), "10.1.2.3", 1, 1, 0}, {"10.1.2.3" + std::string(17, ' '), "", 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    uint8_t ip[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseIp(c.text, ip), !c.parsed.empty());
    EXPECT_EQ(FormatIp(ip), c.parsed.empty() ? "9.9.9.9" : c.parsed);  // untouched on failure
    CTcpPort tcp;
    CUdpPort udp;
    errno = 0;
    EXPECT_EQ(tcp.SetConfig(c.text, 1280), c.tcp);
    EXPECT_EQ(udp.SetConfig(c.text, 1280), c.udp);
    EXPECT_EQ(errno, c.tcp && c.udp ? 0 : EINVAL) << "a refused text sets it";
    EXPECT_EQ(c.udp && udp.Open() == 1 && udp.BroadcastEnabled(), c.broadcast);
  }
}

TEST(UdpPortTest, OneDatagramPerReadNoLongerThanTheBuffer) {
  testsupport::ScopedClockScale clock(20);
  CUdpPort port;
  const auto send = [&](const Bytes& b) { return port.Write(b.data(), Size(b), 2000); };
  uint64_t took = 0;
  const auto receive = [&](uint32_t timeoutMs = 3000) {
    return Taken(512, &took, [&](auto... read) { return port.Read(read..., timeoutMs); });
  };
  EXPECT_EQ(send({1}), 0);  // never opened: everything fails at once
  EXPECT_TRUE(receive(INFINITE).empty());
  // It answers a request without its first byte, not at all when that is 0.
  UdpPeer router;
  router.Respond([](const Bytes& r, int) { return std::vector<Bytes>(r[0] != 0, Bytes(r.begin() + 1, r.end())); });
  ASSERT_EQ(port.SetConfig("127.255.255.255", router.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  // Each datagram sent, what the Read takes, its error, how long it waits: a time-out has no pause.
  const struct { Bytes sent, received; int error; uint64_t tookMs; } exchanges[] = {
      {{1, 0x7E, 2}, {0x7E, 2}, 0, 0}, {Bytes(514, 1), {}, TooLongError(), 0}, {{1}, {}, 0, 0} /* empty */,
      {Bytes(513, 1), Bytes(512, 1), 0, 0} /* as long as the buffer */, {{0}, {}, WAIT_TIMED_OUT, 3000}};
  for (const auto& e : exchanges) {
    ASSERT_EQ(send(e.sent), 1);
    EXPECT_EQ(receive(), e.received);
    EXPECT_EQ(port.m_LastError, e.error);
    EXPECT_GE(took, e.tookMs);
    EXPECT_LT(took, e.tookMs + SLACK);
  }
  for (int time = 1; time <= 2; ++time) EXPECT_EQ(port.Close(), 1) << time;
  EXPECT_FALSE(port.IsOpen());
}

TEST(TcpPortTest, WritesReadsTimeOutsCancelsAndLostConnections) {
  testsupport::ScopedClockScale clock(20);
  TcpPeer peer;
  CTcpPort port;
  const auto Connect = [&] {
    ASSERT_EQ(port.SetConfig("127.0.0.1", peer.Port()), 1);
    ASSERT_EQ(port.Open(), 1);
    ASSERT_TRUE(peer.Accept());
  };
  uint64_t took = 0;
  const auto Read = [&](uint32_t timeoutMs, uint32_t capacity = 8) {
    return Taken(capacity, &took, [&](auto... read) { return port.Read(read..., timeoutMs); });
  };
  const auto Write = [&](const Bytes& b, uint32_t timeoutMs = 3000) { return port.Write(b.data(), Size(b), timeoutMs); };
  // A failed Read that took from minMs to minMs + SLACK with the error.
  const auto ExpectFailedRead = [&](uint32_t timeoutMs, uint64_t minMs, int error) {
    EXPECT_EQ(Read(timeoutMs), Bytes{});
    EXPECT_EQ(port.m_LastError, error);
    EXPECT_GE(took, minMs);
    EXPECT_LT(took, minMs + SLACK);
  };
  EXPECT_EQ(Write({}), 0);  // closed wins over the empty write
  ExpectFailedRead(INFINITE, 100, 0);  // pauses and fails, no wait for data
  for (int time = 1; time <= 2; ++time) ASSERT_EQ(port.Close(), 1) << time;
  ASSERT_EQ(port.SetConfig("127.0.0.1", FreePort()), 1);
  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(std::tuple(port.m_LastError.load(), port.IsConnected()), std::tuple(CONNECTION_REFUSED, false));
  Connect();
  EXPECT_EQ(Write({}), 1);
  // A peer that closes costs the reader a pause; one that resets, a re-connect.
  peer.Close();
  ExpectFailedRead(INFINITE, 1500, 0);
  EXPECT_FALSE(peer.Accept(0)) << "no re-connect";
  Connect();
  peer.Close(true);
  int written = 1;
  for (int i = 0; i < 5 && written == 1; ++i) written = Write({1, 2, 3, 4});
  EXPECT_EQ(written, 0);
  EXPECT_TRUE(IsConnectionLoss(port.m_LastError)) << port.m_LastError;
  ASSERT_TRUE(peer.Accept());  // where the port's writes go again
  const Bytes block = Pattern(64 * 1024, 7);  // more than the smallest socket buffers
  std::thread writer([&] { EXPECT_EQ(Write(block), 1); });
  EXPECT_EQ(peer.Receive(block.size()), block);
  writer.join();
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(Write(Bytes(4 << 20, 0x55), 500), 0);  // the peer takes nothing now
  EXPECT_EQ(port.m_LastError, WAIT_TIMED_OUT);
  EXPECT_GE(Since(start), 500u);
  // Bytes come out in order, no more per Read than it has room for.
  Connect();
  ASSERT_TRUE(peer.Send({1, 2, 3, 4, 5}));
  for (uint8_t expected : {1, 2}) EXPECT_EQ(Read(3000, 1), Bytes{expected});
  EXPECT_EQ(Read(3000, 2), (Bytes{3, 4}));
  EXPECT_EQ(Read(3000), Bytes{5});
  EXPECT_EQ(port.m_LastError, 0);
  ExpectFailedRead(500, 600, WAIT_TIMED_OUT);  // the wait plus the pause
  // A Cancel ends the Read that waits (the channel's stop relies on it), or
  // else the next one, and only that one.
  EXPECT_EQ(port.Cancel(), 1);
  ExpectFailedRead(INFINITE, 100, WAIT_CANCELLED);
  ExpectFailedRead(200, 300, WAIT_TIMED_OUT);
}

TEST(FrameAssemblerTest, CutsTheStreamAtFlags) {
  Bytes full(FrameAssembler::MAX_FRAME - 2, 0x30);  // its frame: exactly 1024 bytes between the flags
  while (Frame(full).size() != FrameAssembler::MAX_FRAME + 1) ++full[0];  // no escape in the FCS
  const Bytes c = {0xAA, 0xBB, 0x7E, 0x7D}, split = Frame(c);
  // Every frame that ended, in order: its payload, or nothing when it did not decode.
  const struct { const char* what; Bytes stream; std::vector<Bytes> frames; } cases[] = {
      {"two bytes before a flag are kept", Concat({{split[0], split[1], 0x7E}, {split.begin() + 2, split.end()}}), {c}},
      {"a run of exactly 1024 bytes", Frame(full, true), {full}},
      {"byte 1025 goes with the run, the next start afresh", Concat({Bytes(1025, 0x31), Frame(c)}), {c}}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    FrameAssembler assembler;
    std::vector<Bytes> frames;
    for (uint8_t byte : k.stream)
      if (assembler.Feed(byte) != FrameAssembler::NEED_MORE)
        frames.emplace_back(assembler.Payload(), assembler.Payload() + assembler.PayloadLength());
    EXPECT_EQ(frames, k.frames);
    EXPECT_EQ(assembler.Pending(), 0u);
  }
}

TEST(ReceiveQueueTest, MatchRulesAndWaits) {
  const Bytes version = {0x4B, 0xC9, 0x03, 0xFF}, write = {0x02, 0x00, 0x10, 0x20, 0x00};
  // An error reply (13, 14, 15, 18) matches when the whole request follows its code.
  const struct { Bytes pattern, frame; bool matches; } cases[] = {
      {version, {0x4B, 0xC9, 0x03, 0xFF, 0x00}, true}, {version, {0x4B, 0xC9, 0x03, 0xFF}, true},
      {version, {0x4B, 0xC9, 0x03}, false}, {version, {0x4B, 0xC9, 0x04, 0xFF}, false},
      {version, {0x16, 0x4B, 0xC9, 0x03, 0xFF}, false}, {version, {0x13, 0x4B, 0xC9, 0x03}, false},
      // Block writes: the acknowledgement as far as it goes, or a 3-byte refusal; no error form.
      {write, {0x02, 0x00, 0x10, 0x20, 0x00, 0x99}, true}, {write, {0x02}, true}, {write, {0x02, 0x00, 0x11}, false},
      {write, {0x03, 0x12, 0x34}, true}, {write, {0x03, 0x12, 0x34, 0x56}, false}, {write, {0x13, 0x02, 0x00}, false}};
  ReceiveQueue queue;
  const auto expect = [&](const Bytes& pattern) { queue.SetPattern(pattern.data(), Size(pattern)); };
  const auto push = [&](const Bytes& frame) { return queue.Push(frame.data(), Size(frame)); };
  for (const auto& c : cases) {
    expect(c.pattern);
    EXPECT_EQ(queue.Matches(c.frame.data(), Size(c.frame)), c.matches)
        << testing::PrintToString(c.pattern) << testing::PrintToString(c.frame);
  }
  // One match releases one wait, with the newest match; every wait empties
  // the queue. The reply, or nothing; wait(0) only looks whether a match was signalled.
  testsupport::ScopedClockScale clock(50);
  const auto wait = [&](uint32_t timeoutMs, uint32_t capacity = 4000) {
    Bytes out(capacity);
    uint32_t length = 0;
    out.resize(queue.WaitReply(out.data(), capacity, &length, timeoutMs) ? length : 0);
    return out;
  };
  expect({0x4B});
  Bytes big(3000, 0x4B);  // the store grows for it, and is reused after
  for (const Bytes& frame : {Bytes{0x4B, 1}, Bytes{0x99}, big, Bytes{0x98}}) ASSERT_EQ(push(frame), 1);
  EXPECT_EQ(wait(200), big);
  push({0x10});
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(wait(300).empty());
  EXPECT_GE(Since(start), 290u) << "the first wait reset the signal";
  EXPECT_EQ(queue.Count(), 0u) << "a time-out empties the queue";
  push({0x10, 0x20});
  push({0x4B, 1, 2, 3});
  uint32_t length = 0;
  EXPECT_EQ(queue.WaitReply(nullptr, 10, &length, 100), 0);
  EXPECT_EQ(queue.WaitReply(big.data(), 0, &length, 100), 0);
  EXPECT_EQ(queue.Count(), 2u) << "no room: the queue stays";
  EXPECT_EQ(wait(200, 3), (Bytes{0x4B, 1, 2}));
  push({0x4B, 0x01});  // a late reply to an earlier request
  expect({0x4B});      // the next request names its reply
  EXPECT_TRUE(wait(0).empty());
  for (uint8_t i = 0; i < ReceiveQueue::MAX_FRAMES; ++i) ASSERT_EQ(push({0x10, i}), 1);
  EXPECT_EQ(push({0x4B, 0x51}), 0);  // the fifty-first, though it matches
  EXPECT_TRUE(wait(0).empty());
  ASSERT_EQ(push({0x4B, 0x52}), 1);
  EXPECT_EQ(wait(200), (Bytes{0x4B, 0x52}));
  std::thread pusher([&] { push({0x13, 0x4B, 0x07}); });  // wakes a waiter without time limit
  EXPECT_EQ(wait(INFINITE), (Bytes{0x13, 0x4B, 0x07}));
  pusher.join();
}

// A reader that meets a reset connects anew by itself.
TEST(TcpPortTest, AReaderReconnectsAfterAReset) {
  testsupport::ScopedClockScale clock(20);
  TcpPeer peer;
  CTcpPort port;
  ASSERT_EQ(port.SetConfig("127.0.0.1", peer.Port()), 1);
  ASSERT_EQ(port.Open(), 1);
  ASSERT_TRUE(peer.Accept());
  peer.Close(true);
  uint8_t byte = 0;
  uint32_t received = 0;
  EXPECT_EQ(port.Read(&byte, 1, &received, INFINITE), 0);
  EXPECT_TRUE(IsConnectionLoss(port.m_LastError)) << port.m_LastError;
  EXPECT_TRUE(peer.Accept());  // the port came back on its own
}

TEST(PortChannelTest, SendsReceivesWithAndWithoutThreadAndStopsPromptly) {
  testsupport::ScopedClockScale clock(20);
  TcpPeer peer;
  PortChannel channel;
  const auto sendFrame = [&](const Bytes& p, int lead = 0) { return channel.SendFrame(p.data(), Size(p), lead, 3000); };
  uint64_t took = 0;
  const auto receive = [&](uint32_t timeoutMs = 3000, uint32_t capacity = 512) {
    return Taken(capacity, &took, [&](auto... read) { return channel.Receive(read..., timeoutMs); });
  };
  // No such kind, no TCP address, nobody listening.
  EXPECT_EQ(channel.Open("127.0.0.1", peer.Port(), 3), 0);
  EXPECT_EQ(channel.Open("255.255.255.255", peer.Port(), PORT_TCP), 0);
  EXPECT_EQ(channel.Open("127.0.0.1", FreePort(), PORT_TCP), 0);
  EXPECT_EQ(std::tuple(channel.IsOpen(), channel.LastError()), std::tuple(false, 0)) << "no port, so no error of one";
  EXPECT_EQ(std::pair(channel.SendRaw(Bytes{1}.data(), 1, 3000), sendFrame({1})), std::pair(0, 0));
  EXPECT_TRUE(receive(INFINITE).empty()) << "a closed channel refuses at once";
  // Without a port the thread ends by itself; Close, or an Open, still joins it.
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  EXPECT_EQ(channel.Close(), 1);
  EXPECT_FALSE(channel.ReceiveThreadRunning());
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  ASSERT_EQ(channel.Open("127.0.0.1", peer.Port(), PORT_TCP), 1);
  ASSERT_TRUE(peer.Accept());
  // Without the thread Receive reads the first frame. (What goes out: the
  // command tests compare every write byte for byte.)
  EXPECT_EQ(sendFrame({0x4B}), 1);
  EXPECT_EQ(sendFrame(Bytes(4200)), 0) << "would overrun the buffer";
  Bytes bad = Frame({0x41, 0x42, 0x43});
  bad[1] ^= 0x02;
  peer.Send(Concat({{0x7E, 0x7E}, Frame({0x99, 0x01, 0x02, 0x03}), bad, Frame({0x44})}));
  EXPECT_EQ(receive(3000, 2), (Bytes{0x99, 0x01})) << "any frame, cut to the capacity";
  EXPECT_TRUE(receive(60000).empty());
  EXPECT_LT(took, SLACK) << "a bad check value ends the read";
  EXPECT_EQ(receive(), Bytes{0x44});
  EXPECT_TRUE(receive(1000).empty());
  EXPECT_GE(took, 1000u);
  EXPECT_LT(took, 1000 + 600 + SLACK) << "a last read may be under way";
  // With the thread: the newest good frame that matches.
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  bad = Frame({0x4B, 0x11, 0x22}, true);
  bad[3] ^= 0x40;
  channel.ExpectReply(Bytes{0x4B, 0xC9}.data(), 2);
  peer.Send(Concat({Frame({0x10, 0x20}, true), bad, {0x7E}, Frame({0x4B, 0xC9, 0x03, 0x55})}));
  ASSERT_TRUE(WaitUntil([&] { return channel.Queue().Count() == 2; }, 2000));
  EXPECT_EQ(receive(), (Bytes{0x4B, 0xC9, 0x03, 0x55}));
  // Stopping takes the cancel plus the port's pause at most.
  const auto expectStopsPromptly = [&](const char* port) {
    const uint64_t start = Clock::TickCount();
    EXPECT_EQ(channel.StopReceiveThread(), 1) << port;
    EXPECT_LT(Since(start), 100 + SLACK) << port;
  };
  expectStopsPromptly("TCP");
  for (int i = 0; i < 6; ++i) ASSERT_EQ(i % 2 ? channel.StartReceiveThread() : channel.StopReceiveThread(), 1);
  ASSERT_EQ(channel.Open("127.0.0.1", FreePort(), PORT_UDP), 1);  // closes the TCP port first; nobody answers
  EXPECT_FALSE(channel.ReceiveThreadRunning());
  ASSERT_EQ(channel.StartReceiveThread(), 1);
  expectStopsPromptly("UDP, which cannot be cancelled: its reads are short");
  for (int time = 1; time <= 2; ++time) EXPECT_EQ(channel.Close(), 1) << time;
}

}  // namespace
