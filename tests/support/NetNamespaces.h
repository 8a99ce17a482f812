// Two private network namespaces joined by a veth pair, made for one test
// and deleted with it: the tool's side (device "qel0", host .2, default
// route via the peer, so the limited broadcast has a way out) and the
// gateway's side (GATEWAY_DEVICE, host .1). Whatever is sent inside them
// never reaches the machine's own network. Needs root and ip(8).
#pragma once

#include <functional>
#include <string>

namespace testsupport {

class NetNamespaces {
 public:
  // tag keeps the names and the test subnet apart from other tests'.
  explicit NetNamespaces(const std::string& tag);
  ~NetNamespaces();

  bool Ok() const { return m_Failure.empty(); }
  // The commands run up to the one that failed and what it said, for the
  // assertion message.
  const std::string& Failure() const { return m_Failure; }
  const std::string& Tool() const { return m_Tool; }
  const std::string& Gateway() const { return m_Gateway; }
  static constexpr const char* GATEWAY_DEVICE = "qel1";

  // Runs body on a thread of its own inside the namespace called name (a
  // namespace belongs to a thread; a socket made there stays in it); false
  // when the thread could not enter it.
  static bool Within(const std::string& name, const std::function<void()>& body);

 private:
  std::string m_Tool, m_Gateway, m_Failure;
};

}  // namespace testsupport
