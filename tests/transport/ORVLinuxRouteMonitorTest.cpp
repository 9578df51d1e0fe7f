#include "transport/ORVLinuxRouteMonitor.h"

#include <gtest/gtest.h>

namespace {

// /proc/net/route: a LAN on eth0 with a default gateway, a modem default
// route, a rejected route; the header and a damaged line are skipped.
constexpr const char* kIPv4Table =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    "eth0\t0000FEA9\t00000000\t0001\t0\t0\t1000\t0000FFFF\t0\t0\t0\n"
    "wwan0\t00000000\t0101000A\t0003\t0\t0\t700\t00000000\t0\t0\t0\n"
    "eth0\t0000000A\t00000000\t0201\t0\t0\t0\t000000FF\t0\t0\t0\n"
    "eth0\tZZZZ\n";

constexpr const char* kIPv6Table =
    "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth0\n"
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";

ORVReachabilityTarget internet{ORVReachabilityTarget::Internet, "0.0.0.0"};

uint32_t flagsOf(const std::vector<ORVLinuxRouteMonitor::Route>& routes, ORVReachabilityTarget target) {
  uint32_t flags = 0xdead;
  EXPECT_TRUE(ORVLinuxRouteMonitor::flagsFromRoutes(routes, target, flags));
  return flags;
}

TEST(LinuxRouteMonitorTest, FlagsOfTargets) {
  auto routes = ORVLinuxRouteMonitor::parseIPv4Routes(kIPv4Table);
  const auto v6 = ORVLinuxRouteMonitor::parseIPv6Routes(kIPv6Table);
  routes.insert(routes.end(), v6.begin(), v6.end());

  EXPECT_EQ(flagsOf(routes, internet), 0x2u);  // a wired default route wins over the modem
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "192.168.0.7"}), 0x2u | 0x20000u);
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "8.8.8.8"}), 0x2u);  // via the gateway
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "10.0.0.5"}), 0x2u);  // reject route skipped
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "127.0.0.1"}), 0x2u | 0x10000u | 0x20000u);
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "fe80::1"}), 0x2u | 0x20000u);
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Address, "2001:db8::1"}), 0u);  // no IPv6 default
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::LocalWiFi, "169.254.0.0"}), 0x2u | 0x20000u);
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Hostname, "localhost"}), 0x2u | 0x10000u | 0x20000u);
  EXPECT_EQ(flagsOf(routes, {ORVReachabilityTarget::Hostname, "store.example"}), 0x2u);
  uint32_t flags = 0;
  EXPECT_FALSE(ORVLinuxRouteMonitor::flagsFromRoutes(routes, {ORVReachabilityTarget::Address, "nonsense"}, flags));

  // Only the modem's default route left: reachable over the cellular network.
  std::vector<ORVLinuxRouteMonitor::Route> modemOnly;
  for (const auto& r : routes) {
    if (r.interface != "eth0") modemOnly.push_back(r);
  }
  EXPECT_EQ(flagsOf(modemOnly, internet), 0x2u | 0x40000u);
  EXPECT_EQ(flagsOf({}, internet), 0u);  // no default route at all
}

// The kernel's own route lookup: the loopback addresses are local and
// direct whatever the routing tables hold (they live in the "local" table,
// which /proc/net/route does not show); the monitor answers address targets
// with it.
TEST(LinuxRouteMonitorTest, KernelRouteLookupForAnAddress) {
  uint32_t flags = 0;
  ASSERT_TRUE(ORVLinuxRouteMonitor::lookupRoute("127.0.0.1", flags));
  EXPECT_EQ(flags, 0x2u | 0x10000u | 0x20000u);
  ASSERT_TRUE(ORVLinuxRouteMonitor::lookupRoute("127.3.2.1", flags));
  EXPECT_EQ(flags & 0x10002u, 0x10002u);
  EXPECT_FALSE(ORVLinuxRouteMonitor::lookupRoute("not an address", flags));

  ORVLinuxRouteMonitor monitor;
  flags = 0;
  ASSERT_TRUE(monitor.flagsForTarget({ORVReachabilityTarget::Hostname, "localhost"}, flags));
  EXPECT_EQ(flags, 0x2u | 0x10000u | 0x20000u);
  flags = 0;
  ASSERT_TRUE(monitor.flagsForTarget({ORVReachabilityTarget::Address, "127.0.0.1"}, flags));
  EXPECT_EQ(flags, 0x2u | 0x10000u | 0x20000u);
}

}  // namespace
