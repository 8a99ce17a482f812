// Two private network namespaces joined by a veth pair, made for one test
// and deleted with it: the tool's side ("qel0", host .2, default route via
// the peer, so the limited broadcast has a way out) and the gateway's side
// ("qel1", host .1). Whatever is sent inside them never reaches the
// machine's own network. Needs root and ip(8).
#pragma once

#include <string>

namespace testsupport {

class NetNamespaces {
 public:
  // tag keeps the names and the test subnet apart from other tests'.
  explicit NetNamespaces(const std::string& tag);
  ~NetNamespaces();

  bool Ok() const { return m_Ok; }
  // The command that failed and what it said, for the assertion message.
  const std::string& Failure() const { return m_Failure; }
  const std::string& Tool() const { return m_Tool; }
  const std::string& Gateway() const { return m_Gateway; }
  std::string GatewayAddress() const { return m_Prefix + "1"; }
  static constexpr const char* TOOL_DEVICE = "qel0";
  static constexpr const char* GATEWAY_DEVICE = "qel1";

 private:
  bool Run(const std::string& command);

  std::string m_Tool, m_Gateway, m_Prefix, m_Failure;
  bool m_Ok = false;
};

// Moves the calling process (single-threaded, e.g. just forked) into the
// namespace called name.
bool EnterNetNamespace(const std::string& name);

}  // namespace testsupport
