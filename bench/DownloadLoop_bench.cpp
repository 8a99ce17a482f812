// The block loop of a wireless download against the simulator on loopback:
// a 64 MiB image, 16,384 frames of 4096 data bytes, once through the
// stages' DownloadUnits (framing, channel, receive thread, reply queue) and
// once through a bare stop-and-wait client that sends the very same frames
// over one TCP connection and reads each reply itself. Each pass has a fresh
// simulator. Reported: blocks per second of each and their ratio, and the
// time per block over the first and the last tenth of each pass.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "diag/DiagCaller.h"
#include "diag/ImageDownload.h"
#include "framing/Hdlc.h"
#include "log/UpgradeLog.h"
#include "net/Clock.h"
#include "net/PortChannel.h"
#include "packages/PackageBuilder.h"
#include "sim/GatewaySim.h"
#include "support/TestSupport.h"

namespace {

using Seconds = std::chrono::duration<double>;
using Moment = std::chrono::steady_clock::time_point;

constexpr uint32_t kBlocks = 16384;
constexpr uint32_t kLoadAddress = 0x00100000;
// Program time-outs stay long enough (5000 ms reads: 250 ms real) that a
// busy machine does not turn a slow reply into a retry.
constexpr double kTimeScale = 20;

// What one pass took: the moment each tenth of the blocks was done (0: the
// first block was about to go).
struct Pass {
  bool m_Ok = false;
  int m_Retries = 0;  // block sends that were not acknowledged
  Moment m_Tenths[11];
  double Seconds() const { return ::Seconds(m_Tenths[10] - m_Tenths[0]).count(); }
  double BlocksPerSecond() const { return kBlocks / Seconds(); }
  // Blocks done at tenth t: the first count whose "%" (done * 100 / total,
  // as the engine shows it) reaches 10 t.
  static uint32_t BlocksAt(int t) { return (t * kBlocks + 9) / 10; }
  double MicrosPerBlock(int from, int to) const {
    return ::Seconds(m_Tenths[to] - m_Tenths[from]).count() * 1e6 / (BlocksAt(to) - BlocksAt(from));
  }
};

struct Image {
  testsupport::TempDir m_Dir;
  UpgradePackage m_Package;
  std::vector<uint8_t> m_Data;
};

// The image as a package file, loaded (mapped and verified) as the stage has it.
bool MakeImage(Image* image) {
  PackagePlan plan;
  plan.m_Version = "9.9.9.9";
  PackageUnit unit;
  unit.m_LoadAddress = kLoadAddress;
  unit.m_Data.resize(size_t{kBlocks} * WRITE_BLOCK_SIZE);
  std::mt19937 random(4);
  for (uint8_t& b : unit.m_Data) b = static_cast<uint8_t>(random());
  image->m_Data = unit.m_Data;
  plan.m_Units.push_back(std::move(unit));
  image->m_Package.SetPath(image->m_Dir.File("firmware.bin"));
  std::string reason;
  if (WritePackageFile(plan, image->m_Package.Path(), &reason) && image->m_Package.Load()) return true;
  std::fprintf(stderr, "package: %s\n", reason.c_str());
  return false;
}

const Image& TheImage() {
  static Image image;
  static const bool made = MakeImage(&image);
  (void)made;
  return image;
}

// A simulator on a free port whose wireless module waits in its downloader.
std::unique_ptr<GatewaySim> StartSim(int* port) {
  SimOptions options;
  options.m_Port = *port = testsupport::FreePort();
  options.m_TimeScale = kTimeScale;
  options.m_Faults.m_StartInDownloader = true;
  auto sim = std::make_unique<GatewaySim>(options);
  return sim->Start() ? std::move(sim) : nullptr;
}

// The image in the simulator's memory, exactly once.
bool Delivered(const GatewaySim& sim) {
  const auto memory = sim.WirelessMemory();
  return memory.size() == 1 && memory.begin()->first == kLoadAddress && memory.begin()->second == TheImage().m_Data;
}

// The download's view, reduced to the moments its "%" reached each tenth.
class TenthsView : public IStageView {
 public:
  explicit TenthsView(Pass* pass) : m_Pass(pass) {}
  void ShowStatus(const std::string&) override {}
  void ShowStatusId(int) override {}
  void ShowProgress(uint64_t done, uint64_t total) override { ShowProgress(static_cast<int>(done * 100 / total)); }
  void ShowProgress(int percent) override {
    if (percent > 0 && percent % 10 == 0) m_Pass->m_Tenths[percent / 10] = std::chrono::steady_clock::now();
  }
  void StartTransfer(uint64_t) override { m_Pass->m_Tenths[0] = std::chrono::steady_clock::now(); }
  void ShowTransfer(uint64_t done, uint64_t total) override { ShowProgress(done, total); }

 private:
  Pass* m_Pass;
};

Pass EnginePass(int port) {
  Pass pass;
  TenthsView view(&pass);
  PortChannel channel;
  UpgradeLog log;
  CDiagCaller caller(channel, log);
  if (!channel.Open("127.0.0.1", port, PORT_TCP)) return pass;
  channel.StartReceiveThread();
  std::remove(log.FilePath().c_str());  // the log file then holds this pass's lines only
  const UpgradePackage& package = TheImage().m_Package;
  pass.m_Ok = caller.DIAG_Unlock(package.Unit(0).Unlock()) && DownloadUnits(caller, package, view, log);
  const std::string text = testsupport::ReadText(log.FilePath());
  for (size_t at = text.find("DIAG_Write#"); at != std::string::npos; at = text.find("DIAG_Write#", at + 1)) ++pass.m_Retries;
  channel.Close();
  return pass;
}

// The reference client: one blocking connection without Nagle's delay, each
// frame sent whole, then bytes read until a frame closes.
class BareClient {
 public:
  ~BareClient() {
    if (m_Fd >= 0) close(m_Fd);
  }

  bool Connect(int port) {
    m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(m_Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(m_Fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
  }

  // Sends a frame and returns the first byte of the reply's payload (-1: none).
  int Exchange(const uint8_t* frame, uint32_t length) {
    for (uint32_t sent = 0; sent < length;) {
      const ssize_t n = send(m_Fd, frame + sent, length - sent, MSG_NOSIGNAL);
      if (n <= 0) return -1;
      sent += static_cast<uint32_t>(n);
    }
    for (;;) {
      uint8_t bytes[256];
      const ssize_t n = recv(m_Fd, bytes, sizeof bytes, 0);
      if (n <= 0) return -1;
      for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] != HDLC_FLAG) {
          m_Run.push_back(bytes[i]);
          continue;
        }
        const bool frameEnds = m_Run.size() >= 3;
        const uint32_t payload = frameEnds ? HdlcDecode(m_Run.data(), static_cast<uint32_t>(m_Run.size()), m_Run.data()) : 0;
        const int first = payload > 0 ? m_Run[0] : -1;
        m_Run.clear();
        if (frameEnds) return first;  // stop-and-wait: nothing follows a reply
      }
    }
  }

 private:
  int m_Fd = -1;
  std::vector<uint8_t> m_Run;
};

Pass BarePass(int port) {
  Pass pass;
  BareClient client;
  if (!client.Connect(port)) return pass;
  std::vector<uint8_t> frame(WRITE_FRAME_BUFFER_SIZE);
  uint8_t unlock[9] = {0x0B};
  std::memcpy(unlock + 1, DEFAULT_UNLOCK_CODE, 8);
  if (client.Exchange(frame.data(), HdlcEncode(unlock, sizeof unlock, frame.data(), 1)) != 0x02) return pass;
  const uint8_t* data = TheImage().m_Package.UnitData(0);
  int tenth = 1;
  pass.m_Tenths[0] = std::chrono::steady_clock::now();
  for (uint32_t block = 0; block < kBlocks; ++block) {
    const uint32_t offset = block * WRITE_BLOCK_SIZE;
    const uint32_t length = BuildWriteFrame(frame.data(), kLoadAddress + offset, WRITE_BLOCK_SIZE, data + offset);
    if (client.Exchange(frame.data(), length) != 0x02) return pass;
    if (block + 1 == pass.BlocksAt(tenth)) pass.m_Tenths[tenth++] = std::chrono::steady_clock::now();
  }
  pass.m_Ok = true;
  return pass;
}

// One pass of run against a simulator of its own, which must have received
// the whole image; false when no simulator starts.
bool MeasuredPass(Pass (*run)(int port), Pass* pass) {
  int port = 0;
  auto sim = StartSim(&port);
  if (!sim) return false;
  *pass = run(port);
  pass->m_Ok = pass->m_Ok && Delivered(*sim);
  return true;
}

void BM_DownloadLoop(benchmark::State& state) {
  Clock::SetScale(kTimeScale);
  TheImage();
  testsupport::ScopedEnv tmp("TMPDIR", TheImage().m_Dir.Path().c_str());  // the engine's log file
  for (auto _ : state) {
    Pass engine, bare;
    if (!MeasuredPass(EnginePass, &engine) || !MeasuredPass(BarePass, &bare)) {
      state.SkipWithError("no simulator");
      break;
    }
    if (!engine.m_Ok || !bare.m_Ok) {
      state.SkipWithError(engine.m_Ok ? "the bare client failed" : "the engine failed");
      break;
    }
    state.SetIterationTime(engine.Seconds() + bare.Seconds());
    state.counters["engine_blk/s"] = engine.BlocksPerSecond();
    state.counters["bare_blk/s"] = bare.BlocksPerSecond();
    state.counters["engine_retries"] = engine.m_Retries;
    state.counters["engine/bare"] = engine.BlocksPerSecond() / bare.BlocksPerSecond();
    state.counters["engine_us_1st10"] = engine.MicrosPerBlock(0, 1);
    state.counters["engine_us_last10"] = engine.MicrosPerBlock(9, 10);
    state.counters["bare_us_1st10"] = bare.MicrosPerBlock(0, 1);
    state.counters["bare_us_last10"] = bare.MicrosPerBlock(9, 10);
  }
}

// Three rounds, each an engine pass then a bare one; the median shows best
// through the swings of a shared machine.
BENCHMARK(BM_DownloadLoop)->Iterations(1)->Repetitions(3)->DisplayAggregatesOnly()->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
