// The diagnostic commands: each names its reply, runs one Execute and then
// checks what the reply says. A failed check ends the command at once.
#include <cstring>

#include "diag/DiagCaller.h"
#include "framing/ByteOrder.h"
#include "framing/Hdlc.h"
#include "log/UpgradeLog.h"
#include "log/Utf8.h"
#include "net/PortChannel.h"
#include "net/ProtocolTimes.h"

namespace {

constexpr uint32_t HANDSHAKE_LENGTH = 133;
constexpr uint32_t HANDSHAKE_MIN_REPLY = 16;
constexpr uint32_t BOARD_VERSION_REPLY = 66;
constexpr uint32_t ISO_VERSION_REPLY = 260;
constexpr uint32_t BOARD_VERSION_MAX = 31;
constexpr uint32_t ISO_VERSION_MAX = 128;
constexpr const char* FAILED_TO_READ = "Failed to read";
constexpr const char* NO_VERSION = "No version";

const uint8_t kDownloaderPattern[] = {0x02};
// A block write's acknowledgement: 02 and the address; 03 refuses it.
constexpr uint32_t WRITE_REPLY_SIZE = 5;
constexpr uint8_t REPLY_EXEC_FAIL = 0x03;

// A version text runs until 00, 0A, 0D or FF, or until max characters.
std::string CutVersionText(const uint8_t* start, uint32_t max) {
  uint32_t length = 0;
  while (length < max) {
    const uint8_t c = start[length];
    if (c == 0x00 || c == 0x0A || c == 0x0D || c == 0xFF) break;
    ++length;
  }
  return SanitizeUtf8(reinterpret_cast<const char*>(start), length);
}

const char* NvReasonLine(uint8_t reason) {
  switch (reason) {
    case 1: return "%s: 单板状态不正确";
    case 2: return "%s: 不存在有效的备份";
    case 3: return "%s: CRC校验失败";
    case 4: return "%s: NV操作失败";
    default: return nullptr;
  }
}

}  // namespace

int CDiagCaller::ExecuteNamed(const char* name, const uint8_t* request, uint32_t length, uint32_t expectedLength,
                              int leadingFlag, uint32_t timeoutMs) {
  if (Execute(request, length, expectedLength, leadingFlag, timeoutMs)) return 1;
  LogPrintf(m_pLog, "%s: Write or Read Fail", name);
  return 0;
}

int CDiagCaller::DIAG_HandShake(int leadingFlag, int* inDownloader, int* offline) {
  // A module that does not answer is taken to be in its downloader.
  if (inDownloader) *inDownloader = 1;
  if (offline) *offline = 1;
  uint8_t request[HANDSHAKE_LENGTH] = {0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06};
  m_pChannel->ExpectReply(request, 4);
  if (!ExecuteNamed("DIAG_HandShake", request, sizeof request, 0, leadingFlag, HANDSHAKE_REPLY_TIMEOUT_MS))
    return 0;
  if (m_ReplyLength < HANDSHAKE_MIN_REPLY) {
    LogPrintf(m_pLog, "DIAG_HandShake: Response Length = %d (too short)", static_cast<int>(m_ReplyLength));
    return 0;
  }
  static const uint8_t kFormat[] = {0x00, 0x00, 0x25, 0xA7, 0x00, 0x06, 0x00, 0x00};
  if (memcmp(m_Reply + 1, kFormat, sizeof kFormat) != 0) {
    LogPrintf(m_pLog, "DIAG_HandShake: Response's format error");
    return 0;
  }
  if (m_Reply[9] != 0) {
    LogPrintf(m_pLog, "DIAG_HandShake: status = %d", m_Reply[9]);
    return 0;
  }
  const int downloader = m_Reply[14] == 1 ? 1 : 0;
  const int off = m_Reply[15] == 1 ? 1 : 0;
  if (inDownloader) *inDownloader = downloader;
  if (offline) *offline = off;
  LogPrintf(m_pLog, "DIAG_HandShake: (%d,%d)", downloader, off);
  return 1;
}

int CDiagCaller::DIAG_QueryBoardVersion(std::string* text) {
  const uint8_t request[] = {0x4B, 0xC9, 0x03, 0xFF};
  m_pChannel->ExpectReply(request, 4);
  if (!ExecuteNamed("DIAG_QueryBoardVersion", request, sizeof request, BOARD_VERSION_REPLY, 0)) {
    if (text) *text = FAILED_TO_READ;
    return 0;
  }
  const std::string version = CutVersionText(m_Reply + 4, BOARD_VERSION_MAX);
  if (text) *text = version;
  LogPrintf(m_pLog, "Firmware Version: %s", version.c_str());
  return 1;
}

int CDiagCaller::DIAG_QueryISOVersion(std::string* text) {
  uint8_t request[36] = {0x4B, 0xC9, 0x24, 0xFF};
  m_pChannel->ExpectReply(request, 4);
  if (!ExecuteNamed("DIAG_QueryISOVersion", request, sizeof request, ISO_VERSION_REPLY, 0)) {
    if (text) *text = FAILED_TO_READ;
    return 0;
  }
  if (m_Reply[4] != 0) {
    if (text) *text = NO_VERSION;
    return 1;
  }
  const std::string version = CutVersionText(m_Reply + 5, ISO_VERSION_MAX);
  if (text) *text = version;
  LogPrintf(m_pLog, "Dashboard Version: %s", version.c_str());
  return 1;
}

int CDiagCaller::DIAG_SwitchToDownloader() {
  const uint8_t request[] = {0x3A};
  m_pChannel->ExpectReply(request, 1);
  return ExecuteNamed("DIAG_SwitchToDownloader", request, sizeof request, 1, 0);
}

int CDiagCaller::DIAG_NV_BackupRestore(int backup) {
  const char* name = backup ? "Backup NV" : "Restore NV";
  const uint8_t mode = backup ? 0x00 : 0x01;
  const uint8_t request[] = {0x4B, 0xC8, 0x1E, 0xFF, mode, mode, 0x00, 0x00};
  m_pChannel->ExpectReply(request, 4);
  if (!ExecuteNamed(name, request, sizeof request, 8, 0)) return 0;
  if (m_Reply[5] == 0 && m_Reply[6] == 0) return 1;
  if (const char* line = NvReasonLine(m_Reply[6])) LogPrintf(m_pLog, line, name);
  return 0;
}

int CDiagCaller::DIAG_NV_QueryRestoreStatus() {
  uint8_t request[36] = {0x4B, 0xC9, 0x21, 0xFF};
  m_pChannel->ExpectReply(request, 4);
  if (!ExecuteNamed("DIAG_NV_QueryRestoreStatus", request, sizeof request, 36, 0)) return 0;
  if (m_Reply[5] == 0) {
    LogPrintf(m_pLog, "DIAG_NV_QueryRestoreStatus: No Backup to Restore");
    return 1;
  }
  if (m_Reply[5] == 1 && m_Reply[6] == 0) {
    LogPrintf(m_pLog, "DIAG_NV_QueryRestoreStatus: Restore Success");
    return 1;
  }
  LogPrintf(m_pLog, "DIAG_NV_QueryRestoreStatus: Restore Fail");
  return 0;
}

int CDiagCaller::DIAG_ChangeMode(int mode) {
  const uint8_t request[] = {0x29, static_cast<uint8_t>(mode & 0xFF), 0x00};
  m_pChannel->ExpectReply(request, 3);
  return ExecuteNamed("DIAG_ChangeMode", request, sizeof request, 3, 0);
}

int CDiagCaller::DIAG_Unlock(const uint8_t code[8]) {
  m_pChannel->ExpectReply(kDownloaderPattern, 1);
  // A lone handshake byte ahead of the unlock; nothing answers it.
  const uint8_t wake[] = {0x26};
  m_pChannel->SendFrame(wake, sizeof wake, 1, SEND_TIMEOUT_MS);
  uint8_t request[9] = {0x0B};
  memcpy(request + 1, code, 8);
  return ExecuteNamed("DIAG_Unlock", request, sizeof request, 1, 1);
}

int CDiagCaller::DIAG_Reset() {
  const uint8_t request[] = {0x0A};
  m_pChannel->ExpectReply(kDownloaderPattern, 1);
  return ExecuteNamed("DIAG_Reset", request, sizeof request, 1, 1);
}

int CDiagCaller::DIAG_Write(uint32_t address, const uint8_t* data, uint32_t length) {
  uint8_t* frame = m_pChannel->SendBuffer();
  const uint32_t frameLength = frame ? BuildWriteFrame(frame, address, length, data) : 0;
  uint8_t pattern[5] = {0x02};
  WriteBe32(pattern + 1, address);
  m_pChannel->ExpectReply(pattern, sizeof pattern);
  for (int attempt = 1; attempt <= WRITE_TRIES; ++attempt) {
    if (!frame || !m_pChannel->SendRaw(frame, frameLength, SEND_TIMEOUT_MS)) {
      LogPrintf(m_pLog, "DIAG_Write#%d> Write Fail", attempt);
      continue;
    }
    uint32_t received = 0;
    const int ok = m_pChannel->Receive(m_Reply, WRITE_REPLY_SIZE, &received, WRITE_REPLY_TIMEOUT_MS);
    m_ReplyLength = ok ? received : 0;
    if (!ok) {
      LogPrintf(m_pLog, "DIAG_Write#%d> Read Fail", attempt);
      continue;
    }
    if (m_Reply[0] == REPLY_EXEC_FAIL) {
      LogPrintf(m_pLog, "DIAG_Write#%d> Exec Fail", attempt);
      continue;
    }
    return 1;
  }
  return 0;
}
