// The serving loop: one thread polls the UDP socket, the TCP listener, the
// connection and a stop eventfd, and wakes for the simulator's own deadlines
// (the end of a module restart, an idle image, a due result). Each wake-up
// is handled under one lock, which the accessors take too.
#include "sim/GatewaySim.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "log/FileDescriptor.h"
#include "packages/PackageBuilder.h"
#include "sim/RouterState.h"
#include "sim/RouterTcpService.h"
#include "sim/RouterUdpService.h"
#include "sim/SimRecorder.h"
#include "sim/SimSocket.h"
#include "sim/WirelessModule.h"

// The module expects the code that packages carry unless told otherwise.
SimOptions::SimOptions() { std::memcpy(m_UnlockCode, DEFAULT_UNLOCK_CODE, 8); }

class GatewaySim::Impl {
 public:
  explicit Impl(const SimOptions& options)
      : m_Options(options),
        m_Recorder(options.m_RecordDir, options.m_Quiet),
        m_Module(m_Options, &m_Router, &m_Recorder) {}
  ~Impl() { Stop(); }

  bool Start();
  void Stop();

  const SimOptions m_Options;
  SimRecorder m_Recorder;
  RouterState m_Router;
  WirelessModule m_Module;
  std::unique_ptr<RouterUdpService> m_Udp;
  std::unique_ptr<RouterTcpService> m_Tcp;
  mutable std::mutex m_Lock;

 private:
  void Run();
  void Serve(const pollfd* fds, SimTime now);

  CFileDescriptor m_StopFd;
  std::thread m_Thread;
};

bool GatewaySim::Impl::Start() {
  if (m_Thread.joinable()) return false;
  std::string error;
  uint8_t ip[4];
  std::memcpy(ip, m_Options.m_Ip, 4);
  uint8_t listenIp[4] = {127, 0, 0, 1};
  if (!m_Options.m_Interface.empty()) {
    if (!InterfaceIpv4(m_Options.m_Interface, ip, &error)) {
      std::fprintf(stderr, "qel-gateway-sim: %s\n", error.c_str());
      return false;
    }
    std::memcpy(listenIp, ip, 4);
  }
  m_Udp = std::make_unique<RouterUdpService>(m_Options, ip, &m_Router, &m_Module, &m_Recorder);
  m_Tcp = std::make_unique<RouterTcpService>(m_Options, listenIp, &m_Router, &m_Module, &m_Recorder);
  if (!m_Recorder.Open(&error) || !m_Udp->Open(&error) || !m_Tcp->Open(&error)) {
    std::fprintf(stderr, "qel-gateway-sim: %s\n", error.c_str());
    m_Udp.reset();
    m_Tcp.reset();
    return false;
  }
  m_StopFd.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!m_StopFd.IsOpen()) {
    std::fprintf(stderr, "qel-gateway-sim: eventfd failed\n");
    return false;
  }
  m_Thread = std::thread([this] { Run(); });
  return true;
}

void GatewaySim::Impl::Stop() {
  if (m_Thread.joinable()) {
    const uint64_t one = 1;
    if (write(m_StopFd.Get(), &one, sizeof one) != sizeof one) std::perror("qel-gateway-sim: stop");
    m_Thread.join();
  }
  m_StopFd.Close();
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Udp) m_Udp->Close();
  if (m_Tcp) m_Tcp->Close();
  m_Recorder.FlushMemory();
}

void GatewaySim::Impl::Run() {
  for (;;) {
    int timeout;
    pollfd fds[4];
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      const SimTime deadline = std::min(m_Module.Deadline(), m_Tcp->Deadline());
      timeout = PollTimeoutMs(SimClock::now(), deadline);
      fds[0] = {m_StopFd.Get(), POLLIN, 0};
      fds[1] = {m_Udp->Fd(), POLLIN, 0};
      fds[2] = {m_Tcp->ListenFd(), POLLIN, 0};
      fds[3] = {m_Tcp->ConnectionFd(), POLLIN, 0};  // -1 is skipped by poll
    }
    if (poll(fds, 4, timeout) < 0 && errno != EINTR) {
      std::perror("qel-gateway-sim: poll");
      return;
    }
    if (fds[0].revents) return;
    std::lock_guard<std::mutex> hold(m_Lock);
    Serve(fds, SimClock::now());
  }
}

void GatewaySim::Impl::Serve(const pollfd* fds, SimTime now) {
  m_Module.Tick(now);
  if (fds[1].revents) m_Udp->OnReadable(now);
  // Read the old connection before a new one may replace it.
  if (fds[3].revents && fds[3].fd == m_Tcp->ConnectionFd()) m_Tcp->OnReadable(now);
  if (fds[2].revents) m_Tcp->OnAcceptable(now);
  m_Module.Tick(now);
  m_Tcp->OnTimer(now);
}

GatewaySim::GatewaySim(const SimOptions& options) : m_Impl(std::make_unique<Impl>(options)) {}
GatewaySim::~GatewaySim() = default;

bool GatewaySim::Start() { return m_Impl->Start(); }
void GatewaySim::Stop() { m_Impl->Stop(); }

std::vector<SimEvent> GatewaySim::Events() const { return m_Impl->m_Recorder.Events(); }
std::vector<std::string> GatewaySim::Transcript() const { return m_Impl->m_Recorder.Transcript(); }
std::vector<std::vector<uint8_t>> GatewaySim::RouterImages() const {
  return m_Impl->m_Recorder.RouterImages();
}
std::map<uint32_t, std::vector<uint8_t>> GatewaySim::WirelessMemory() const {
  return m_Impl->m_Recorder.Memory();
}

int GatewaySim::TcpConnectionCount() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Tcp ? m_Impl->m_Tcp->ConnectionCount() : 0;
}

bool GatewaySim::InDownloader() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Module.Mode() == ModuleMode::Downloader;
}

bool GatewaySim::Restarting() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Module.Mode() == ModuleMode::Restarting;
}

bool GatewaySim::ForceLoad() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Router.m_ForceLoad;
}

std::string GatewaySim::FirmwareVersion() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Module.FirmwareVersion();
}

std::string GatewaySim::DashboardVersion() const {
  std::lock_guard<std::mutex> hold(m_Impl->m_Lock);
  return m_Impl->m_Module.DashboardVersion();
}
