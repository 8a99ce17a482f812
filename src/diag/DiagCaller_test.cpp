// The diagnostic commands and their exchange against a scripted module:
// what goes on the wire, the tries, what a reply yields and the log lines.
#include "diag/DiagCaller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "log/UpgradeLog.h"
#include "net/PortChannel.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::Frame;
using Lines = std::vector<std::string>;

// head, then text, then fill up to length bytes.
Bytes Pad(Bytes head, size_t length, uint8_t fill = 0, const std::string& text = "") {
  head.insert(head.end(), text.begin(), text.end());
  head.resize(length, fill);
  return head;
}
// The shortest accepted handshake reply: format at 8, status at 9, the flags at 14 and 15.
Bytes Handshake(uint8_t format, uint8_t status, uint8_t b14, uint8_t b15) {
  return {0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06, 0x00, format, status, 0, 0, 0, 0, b14, b15};
}
Bytes Board(const std::string& text, uint8_t fill = 0) { return Pad({0x4B, 0xC9, 0x03, 0xFF}, 66, fill, text); }
Bytes Iso(uint8_t present, const std::string& text, uint8_t fill = 0) { return Pad({0x4B, 0xC9, 0x24, 0xFF, present}, 260, fill, text); }
Bytes Nv(uint8_t byte5, uint8_t byte6) { return {0x4B, 0xC8, 0x1E, 0xFF, 0x00, byte5, byte6, 0x00}; }
Bytes Status(uint8_t byte5, uint8_t byte6) { return Pad({0x4B, 0xC9, 0x21, 0xFF, 0x00, byte5, byte6}, 36); }
// The line of each of three tries and the command's own.
Lines Tries(const std::string& each, const std::string& last) {
  return {"Execute#1> " + each, "Execute#2> " + each, "Execute#3> " + each, last};
}

// Runs one command; out receives what it reports besides its result.
using Command = std::function<int(CDiagCaller&, std::string* out)>;
Command HandShake(int leadingFlag) {
  return [leadingFlag](CDiagCaller& caller, std::string* out) {
    int inDownloader = 7, offline = 7;
    const int result = caller.DIAG_HandShake(leadingFlag, &inDownloader, &offline);
    *out = std::to_string(inDownloader) + "," + std::to_string(offline);
    return result;
  };
}
const Command kBoard = [](CDiagCaller& c, std::string* out) { return c.DIAG_QueryBoardVersion(out); };
const Command kIso = [](CDiagCaller& c, std::string* out) { return c.DIAG_QueryISOVersion(out); };
const Command kBackup = [](CDiagCaller& c, std::string*) { return c.DIAG_NV_BackupRestore(1); };
const Command kRestore = [](CDiagCaller& c, std::string*) { return c.DIAG_NV_BackupRestore(0); };
const Command kStatus = [](CDiagCaller& c, std::string*) { return c.DIAG_NV_QueryRestoreStatus(); };
const Command kSwitch = [](CDiagCaller& c, std::string*) { return c.DIAG_SwitchToDownloader(); };
const Command kMode = [](CDiagCaller& c, std::string*) { return c.DIAG_ChangeMode(0x101); };
const Command kReset = [](CDiagCaller& c, std::string*) { return c.DIAG_Reset(); };
const Command kUnlock = [](CDiagCaller& c, std::string*) { return c.DIAG_Unlock(reinterpret_cast<const uint8_t*>("QELUNLK1")); };

struct Case {
  const char* m_Name;
  Command m_Command;
  std::vector<Bytes> m_Replies;  // to request i, the last to all later ones; {}: silence; none: writes fail
  int m_Result;
  std::string m_Out;
  Lines m_Lines;
  size_t m_Requests = 1;
  std::vector<Bytes> m_Wire = {};     // the first writes, byte for byte
  uint64_t m_MinMs = 0, m_MaxMs = UINT64_MAX;  // program time the command takes at least, less than
};

const std::string k31(31, 'x'), k128(128, 'd'), kNotText = "1\xEF\xBF\xBD" "2";
const Bytes kHandshakeRequest = Pad({0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}, 133);
const Case kCases[] = {
    {"handshake", HandShake(0), {Handshake(0, 0, 1, 0)}, 1, "1,0", {"DIAG_HandShake: (1,0)"}, 1, {Frame(kHandshakeRequest)}},
    {"handshake with leading flag, 2 is no flag", HandShake(1), {Handshake(0, 0, 2, 1)}, 1, "0,1",
     {"DIAG_HandShake: (0,1)"}, 1, {Frame(kHandshakeRequest, true)}},
    {"too short", HandShake(0), {Pad(Handshake(0, 0, 0, 0), 15)}, 0, "1,1", {"DIAG_HandShake: Response Length = 15 (too short)"}},
    {"format", HandShake(0), {Handshake(0x40, 0, 0, 0)}, 0, "1,1", {"DIAG_HandShake: Response's format error"}},
    {"handshake status", HandShake(0), {Handshake(0, 2, 0, 0)}, 0, "1,1", {"DIAG_HandShake: status = 2"}},
    {"write fails, no read", HandShake(0), {}, 0, "1,1", Tries("Write Fail", "DIAG_HandShake: Write or Read Fail"), 0, {}, 600, 3 * 6000},
    {"to 0D", kBoard, {Board("V1.0\r\nA", 'A')}, 1, "V1.0", {"Firmware Version: V1.0"}, 1, {Frame({0x4B, 0xC9, 0x03, 0xFF})}},
    {"board to 00", kBoard, {Board(std::string("2.1\0" "9", 5), '9')}, 1, "2.1", {"Firmware Version: 2.1"}},
    {"board to FF, not text", kBoard, {Board("1\xC3" "2\xFF" "9")}, 1, kNotText, {"Firmware Version: " + kNotText}},
    {"board of 31", kBoard, {Board("", 'x')}, 1, k31, {"Firmware Version: " + k31}},
    {"board after a longer 18", kBoard, {Pad({0x18, 0x4B, 0xC9, 0x03, 0xFF}, 80, 0x77), Board("V2")}, 1, "V2",
     {"Execute#1> (18 4B C9)", "Firmware Version: V2"}, 2, {}, 200},
    {"13", kBoard, {{0x13, 0x4B, 0xC9, 0x03, 0xFF}}, 0, "Failed to read",
     {"Execute#1> 13", "DIAG_QueryBoardVersion: Write or Read Fail"}},
    {"dashboard to 0A", kIso, {Iso(0, "3.0.1.2\n9")}, 1, "3.0.1.2", {"Dashboard Version: 3.0.1.2"}, 1,
     {Frame(Pad({0x4B, 0xC9, 0x24, 0xFF}, 36))}},
    {"no dashboard", kIso, {Iso(1, "9")}, 1, "No version", {}},
    {"dashboard of 128", kIso, {Iso(0, "", 'd')}, 1, k128, {"Dashboard Version: " + k128}},
    {"14", kIso, {{0x14, 0x4B, 0xC9, 0x24, 0xFF}}, 0, "Failed to read",
     {"Execute#1> 14", "DIAG_QueryISOVersion: Write or Read Fail"}},
    {"backup", kBackup, {Nv(0, 0)}, 1, "", {}, 1, {Frame({0x4B, 0xC8, 0x1E, 0xFF, 0x00, 0x00, 0x00, 0x00})}},
    {"restore", kRestore, {Nv(0, 0)}, 1, "", {}, 1, {Frame({0x4B, 0xC8, 0x1E, 0xFF, 0x01, 0x01, 0x00, 0x00})}},
    {"backup reason 3 beside byte 5", kBackup, {Nv(1, 3)}, 0, "", {"Backup NV: CRC校验失败"}},
    {"byte 5 alone, no reason", kBackup, {Nv(1, 0)}, 0, "", {}},
    {"nothing to restore", kStatus, {Status(0, 9)}, 1, "", {"DIAG_NV_QueryRestoreStatus: No Backup to Restore"}, 1,
     {Frame(Pad({0x4B, 0xC9, 0x21, 0xFF}, 36))}},
    {"restored", kStatus, {Status(1, 0)}, 1, "", {"DIAG_NV_QueryRestoreStatus: Restore Success"}},
    {"restore failed", kStatus, {Status(1, 1)}, 0, "", {"DIAG_NV_QueryRestoreStatus: Restore Fail"}},
    {"15", kStatus, {{0x15, 0x4B, 0xC9, 0x21, 0xFF}}, 0, "",
     {"Execute#1> 15", "DIAG_NV_QueryRestoreStatus: Write or Read Fail"}},
    {"switch", kSwitch, {{0x3A}}, 1, "", {}, 1, {{0x3A, 0xA1, 0x6E, 0x7E}}},
    {"switch unanswered", kSwitch, {{}}, 0, "", Tries("Read Fail", "DIAG_SwitchToDownloader: Write or Read Fail"), 3, {},
     3 * 3200, 3 * 6200},
    {"change mode", kMode, {{0x29, 0x01, 0x00}}, 1, "", {}, 1, {Frame({0x29, 0x01, 0x00})}},
    {"reset", kReset, {{0x02}}, 1, "", {}, 1, {{0x7E, 0x0A, 0x22, 0x5F, 0x7E}}},
    {"unlock", kUnlock, {{0x02}}, 1, "", {}, 1,
     {{0x7E, 0x26, 0x4C, 0xB4, 0x7E}, Frame({0x0B, 'Q', 'E', 'L', 'U', 'N', 'L', 'K', '1'}, true)}},
    {"refused", kUnlock, {{0x03, 0x00, 0x05}}, 0, "", Tries("(03 00 05)", "DIAG_Unlock: Write or Read Fail"), 3, {}, 600},
};

// Each command on a channel to a module that sends an unrelated frame ahead
// of every reply (it is no reply); the one lone 26 before an unlock gets
// nothing. A reply's room beyond it reads 0xCD, never a stale reply.
TEST(DiagCallerTest, Commands) {
  testsupport::ScopedClockScale clock(50);  // a reply still has 60 real milliseconds to reach the caller
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.m_Name);
    size_t requests = 0;
    testsupport::ScriptedLink link([&](const testsupport::Message& m) {
      if (m.m_Payload == Bytes{0x26}) return;
      const Bytes& reply = c.m_Replies[std::min(requests++, c.m_Replies.size() - 1)];
      if (!reply.empty()) { link.Answer({0x4B, 0xC9, 0x03, 0x00}); link.Answer(reply); }
    });
    if (c.m_Replies.empty()) link.FailWrites(PORT_TCP, 100);
    UpgradeLog log{""};
    PortChannel channel(link.Maker());
    ASSERT_EQ(channel.Open("127.0.0.1", 1280, PORT_TCP), 1);
    channel.StartReceiveThread();
    CDiagCaller caller{channel, log};
    std::string out;
    const uint64_t start = Clock::TickCount();
    const int result = c.m_Command(caller, &out);
    const uint64_t elapsed = Clock::TickCount() - start;
    EXPECT_GE(elapsed, c.m_MinMs);
    EXPECT_LT(elapsed, c.m_MaxMs);
    EXPECT_EQ(std::tie(result, out, requests), std::tie(c.m_Result, c.m_Out, c.m_Requests));
    EXPECT_EQ(testsupport::LogMessages(log.Pending()), c.m_Lines);
    if (const uint32_t length = caller.ReplyLength(); length > 0) {  // 0: nothing read, nothing to look at
      EXPECT_EQ(std::count(caller.Reply() + length, caller.Reply() + DIAG_REPLY_SIZE, 0xCD), DIAG_REPLY_SIZE - length);
    }
    const std::vector<testsupport::Message> messages = link.Messages();
    ASSERT_GE(messages.size(), c.m_Wire.size());
    for (size_t i = 0; i < c.m_Wire.size(); ++i) EXPECT_EQ(messages[i].m_Wire, c.m_Wire[i]) << "write " << i;
  }
}

}  // namespace
