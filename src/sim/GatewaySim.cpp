// The serving loop: one thread waits on the UDP socket, the TCP listener, the
// connection and a stop event, and wakes for the simulator's own deadlines
// (the end of a module restart, an idle image, a due result). Each wake-up
// is handled under one lock, which the accessors take too.
#include "sim/GatewaySim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "packages/PackageBuilder.h"
#include "platform/CancelEvent.h"
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
  // ready: the UDP socket, the listener and the connection, in that order.
  void Serve(const bool* ready, SimTime now);

  CCancelEvent m_Stop;
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
  if (!m_Stop.IsValid()) {
    std::fprintf(stderr, "qel-gateway-sim: no stop event\n");
    return false;
  }
  m_Stop.Take();
  m_Thread = std::thread([this] { Run(); });
  return true;
}

void GatewaySim::Impl::Stop() {
  if (m_Thread.joinable()) {
    m_Stop.Set();
    m_Thread.join();
  }
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Udp) m_Udp->Close();
  if (m_Tcp) m_Tcp->Close();
  m_Recorder.FlushMemory();
}

void GatewaySim::Impl::Run() {
  for (;;) {
    int timeout;
    const CSocket* sockets[3];
    bool ready[3] = {};
    size_t count;
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      const SimTime deadline = std::min(m_Module.Deadline(), m_Tcp->Deadline());
      timeout = WaitTimeoutMs(SimClock::now(), deadline);
      sockets[0] = &m_Udp->Socket();
      sockets[1] = &m_Tcp->Listener();
      sockets[2] = &m_Tcp->Connection();
      count = m_Tcp->Connection().IsOpen() ? 3 : 2;
    }
    CSocket::WaitForAny(sockets, count, &m_Stop, timeout, ready);
    if (m_Stop.Take()) return;
    std::lock_guard<std::mutex> hold(m_Lock);
    Serve(ready, SimClock::now());
  }
}

void GatewaySim::Impl::Serve(const bool* ready, SimTime now) {
  m_Module.Tick(now);
  if (ready[0]) m_Udp->OnReadable(now);
  // Read the old connection before a new one may replace it.
  if (ready[2]) m_Tcp->OnReadable(now);
  if (ready[1]) m_Tcp->OnAcceptable(now);
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
