#include "transport/ORVReachability.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/RunLoopMainQueue.h"

namespace {

using namespace std::chrono_literals;

// A route service whose flags and change reports the test sets.
class FakeRouteMonitor : public ORVRouteMonitor {
 public:
  bool flagsForTarget(const ORVReachabilityTarget&, uint32_t& flags) override {
    std::lock_guard lock(mutex_);
    if (!readable) return false;
    flags = flags_;
    return true;
  }
  bool startWatching(const ORVReachabilityTarget&, orv::DispatchQueuePtr queue, ChangeHandler handler) override {
    std::lock_guard lock(mutex_);
    ++registrations;
    ++generation_;
    queue_ = std::move(queue);
    handler_ = std::move(handler);
    return acceptRegistration;
  }
  void stopWatching() override {
    std::lock_guard lock(mutex_);
    ++generation_;
    queue_.reset();
    handler_ = nullptr;
  }
  // Sets the flags and reports the change on the registered queue, if any.
  bool inject(uint32_t flags) {
    std::lock_guard lock(mutex_);
    flags_ = flags;
    if (!queue_) return false;
    queue_->async([this, g = generation_, handler = handler_, flags] {
      {
        std::lock_guard lock(mutex_);
        if (g != generation_) return;
      }
      handler(flags);
    });
    return true;
  }
  bool watching() {
    std::lock_guard lock(mutex_);
    return queue_ != nullptr;
  }

  std::atomic<int> registrations{0};
  bool readable = true;
  bool acceptRegistration = true;

 private:
  std::mutex mutex_;
  uint32_t flags_ = 0;
  unsigned generation_ = 0;
  orv::DispatchQueuePtr queue_;
  ChangeHandler handler_;
};

template <typename P>
bool eventually(P pred) {
  const auto end = std::chrono::steady_clock::now() + 3s;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class ReachabilityTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeRouteMonitor> monitor = std::make_shared<FakeRouteMonitor>();
  ORVReachabilityPtr reach = ORVReachability::create({ORVReachabilityTarget::Internet, "0.0.0.0"}, monitor);
};

TEST_F(ReachabilityTest, FlagCasesAndDerivedAnswers) {
  // Reachable only with 0x2, unless connection-required and transient are both set.
  EXPECT_FALSE(reach->isReachableWithFlags(0));
  EXPECT_TRUE(reach->isReachableWithFlags(0x2));
  EXPECT_TRUE(reach->isReachableWithFlags(0x2 | 0x4));
  EXPECT_TRUE(reach->isReachableWithFlags(0x2 | 0x1));
  EXPECT_FALSE(reach->isReachableWithFlags(0x2 | 0x4 | 0x1));
  EXPECT_FALSE(reach->isReachableWithFlags(0x4 | 0x1 | 0x40000));
  // A cellular-only route counts only while reachableOnWWAN is set.
  EXPECT_TRUE(reach->reachableOnWWAN());
  EXPECT_TRUE(reach->isReachableWithFlags(0x2 | 0x40000));
  reach->setReachableOnWWAN(false);
  EXPECT_FALSE(reach->isReachableWithFlags(0x2 | 0x40000));
  EXPECT_TRUE(reach->isReachableWithFlags(0x2));
  reach->setReachableOnWWAN(true);

  monitor->inject(0x2 | 0x40000);
  EXPECT_TRUE(reach->isReachable());
  EXPECT_TRUE(reach->isReachableViaWWAN());
  EXPECT_FALSE(reach->isReachableViaWiFi());
  EXPECT_EQ(reach->currentReachabilityStatus(), ORVReachableViaWWAN);
  EXPECT_EQ(reach->currentReachabilityString(), "Cellular");

  monitor->inject(0x2);
  EXPECT_EQ(reach->currentReachabilityStatus(), ORVReachableViaWiFi);
  EXPECT_EQ(reach->currentReachabilityString(), "WiFi");
  EXPECT_EQ(reach->currentReachabilityFlags(), "-R -------");

  monitor->inject(0x4 | 0x20);
  EXPECT_TRUE(reach->isConnectionRequired());
  EXPECT_TRUE(reach->isConnectionOnDemand());
  EXPECT_FALSE(reach->isInterventionRequired());
  EXPECT_EQ(reach->currentReachabilityStatus(), ORVNotReachable);
  EXPECT_EQ(reach->currentReachabilityString(), "No Connection");
  monitor->inject(0x4 | 0x10);
  EXPECT_TRUE(reach->isInterventionRequired());
  EXPECT_FALSE(reach->isConnectionOnDemand());

  EXPECT_EQ(ORVReachability::flagsText(0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x10000 | 0x20000 | 0x40000),
            "WR ctiCDld");
  EXPECT_EQ(ORVReachability::flagsText(0x40000 | 0x8 | 0x20000), "W- ---C--d");

  monitor->inject(0x2);
  monitor->readable = false;  // flags that cannot be read answer "nothing"
  EXPECT_FALSE(reach->isReachable());
  EXPECT_EQ(reach->reachabilityFlags(), 0u);
  EXPECT_EQ(reach->currentReachabilityFlags(), "-- -------");
}

TEST_F(ReachabilityTest, ChangeRunsTheRightBlockOnItsQueueThenNotifiesTheMainQueue) {
  auto main = std::make_shared<orv::RunLoopMainQueue>();
  orv::setMainQueue(main);
  std::mutex m;
  std::vector<std::string> calls;
  auto record = [&](const char* what) {
    return [&, what](ORVReachability& r) {
      const bool onQueue = r.reachabilitySerialQueue() && r.reachabilitySerialQueue()->isCurrent();
      std::lock_guard lock(m);
      calls.push_back(std::string(what) + (onQueue ? "@" + r.reachabilitySerialQueue()->label() : "@elsewhere"));
    };
  };
  reach->setReachableBlock(record("reachable"));
  reach->setUnreachableBlock(record("unreachable"));
  std::vector<ORVReachability*> notified;
  const int token = ORVReachability::addChangeObserver([&](const ORVReachabilityPtr& r) {
    EXPECT_TRUE(main->isCurrent());
    notified.push_back(r.get());
  });

  ASSERT_TRUE(reach->startNotifier());
  EXPECT_EQ(reach->reachabilitySerialQueue()->label(), "orvik.reachability");
  ASSERT_TRUE(monitor->inject(0));
  ASSERT_TRUE(monitor->inject(0x2));
  ASSERT_TRUE(monitor->inject(0x2 | 0x4 | 0x1));
  ASSERT_TRUE(eventually([&] { std::lock_guard lock(m); return calls.size() == 3; }));
  EXPECT_EQ(calls, (std::vector<std::string>{"unreachable@orvik.reachability", "reachable@orvik.reachability",
                                             "unreachable@orvik.reachability"}));
  EXPECT_TRUE(main->runUntil([&] { return notified.size() == 3; }, 3s));
  for (auto* r : notified) EXPECT_EQ(r, reach.get());

  reach->stopNotifier();
  ORVReachability::removeChangeObserver(token);
  orv::setMainQueue(nullptr);
}

TEST_F(ReachabilityTest, StartingTwiceRegistersTwiceAndOneStopRemovesTheRegistration) {
  std::atomic<int> blocks{0};
  reach->setReachableBlock([&](ORVReachability&) { ++blocks; });
  std::weak_ptr<ORVReachability> weak = reach;

  ASSERT_TRUE(reach->startNotifier());
  const auto firstQueue = reach->reachabilitySerialQueue();
  ASSERT_TRUE(reach->startNotifier());
  EXPECT_EQ(monitor->registrations.load(), 2);
  EXPECT_NE(reach->reachabilitySerialQueue(), firstQueue);
  EXPECT_EQ(reach->reachabilityObject(), reach);

  reach.reset();  // the running notifier keeps the monitor alive
  ASSERT_FALSE(weak.expired());
  monitor->inject(0x2);
  ASSERT_TRUE(eventually([&] { return blocks == 1; }));

  weak.lock()->stopNotifier();
  EXPECT_FALSE(monitor->watching());
  EXPECT_FALSE(monitor->inject(0x2));
  EXPECT_TRUE(weak.expired());  // released with the notifier
  EXPECT_EQ(blocks.load(), 1);
}

TEST_F(ReachabilityTest, FailedRegistrationLeavesNothingRunning) {
  monitor->acceptRegistration = false;
  EXPECT_FALSE(reach->startNotifier());
  EXPECT_FALSE(reach->reachabilitySerialQueue());
  EXPECT_FALSE(reach->reachabilityObject());
  EXPECT_FALSE(monitor->watching());
}

TEST(ReachabilityFactoryTest, FactoriesUseTheInjectedServiceAndRefuseBadTargets) {
  auto monitor = std::make_shared<FakeRouteMonitor>();
  ORVReachability::setRouteMonitorFactory([monitor] { return monitor; });
  auto internet = ORVReachability::reachabilityForInternetConnection();
  ASSERT_TRUE(internet);
  EXPECT_EQ(internet->target().name, "0.0.0.0");
  monitor->inject(0x2);
  EXPECT_TRUE(internet->isReachable());
  EXPECT_EQ(ORVReachability::reachabilityForLocalWiFi()->target().name, "169.254.0.0");
  EXPECT_TRUE(ORVReachability::reachabilityWithAddress("::1"));
  EXPECT_FALSE(ORVReachability::reachabilityWithAddress("not an address"));
  EXPECT_FALSE(ORVReachability::reachabilityWithHostname(""));
  ORVReachability::setRouteMonitorFactory(nullptr);

  // The Linux service on this machine: loopback is always there.
  auto loopback = ORVReachability::reachabilityWithAddress("127.0.0.1");
  ASSERT_TRUE(loopback);
  EXPECT_EQ(loopback->currentReachabilityFlags(), "-R -----ld");
  auto live = ORVReachability::reachabilityForInternetConnection();
  if (!live->startNotifier()) GTEST_SKIP() << "rtnetlink is not available here";
  EXPECT_TRUE(live->reachabilitySerialQueue());
  live->stopNotifier();
  EXPECT_FALSE(live->reachabilityObject());
}

}  // namespace
