#include "transport/ORVReachability.h"

#include <asio/ip/address.hpp>

#include <map>
#include <utility>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/StringsTable.h"
#include "transport/ORVLinuxRouteMonitor.h"

namespace {

std::mutex& globalsMutex() {
  static std::mutex m;
  return m;
}

ORVReachability::MonitorFactory& monitorFactory() {
  static ORVReachability::MonitorFactory factory;
  return factory;
}

std::map<int, ORVReachability::Observer>& observers() {
  static std::map<int, ORVReachability::Observer> list;
  return list;
}

std::shared_ptr<ORVRouteMonitor> makeMonitor() {
  ORVReachability::MonitorFactory factory;
  {
    std::lock_guard lock(globalsMutex());
    factory = monitorFactory();
  }
  if (factory) return factory();
  return std::make_shared<ORVLinuxRouteMonitor>();
}

}  // namespace

// ---- creation ------------------------------------------------------------------

std::shared_ptr<ORVReachability> ORVReachability::create(ORVReachabilityTarget target,
                                                         std::shared_ptr<ORVRouteMonitor> monitor) {
  if (!monitor) return nullptr;
  return std::shared_ptr<ORVReachability>(new ORVReachability(std::move(target), std::move(monitor)));
}

std::shared_ptr<ORVReachability> ORVReachability::reachabilityWithHostname(const std::string& hostname) {
  if (hostname.empty()) return nullptr;
  return create({ORVReachabilityTarget::Hostname, hostname}, makeMonitor());
}

std::shared_ptr<ORVReachability> ORVReachability::reachabilityWithAddress(const std::string& address) {
  std::error_code ec;
  asio::ip::make_address(address, ec);
  if (ec) return nullptr;
  return create({ORVReachabilityTarget::Address, address}, makeMonitor());
}

std::shared_ptr<ORVReachability> ORVReachability::reachabilityForInternetConnection() {
  return create({ORVReachabilityTarget::Internet, "0.0.0.0"}, makeMonitor());
}

std::shared_ptr<ORVReachability> ORVReachability::reachabilityForLocalWiFi() {
  return create({ORVReachabilityTarget::LocalWiFi, "169.254.0.0"}, makeMonitor());
}

void ORVReachability::setRouteMonitorFactory(MonitorFactory factory) {
  std::lock_guard lock(globalsMutex());
  monitorFactory() = std::move(factory);
}

ORVReachability::ORVReachability(ORVReachabilityTarget target, std::shared_ptr<ORVRouteMonitor> monitor)
    : target_(std::move(target)), monitor_(std::move(monitor)) {}

ORVReachability::~ORVReachability() {
  // A running notifier holds the monitor alive, so none runs here; remove
  // any registration left by a failed start all the same.
  monitor_->stopWatching();
}

// ---- notifier ------------------------------------------------------------------

bool ORVReachability::startNotifier() {
  auto queue = orv::DispatchQueue::serial("orvik.reachability");
  std::shared_ptr<ORVReachability> previousSelf;
  orv::DispatchQueuePtr previousQueue;
  {
    std::lock_guard lock(mutex_);
    previousSelf = std::exchange(self_, shared_from_this());
    previousQueue = std::exchange(queue_, queue);
  }
  std::weak_ptr<ORVReachability> weak = weak_from_this();
  const bool registered = monitor_->startWatching(target_, queue, [weak](uint32_t flags) {
    if (auto self = weak.lock()) self->reachabilityChanged(flags);
  });
  if (registered) return true;

  monitor_->stopWatching();
  std::shared_ptr<ORVReachability> heldSelf;
  {
    std::lock_guard lock(mutex_);
    if (queue_ == queue) {
      queue_.reset();
      heldSelf = std::move(self_);
    }
  }
  return false;
}

void ORVReachability::stopNotifier() {
  // Declared first so it is released last: it may hold the last reference.
  std::shared_ptr<ORVReachability> heldSelf;
  orv::DispatchQueuePtr queue;
  monitor_->stopWatching();
  std::lock_guard lock(mutex_);
  queue = std::move(queue_);
  heldSelf = std::move(self_);
}

void ORVReachability::reachabilityChanged(uint32_t flags) {
  Block block;
  {
    std::lock_guard lock(mutex_);
    block = isReachableWithFlagsLocked(flags) ? reachableBlock_ : unreachableBlock_;
  }
  if (block) block(*this);
  if (auto main = orv::mainQueue()) {
    main->post([self = shared_from_this()] {
      std::vector<Observer> targets;
      {
        std::lock_guard lock(globalsMutex());
        for (const auto& [token, observer] : observers()) targets.push_back(observer);
      }
      for (const auto& observer : targets) observer(self);
    });
  }
}

int ORVReachability::addChangeObserver(Observer observer) {
  static int next = 0;
  std::lock_guard lock(globalsMutex());
  const int token = ++next;
  observers()[token] = std::move(observer);
  return token;
}

void ORVReachability::removeChangeObserver(int token) {
  Observer removed;
  std::lock_guard lock(globalsMutex());
  auto it = observers().find(token);
  if (it == observers().end()) return;
  removed = std::move(it->second);
  observers().erase(it);
}

// ---- answers -------------------------------------------------------------------

bool ORVReachability::isReachableWithFlagsLocked(uint32_t flags) const {
  const bool reachable = (flags & ORVReachabilityFlagsReachable) &&
                         !((flags & ORVReachabilityFlagsConnectionRequired) &&
                           (flags & ORVReachabilityFlagsTransientConnection));
  if ((flags & ORVReachabilityFlagsIsWWAN) && !reachableOnWWAN_) return false;
  return reachable;
}

bool ORVReachability::isReachableWithFlags(uint32_t flags) const {
  std::lock_guard lock(mutex_);
  return isReachableWithFlagsLocked(flags);
}

uint32_t ORVReachability::reachabilityFlags() const {
  uint32_t flags = 0;
  if (!monitor_->flagsForTarget(target_, flags)) return 0;
  return flags;
}

bool ORVReachability::isReachable() const { return isReachableWithFlags(reachabilityFlags()); }

bool ORVReachability::isReachableViaWWAN() const {
  const uint32_t f = reachabilityFlags();
  return (f & ORVReachabilityFlagsReachable) && (f & ORVReachabilityFlagsIsWWAN);
}

bool ORVReachability::isReachableViaWiFi() const {
  const uint32_t f = reachabilityFlags();
  return (f & ORVReachabilityFlagsReachable) && !(f & ORVReachabilityFlagsIsWWAN);
}

bool ORVReachability::connectionRequired() const {
  return reachabilityFlags() & ORVReachabilityFlagsConnectionRequired;
}

bool ORVReachability::isConnectionRequired() const { return connectionRequired(); }

bool ORVReachability::isConnectionOnDemand() const {
  const uint32_t f = reachabilityFlags();
  return (f & ORVReachabilityFlagsConnectionRequired) &&
         (f & (ORVReachabilityFlagsConnectionOnTraffic | ORVReachabilityFlagsConnectionOnDemand));
}

bool ORVReachability::isInterventionRequired() const {
  const uint32_t f = reachabilityFlags();
  return (f & ORVReachabilityFlagsConnectionRequired) && (f & ORVReachabilityFlagsInterventionRequired);
}

ORVNetworkStatus ORVReachability::currentReachabilityStatus() const {
  // One reading of the flags answers all three questions consistently.
  const uint32_t f = reachabilityFlags();
  if (!isReachableWithFlags(f)) return ORVNotReachable;
  if ((f & ORVReachabilityFlagsReachable) && !(f & ORVReachabilityFlagsIsWWAN)) return ORVReachableViaWiFi;
  return ORVReachableViaWWAN;
}

std::string ORVReachability::currentReachabilityString() const {
  switch (currentReachabilityStatus()) {
    case ORVReachableViaWWAN:
      return orv::localizedString("Cellular");
    case ORVReachableViaWiFi:
      return orv::localizedString("WiFi");
    case ORVNotReachable:
      break;
  }
  return orv::localizedString("No Connection");
}

std::string ORVReachability::flagsText(uint32_t f) {
  const auto c = [f](uint32_t bit, char letter) { return (f & bit) ? letter : '-'; };
  std::string text;
  text += c(ORVReachabilityFlagsIsWWAN, 'W');
  text += c(ORVReachabilityFlagsReachable, 'R');
  text += ' ';
  text += c(ORVReachabilityFlagsConnectionRequired, 'c');
  text += c(ORVReachabilityFlagsTransientConnection, 't');
  text += c(ORVReachabilityFlagsInterventionRequired, 'i');
  text += c(ORVReachabilityFlagsConnectionOnTraffic, 'C');
  text += c(ORVReachabilityFlagsConnectionOnDemand, 'D');
  text += c(ORVReachabilityFlagsIsLocalAddress, 'l');
  text += c(ORVReachabilityFlagsIsDirect, 'd');
  return text;
}

std::string ORVReachability::currentReachabilityFlags() const { return flagsText(reachabilityFlags()); }

// ---- properties ----------------------------------------------------------------

bool ORVReachability::reachableOnWWAN() const {
  std::lock_guard lock(mutex_);
  return reachableOnWWAN_;
}

void ORVReachability::setReachableOnWWAN(bool value) {
  std::lock_guard lock(mutex_);
  reachableOnWWAN_ = value;
}

void ORVReachability::setReachableBlock(Block block) {
  std::lock_guard lock(mutex_);
  reachableBlock_ = std::move(block);
}

void ORVReachability::setUnreachableBlock(Block block) {
  std::lock_guard lock(mutex_);
  unreachableBlock_ = std::move(block);
}

orv::DispatchQueuePtr ORVReachability::reachabilitySerialQueue() const {
  std::lock_guard lock(mutex_);
  return queue_;
}

std::shared_ptr<ORVReachability> ORVReachability::reachabilityObject() const {
  std::lock_guard lock(mutex_);
  return self_;
}
