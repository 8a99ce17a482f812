// Private network namespaces made for one test and deleted with it: the
// tool's (the PC) and, for each cable, a gateway's, joined by a veth pair.
// Whatever is sent inside them never reaches the machine's own network.
// Needs root and ip(8).
#pragma once

#include <fcntl.h>
#include <sched.h>

#include <filesystem>
#include <regex>

#include "support/TestSupport.h"

namespace testsupport {

class NetNamespaces {
 public:
  // The gateway's end of every cable.
  static constexpr const char* GATEWAY_DEVICE = "qel1";

  // The tool's namespace only; tag keeps the names apart from other tests'.
  explicit NetNamespaces(const std::string& tag) : m_Tool("qel" + tag + "-" + std::to_string(getpid())) {
    DeleteLeftovers();
    Run("ip netns add " + m_Tool + " && ip -n " + m_Tool + " link set lo up");
  }
  ~NetNamespaces() {
    for (const std::string& name : m_Made) RunCommand("ip netns del " + name + " 2>/dev/null", nullptr);
  }

  // Cables a new gateway namespace to the tool's: toolDevice with
  // toolAddress/24 in the tool's (and the default route through it when
  // asked), GATEWAY_DEVICE with gatewayAddress/24 in the gateway's. The
  // gateway namespace's name; "" when something failed (see Failure()).
  std::string Cable(const std::string& toolDevice, const std::string& toolAddress, const std::string& gatewayAddress,
                    bool defaultRoute = false) {
    const std::string gateway = m_Tool + "-" + std::to_string(m_Made.size());
    const std::string tool = " && ip -n " + m_Tool + " ", far = " && ip -n " + gateway + " ";
    const bool made = Run("ip netns add " + gateway + far + "link set lo up" + tool + "link add " + toolDevice +
                          " type veth peer name " + GATEWAY_DEVICE + " netns " + gateway + tool + "addr add " +
                          toolAddress + "/24 dev " + toolDevice + far + "addr add " + gatewayAddress + "/24 dev " +
                          GATEWAY_DEVICE + tool + "link set " + toolDevice + " up" + far + "link set " +
                          GATEWAY_DEVICE + " up" + (defaultRoute ? tool + "route add default dev " + toolDevice : ""));
    m_Made.push_back(gateway);
    return made ? gateway : "";
  }
  // Sets a device of the tool's namespace up or down (a cable pulled out).
  bool SetLink(const std::string& toolDevice, bool up) {
    return Run("ip -n " + m_Tool + " link set " + toolDevice + (up ? " up" : " down"));
  }

  bool Ok() const { return m_Failure.empty(); }
  // The commands run up to the one that failed and what it said, for the
  // assertion message.
  const std::string& Failure() const { return m_Failure; }
  // Runs command inside the tool's namespace.
  std::string InTool(const std::string& command) const { return "ip netns exec " + m_Tool + " " + command; }

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
  // A test killed on its time-out never runs its destructor: the namespaces
  // of a process that is gone are deleted by the next test that makes some.
  static void DeleteLeftovers() {
    static const std::regex ours("qel[a-z]*-([0-9]+)(-[0-9]+)?");
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error)) {
      const std::string name = entry.path().filename().string();
      std::smatch match;
      if (std::regex_match(name, match, ours) && !std::filesystem::exists("/proc/" + match[1].str()))
        RunCommand("ip netns del " + name + " 2>/dev/null", nullptr);
    }
  }
  // The trace (set -x) names the command that failed.
  bool Run(const std::string& script) {
    std::string output;
    if (!m_Failure.empty() || RunCommand("(set -x; " + script + ") 2>&1", &output) == 0) return m_Failure.empty();
    m_Failure = output;
    return false;
  }

  std::string m_Tool, m_Failure;
  std::vector<std::string> m_Made{m_Tool};
};

}  // namespace testsupport
