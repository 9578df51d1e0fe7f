#pragma once
// Tells whether a network route to a target exists and reports changes.
//
// The flags come from an ORVRouteMonitor (on Linux the routing table and
// rtnetlink; tests inject their own through setRouteMonitorFactory or
// create). While the notifier runs, each change is handled on the serial
// queue "orvik.reachability": the reachable or unreachable block runs there,
// then kORVReachabilityChangedNotification is posted on the main queue with
// the monitor as its object. A running notifier keeps its monitor alive until
// stopNotifier.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/DispatchQueue.h"
#include "transport/ORVRouteMonitor.h"

enum ORVNetworkStatus { ORVNotReachable = 0, ORVReachableViaWWAN = 1, ORVReachableViaWiFi = 2 };

inline constexpr const char* kORVReachabilityChangedNotification = "kORVReachabilityChangedNotification";

class ORVReachability : public std::enable_shared_from_this<ORVReachability> {
 public:
  using Block = std::function<void(ORVReachability&)>;
  using Observer = std::function<void(const std::shared_ptr<ORVReachability>&)>;
  using MonitorFactory = std::function<std::shared_ptr<ORVRouteMonitor>()>;

  // Each answers null when the target cannot be made (an address that does
  // not parse, an empty host name).
  static std::shared_ptr<ORVReachability> reachabilityWithHostname(const std::string& hostname);
  static std::shared_ptr<ORVReachability> reachabilityWithAddress(const std::string& address);
  static std::shared_ptr<ORVReachability> reachabilityForInternetConnection();  // 0.0.0.0: any route
  static std::shared_ptr<ORVReachability> reachabilityForLocalWiFi();           // 169.254.0.0
  // A monitor of `target` over the given route service; reachableOnWWAN is true.
  static std::shared_ptr<ORVReachability> create(ORVReachabilityTarget target, std::shared_ptr<ORVRouteMonitor> monitor);

  // The route service given to monitors made by the class factories above;
  // an empty factory restores the Linux one.
  static void setRouteMonitorFactory(MonitorFactory factory);

  ~ORVReachability();
  ORVReachability(const ORVReachability&) = delete;
  ORVReachability& operator=(const ORVReachability&) = delete;

  bool startNotifier();
  void stopNotifier();

  bool isReachableWithFlags(uint32_t flags) const;
  bool isReachable() const;
  bool isReachableViaWWAN() const;
  bool isReachableViaWiFi() const;
  bool isConnectionRequired() const;
  bool connectionRequired() const;
  bool isConnectionOnDemand() const;
  bool isInterventionRequired() const;
  ORVNetworkStatus currentReachabilityStatus() const;
  uint32_t reachabilityFlags() const;  // 0 when they cannot be read
  std::string currentReachabilityString() const;
  std::string currentReachabilityFlags() const;
  // The flag text "%c%c %c%c%c%c%c%c%c" (W R, blank, c t i C D l d; "-" when clear).
  static std::string flagsText(uint32_t flags);

  bool reachableOnWWAN() const;
  void setReachableOnWWAN(bool value);
  void setReachableBlock(Block block);
  void setUnreachableBlock(Block block);
  const ORVReachabilityTarget& target() const { return target_; }
  // The notifier's queue, null while it is stopped.
  orv::DispatchQueuePtr reachabilitySerialQueue() const;
  // The monitor itself while the notifier runs, else null.
  std::shared_ptr<ORVReachability> reachabilityObject() const;

  // Receivers of kORVReachabilityChangedNotification (called on the main queue).
  static int addChangeObserver(Observer observer);
  static void removeChangeObserver(int token);

 private:
  ORVReachability(ORVReachabilityTarget target, std::shared_ptr<ORVRouteMonitor> monitor);
  void reachabilityChanged(uint32_t flags);
  bool isReachableWithFlagsLocked(uint32_t flags) const;

  const ORVReachabilityTarget target_;
  const std::shared_ptr<ORVRouteMonitor> monitor_;
  mutable std::mutex mutex_;  // guards the fields below
  bool reachableOnWWAN_ = true;
  Block reachableBlock_;
  Block unreachableBlock_;
  orv::DispatchQueuePtr queue_;
  std::shared_ptr<ORVReachability> self_;
};

using ORVReachabilityPtr = std::shared_ptr<ORVReachability>;
