#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/Interfaces.h"
#include "platform/Networking.h"

namespace {

// Opens socket on a free loopback port and tells it (0: none found).
Ipv4Endpoint OpenOnLoopback(CSocket* socket, CSocket::Kind kind) {
  static uint16_t next = static_cast<uint16_t>(20000 + std::random_device()() % 30000);
  uint16_t granted = 0;
  for (int attempt = 0; StartNetworking(0x0202, &granted) == 0 && attempt < 50; ++attempt) {
    const Ipv4Endpoint local{{127, 0, 0, 1}, next++};
    if (socket->Open(kind) && (kind == CSocket::UDP || socket->ReuseAddress()) && socket->Bind(local)) return local;
  }
  return {};
}

}  // namespace

TEST(Socket, DatagramsGoOutAndComeBackThroughTheInterfaceAskedFor) {
  CSocket sender, receiver;
  const Ipv4Endpoint to = OpenOnLoopback(&receiver, CSocket::UDP);
  int loopback = 0;
  for (const NetInterface& found : ListInterfaces()) loopback = found.m_Loopback ? found.m_Index : loopback;
  ASSERT_TRUE(sender.Open(CSocket::UDP));
  ASSERT_NE(to.m_Port, 0);
  ASSERT_GT(loopback, 0);
  EXPECT_TRUE(InterfaceExists(InterfaceName(loopback)));
  struct { int via; size_t length, capacity; IoResult result; } cases[] = {
      {0, 5, 16, IoResult::DONE}, {loopback, 5, 16, IoResult::DONE}, {loopback, 9, 4, IoResult::TOO_LONG}, {0, 0, 8, IoResult::DONE}};
  uint8_t data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9}, buffer[16];
  size_t received = 0;
  Ipv4Endpoint from;
  int arrival = 0;
  for (const auto& c : cases) {
    ASSERT_EQ(sender.SendTo(to, data, c.length, c.via), IoResult::DONE);
    ASSERT_EQ(receiver.Wait(false, nullptr, 2000), SocketWait::Ready);
    EXPECT_EQ(receiver.ReceiveFrom(buffer, c.capacity, &received, &from, &arrival), c.result);
    EXPECT_EQ(c.result == IoResult::DONE ? received : receiver.Error(), c.result == IoResult::DONE ? c.length : TooLongError());
    // The answer comes back to the socket the datagram left by.
    ASSERT_EQ(receiver.SendTo(from, data, 1), IoResult::DONE);
    ASSERT_EQ(sender.Wait(false, nullptr, 2000), SocketWait::Ready);
    EXPECT_EQ(sender.ReceiveFrom(buffer, 16, &received, nullptr, &arrival), IoResult::DONE);
    EXPECT_EQ(arrival, loopback);
  }
  EXPECT_EQ(receiver.ReceiveFrom(buffer, 16, &received, nullptr, nullptr), IoResult::WOULD_BLOCK);
}

TEST(Socket, ConnectionWaitsEndForDataCancelTimeOrShutdown) {
  CSocket listener, client, server, unused;
  const Ipv4Endpoint at = OpenOnLoopback(&listener, CSocket::TCP), nobody = OpenOnLoopback(&unused, CSocket::TCP);
  ASSERT_TRUE(listener.Listen(4));
  ASSERT_TRUE(client.Open(CSocket::TCP));
  ASSERT_TRUE(client.PrepareStream());
  EXPECT_NE(client.Connect(at), IoResult::FAILED);
  EXPECT_EQ(client.Wait(true, nullptr, 2000), SocketWait::Ready);
  EXPECT_EQ(client.ConnectError(), 0);
  ASSERT_EQ(listener.Wait(false, nullptr, 2000), SocketWait::Ready);
  ASSERT_TRUE(listener.Accept(&server));
  CCancelEvent cancel;
  uint8_t byte = 7;
  size_t count = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(server.Wait(false, &cancel, 30), SocketWait::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  cancel.Set();
  EXPECT_EQ(server.Wait(false, &cancel, -1), SocketWait::Cancelled);
  ASSERT_EQ(client.Send(&byte, 1, &count), IoResult::DONE);
  EXPECT_EQ(server.Wait(false, &cancel, -1), SocketWait::Ready);  // the socket wins
  EXPECT_TRUE(cancel.Take());
  EXPECT_FALSE(cancel.Take());
  EXPECT_EQ(server.Receive(&byte, 1, &count), IoResult::DONE);
  std::thread closer([&] { std::this_thread::sleep_for(std::chrono::milliseconds(20)), server.Shutdown(); });
  EXPECT_EQ(server.Wait(false, &cancel, 5000), SocketWait::Ready);
  closer.join();
  EXPECT_EQ(server.Receive(&byte, 1, &count), IoResult::CLOSED);
  // A port bound but not listening refuses, at once or when the connect ends.
  ASSERT_TRUE(client.Open(CSocket::TCP));
  const IoResult refused = client.Connect(nobody);
  if (refused == IoResult::WOULD_BLOCK) { EXPECT_EQ(client.Wait(true, nullptr, 5000), SocketWait::Ready); }
  EXPECT_NE(refused == IoResult::FAILED ? client.Error() : client.ConnectError(), 0);
}

TEST(Socket, WaitForAnyTellsWhichSocketsCanBeRead) {
  CSocket sender, first, second;
  const Ipv4Endpoint to = (OpenOnLoopback(&first, CSocket::UDP), OpenOnLoopback(&second, CSocket::UDP));
  const CSocket* both[] = {&first, &second};
  CCancelEvent stop;
  bool ready[2] = {true, true};
  EXPECT_FALSE(CSocket::WaitForAny(both, 2, &stop, 10, ready));
  EXPECT_EQ(std::pair(ready[0], ready[1]), std::pair(false, false));
  stop.Set();
  ready[0] = ready[1] = true;
  EXPECT_FALSE(CSocket::WaitForAny(both, 2, &stop, -1, ready));
  EXPECT_EQ(std::pair(ready[0], ready[1]), std::pair(false, false));
  EXPECT_TRUE(stop.Take());
  ASSERT_TRUE(sender.Open(CSocket::UDP));
  ASSERT_EQ(sender.SendTo(to, to.m_Ip, 1), IoResult::DONE);
  EXPECT_TRUE(CSocket::WaitForAny(both, 2, &stop, 2000, ready));
  EXPECT_EQ(std::pair(ready[0], ready[1]), std::pair(false, true));
}
