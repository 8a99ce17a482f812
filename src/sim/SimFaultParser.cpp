#include "sim/SimFaultParser.h"

#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Whole decimal number within [low, high].
bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const int64_t v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

// Two numbers "A<separator>B".
bool ParsePair(const std::string& text, char separator, int64_t low, int64_t high, int64_t* a, int64_t* b) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) return false;
  return ParseInt(text.substr(0, at), low, high, a) && ParseInt(text.substr(at + 1), low, high, b);
}

using ApplyFunction = std::function<bool(const std::string&, SimFaults*)>;

// A fault whose value is a whole number within [low, high], put into field.
template <typename T>
ApplyFunction Number(T SimFaults::*field, int64_t low, int64_t high) {
  return [field, low, high](const std::string& value, SimFaults* faults) {
    int64_t n;
    if (!ParseInt(value, low, high, &n)) return false;
    faults->*field = static_cast<T>(n);
    return true;
  };
}

// A fault without value that sets field.
ApplyFunction Switch(bool SimFaults::*field) {
  return [field](const std::string&, SimFaults* faults) { return faults->*field = true; };
}

struct FaultKind {
  const char* m_Name;
  const char* m_Value;  // "" for a switch
  const char* m_Help;
  ApplyFunction m_Apply;
};

const std::vector<FaultKind>& Kinds() {
  static const std::vector<FaultKind> kinds = {
      {"no-discovery", "", "discovery requests get no answer",
       Switch(&SimFaults::m_NoDiscoveryAnswer)},
      {"zero-mac", "", "discovery answers with MAC 00-00-00-00-00-00",
       Switch(&SimFaults::m_ZeroMac)},
      {"bad-fcs", "", "discovery answers with a corrupted check value",
       Switch(&SimFaults::m_CorruptFcs)},
      {"result-code", "N", "router result packets carry code N instead of 4",
       Number(&SimFaults::m_RouterResultCode, 0, 0xFFFFFFFFL)},
      {"no-result", "", "router images get no result packet",
       Switch(&SimFaults::m_NoRouterResult)},
      {"result-delay", "MS", "the result packet comes MS later",
       Number(&SimFaults::m_ResultDelayMs, 0, 100000000L)},
      {"handshake-silent", "N", "the first N handshakes get no answer",
       Number(&SimFaults::m_HandshakeSilent, 0, 1000000L)},
      {"start-in-downloader", "", "the wireless module starts in its downloader",
       Switch(&SimFaults::m_StartInDownloader)},
      {"offline", "", "the normal-mode handshake reports the offline flag",
       Switch(&SimFaults::m_Offline)},
      {"fail-every-tenth-pass", "", "upgrade passes 10, 20, 30... fail, each at the next step of a list",
       Switch(&SimFaults::m_FailEveryTenthPass)},
      {"nv-backup-reason", "N", "NV backup refused with reason N (1 to 4)",
       Number(&SimFaults::m_NvBackupReason, 1, 255)},
      {"restore-status", "B5,B6", "restore status replies carry bytes 5 and 6 as given",
       [](const std::string& v, SimFaults* f) {
         int64_t b5, b6;
         if (!ParsePair(v, ',', 0, 255, &b5, &b6)) return false;
         f->m_RestoreStatus5 = static_cast<int>(b5);
         f->m_RestoreStatus6 = static_cast<int>(b6);
         f->m_RestoreStatusForced = true;
         return true;
       }},
      {"restore-refused", "N", "the first N NV restore requests are refused (reason 4)",
       Number(&SimFaults::m_RestoreRefused, 0, 1000000L)},
      {"unlock-refused", "N", "the first N unlocks are refused with a 03 reply",
       Number(&SimFaults::m_UnlockRefused, 0, 1000000L)},
      {"block-refused", "N:TRIES",
       "block write N (from 1, over the run) is refused with a 03 reply TRIES times",
       [](const std::string& v, SimFaults* f) {
         int64_t n, tries;
         if (!ParsePair(v, ':', 1, 1000000L, &n, &tries)) return false;
         f->m_BlockRefusedAt = static_cast<int>(n);
         f->m_BlockRefusedTries = static_cast<int>(tries);
         return true;
       }},
      {"reset-refused", "", "the downloader refuses every reset with a 03 reply",
       Switch(&SimFaults::m_ResetRefused)},
      {"stays-in-downloader", "", "the module comes back in its downloader after every restart",
       Switch(&SimFaults::m_StaysInDownloader)},
      {"ping-silent", "MS", "the router ignores pings for MS after each module restart begins",
       Number(&SimFaults::m_PingSilentMs, 0, 100000000L)},
      {"second-check-silent", "", "after each module restart begins, the router answers one ping, then none until the next",
       Switch(&SimFaults::m_SecondCheckSilent)},
      {"reset-at-block", "N", "the TCP connection is reset when block write N arrives (once)",
       Number(&SimFaults::m_ConnectionResetAtBlock, 1, 1000000L)},
      {"erase-silent", "", "erase-NVRAM requests get no answer",
       Switch(&SimFaults::m_EraseNotAnswered)},
      {"force-refused", "", "requests to enter the forcing download mode get no answer and change nothing",
       Switch(&SimFaults::m_ForceLoadRefused)},
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
