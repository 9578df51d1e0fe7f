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
  std::condition_variable workAvailable;
  std::deque<std::function<void()>> tasks;  // posted, waiting for a worker
  std::size_t target = 2;         // pool threads: one event thread, the rest workers
  std::size_t live = 0;           // threads alive, extra ones included
  std::size_t idleWorkers = 0;    // workers waiting for `tasks`
  std::size_t workersBlocked = 0; // workers waiting in a BlockingScope
  std::size_t extraWorkers = 0;
  std::size_t eventBlocked = 0;   // event-loop threads waiting in a BlockingScope
  std::size_t extraEventThreads = 0;
  bool lendingEventThread = false;  // a call for the event thread to run a task is on its way
  bool stopping = false;
  std::atomic<bool> stoppingFlag{false};  // `stopping`, readable without the lock
  std::vector<std::thread> base;
};

namespace {

// How long a surplus extra thread stays idle before it leaves.
constexpr auto kExtraIdle = std::chrono::milliseconds(200);

std::size_t requestedThreads = 0;  // set before first use; 0: from the machine
std::mutex requestMutex;

enum class Role { None, EventLoop, Worker };

struct ThreadContext {
  DispatchPool::State* pool = nullptr;  // the pool this thread belongs to
  Role role = Role::None;
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

void runTask(std::function<void()>& task) {
  DispatchPool::TaskScope scope;
  task();
}

// The event thread: socket and timer completions, and the queue tasks they
// start when those queues are idle, run here without a hand-off.
void eventLoop(std::shared_ptr<DispatchPool::State> state) {
  tl.pool = state.get();
  tl.role = Role::EventLoop;
  state->io.run();
}

// Stands in for the event thread while it waits in a BlockingScope, and
// leaves once that wait is over (or after an idle spell with no wait left).
void extraEventLoop(std::shared_ptr<DispatchPool::State> state) {
  tl.pool = state.get();
  tl.role = Role::EventLoop;
  for (;;) {
    state->io.run_one_for(kExtraIdle);
    std::lock_guard lock(state->mutex);
    if (state->stopping || state->io.stopped() || state->extraEventThreads > state->eventBlocked) {
      --state->extraEventThreads;
      --state->live;
      return;
    }
  }
}

// A worker runs posted tasks. An extra worker leaves once enough workers are
// free again.
void workerLoop(std::shared_ptr<DispatchPool::State> state, bool extra) {
  tl.pool = state.get();
  tl.role = Role::Worker;
  std::unique_lock lock(state->mutex);
  for (;;) {
    if (state->stopping) break;
    if (!state->tasks.empty()) {
      std::function<void()> task = std::move(state->tasks.front());
      state->tasks.pop_front();
      lock.unlock();
      runTask(task);
      task = nullptr;  // captured state released outside the lock
      lock.lock();
      continue;
    }
    // Surplus only with nothing to run: a wake-up meant for a task is never
    // swallowed by an extra worker on its way out.
    if (extra && state->extraWorkers > state->workersBlocked) break;
    ++state->idleWorkers;
    if (extra) {
      state->workAvailable.wait_for(lock, kExtraIdle);
    } else {
      state->workAvailable.wait(lock);
    }
    --state->idleWorkers;
  }
  if (extra) --state->extraWorkers;
  --state->live;
}

// Runs one posted task on the event thread, for when every worker is busy.
void lendEventThread(const std::shared_ptr<DispatchPool::State>& state) {
  std::function<void()> task;
  {
    std::lock_guard lock(state->mutex);
    state->lendingEventThread = false;
    if (state->tasks.empty() || state->stopping) return;
    task = std::move(state->tasks.front());
    state->tasks.pop_front();
    // One task per call, so sockets and timers get their turn in between.
    if (!state->tasks.empty() && state->idleWorkers == 0) {
      state->lendingEventThread = true;
      asio::post(state->io, [state] { lendEventThread(state); });
    }
  }
  runTask(task);
}

void startWorker(const std::shared_ptr<DispatchPool::State>& state, bool extra) {
  ++state->live;
  if (extra) {
    ++state->extraWorkers;
    std::thread(workerLoop, state, true).detach();
  } else {
    state->base.emplace_back(workerLoop, state, false);
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
  if (pool.state_->stopping) return;
  while (pool.state_->target < threads) {
    ++pool.state_->target;
    startWorker(pool.state_, false);
  }
}

DispatchPool::DispatchPool(std::size_t threads) : state_(std::make_shared<State>()) {
  threads = std::max<std::size_t>(threads, 2);
  std::lock_guard lock(state_->mutex);
  state_->target = threads;
  ++state_->live;
  state_->base.emplace_back(eventLoop, state_);
  for (std::size_t i = 1; i < threads; ++i) startWorker(state_, false);
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
  state_->workAvailable.notify_all();
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
  std::unique_lock lock(state_->mutex);
  if (state_->stopping) return;
  state_->tasks.push_back(std::move(task));
  if (state_->idleWorkers > state_->tasks.size() - 1) {
    lock.unlock();
    state_->workAvailable.notify_one();
    return;
  }
  // Every worker is busy: let the event thread take a task between its
  // completions, as a shared pool would, rather than wait for a worker.
  if (!state_->lendingEventThread) {
    state_->lendingEventThread = true;
    lock.unlock();
    asio::post(state_->io, [state = state_] { lendEventThread(state); });
  }
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
  State& state = *pool.state_;
  std::lock_guard lock(state.mutex);
  if (tl.role == Role::EventLoop) {
    // Sockets and timers must not wait for this thread: another thread runs
    // the event loop meanwhile.
    ++state.eventBlocked;
    if (state.stopping) return;
    while (state.extraEventThreads < state.eventBlocked) {
      ++state.live;
      ++state.extraEventThreads;
      std::thread(extraEventLoop, pool.state_).detach();
    }
  } else {
    // Keep as many workers free as the pool has; the new one leaves when surplus.
    ++state.workersBlocked;
    if (state.stopping) return;
    while (state.extraWorkers < state.workersBlocked) startWorker(pool.state_, true);
  }
}

DispatchPool::BlockingScope::~BlockingScope() {
  if (!counted_) return;
  DispatchPool& pool = shared();
  std::lock_guard lock(pool.state_->mutex);
  if (tl.role == Role::EventLoop) {
    --pool.state_->eventBlocked;
  } else {
    --pool.state_->workersBlocked;
  }
}

}  // namespace orv
