#include "sim/WirelessModule.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framing/ByteOrder.h"
#include "sim/SimFrame.h"
#include "sim/SimRecorder.h"

namespace {

const uint8_t HANDSHAKE_HEAD[7] = {0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06};
const uint8_t BOARD_VERSION[4] = {0x4B, 0xC9, 0x03, 0xFF};
const uint8_t ISO_VERSION[4] = {0x4B, 0xC9, 0x24, 0xFF};
const uint8_t RESTORE_STATUS[4] = {0x4B, 0xC9, 0x21, 0xFF};
const uint8_t NV_BACKUP_RESTORE[4] = {0x4B, 0xC8, 0x1E, 0xFF};

constexpr size_t HANDSHAKE_REPLY = 20;
constexpr size_t BOARD_VERSION_REPLY = 66;
constexpr size_t BOARD_VERSION_TEXT = 31;   // bytes 4..34
constexpr size_t ISO_VERSION_REPLY = 260;
constexpr size_t ISO_VERSION_TEXT = 128;    // bytes 5..132
constexpr size_t NV_REPLY = 8;
constexpr size_t RESTORE_STATUS_REPLY = 36;
constexpr uint8_t ACCEPTED = 0x02;
constexpr uint8_t REFUSED = 0x03;
constexpr uint8_t ERROR_REPLY = 0x13;

bool StartsWith(const uint8_t* data, size_t length, const uint8_t* head, size_t headLength) {
  return length >= headLength && std::memcmp(data, head, headLength) == 0;
}

// Names every request the module knows, whatever mode it is in.
std::string RequestName(const uint8_t* r, size_t n) {
  if (n == 1 && r[0] == 0x26) return "flag";
  if (StartsWith(r, n, HANDSHAKE_HEAD, sizeof HANDSHAKE_HEAD)) return "handshake";
  if (StartsWith(r, n, BOARD_VERSION, 4)) return "board-version";
  if (StartsWith(r, n, ISO_VERSION, 4)) return "iso-version";
  if (StartsWith(r, n, RESTORE_STATUS, 4)) return "restore-status";
  if (n == 8 && StartsWith(r, n, NV_BACKUP_RESTORE, 4) && r[4] == 0) return "nv-backup";
  if (n == 8 && StartsWith(r, n, NV_BACKUP_RESTORE, 4) && r[4] == 1) return "nv-restore";
  if (n == 3 && r[0] == 0x29 && r[2] == 0) return "change-mode";
  if (n == 1 && r[0] == 0x3A) return "switch-downloader";
  if (n == 9 && r[0] == 0x0B) return "unlock";
  if (n >= 7 && r[0] == 0x0F) return "write";
  if (n == 1 && r[0] == 0x0A) return "reset";
  return "unknown";
}

std::string RequestDetail(const std::string& name, const uint8_t* r, size_t n) {
  char text[64];
  if (name == "write") {
    std::snprintf(text, sizeof text, "addr=0x%08X len=%u", ReadBe32(r + 1), unsigned{ReadBe16(r + 5)});
    return text;
  }
  if (name == "unlock") return "code=" + HexBytes(r + 1, 8);
  if (name == "change-mode") return "mode=" + std::to_string(r[1]);
  if (name == "unknown") return HexBytes(r, n);
  return "";
}

// Version text into a fixed field, cut to its room.
void PutText(std::vector<uint8_t>* reply, size_t offset, const std::string& text, size_t room) {
  const size_t n = std::min(text.size(), room);
  std::memcpy(reply->data() + offset, text.data(), n);
}

}  // namespace

WirelessModule::WirelessModule(const SimOptions& options, RouterState* router, SimRecorder* recorder)
    : m_Options(options),
      m_Faults(m_Options.m_Faults),
      m_Router(router),
      m_Recorder(recorder),
      m_Mode(options.m_Faults.m_StartInDownloader ? ModuleMode::Downloader : ModuleMode::Normal),
      m_FirmwareVersion(options.m_FirmwareVersion),
      m_DashboardVersion(options.m_DashboardVersion) {}

std::vector<uint8_t> WirelessModule::Handle(const uint8_t* request, size_t length, SimTime now,
                                            bool* resetConnection) {
  *resetConnection = false;
  Tick(now);
  const std::string name = RequestName(request, length);
  m_Event = m_Recorder->Request("tcp", name, RequestDetail(name, request, length));
  if (name == "flag") return NoReply("a lone 26 frame gets no answer");
  // The NV restore fails along with its status check: the tool retries one by the other.
  const std::string step = name == "nv-restore" ? "restore-status" : name;
  if (m_Mode != ModuleMode::Restarting && m_Router->m_Passes.Fails(step)) return FailForPass(name, request);
  switch (m_Mode) {
    case ModuleMode::Restarting:
      return NoReply("module restarting");
    case ModuleMode::Downloader:
      return HandleDownloader(request, length, now, resetConnection);
    case ModuleMode::Normal:
      break;
  }
  return HandleNormal(request, length, now);
}

std::vector<uint8_t> WirelessModule::HandleNormal(const uint8_t* r, size_t n, SimTime now) {
  const std::string name = RequestName(r, n);
  if (name == "handshake") {
    if (HandshakeSilenced()) return NoReply("handshake-silent fault");
    return Handshake(false, m_Faults.m_Offline || m_OfflineMode);
  }
  if (name == "board-version") {
    std::vector<uint8_t> reply(BOARD_VERSION_REPLY, 0);
    std::memcpy(reply.data(), BOARD_VERSION, 4);
    PutText(&reply, 4, m_FirmwareVersion, BOARD_VERSION_TEXT);
    return Reply(reply, "version=" + m_FirmwareVersion);
  }
  if (name == "iso-version") {
    std::vector<uint8_t> reply(ISO_VERSION_REPLY, 0);
    std::memcpy(reply.data(), ISO_VERSION, 4);
    if (m_DashboardVersion.empty()) {
      reply[4] = 1;
      return Reply(reply, "no version");
    }
    PutText(&reply, 5, m_DashboardVersion, ISO_VERSION_TEXT);
    return Reply(reply, "version=" + m_DashboardVersion);
  }
  if (name == "nv-backup" || name == "nv-restore") return NvBackupRestore(r);
  if (name == "restore-status") return RestoreStatus(r);
  if (name == "change-mode") {
    m_OfflineMode = r[1] == 1;
    return Reply(std::vector<uint8_t>(r, r + 3), m_OfflineMode ? "offline" : "online");
  }
  if (name == "switch-downloader") {
    std::vector<uint8_t> reply = Reply({0x3A}, "restarting into the downloader");
    Restart(now, true, "switch to the downloader");
    return reply;
  }
  return Unknown(r, n);
}

std::vector<uint8_t> WirelessModule::HandleDownloader(const uint8_t* r, size_t n, SimTime now,
                                                      bool* resetConnection) {
  const std::string name = RequestName(r, n);
  if (name == "handshake") {
    if (HandshakeSilenced()) return NoReply("handshake-silent fault");
    return Handshake(true, true);
  }
  if (name == "unlock") {
    if (m_UnlocksRefused < m_Faults.m_UnlockRefused) {
      ++m_UnlocksRefused;
      return Refuse(r[0], "unlock-refused fault");
    }
    if (std::memcmp(r + 1, m_Options.m_UnlockCode, 8) != 0)
      return Refuse(r[0], "wrong code, expected " + HexBytes(m_Options.m_UnlockCode, 8));
    m_Unlocked = true;
    return Reply({ACCEPTED}, "unlocked");
  }
  if (name == "write") return Write(r, n, resetConnection);
  if (name == "reset") {
    if (m_Faults.m_ResetRefused) return Refuse(r[0], "reset-refused fault");
    std::vector<uint8_t> reply = Reply({ACCEPTED}, "restarting");
    Restart(now, false, "reset");
    return reply;
  }
  return Unknown(r, n);
}

std::vector<uint8_t> WirelessModule::Write(const uint8_t* r, size_t n, bool* resetConnection) {
  const uint32_t address = ReadBe32(r + 1);
  const size_t length = ReadBe16(r + 5);
  const int number = m_BlocksWritten + 1;
  if (m_Faults.m_ConnectionResetAtBlock == number && !m_ConnectionResetDone) {
    m_ConnectionResetDone = true;
    *resetConnection = true;
    return NoReply("reset-at-block fault: connection reset");
  }
  if (!m_Unlocked) return Refuse(r[0], "not unlocked");
  if (length != n - 7) return Refuse(r[0], "length does not match the data");
  if (m_Faults.m_BlockRefusedAt == number && m_BlockRefusals < m_Faults.m_BlockRefusedTries) {
    ++m_BlockRefusals;
    return Refuse(r[0], "block-refused fault");
  }
  m_Recorder->WriteMemory(address, r + 7, length);
  ++m_BlocksWritten;
  m_Written = true;
  std::vector<uint8_t> reply{ACCEPTED, r[1], r[2], r[3], r[4]};
  char text[48];
  std::snprintf(text, sizeof text, "02 0x%08X (block %d)", address, number);
  return Reply(reply, text);
}

std::vector<uint8_t> WirelessModule::FailForPass(const std::string& name, const uint8_t* r) {
  const std::string why = "fail-every-tenth-pass fault";
  if (name == "handshake" || name == "iso-version") return NoReply(why);
  if (name == "nv-backup" || name == "nv-restore") {
    std::vector<uint8_t> reply(r, r + NV_REPLY);
    reply[5] = 1;
    reply[6] = 4;
    reply[7] = 0;
    return Reply(reply, "refused, reason 4 (" + why + ")");
  }
  if (name == "restore-status") {
    std::vector<uint8_t> reply(RESTORE_STATUS_REPLY, 0);
    std::memcpy(reply.data(), r, 4);
    reply[5] = 1;
    reply[6] = 1;
    return Reply(reply, "byte5=1 byte6=1 (" + why + ")");
  }
  return Refuse(r[0], why);  // the switch to the downloader, unlock, write, reset
}

std::vector<uint8_t> WirelessModule::NvBackupRestore(const uint8_t* r) {
  const bool backup = r[4] == 0;
  std::vector<uint8_t> reply(r, r + NV_REPLY);
  reply[5] = 0;
  reply[6] = 0;
  reply[7] = 0;
  int reason = 0;
  if (backup && m_Faults.m_NvBackupReason != 0) reason = m_Faults.m_NvBackupReason;
  if (!backup && m_RestoresRefused < m_Faults.m_RestoreRefused) {
    ++m_RestoresRefused;
    reason = 4;
  }
  if (reason != 0) {
    reply[5] = 1;
    reply[6] = static_cast<uint8_t>(reason);
    return Reply(reply, "refused, reason " + std::to_string(reason));
  }
  if (backup) m_BackupExists = true;
  return Reply(reply, "done");
}

std::vector<uint8_t> WirelessModule::RestoreStatus(const uint8_t* r) {
  std::vector<uint8_t> reply(RESTORE_STATUS_REPLY, 0);
  std::memcpy(reply.data(), r, 4);
  const bool forced = m_Faults.m_RestoreStatusForced || m_Faults.m_RestoreStatus5 != 1 ||
                      m_Faults.m_RestoreStatus6 != 0;
  reply[5] = static_cast<uint8_t>(forced ? m_Faults.m_RestoreStatus5 : (m_BackupExists ? 1 : 0));
  reply[6] = static_cast<uint8_t>(forced ? m_Faults.m_RestoreStatus6 : 0);
  return Reply(reply, "byte5=" + std::to_string(reply[5]) + " byte6=" + std::to_string(reply[6]));
}

std::vector<uint8_t> WirelessModule::Handshake(bool inDownloader, bool offline) {
  std::vector<uint8_t> reply(HANDSHAKE_REPLY, 0);
  std::memcpy(reply.data(), HANDSHAKE_HEAD, sizeof HANDSHAKE_HEAD);
  reply[14] = inDownloader ? 1 : 0;
  reply[15] = offline ? 1 : 0;
  return Reply(reply, std::string("in-downloader=") + (inDownloader ? "1" : "0") +
                          " offline=" + (offline ? "1" : "0"));
}

bool WirelessModule::HandshakeSilenced() {
  ++m_Handshakes;
  return m_Handshakes <= m_Faults.m_HandshakeSilent;
}

std::vector<uint8_t> WirelessModule::Reply(const std::vector<uint8_t>& payload,
                                           const std::string& text) {
  m_Recorder->Answer(m_Event, text);
  return payload;
}

std::vector<uint8_t> WirelessModule::NoReply(const std::string& why) {
  m_Recorder->Silent(m_Event, why);
  return {};
}

std::vector<uint8_t> WirelessModule::Refuse(uint8_t command, const std::string& why) {
  return Reply({REFUSED, command, 0x01}, "03 refused: " + why);
}

std::vector<uint8_t> WirelessModule::Unknown(const uint8_t* request, size_t length) {
  std::vector<uint8_t> reply{ERROR_REPLY};
  reply.insert(reply.end(), request, request + length);
  const char* mode = m_Mode == ModuleMode::Downloader ? "downloader" : "normal mode";
  return Reply(reply, std::string("13 error: not known in the ") + mode);
}

void WirelessModule::Restart(SimTime now, bool intoDownloader, const std::string& cause) {
  m_Mode = ModuleMode::Restarting;
  m_RestartEnd = now + ScaledDelay(m_Options.m_RestartMs, m_Options.m_TimeScale);
  m_RestartIntoDownloader = intoDownloader;
  m_Router->m_PingSilentUntil = now + ScaledDelay(m_Faults.m_PingSilentMs, m_Options.m_TimeScale);
  if (m_Faults.m_SecondCheckSilent) m_Router->m_PingsLeft = 1;
  m_Unlocked = false;
  m_OfflineMode = false;
  m_Recorder->FlushMemory();
  m_Recorder->Note("wireless module restarting (" + cause + ")");
}

void WirelessModule::Tick(SimTime now) {
  if (m_Mode != ModuleMode::Restarting || now < m_RestartEnd) return;
  m_RestartEnd = SIM_NEVER;
  if (m_RestartIntoDownloader || m_Router->m_ForceLoad || m_Faults.m_StaysInDownloader) {
    m_Mode = ModuleMode::Downloader;
    m_Recorder->Note("wireless module back in its downloader");
    return;
  }
  m_Mode = ModuleMode::Normal;
  if (m_Written) {
    // A finished download: the new images run and the NV backup is restored.
    if (!m_Options.m_NewFirmwareVersion.empty()) m_FirmwareVersion = m_Options.m_NewFirmwareVersion;
    if (!m_Options.m_NewDashboardVersion.empty())
      m_DashboardVersion = m_Options.m_NewDashboardVersion;
    m_Written = false;
  }
  m_Recorder->Note("wireless module back in normal mode, firmware " + m_FirmwareVersion);
}

SimTime WirelessModule::Deadline() const {
  return m_Mode == ModuleMode::Restarting ? m_RestartEnd : SIM_NEVER;
}
