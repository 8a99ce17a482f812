// Writes the seed corpora: valid inputs for every harness, made with the
// project's own builders (packages, frames, control packets) and answered
// by the simulator's own wireless module and router services.
//
//   fuzz_make_seeds <fuzz/corpus>
#include <sys/stat.h>

#include <cstdio>
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
  const std::string dir = g_Root + "/" + harness;
  mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
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

// The requests the diagnostic commands send.
const Bytes kHandshake = Cat({{0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}, Bytes(126, 0)});
const Bytes kBoardVersion = {0x4B, 0xC9, 0x03, 0xFF};
const Bytes kIsoVersion = Cat({{0x4B, 0xC9, 0x24, 0xFF}, Bytes(32, 0)});
const Bytes kSwitch = {0x3A};
const Bytes kBackup = {0x4B, 0xC8, 0x1E, 0xFF, 0, 0, 0, 0};
const Bytes kRestoreStatus = Cat({{0x4B, 0xC9, 0x21, 0xFF}, Bytes(32, 0)});
const Bytes kChangeMode = {0x29, 0x01, 0x00};
const Bytes kUnlock = Cat({{0x0B}, Bytes(DEFAULT_UNLOCK_CODE, DEFAULT_UNLOCK_CODE + 8)});
const Bytes kReset = {0x0A};

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

void PackageSeeds() {
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
    if (kind == MODULE_DASHBOARD) {
      plan.m_ImageType = 0;  // a two-unit image of unstated type: the path decides
      BuildPackage(plan, &bytes, nullptr);
      Seed("package", "type0", bytes);
    }
  }
}

void FrameSeeds() {
  Seed("hdlc", "handshake", EncodeFrame(kHandshake, true));
  Seed("hdlc", "write", [] {
    Bytes frame(WRITE_FRAME_BUFFER_SIZE);
    frame.resize(BuildWriteFrame(frame.data(), 0x100000, 96, Pattern(96, 0x7D).data()));
    return frame;
  }());
  Seed("hdlc", "escapes", {0x00, 0x10, 0x00, 0x00, 0x7E, 0x7D, 0x5E, 0x5D, 0x7E, 0x7E, 0x7D, 0x20});

  // Receive: pattern length, pattern, capacity, then the stream.
  const Bytes handshakeReply = ModuleReply(kHandshake, false);
  Seed("receive", "handshake", Cat({{4}, Bytes(kHandshake.begin(), kHandshake.begin() + 4), {0x40},
                                    EncodeFrame(ModuleReply(kBoardVersion, false), false), {0x11, 0x22},
                                    EncodeFrame(handshakeReply, true), EncodeFrame(handshakeReply, false)}));
  Seed("receive", "error-reply", Cat({{4}, kBoardVersion, {0xFF}, EncodeFrame(Cat({{0x13}, kBoardVersion}), true)}));
  const Bytes write = WritePayload(0x100000, Pattern(64, 1));
  Seed("receive", "block-ack", Cat({{1, 0x02}, {0x02}, EncodeFrame(ModuleReply(write, true), true),
                                    EncodeFrame({0x03, 0x0F, 0x01}, true)}));
}

void RouterSeeds() {
  SimOptions options;
  options.m_RouterVersion = "1.2.3.4 build \xC3\xA9t\xC3\xA9";
  SimRecorder recorder("", true);
  RouterState router;
  WirelessModule module(options, &router, &recorder);
  RouterUdpService udp(options, options.m_Ip, &router, &module, &recorder);
  Bytes discover(32, 0);
  discover[0] = 1;
  Seed("discovery", "reply", udp.Answer(discover, SimTime{}));
  options.m_RouterVersion = std::string(200, '9');
  Seed("discovery", "long-text", RouterUdpService(options, options.m_Ip, &router, &module, &recorder).Answer(discover, SimTime{}));

  RouterControlPacket packet;
  packet.Set(nullptr, 4);
  Seed("router_result", "result", Bytes(packet.m_Bytes, packet.m_Bytes + sizeof packet.m_Bytes));
  packet.Set("Zyphex RUT Begin Download Pkt", 65536);
  Seed("router_result", "begin", Bytes(packet.m_Bytes, packet.m_Bytes + sizeof packet.m_Bytes));

  Seed("version", "newer", Cat({{7}, {'1', '.', '2', '.', '3', '.', '4'}, {'1', '.', '2', '.', '3', '.', '5'}}));
  Seed("version", "third-zero", Cat({{7}, {'2', '.', '1', '.', '0', '.', '7'}, {'2', '.', '1', '.', '8', '.', '0'}}));
  Seed("version", "unreadable", Cat({{3}, {'1', '.', '.'}, {'N', 'o', ' ', 'v', 'e', 'r'}}));
}

void DiagSeeds() {
  struct {
    const char* m_Name;
    uint8_t m_Command;
    const Bytes& m_Request;
    bool m_Downloader;
  } const commands[] = {{"handshake", 0, kHandshake, false},     {"board-version", 1, kBoardVersion, false},
                        {"iso-version", 2, kIsoVersion, false},  {"switch", 3, kSwitch, false},
                        {"nv-backup", 0x14, kBackup, false},     {"restore-status", 5, kRestoreStatus, false},
                        {"change-mode", 0x16, kChangeMode, false}, {"unlock", 7, kUnlock, true},
                        {"reset", 8, kReset, true}};
  for (const auto& c : commands) {
    Bytes input = {c.m_Command};
    if (c.m_Command % 9 == 7) AppendRecord(&input, 1, {});  // nothing for the lone 26 ahead of the unlock
    AppendRecord(&input, 0, ModuleReply(c.m_Request, c.m_Downloader));
    Seed("diag", c.m_Name, input);
  }
  // A refusal, a reply of the wrong length, then the good reply.
  Bytes input = {1};
  AppendRecord(&input, 0, {0x18, 0x4B, 0xC9});
  AppendRecord(&input, 0, kBoardVersion);
  AppendRecord(&input, 1, EncodeFrame(ModuleReply(kBoardVersion, false), true));
  Seed("diag", "retries", input);
}

void SimSeeds() {
  // A firmware download as the tool makes it: records of kind & 3 = 0
  // module, 1 UDP datagram, 2 TCP frame, 3 raw TCP bytes; kind >> 2 half-seconds.
  Bytes session = {0, 0};
  Bytes discover(32, 0), ping(32, 0), force(32, 0);
  discover[0] = 1, ping[0] = 10, force[0] = 7;
  AppendRecord(&session, 1, EncodeFrame(discover, true));
  AppendRecord(&session, 2, kHandshake);
  AppendRecord(&session, 2, kBackup);
  RouterControlPacket begin;
  begin.Set("Zyphex FWT Begin Download Pkt", 0);
  AppendRecord(&session, 2, Bytes(begin.m_Bytes, begin.m_Bytes + 40));
  AppendRecord(&session, 2, kSwitch);
  AppendRecord(&session, 1 | (10 << 2), EncodeFrame(ping, true));
  AppendRecord(&session, 2, kHandshake);
  AppendRecord(&session, 2, {0x26});
  AppendRecord(&session, 2, kUnlock);
  AppendRecord(&session, 2, WritePayload(0x100000, Pattern(512, 3)));
  AppendRecord(&session, 2, kReset);
  AppendRecord(&session, 2 | (10 << 2), kRestoreStatus);
  AppendRecord(&session, 2, kBoardVersion);
  AppendRecord(&session, 2, kIsoVersion);
  AppendRecord(&session, 1, EncodeFrame(force, true));
  Seed("sim", "firmware", session);

  // A router image: begin packet, the raw bytes, the result after the install.
  Bytes image = {0, 0};
  begin.Set("Zyphex RUT Begin Download Pkt", 300);
  AppendRecord(&image, 2, Bytes(begin.m_Bytes, begin.m_Bytes + 40));
  AppendRecord(&image, 3, Pattern(300, 5));
  AppendRecord(&image, 0 | (8 << 2), kChangeMode);
  Seed("sim", "router-image", image);

  Bytes faults = {0xFF, 0xFF};
  AppendRecord(&faults, 0, kHandshake);
  AppendRecord(&faults, 0, kUnlock);
  AppendRecord(&faults, 3, Cat({EncodeFrame(kUnlock, true), EncodeFrame(WritePayload(0, Pattern(16, 1)), false)}));
  Seed("sim", "faults", faults);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  g_Root = argv[1];
  mkdir(g_Root.c_str(), 0755);
  PackageSeeds();
  FrameSeeds();
  RouterSeeds();
  DiagSeeds();
  SimSeeds();
  return 0;
}
