#pragma once
// Route flags from the Linux routing table (/proc/net/route and
// /proc/net/ipv6_route) and change reports from an rtnetlink subscription
// (IPv4 and IPv6 routes, links).
//
// Flags: a target with an address (an address, "localhost", the link-local
// network, a host name written as an address) is judged by asking the kernel
// for its route to that destination (RTM_GETROUTE over rtnetlink), so a
// loopback or LAN server is reachable without any default route: reachable
// when the kernel has a unicast or local route, "direct" without a gateway,
// "local" for the machine's own addresses, cellular (0x40000) when the route
// leaves through a modem-like interface (wwan*, rmnet*, ppp*, ccmni*). The
// internet target is reachable when a usable default route exists (up, not a
// reject route, not on "lo"), over the cellular network when every such route
// is a modem's. A host name that is not an address is judged by the internet
// route, since no lookup is made to answer. When rtnetlink cannot be asked,
// addresses are judged from the routing tables instead.

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "transport/ORVRouteMonitor.h"

class ORVLinuxRouteMonitor : public ORVRouteMonitor {
 public:
  struct Route {
    bool ipv6 = false;
    std::array<uint8_t, 16> destination{};  // network byte order; IPv4 in the first 4
    int prefixLength = 0;
    bool hasGateway = false;
    bool usable = false;  // up and not a reject route
    std::string interface;
  };

  ORVLinuxRouteMonitor();
  ~ORVLinuxRouteMonitor() override;

  bool flagsForTarget(const ORVReachabilityTarget& target, uint32_t& flags) override;
  bool startWatching(const ORVReachabilityTarget& target, orv::DispatchQueuePtr queue, ChangeHandler handler) override;
  void stopWatching() override;

  // Parsers of the two /proc tables; lines that do not parse are skipped.
  static std::vector<Route> parseIPv4Routes(std::string_view text);
  static std::vector<Route> parseIPv6Routes(std::string_view text);
  // The kernel's route to `address` as flags (0: no usable route); false when
  // the address does not parse or the kernel cannot be asked.
  static bool lookupRoute(const std::string& address, uint32_t& flags);
  // The flags of `target` under `routes`; false for an address that does not parse.
  static bool flagsFromRoutes(const std::vector<Route>& routes, const ORVReachabilityTarget& target, uint32_t& flags);

  struct Watch;

 private:
  std::mutex mutex_;  // guards watch_
  std::shared_ptr<Watch> watch_;
};
