// One diagnostic request/reply exchange with the wireless module, through the
// router connection: send, wait for the reply the caller named, retry up to
// three times, classify the first reply byte, check the length, log faults.
// The DIAG_ commands (diag/DiagCommands.cpp) are built on Execute; the
// downloader's block write sends a frame built whole and waits for its
// acknowledgement itself.
#pragma once

#include <cstdint>
#include <string>

#include "net/ProtocolTimes.h"

class PortChannel;
class UpgradeLog;

constexpr uint32_t DIAG_REPLY_SIZE = 512;

class CDiagCaller {
 public:
  CDiagCaller(PortChannel& channel, UpgradeLog& log) : m_pChannel(&channel), m_pLog(&log) {}

  // Up to three tries. The caller has called PortChannel::ExpectReply.
  // expectedLength 0 accepts any length. Returns 1 with the reply in m_Reply.
  int Execute(const uint8_t* request, uint32_t requestLength, uint32_t expectedLength,
              int leadingFlag, uint32_t readTimeoutMs);

  // Both flags are set to 1 first and stay 1 when the handshake fails.
  int DIAG_HandShake(int leadingFlag, int* inDownloader, int* offline);
  // Failure leaves "Failed to read" in text (when given).
  int DIAG_QueryBoardVersion(std::string* text);
  // "No version" when the module has none.
  int DIAG_QueryISOVersion(std::string* text);
  int DIAG_SwitchToDownloader();
  int DIAG_NV_BackupRestore(int backup);
  int DIAG_NV_QueryRestoreStatus();
  int DIAG_ChangeMode(int mode);
  int DIAG_Unlock(const uint8_t code[8]);
  int DIAG_Reset();
  // Writes one block of at most WRITE_BLOCK_SIZE bytes to the downloader's
  // memory at address: the write frame is built straight into the
  // channel's send buffer and acknowledged by 02 and the address. Up to
  // three tries; a try fails on a failed write, no acknowledgement in time
  // or a refusal (03), each logged as "DIAG_Write#<try>> ...".
  int DIAG_Write(uint32_t address, const uint8_t* data, uint32_t length);

  // The last reply (bytes beyond its length read 0xCD after an Execute).
  const uint8_t* Reply() const { return m_Reply; }
  uint32_t ReplyLength() const { return m_ReplyLength; }

 private:
  // One Execute; a failure is logged as "<name>: Write or Read Fail".
  int ExecuteNamed(const char* name, const uint8_t* request, uint32_t length, uint32_t expectedLength,
                   int leadingFlag, uint32_t timeoutMs = DIAG_REPLY_TIMEOUT_MS);

  uint8_t m_Reply[DIAG_REPLY_SIZE];
  uint32_t m_ReplyLength = 0;
  PortChannel* m_pChannel;
  UpgradeLog* m_pLog;
};
