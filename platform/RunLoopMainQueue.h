#pragma once
// A main queue that the owning thread runs itself: tests and command-line
// programs post to it from any thread and drive it with runUntilIdle,
// runFor or runUntil. Tasks still pending when it is destroyed are dropped.

#include <chrono>
#include <functional>
#include <memory>

#include "platform/MainQueue.h"

namespace asio {
class io_context;
}

namespace orv {

class RunLoopMainQueue : public MainQueue {
 public:
  RunLoopMainQueue();
  ~RunLoopMainQueue() override;

  void post(Task task) override;
  bool isCurrent() const override;

  // Runs tasks until none is ready (tasks posted meanwhile included); returns
  // how many ran.
  std::size_t runUntilIdle();
  // Runs tasks as they come for the given time.
  void runFor(std::chrono::steady_clock::duration duration);
  // Runs tasks until `done` answers true (checked after each task and at
  // least every 10 ms) or the time-out passes; returns `done()`.
  bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration timeout);

 private:
  std::unique_ptr<asio::io_context> io_;
};

}  // namespace orv
