#include "support/NetNamespaces.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <functional>

#include "support/TestSupport.h"

namespace testsupport {

NetNamespaces::NetNamespaces(const std::string& tag) {
  const std::string name = "qel" + tag + "-" + std::to_string(getpid());
  m_Tool = name + "-a";
  m_Gateway = name + "-b";
  // A private test subnet per test and process, set inside the namespaces only.
  const unsigned spread = static_cast<unsigned>(std::hash<std::string>{}(tag) + getpid());
  m_Prefix = "10.213." + std::to_string(1 + spread % 250) + ".";
  const std::string tool = "ip -n " + m_Tool + " ";
  const std::string gateway = "ip -n " + m_Gateway + " ";
  m_Ok = Run("ip netns add " + m_Tool) && Run("ip netns add " + m_Gateway) &&
         Run(tool + "link add " + TOOL_DEVICE + " type veth peer name " + GATEWAY_DEVICE + " netns " + m_Gateway) &&
         Run(tool + "addr add " + m_Prefix + "2/24 dev " + TOOL_DEVICE) &&
         Run(gateway + "addr add " + m_Prefix + "1/24 dev " + GATEWAY_DEVICE) &&
         Run(tool + "link set lo up") && Run(gateway + "link set lo up") &&
         Run(tool + "link set " + TOOL_DEVICE + " up") && Run(gateway + "link set " + GATEWAY_DEVICE + " up") &&
         Run(tool + "route add default via " + m_Prefix + "1 dev " + TOOL_DEVICE);
}

NetNamespaces::~NetNamespaces() {
  std::string ignored;
  RunCommand("ip netns del " + m_Tool + " 2>/dev/null", &ignored);
  RunCommand("ip netns del " + m_Gateway + " 2>/dev/null", &ignored);
}

bool NetNamespaces::Run(const std::string& command) {
  std::string output;
  if (RunCommand(command + " 2>&1", &output) == 0) return true;
  m_Failure = command + ": " + output;
  return false;
}

bool EnterNetNamespace(const std::string& name) {
  const int fd = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = setns(fd, CLONE_NEWNET) == 0;
  close(fd);
  return ok;
}

}  // namespace testsupport
