#pragma once
// Injects the network's reachability into socket connectors, so no test
// depends on the machine's routes. `install(reachable)` makes every
// reachability monitor created afterwards watch a scripted route monitor; `Flag::set`
// changes the answer and reports the change to every monitor started, the way
// the platform reports a route change.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "transport/ORVReachability.h"
#include "transport/ORVRouteMonitor.h"

namespace orv::test {

class FakeReachability {
 public:
  class Monitor;

  class Flag {
   public:
    explicit Flag(bool reachable) : reachable_(reachable) {}
    uint32_t flags() const { return reachable_.load() ? ORVReachabilityFlagsReachable : 0u; }
    void set(bool reachable);
    // Every target a monitor was asked about or told to watch, in order.
    std::vector<ORVReachabilityTarget> targets() const {
      std::lock_guard lock(mutex_);
      return targets_;
    }

   private:
    friend class Monitor;
    void record(const ORVReachabilityTarget& target) {
      std::lock_guard lock(mutex_);
      targets_.push_back(target);
    }
    std::atomic<bool> reachable_;
    mutable std::mutex mutex_;
    std::vector<ORVReachabilityTarget> targets_;
    std::vector<std::weak_ptr<Monitor>> monitors_;
  };

  class Monitor : public ORVRouteMonitor, public std::enable_shared_from_this<Monitor> {
   public:
    explicit Monitor(std::shared_ptr<Flag> flag) : flag_(std::move(flag)) {}
    bool flagsForTarget(const ORVReachabilityTarget& target, uint32_t& flags) override {
      flag_->record(target);
      flags = flag_->flags();
      return true;
    }
    bool startWatching(const ORVReachabilityTarget& target, orv::DispatchQueuePtr queue, ChangeHandler handler) override {
      flag_->record(target);
      {
        std::lock_guard lock(mutex_);
        queue_ = std::move(queue);
        handler_ = std::move(handler);
      }
      std::lock_guard lock(flag_->mutex_);
      flag_->monitors_.push_back(weak_from_this());
      return true;
    }
    void stopWatching() override {
      std::lock_guard lock(mutex_);
      queue_.reset();
      handler_ = nullptr;
    }
    void changed(uint32_t flags) {
      std::lock_guard lock(mutex_);
      if (!queue_ || !handler_) return;
      queue_->async([handler = handler_, flags] { handler(flags); });
    }

   private:
    std::shared_ptr<Flag> flag_;
    std::mutex mutex_;
    orv::DispatchQueuePtr queue_;
    ChangeHandler handler_;
  };

  static std::shared_ptr<Flag> install(bool reachable) {
    auto flag = std::make_shared<Flag>(reachable);
    ORVReachability::setRouteMonitorFactory([flag] { return std::make_shared<Monitor>(flag); });
    return flag;
  }
  // Back to the platform's route monitor.
  static void uninstall() { ORVReachability::setRouteMonitorFactory(nullptr); }
};

inline void FakeReachability::Flag::set(bool reachable) {
  reachable_.store(reachable);
  std::vector<std::shared_ptr<Monitor>> live;
  {
    std::lock_guard lock(mutex_);
    for (auto& weak : monitors_) {
      if (auto m = weak.lock()) live.push_back(m);
    }
  }
  for (auto& m : live) m->changed(flags());
}

}  // namespace orv::test
