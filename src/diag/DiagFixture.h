// For the diagnostic tests: a caller on a real channel to a ScriptedPeer,
// with the clock sped up, and the log's messages without their timestamps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diag/DiagCaller.h"
#include "diag/ScriptedPeer.h"
#include "log/UpgradeLog.h"
#include "net/Clock.h"
#include "net/PortChannel.h"
#include "support/TestSupport.h"

constexpr double DIAG_TEST_SCALE = 50;

class DiagFixture : public testing::Test {
 protected:
  using Bytes = ScriptedPeer::Bytes;

  DiagFixture() : m_Log(""), m_Caller(m_Channel, m_Log) { Clock::SetScale(DIAG_TEST_SCALE); }
  ~DiagFixture() override { m_Channel.Close(); }

  // Starts the peer with script and connects the channel to it.
  void Connect(ScriptedPeer::Script script) {
    m_Peer = std::make_unique<ScriptedPeer>(std::move(script));
    ASSERT_EQ(m_Channel.Open("127.0.0.1", m_Peer->Port(), PORT_TCP), 1);
    ASSERT_EQ(m_Channel.StartReceiveThread(), 1);
  }
  // A peer that answers every request with the same frames.
  void ConnectReplying(std::vector<Bytes> replies) {
    Connect([replies](const Bytes&, int) { return replies; });
  }

  // Log messages in order, timestamps ("YYYY-mm-dd HH:MM:SS ") cut off.
  std::vector<std::string> Messages() const { return testsupport::LogMessages(m_Log.Pending()); }

  size_t RequestCount() const { return m_Peer ? m_Peer->Requests().size() : 0; }

  UpgradeLog m_Log;
  PortChannel m_Channel;
  CDiagCaller m_Caller;
  std::unique_ptr<ScriptedPeer> m_Peer;
};

// A reply of length bytes: prefix, then fill.
inline ScriptedPeer::Bytes Reply(ScriptedPeer::Bytes prefix, size_t length, uint8_t fill = 0) {
  prefix.resize(length, fill);
  return prefix;
}
