// A soak of the loop-test mode: the window checks and upgrades on its own for
// 120 cycles against the simulator program (its recordings then stay out of
// this process's figures), which fails every tenth pass at another step, so
// that every step fails at least once.
// Exactly those cycles show a red row, every other one five successes, and
// resident memory, descriptors and threads stay flat after the first cycles.
// Built as its own program: ctest runs it (label soak) beside the others.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>

#include "sim/PassFaults.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {
namespace {

constexpr int CYCLES = 120, WARM_UP = 10, SAMPLE = 10, REAL_LIMIT_MS = 170000;
constexpr double SCALE = 400;

using Usage = std::array<long, 3>;  // VmRSS in kB, descriptors, threads

Usage Measure() {
  const auto entries = [](const char* dir) { return std::distance(std::filesystem::directory_iterator(dir), {}); };
  const std::string status = ReadText("/proc/self/status");
  return {std::atol(status.c_str() + status.find("VmRSS:") + 6), entries("/proc/self/fd"), entries("/proc/self/task")};
}

// The largest figures of cycles [from, from + SAMPLE), printed.
Usage Peak(const std::vector<Usage>& usage, size_t from) {
  Usage peak{};
  for (size_t i = from; i < from + SAMPLE; ++i)
    for (size_t k = 0; k < peak.size(); ++k) peak[k] = std::max(peak[k], usage[i][k]);
  std::printf("cycles %zu-%zu: VmRSS %ld kB, %ld fds, %ld threads\n", from + 1, from + SAMPLE, peak[0], peak[1], peak[2]);
  return peak;
}

class LoopTestSoak : public WindowFixture {
 protected:
  ~LoopTestSoak() override {
    m_Dialog.reset();
    if (m_SimPid > 0) kill(m_SimPid, SIGTERM), waitpid(m_SimPid, nullptr, 0);
  }
  pid_t m_SimPid = -1;
};

TEST_F(LoopTestSoak, CyclesOnWithEveryTenthPassFailingAndStaysFlat) {
  // At this scale the protocol's time-outs last a few real milliseconds, less
  // than a busy machine may keep a thread waiting: the soak's threads and the
  // simulator (which inherit it) run at real-time priority when allowed.
  const sched_param priority{1};
  const bool realTime = pthread_setschedparam(pthread_self(), SCHED_RR, &priority) == 0;
  testsupport::ScopedClockScale clock(SCALE);
  MakeFittingPackages(m_Packages.Path());
  const std::string sim = BinDir() + "/qel-gateway-sim", out = m_Packages.File("sim.txt");
  const std::string port = std::to_string(m_Options.m_Port), scale = std::to_string(SCALE);
  if ((m_SimPid = fork()) == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT, 0600), 1);
    execl(sim.c_str(), sim.c_str(), "--port", port.c_str(), "--time-scale", scale.c_str(), "--install-ms", "12000",
          "--restart-ms", "2000", "--quiet", "--fault", "fail-every-tenth-pass", nullptr);
    _exit(127);
  }
  ASSERT_TRUE(WaitUntil([&] { return ReadText(out).find("serving") != std::string::npos; }, 10000));
  WriteFile(m_Options.m_LoopTestMarker, {});
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder;
  const QDeadlineTimer deadline(REAL_LIMIT_MS);
  // Serves the window until condition holds; false at a message box or the deadline.
  const auto until = [&](const std::function<bool()>& condition) {
    return WaitFor([&] { return condition() || !responder.m_Boxes.empty(); }, deadline.remainingTime()) &&
           responder.m_Boxes.empty();
  };
  std::vector<Usage> usage;
  std::set<QString> failures;
  dialog.CheckButton().click();
  for (int cycle = 1; cycle <= CYCLES; ++cycle) {
    // Measured once the pass has ended and its thread is joined (Check enabled again).
    ASSERT_TRUE(until([&] { return dialog.UpgradeInProcess(); })) << cycle << responder.m_Boxes.join(";").toStdString();
    ASSERT_TRUE(until([&] { return !dialog.UpgradeInProcess() && dialog.CheckButton().isEnabled(); })) << cycle;
    usage.push_back(Measure());
    const QStringList status = Column(COL_STATUS);
    const int red = Column(STATUS_COLOURS).indexOf("#ff0000");
    const bool fails = cycle % PASS_FAULT_PERIOD == 0;
    SCOPED_TRACE("cycle " + std::to_string(cycle) + ": " + status.join(" | ").toStdString());
    EXPECT_EQ(red >= 0, fails);
    EXPECT_EQ(status.filter(QRegularExpression("^Download successfully \\(\\d\\d:\\d\\d\\)$")).size(), fails ? red : 5);
    if (red >= 0) failures.insert(Column(COL_TYPE)[red] + ": " + status[red].section(" (", 0, 0));
  }
  std::printf("%d cycles in %.1f s real at scale %g%s\n", CYCLES, (REAL_LIMIT_MS - deadline.remainingTime()) / 1e3,
              SCALE, realTime ? ", real-time priority" : "");
  for (const QString& failure : failures) std::printf("failed: %s\n", failure.toStdString().c_str());
  EXPECT_EQ(failures.size(), size_t{PASS_FAULT_STEP_COUNT}) << "each step fails its own way";
  const Usage first = Peak(usage, WARM_UP), last = Peak(usage, CYCLES - SAMPLE);
  for (size_t k = 0; k < last.size(); ++k) EXPECT_LE(last[k], first[k] + (k == 0 ? 1024 : 0)) << k;  // 1 MB of slack
}

}  // namespace
}  // namespace windowtest
