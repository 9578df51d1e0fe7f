#include "platform/RunLoopMainQueue.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

namespace orv {
namespace {

// The io_context of the RunLoopMainQueue that this thread is running, if any.
thread_local const asio::io_context* tlRunning = nullptr;

class RunningScope {
 public:
  explicit RunningScope(const asio::io_context* io) : previous_(tlRunning) { tlRunning = io; }
  ~RunningScope() { tlRunning = previous_; }

 private:
  const asio::io_context* previous_;
};

}  // namespace

RunLoopMainQueue::RunLoopMainQueue() : io_(std::make_unique<asio::io_context>(1)) {}

RunLoopMainQueue::~RunLoopMainQueue() = default;

void RunLoopMainQueue::post(Task task) { asio::post(*io_, std::move(task)); }

bool RunLoopMainQueue::isCurrent() const { return tlRunning == io_.get(); }

std::size_t RunLoopMainQueue::runUntilIdle() {
  RunningScope scope(io_.get());
  std::size_t total = 0;
  for (;;) {
    io_->restart();
    const std::size_t ran = io_->poll();
    if (ran == 0) return total;
    total += ran;
  }
}

void RunLoopMainQueue::runFor(std::chrono::steady_clock::duration duration) {
  RunningScope scope(io_.get());
  auto guard = asio::make_work_guard(*io_);
  const auto deadline = std::chrono::steady_clock::now() + duration;
  io_->restart();
  io_->run_until(deadline);
}

bool RunLoopMainQueue::runUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration timeout) {
  RunningScope scope(io_.get());
  auto guard = asio::make_work_guard(*io_);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    io_->restart();
    io_->run_one_for(std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(10)));
  }
  return true;
}

}  // namespace orv
