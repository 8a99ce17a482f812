#include "sim/SimFaultParser.h"

#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Whole decimal number within [low, high].
bool ParseInt(const std::string& text, long low, long high, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

// Two numbers "A<separator>B".
bool ParsePair(const std::string& text, char separator, long low, long high, long* a, long* b) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) return false;
  return ParseInt(text.substr(0, at), low, high, a) && ParseInt(text.substr(at + 1), low, high, b);
}

struct FaultKind {
  const char* m_Name;
  const char* m_Value;  // "" for a switch
  const char* m_Help;
  std::function<bool(const std::string&, SimFaults*)> m_Apply;
};

const std::vector<FaultKind>& Kinds() {
  static const std::vector<FaultKind> kinds = {
      {"no-discovery", "", "discovery requests get no answer",
       [](const std::string&, SimFaults* f) { return f->m_NoDiscoveryAnswer = true; }},
      {"zero-mac", "", "discovery answers with MAC 00-00-00-00-00-00",
       [](const std::string&, SimFaults* f) { return f->m_ZeroMac = true; }},
      {"bad-fcs", "", "discovery answers with a corrupted check value",
       [](const std::string&, SimFaults* f) { return f->m_CorruptFcs = true; }},
      {"result-code", "N", "router result packets carry code N instead of 4",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 0xFFFFFFFFL, &n)) return false;
         f->m_RouterResultCode = static_cast<int>(n);
         return true;
       }},
      {"no-result", "", "router images get no result packet",
       [](const std::string&, SimFaults* f) { return f->m_NoRouterResult = true; }},
      {"result-delay", "MS", "the result packet comes MS later",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 100000000L, &n)) return false;
         f->m_ResultDelayMs = static_cast<uint32_t>(n);
         return true;
       }},
      {"handshake-silent", "N", "the first N handshakes get no answer",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 1000000L, &n)) return false;
         f->m_HandshakeSilent = static_cast<int>(n);
         return true;
       }},
      {"start-in-downloader", "", "the wireless module starts in its downloader",
       [](const std::string&, SimFaults* f) { return f->m_StartInDownloader = true; }},
      {"offline", "", "the normal-mode handshake reports the offline flag",
       [](const std::string&, SimFaults* f) { return f->m_Offline = true; }},
      {"fail-every-tenth-pass", "",
       "upgrade passes 10, 20, 30... fail, each at the next step of a list",
       [](const std::string&, SimFaults* f) { return f->m_FailEveryTenthPass = true; }},
      {"nv-backup-reason", "N", "NV backup refused with reason N (1 to 4)",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 1, 255, &n)) return false;
         f->m_NvBackupReason = static_cast<int>(n);
         return true;
       }},
      {"restore-status", "B5,B6", "restore status replies carry bytes 5 and 6 as given",
       [](const std::string& v, SimFaults* f) {
         long b5, b6;
         if (!ParsePair(v, ',', 0, 255, &b5, &b6)) return false;
         f->m_RestoreStatus5 = static_cast<int>(b5);
         f->m_RestoreStatus6 = static_cast<int>(b6);
         f->m_RestoreStatusForced = true;
         return true;
       }},
      {"restore-refused", "N", "the first N NV restore requests are refused (reason 4)",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 1000000L, &n)) return false;
         f->m_RestoreRefused = static_cast<int>(n);
         return true;
       }},
      {"unlock-refused", "N", "the first N unlocks are refused with a 03 reply",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 1000000L, &n)) return false;
         f->m_UnlockRefused = static_cast<int>(n);
         return true;
       }},
      {"block-refused", "N:TRIES",
       "block write N (from 1, over the run) is refused with a 03 reply TRIES times",
       [](const std::string& v, SimFaults* f) {
         long n, tries;
         if (!ParsePair(v, ':', 1, 1000000L, &n, &tries)) return false;
         f->m_BlockRefusedAt = static_cast<int>(n);
         f->m_BlockRefusedTries = static_cast<int>(tries);
         return true;
       }},
      {"reset-refused", "", "the downloader refuses every reset with a 03 reply",
       [](const std::string&, SimFaults* f) { return f->m_ResetRefused = true; }},
      {"stays-in-downloader", "", "the module comes back in its downloader after every restart",
       [](const std::string&, SimFaults* f) { return f->m_StaysInDownloader = true; }},
      {"ping-silent", "MS", "the router ignores pings for MS after each module restart begins",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 0, 100000000L, &n)) return false;
         f->m_PingSilentMs = static_cast<uint32_t>(n);
         return true;
       }},
      {"reset-at-block", "N", "the TCP connection is reset when block write N arrives (once)",
       [](const std::string& v, SimFaults* f) {
         long n;
         if (!ParseInt(v, 1, 1000000L, &n)) return false;
         f->m_ConnectionResetAtBlock = static_cast<int>(n);
         return true;
       }},
      {"erase-silent", "", "erase-NVRAM requests get no answer",
       [](const std::string&, SimFaults* f) { return f->m_EraseNotAnswered = true; }},
      {"force-refused", "", "requests to enter the forcing download mode get no answer and change nothing",
       [](const std::string&, SimFaults* f) { return f->m_ForceLoadRefused = true; }},
  };
  return kinds;
}

}  // namespace

bool ApplyFault(const std::string& text, SimFaults* faults, std::string* error) {
  const size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  const bool hasValue = equals != std::string::npos;
  const std::string value = hasValue ? text.substr(equals + 1) : "";
  for (const FaultKind& kind : Kinds()) {
    if (name != kind.m_Name) continue;
    const bool wantsValue = kind.m_Value[0] != '\0';
    if (wantsValue != hasValue) {
      *error = wantsValue ? std::string("needs a value: ") + kind.m_Name + "=" + kind.m_Value
                          : std::string("takes no value: ") + kind.m_Name;
      return false;
    }
    if (!kind.m_Apply(value, faults)) {
      *error = std::string("bad value for ") + kind.m_Name + ": " + value;
      return false;
    }
    return true;
  }
  *error = "unknown fault: " + name;
  return false;
}

std::string FaultHelp() {
  std::string help = "Faults (--fault, repeatable; all off by default):\n";
  for (const FaultKind& kind : Kinds()) {
    std::string left = std::string("  ") + kind.m_Name;
    if (kind.m_Value[0]) left += std::string("=") + kind.m_Value;
    if (left.size() < 30) left.resize(30, ' ');
    help += left + kind.m_Help + "\n";
  }
  return help;
}
