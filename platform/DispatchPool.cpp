#include "platform/DispatchPool.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orv {

// Shared by the pool object and every thread, so an extra thread still
// finishing its last task when the process ends has what it needs.
struct DispatchPool::State {
  asio::io_context io;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work{asio::make_work_guard(io)};
  mutable std::mutex mutex;
  std::size_t target = 2;   // threads that should be free to run work
  std::size_t live = 0;     // threads alive, extra ones included
  std::size_t blocked = 0;  // pool threads waiting in a BlockingScope
  bool stopping = false;
  std::atomic<bool> stoppingFlag{false};  // `stopping`, readable without the lock
  std::vector<std::thread> base;
};

namespace {

// How long a surplus extra thread stays idle before it leaves.
constexpr auto kExtraIdle = std::chrono::milliseconds(200);

std::size_t requestedThreads = 0;  // set before first use; 0: from the machine
std::mutex requestMutex;

struct ThreadContext {
  DispatchPool::State* pool = nullptr;  // the pool this thread belongs to
  bool inTask = false;
  std::deque<std::function<void()>> deferred;
};
thread_local ThreadContext tl;

std::size_t defaultThreads() {
  if (const char* env = std::getenv("ORV_DISPATCH_THREADS")) {
    const long n = std::strtol(env, nullptr, 10);
    if (n > 0) return static_cast<std::size_t>(n);
  }
  return std::thread::hardware_concurrency();
}

void baseLoop(std::shared_ptr<DispatchPool::State> state) {
  tl.pool = state.get();
  state->io.run();
}

void extraLoop(std::shared_ptr<DispatchPool::State> state) {
  tl.pool = state.get();
  for (;;) {
    state->io.run_one_for(kExtraIdle);
    std::lock_guard lock(state->mutex);
    // Surplus once enough other threads are free again.
    if (state->stopping || state->io.stopped() || state->live - state->blocked > state->target) {
      --state->live;
      return;
    }
  }
}

}  // namespace

DispatchPool& DispatchPool::shared() {
  static DispatchPool pool([] {
    std::lock_guard lock(requestMutex);
    return requestedThreads ? requestedThreads : defaultThreads();
  }());
  return pool;
}

void DispatchPool::setThreadCount(std::size_t threads) {
  threads = std::max<std::size_t>(threads, 2);
  {
    std::lock_guard lock(requestMutex);
    requestedThreads = threads;
  }
  DispatchPool& pool = shared();  // starts with `threads` when not running yet
  std::lock_guard lock(pool.state_->mutex);
  while (pool.state_->base.size() < threads) {
    ++pool.state_->live;
    pool.state_->base.emplace_back(baseLoop, pool.state_);
  }
  pool.state_->target = std::max(pool.state_->target, pool.state_->base.size());
}

DispatchPool::DispatchPool(std::size_t threads) : state_(std::make_shared<State>()) {
  threads = std::max<std::size_t>(threads, 2);
  std::lock_guard lock(state_->mutex);
  state_->target = threads;
  for (std::size_t i = 0; i < threads; ++i) {
    ++state_->live;
    state_->base.emplace_back(baseLoop, state_);
  }
}

DispatchPool::~DispatchPool() {
  std::vector<std::thread> base;
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->stoppingFlag = true;
    state_->work.reset();
    base.swap(state_->base);
  }
  state_->io.stop();
  for (auto& t : base) {
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();  // the process ends from a pool task
    } else {
      t.join();
    }
  }
}

asio::io_context& DispatchPool::ioContext() { return state_->io; }

std::size_t DispatchPool::threadCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->target;
}

std::size_t DispatchPool::liveThreadCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->live;
}

bool DispatchPool::isPoolThread() { return tl.pool != nullptr; }

bool DispatchPool::isStopping() const { return state_->stoppingFlag.load(std::memory_order_acquire); }

void DispatchPool::post(std::function<void()> task) {
  asio::post(state_->io, [task = std::move(task)] {
    TaskScope scope;
    task();
  });
}

void DispatchPool::defer(std::function<void()> task) {
  if (tl.pool == state_.get() && tl.inTask) {
    tl.deferred.push_back(std::move(task));
    return;
  }
  post(std::move(task));
}

void DispatchPool::flushDeferred() {
  while (!tl.deferred.empty()) {
    std::function<void()> task = std::move(tl.deferred.front());
    tl.deferred.pop_front();
    post(std::move(task));
  }
}

DispatchPool::TaskScope::TaskScope() : outermost_(!tl.inTask) { tl.inTask = true; }

DispatchPool::TaskScope::~TaskScope() {
  if (!outermost_) return;
  // Deferred work runs here, each item as a task of its own; it may defer
  // more. One hand-off continues on this thread; when a task left several,
  // the others go to the pool, so free threads run them meanwhile and none
  // waits behind a long first one.
  while (!tl.deferred.empty()) {
    std::function<void()> task = std::move(tl.deferred.front());
    tl.deferred.pop_front();
    if (!tl.deferred.empty()) shared().flushDeferred();
    task();
  }
  tl.inTask = false;
}

DispatchPool::BlockingScope::BlockingScope() {
  if (!tl.pool) return;
  DispatchPool& pool = shared();
  if (tl.pool != pool.state_.get()) return;
  pool.flushDeferred();
  counted_ = true;
  std::lock_guard lock(pool.state_->mutex);
  ++pool.state_->blocked;
  if (pool.state_->stopping) return;
  // Keep `target` threads free to run work; the new one leaves when surplus.
  while (pool.state_->live - pool.state_->blocked < pool.state_->target) {
    ++pool.state_->live;
    std::thread(extraLoop, pool.state_).detach();
  }
}

DispatchPool::BlockingScope::~BlockingScope() {
  if (!counted_) return;
  DispatchPool& pool = shared();
  std::lock_guard lock(pool.state_->mutex);
  --pool.state_->blocked;
}

}  // namespace orv
