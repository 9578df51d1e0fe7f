#pragma once
// Records the session events a client posts, for assertions from the test
// thread. Register it for every type with `attach`.

#include <condition_variable>
#include <mutex>
#include <vector>

#include "client/ORVClient.h"
#include "client/ORVEventHandler.h"

namespace orv::test {

class EventRecorder : public ORVEventHandler {
 public:
  static std::shared_ptr<EventRecorder> attach(ORVClient& client) {
    auto recorder = std::make_shared<EventRecorder>();
    for (int32_t type : {0, 1, 2, 3, 5, 6, 7}) client.addEventHandler(recorder, type);
    return recorder;
  }

  void handleEvent(const ORVEventPtr& event) override {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }

  std::vector<ORVEventPtr> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<int32_t> types() const {
    std::lock_guard lock(mutex_);
    std::vector<int32_t> out;
    for (const auto& e : events_) out.push_back(e->type());
    return out;
  }
  // The n-th (1-based) event of that type, waiting up to `timeout`.
  ORVEventPtr waitFor(int32_t type, size_t n = 1, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    ORVEventPtr found;
    changed_.wait_for(lock, timeout, [&] {
      size_t seen = 0;
      for (const auto& e : events_) {
        if (e->type() == type && ++seen == n) {
          found = e;
          return true;
        }
      }
      return false;
    });
    return found;
  }
  size_t count(int32_t type) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& e : events_) n += e->type() == type;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ORVEventPtr> events_;
};

}  // namespace orv::test
