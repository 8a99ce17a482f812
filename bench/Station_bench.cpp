// Several gateways at once: four whole passes of a station side by side
// (each a gateway pass with its own engine, as qel station runs them)
// against one alone, at the same clock speed, each gateway a simulator
// program of its own on loopback so that the CPU time measured is the
// tool's. Reported: the wall time of each, the ratio of four to one (goal at
// most 1.3), and the tool's CPU time per pass.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "cli/GatewayPass.h"
#include "net/Clock.h"
#include "platform/UserFolders.h"
#include "support/Packages.h"
#include "support/TestSupport.h"

namespace {

constexpr double kTimeScale = 20;

// Router images of 2 MiB, the wireless firmware of 8 MiB and its dashboard of 2 MiB.
const testsupport::TempDir& Packages() {
  static testsupport::TempDir dir;
  static const bool made = [] {
    const char* versions[] = {"1.2.3.10", "1.2.3.11", "1.2.3.12", "2.1.5.0", "3.0.1.9"};
    const size_t lengths[] = {2 << 20, 2 << 20, 2 << 20, 8 << 20, 2 << 20};
    for (int kind = 0; kind < MODULE_COUNT; ++kind)
      testsupport::MakePackage(dir.Path(), ModuleKind(kind), versions[kind], lengths[kind]);
    return true;
  }();
  (void)made;
  return dir;
}

// A simulator program on a free loopback port, ended when this goes.
class SimProcess {
 public:
  explicit SimProcess(int index) : m_Port(testsupport::FreePort()) {
    const std::string sim = ExecutableDirectory() + "qel-gateway-sim";
    const std::string port = std::to_string(m_Port), mac = "02-51-E1-00-00-0" + std::to_string(index + 1);
    m_Pid = fork();
    if (m_Pid == 0) {
      freopen("/dev/null", "w", stdout);
      execl(sim.c_str(), sim.c_str(), "--port", port.c_str(), "--mac", mac.c_str(), "--time-scale", "20", "--quiet",
            "--new-firmware-version", "2.1.5.0", "--new-dashboard-version", "3.0.1.9", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~SimProcess() {
    kill(m_Pid, SIGTERM);
    waitpid(m_Pid, nullptr, 0);
  }
  int Port() const { return m_Port; }

 private:
  int m_Port;
  pid_t m_Pid = -1;
};

class CountingEvents : public IGatewayEvents {
 public:
  void OnEvent(const GatewayEvent&) override {}
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double g_OneWall = 0;

void BM_StationPasses(benchmark::State& state) {
  Clock::SetScale(kTimeScale);
  const std::string packages = Packages().Path();  // made before TMPDIR points into the logs' folder
  testsupport::TempDir logs;
  testsupport::ScopedEnv logFolder("TMPDIR", logs.Path().c_str());
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < count; ++i) sims.push_back(std::make_unique<SimProcess>(i));
    Clock::Sleep(static_cast<uint32_t>(kTimeScale * 300));  // 300 real ms for the simulators to start
    CountingEvents events;
    std::vector<std::unique_ptr<GatewayPass>> passes;
    for (int i = 0; i < count; ++i) {
      RouterInfo router{.m_Version = "1.2.3.4", .m_Interface = "lo"};
      const uint8_t ip[4] = {127, 0, 0, 1}, mac[6] = {0x02, 0x51, 0xE1, 0, 0, static_cast<uint8_t>(i + 1)};
      std::copy(ip, ip + 4, router.m_Ip);
      std::copy(mac, mac + 6, router.m_Mac);
      passes.push_back(std::make_unique<GatewayPass>(router, GatewayPassOptions{packages, sims[i]->Port()}, events));
    }
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (auto& pass : passes) pass->Start();
    std::string failure;
    for (auto& pass : passes) {
      pass->Join();
      if (pass->Outcome().m_Result != GatewayOutcome::UPGRADED) failure = pass->Outcome().m_Text;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!failure.empty()) state.SkipWithError(("a pass failed: " + failure).c_str());
    state.SetIterationTime(wall);
    state.counters["wall_s"] = wall;
    state.counters["cpu_s_per_pass"] = (CpuSeconds() - cpu) / count;
    if (count == 1) g_OneWall = wall;
    if (count > 1 && g_OneWall > 0) state.counters["wall_vs_one(goal<=1.3)"] = wall / g_OneWall;
  }
}
BENCHMARK(BM_StationPasses)->Arg(1)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
