// Writes the seed corpora: valid inputs for every harness, made with the
// project's own builders (packages, frames, control packets) and answered
// by the simulator's own wireless module and router services.
//
//   fuzz_make_seeds <fuzz/corpus>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "FuzzInput.h"
#include "diag/Hdlc.h"
#include "packages/PackageBuilder.h"
#include "router/RouterControlPacket.h"
#include "sim/RouterUdpService.h"
#include "sim/SimFrame.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"

namespace {

std::string g_Root;

void Seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
  mkdir((g_Root + "/" + harness).c_str(), 0755);
  std::ofstream(g_Root + "/" + harness + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 5));
  return data;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// head, then the records as FuzzInput reads them: [kind][length, 16-bit little-endian][bytes].
Bytes Records(Bytes head, std::initializer_list<std::pair<uint8_t, Bytes>> records) {
  for (const auto& [kind, bytes] : records)
    head = Cat({head, {kind, static_cast<uint8_t>(bytes.size()), static_cast<uint8_t>(bytes.size() >> 8)}, bytes});
  return head;
}

// A 32-byte router request (discovery 1, force 7, ping 10).
Bytes UdpRequest(uint8_t command) { return Cat({{command}, Bytes(31, 0)}); }

Bytes ControlPacket(const char* magic, uint32_t value) {
  RouterControlPacket packet;
  packet.Set(magic, value);
  return Bytes(packet.m_Bytes, packet.m_Bytes + sizeof packet.m_Bytes);
}

// The requests the diagnostic commands send.
const Bytes kHandshake = Cat({{0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}, Bytes(126, 0)}), kSwitch = {0x3A}, kReset = {0x0A},
            kBoardVersion = {0x4B, 0xC9, 0x03, 0xFF}, kIsoVersion = Cat({{0x4B, 0xC9, 0x24, 0xFF}, Bytes(32, 0)}),
            kBackup = {0x4B, 0xC8, 0x1E, 0xFF, 0, 0, 0, 0}, kRestoreStatus = Cat({{0x4B, 0xC9, 0x21, 0xFF}, Bytes(32, 0)}),
            kChangeMode = {0x29, 0x01, 0x00}, kUnlock = Cat({{0x0B}, Bytes(DEFAULT_UNLOCK_CODE, DEFAULT_UNLOCK_CODE + 8)});

Bytes WritePayload(uint32_t address, const Bytes& data) {
  Bytes frame(WRITE_FRAME_BUFFER_SIZE), payload(WRITE_FRAME_BUFFER_SIZE);
  const uint32_t length = BuildWriteFrame(frame.data(), address, static_cast<uint32_t>(data.size()), data.data());
  payload.resize(HdlcDecode(frame.data(), length, payload.data()));
  return payload;
}

// What the simulator's module answers to request, in downloader or normal mode.
Bytes ModuleReply(const Bytes& request, bool downloader) {
  SimOptions options;
  options.m_Faults.m_StartInDownloader = downloader;
  SimRecorder recorder("", true);
  RouterState router;
  WirelessModule module(options, &router, &recorder);
  bool reset = false;
  if (request[0] == 0x0F) module.Handle(kUnlock.data(), kUnlock.size(), SimTime{}, &reset);
  return module.Handle(request.data(), request.size(), SimTime{}, &reset);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  g_Root = argv[1];
  mkdir(g_Root.c_str(), 0755);
  const char* names[] = {"boot", "app", "customization", "firmware", "dashboard"};
  for (int kind = MODULE_BOOT; kind <= MODULE_DASHBOARD; ++kind) {
    PackagePlan plan;
    plan.m_Kind = static_cast<ModuleKind>(kind);
    plan.m_Version = kind <= MODULE_CUSTOMIZATION ? "1.2.3.5" : "2.1.8.0";
    plan.m_ChunkSize = 64;
    plan.m_Units = {{0x100000, Pattern(300 + 61 * kind, static_cast<uint8_t>(kind))}, {0x200000, Pattern(37, 9)}};
    Bytes bytes;
    BuildPackage(plan, &bytes, nullptr);
    Seed("package", names[kind], bytes);
    if (kind != MODULE_DASHBOARD) continue;
    plan.m_ImageType = 0;  // a two-unit image of unstated type: the path decides
    BuildPackage(plan, &bytes, nullptr);
    Seed("package", "type0", bytes);
  }

  SimOptions options;
  SimRecorder recorder("", true);
  RouterState router;
  WirelessModule module(options, &router, &recorder);
  for (const auto& [name, version] : {std::pair{"reply", "1.2.3.4 build \xC3\xA9t\xC3\xA9"}, {"long-text", ""}}) {
    options.m_RouterVersion = *version ? version : std::string(200, '9');
    RouterUdpService udp(options, options.m_Ip, &router, &module, &recorder);
    Seed("discovery", name, udp.Answer(UdpRequest(1), SimTime{}));
  }
  Seed("router_result", "result", ControlPacket(nullptr, 4));
  Seed("router_result", "begin", ControlPacket("Zyphex RUT Begin Download Pkt", 65536));
  Seed("version", "newer", Cat({{7}, Text("1.2.3.4"), Text("1.2.3.5")}));
  Seed("version", "third-zero", Cat({{7}, Text("2.1.0.7"), Text("2.1.8.0")}));
  Seed("version", "unreadable", Cat({{3}, Text("1.."), Text("No ver")}));

  Seed("hdlc", "handshake", EncodeFrame(kHandshake, true));
  Bytes write(WRITE_FRAME_BUFFER_SIZE);
  write.resize(BuildWriteFrame(write.data(), 0x100000, 96, Pattern(96, 0x7D).data()));
  Seed("hdlc", "write", write);
  Seed("hdlc", "escapes", {0x00, 0x10, 0x00, 0x00, 0x7E, 0x7D, 0x5E, 0x5D, 0x7E, 0x7E, 0x7D, 0x20});

  // Receive: pattern length, pattern, capacity, then the stream.
  const Bytes handshakeReply = ModuleReply(kHandshake, false);
  Seed("receive", "handshake", Cat({{4}, Bytes(kHandshake.begin(), kHandshake.begin() + 4), {0x40},
                                    EncodeFrame(ModuleReply(kBoardVersion, false), false), {0x11, 0x22},
                                    EncodeFrame(handshakeReply, true), EncodeFrame(handshakeReply, false)}));
  Seed("receive", "error-reply", Cat({{4}, kBoardVersion, {0xFF}, EncodeFrame(Cat({{0x13}, kBoardVersion}), true)}));
  const Bytes blockAck = ModuleReply(WritePayload(0x100000, Pattern(64, 1)), true);
  Seed("receive", "block-ack", Cat({{1, 0x02}, {0x02}, EncodeFrame(blockAck, true), EncodeFrame({0x03, 0x0F, 0x01}, true)}));

  // The diagnostic harness: the command (its high nibble the argument), then a record a request (kind 0: a frame).
  struct { const char* m_Name; uint8_t m_Command; const Bytes& m_Request; } const commands[] = {
      {"handshake", 0, kHandshake}, {"board-version", 1, kBoardVersion}, {"iso-version", 2, kIsoVersion},
      {"switch", 3, kSwitch}, {"nv-backup", 0x14, kBackup}, {"restore-status", 5, kRestoreStatus},
      {"change-mode", 0x16, kChangeMode}, {"unlock", 7, kUnlock}, {"reset", 8, kReset}};
  for (const auto& c : commands) {
    // Unlock (7) and reset (8) talk to the downloader; nothing answers the lone 26 ahead of the unlock.
    const Bytes head = c.m_Command == 7 ? Records({7}, {{1, {}}}) : Bytes{c.m_Command};
    Seed("diag", c.m_Name, Records(head, {{0, ModuleReply(c.m_Request, c.m_Command % 9 >= 7)}}));
  }
  // A refusal, a reply of the wrong length, then the good reply.
  Seed("diag", "retries", Records({1}, {{0, {0x18, 0x4B, 0xC9}}, {0, kBoardVersion},
                                        {1, EncodeFrame(ModuleReply(kBoardVersion, false), true)}}));

  // The simulator: records of kind & 3 = 0 module, 1 UDP datagram, 2 TCP frame, 3 raw TCP bytes;
  // kind >> 2 half-seconds. A firmware download as the tool makes it:
  Seed("sim", "firmware",
       Records({0, 0}, {{1, EncodeFrame(UdpRequest(1), true)}, {2, kHandshake}, {2, kBackup},
                        {2, ControlPacket("Zyphex FWT Begin Download Pkt", 0)}, {2, kSwitch},
                        {1 | (10 << 2), EncodeFrame(UdpRequest(10), true)}, {2, kHandshake}, {2, {0x26}},
                        {2, kUnlock}, {2, WritePayload(0x100000, Pattern(512, 3))}, {2, kReset},
                        {2 | (10 << 2), kRestoreStatus}, {2, kBoardVersion}, {2, kIsoVersion},
                        {1, EncodeFrame(UdpRequest(7), true)}}));
  // A router image: begin packet, the raw bytes, the result after the install.
  Seed("sim", "router-image", Records({0, 0}, {{2, ControlPacket("Zyphex RUT Begin Download Pkt", 300)},
                                               {3, Pattern(300, 5)}, {0 | (8 << 2), kChangeMode}}));
  Seed("sim", "faults", Records({0xFF, 0xFF}, {{0, kHandshake}, {0, kUnlock},
      {3, Cat({EncodeFrame(kUnlock, true), EncodeFrame(WritePayload(0, Pattern(16, 1)), false)})}}));
  return 0;
}
