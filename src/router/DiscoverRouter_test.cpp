// Which interfaces a discovery asks, by its target and the interfaces named.
#include <gtest/gtest.h>

#include "router/DiscoverRouter.h"

namespace {

NetInterface Up(const char* name, std::array<uint8_t, 4> ip, uint8_t maskBits, bool loopback, bool broadcast) {
  NetInterface i{.m_Name = name, .m_Loopback = loopback, .m_CanBroadcast = broadcast};
  std::copy(ip.begin(), ip.end(), i.m_Ip);
  const uint32_t mask = maskBits == 0 ? 0 : ~uint32_t{0} << (32 - maskBits);
  for (int b = 0; b < 4; ++b) i.m_Netmask[b] = static_cast<uint8_t>(mask >> (24 - 8 * b));
  return i;
}

TEST(DiscoveryInterfacesTest, TheTargetPicksTheWays) {
  const std::vector<NetInterface> up = {Up("lo", {127, 0, 0, 1}, 8, true, false), Up("eth0", {192, 168, 1, 2}, 24, false, true),
                                        Up("wlan0", {10, 0, 0, 5}, 16, false, true), Up("ppp0", {10, 64, 0, 1}, 32, false, false)};
  const struct { const char* m_Target; std::vector<std::string> m_Interfaces, m_Ways; } cases[] = {
      {"255.255.255.255", {}, {"eth0", "wlan0"}},  // every one that can broadcast, never loopback
      {"127.255.255.255", {}, {"lo"}},
      {"192.168.1.255", {}, {"eth0"}},  // a subnet's directed broadcast: that subnet's
      {"10.0.255.255", {}, {"wlan0"}},
      {"192.168.1.1", {}, {"eth0"}},  // an address of a subnet
      {"8.8.8.8", {}, {""}},          // beyond every subnet: the routing table's way
      {"255.255.255.255", {"ppp0", "lo"}, {"lo", "ppp0"}},  // named ones, whatever they can do
      {"255.255.255.255", {"eth9"}, {}},
  };
  for (const auto& c : cases) {
    uint8_t target[4];
    ASSERT_TRUE(ParseIp(c.m_Target, target));
    std::vector<std::string> ways;
    for (const NetInterface& way : DiscoveryInterfaces(target, c.m_Interfaces, up)) ways.push_back(way.m_Name);
    EXPECT_EQ(ways, c.m_Ways) << c.m_Target;
  }
}

}  // namespace
