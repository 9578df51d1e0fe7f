#pragma once
// The platform's route service behind the reachability monitor: it answers
// the route flags of a target and reports when they change. The Linux one
// reads the routing table and listens to rtnetlink; tests inject their own.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/DispatchQueue.h"

// Route flags, as the reachability monitor interprets them.
enum ORVReachabilityFlags : uint32_t {
  ORVReachabilityFlagsTransientConnection = 0x1,
  ORVReachabilityFlagsReachable = 0x2,
  ORVReachabilityFlagsConnectionRequired = 0x4,
  ORVReachabilityFlagsConnectionOnTraffic = 0x8,
  ORVReachabilityFlagsInterventionRequired = 0x10,
  ORVReachabilityFlagsConnectionOnDemand = 0x20,
  ORVReachabilityFlagsIsLocalAddress = 0x10000,
  ORVReachabilityFlagsIsDirect = 0x20000,
  ORVReachabilityFlagsIsWWAN = 0x40000,
};

// What a monitor watches: any route (the internet), the link-local network,
// one address (text, IPv4 or IPv6) or a host name.
struct ORVReachabilityTarget {
  enum Kind { Internet, LocalWiFi, Address, Hostname };
  Kind kind = Internet;
  std::string name;  // the address or host name
};

class ORVRouteMonitor {
 public:
  using ChangeHandler = std::function<void(uint32_t flags)>;
  virtual ~ORVRouteMonitor() = default;

  // The target's current flags; false when they cannot be read.
  virtual bool flagsForTarget(const ORVReachabilityTarget& target, uint32_t& flags) = 0;
  // Calls `handler` on `queue` with the new flags whenever the target's flags
  // change. A second call replaces the first registration. False when the
  // registration fails.
  virtual bool startWatching(const ORVReachabilityTarget& target, orv::DispatchQueuePtr queue,
                             ChangeHandler handler) = 0;
  // Removes the registration; no handler call starts after it returns.
  virtual void stopWatching() = 0;
};
