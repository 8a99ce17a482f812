// A connection to the router with its receive thread and reply queue.
//
// Requesting thread:  ExpectReply(pattern) -> Send(request) -> Receive(reply)
// Receive thread:     reads the stream byte by byte, cuts it at 0x7E flags,
//                     decodes each frame and pushes it to the queue, which
//                     wakes the requester when a frame matches the pattern.
// Without a receive thread, Receive reads the first good frame directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framing/Hdlc.h"
#include "net/INetPort.h"
#include "net/PortFactory.h"
#include "net/ReceiveQueue.h"

class PortChannel {
 public:
  // Ports come from makePort (empty: sockets).
  explicit PortChannel(PortMaker makePort = {});
  ~PortChannel();
  PortChannel(const PortChannel&) = delete;
  PortChannel& operator=(const PortChannel&) = delete;

  // Creates a port of the kind (PORT_UDP or PORT_TCP), configures and opens
  // it, through the named interface when one is given. Closes (and pauses
  // 100 ms) first if a port exists. Does not start the receive thread.
  int Open(const std::string& address, int port, int kind, const std::string& interfaceName = "");
  // Stops the receive thread, closes and deletes the port. A port whose
  // socket failed to close is deleted all the same (the result is then 0).
  int Close();

  int StartReceiveThread();
  // Always ends the receive thread before it returns; returns 1.
  int StopReceiveThread();
  bool ReceiveThreadRunning() const;

  // Names the reply the next Receive waits for (up to 16 bytes) and clears a
  // match signalled before.
  void ExpectReply(const uint8_t* pattern, uint32_t length);
  // The same, but a matching frame queued already answers too.
  void ExpectReplyAcceptingQueued(const uint8_t* pattern, uint32_t length);
  // Writes data as it is (raw image blocks, prebuilt write frames).
  int SendRaw(const uint8_t* data, uint32_t length, uint32_t timeoutMs);
  // Encodes data as one frame into the send buffer (with a leading flag when
  // leadingFlag != 0) and writes that.
  int SendFrame(const uint8_t* data, uint32_t length, int leadingFlag, uint32_t timeoutMs);
  // The newest queued frame matching the pattern (receive thread running),
  // else the first frame that decodes; cut to capacity.
  int Receive(uint8_t* destination, uint32_t capacity, uint32_t* length, uint32_t timeoutMs);
  // Direct frame read with a deadline, on the calling thread.
  int ReadFrame(uint8_t* destination, uint32_t capacity, uint32_t* length, uint32_t timeoutMs);

  // The buffer frames are encoded in; callers that build a whole frame
  // themselves (block writes) write into it and Send it raw.
  uint8_t* SendBuffer();
  static constexpr uint32_t SEND_BUFFER_SIZE = WRITE_FRAME_BUFFER_SIZE;

  bool IsOpen() const { return m_State.load() == 0 && m_Port != nullptr; }
  // The port's last error, 0 when there is no port.
  int LastError() const;
  // The port's refused interface binding (see INetPort), 0 when none.
  int InterfaceRefused() const;
  ReceiveQueue& Queue() { return m_Queue; }

 private:
  int ReceiveLoop();

  std::atomic<int> m_State{2};  // 0 open, 2 closed
  std::thread m_Thread;
  std::atomic<bool> m_ThreadRunning{false};
  std::atomic<int> m_StopFlag{0};
  std::mutex m_Lock;  // serialises Close
  PortMaker m_MakePort;
  std::unique_ptr<INetPort> m_Port;
  ReceiveQueue m_Queue;
  std::unique_ptr<uint8_t[]> m_SendBuffer;
  uint32_t m_SendLength = 0;
};
