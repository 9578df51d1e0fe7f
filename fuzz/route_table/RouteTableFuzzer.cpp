// Feeds arbitrary text to the two routing-table parsers and answers the flags
// of a few targets from what they produced. The first byte picks the table.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "transport/ORVLinuxRouteMonitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto routes = (data[0] & 1) ? ORVLinuxRouteMonitor::parseIPv6Routes(text)
                                    : ORVLinuxRouteMonitor::parseIPv4Routes(text);
  for (const auto& r : routes) {
    if (r.prefixLength < 0 || r.prefixLength > (r.ipv6 ? 128 : 32)) __builtin_trap();
  }
  const ORVReachabilityTarget targets[] = {
      {ORVReachabilityTarget::Internet, "0.0.0.0"},
      {ORVReachabilityTarget::LocalWiFi, "169.254.0.0"},
      {ORVReachabilityTarget::Address, "192.168.0.7"},
      {ORVReachabilityTarget::Address, "fe80::1"},
  };
  for (const auto& target : targets) {
    uint32_t flags = 0;
    ORVLinuxRouteMonitor::flagsFromRoutes(routes, target, flags);
  }
  return 0;
}
