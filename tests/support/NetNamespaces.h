// Two private network namespaces joined by a veth pair, made for one test
// and deleted with it: the tool's side (device "qel0", host .2, default
// route via the peer, so the limited broadcast has a way out) and the
// gateway's side (GATEWAY_DEVICE, host .1). Whatever is sent inside them
// never reaches the machine's own network. Needs root and ip(8).
#pragma once

#include <fcntl.h>
#include <sched.h>

#include "support/TestSupport.h"

namespace testsupport {

class NetNamespaces {
 public:
  static constexpr const char* GATEWAY_DEVICE = "qel1";

  // tag keeps the names and the test subnet apart from other tests'.
  explicit NetNamespaces(const std::string& tag)
      : m_Tool("qel" + tag + "-" + std::to_string(getpid()) + "-a"), m_Gateway(m_Tool.substr(0, m_Tool.size() - 1) + "b") {
    // A private test subnet per test and process, set inside the namespaces only.
    const std::string prefix = "10.213." + std::to_string(1 + (std::hash<std::string>{}(tag) + getpid()) % 250) + ".";
    const std::string tool = " && ip -n " + m_Tool + " ", gateway = " && ip -n " + m_Gateway + " ";
    // The trace (set -x) names the command that failed.
    const std::string script = "set -x; ip netns add " + m_Tool + " && ip netns add " + m_Gateway + tool +
        "link add qel0 type veth peer name " + GATEWAY_DEVICE + " netns " + m_Gateway + tool + "addr add " + prefix +
        "2/24 dev qel0" + gateway + "addr add " + prefix + "1/24 dev " + GATEWAY_DEVICE + tool + "link set lo up" +
        gateway + "link set lo up" + tool + "link set qel0 up" + gateway + "link set " + GATEWAY_DEVICE + " up" + tool +
        "route add default via " + prefix + "1 dev qel0";
    if (RunCommand("(" + script + ") 2>&1", &m_Failure) == 0) m_Failure.clear();
  }
  ~NetNamespaces() {
    RunCommand("ip netns del " + m_Tool + " 2>/dev/null; ip netns del " + m_Gateway + " 2>/dev/null", nullptr);
  }

  bool Ok() const { return m_Failure.empty(); }
  // The commands run up to the one that failed and what it said, for the
  // assertion message.
  const std::string& Failure() const { return m_Failure; }
  const std::string& Tool() const { return m_Tool; }
  const std::string& Gateway() const { return m_Gateway; }

  // Runs body on a thread of its own inside the namespace called name (a
  // namespace belongs to a thread; a socket made there stays in it); false
  // when the thread could not enter it.
  static bool Within(const std::string& name, const std::function<void()>& body) {
    bool entered = false;
    std::thread([&] {
      const int fd = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
      entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
      close(fd);
      if (entered) body();
    }).join();
    return entered;
  }

 private:
  std::string m_Tool, m_Gateway, m_Failure;
};

}  // namespace testsupport
