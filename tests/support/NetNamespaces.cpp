#include "support/NetNamespaces.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <thread>

#include "support/TestSupport.h"

namespace testsupport {

NetNamespaces::NetNamespaces(const std::string& tag) {
  const std::string name = "qel" + tag + "-" + std::to_string(getpid());
  m_Tool = name + "-a";
  m_Gateway = name + "-b";
  // A private test subnet per test and process, set inside the namespaces only.
  const std::string prefix = "10.213." + std::to_string(1 + (std::hash<std::string>{}(tag) + getpid()) % 250) + ".";
  const std::string tool = " && ip -n " + m_Tool + " ", gateway = " && ip -n " + m_Gateway + " ";
  // The trace (set -x) names the command that failed.
  const std::string script = "set -x; ip netns add " + m_Tool + " && ip netns add " + m_Gateway + tool +
      "link add qel0 type veth peer name " + GATEWAY_DEVICE + " netns " + m_Gateway + tool + "addr add " + prefix +
      "2/24 dev qel0" + gateway + "addr add " + prefix + "1/24 dev " + GATEWAY_DEVICE + tool + "link set lo up" +
      gateway + "link set lo up" + tool + "link set qel0 up" + gateway + "link set " + GATEWAY_DEVICE + " up" + tool +
      "route add default via " + prefix + "1 dev qel0";
  std::string output;
  if (RunCommand("(" + script + ") 2>&1", &output) != 0) m_Failure = output;
}

NetNamespaces::~NetNamespaces() {
  std::string ignored;
  RunCommand("ip netns del " + m_Tool + " 2>/dev/null; ip netns del " + m_Gateway + " 2>/dev/null", &ignored);
}

bool NetNamespaces::Within(const std::string& name, const std::function<void()>& body) {
  bool entered = false;
  std::thread([&] {
    const int fd = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    if (entered) body();
  }).join();
  return entered;
}

}  // namespace testsupport
