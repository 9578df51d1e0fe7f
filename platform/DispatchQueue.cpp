#include "platform/DispatchQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "platform/DispatchPool.h"

namespace orv {

// Shared by the queue object, its scheduled runners and wrapped handlers, so
// a runner that outlives the queue (queue destroyed from its own task) still
// has its state.
struct DispatchQueue::Core : std::enable_shared_from_this<DispatchQueue::Core> {
  Core(std::string l, bool s, std::size_t w) : label(std::move(l)), serial(s), width(w) {}

  const std::string label;
  const bool serial;
  const std::size_t width;  // tasks at once: 1 for a serial queue
  DispatchPool& pool = DispatchPool::shared();

  std::mutex mutex;
  std::condition_variable idle;  // notified when `executing` drops
  std::deque<Task> pending;
  std::size_t running = 0;    // runners and inline tasks holding a slot
  // Tasks inside their body now. A runner holds a slot from when it is
  // scheduled, but the destructor waits only for these: a runner not yet
  // started may sit in the destroying thread's own deferred work, and it
  // touches nothing but this core once the queue is closed.
  std::size_t executing = 0;
  bool closed = false;

  // Caller holds the lock. Takes a slot for a new runner when one is free
  // and work waits; true when the caller must then schedule it.
  bool claimRunner() {
    if (closed || pending.empty() || running >= width) return false;
    ++running;
    return true;
  }
  void schedule(bool deferred) {
    auto self = shared_from_this();
    if (deferred) {
      pool.defer([self] { self->drain(); });
    } else {
      pool.post([self] { self->drain(); });
    }
  }
  // Runs pending tasks in order until none is left, holding one slot.
  void drain();
  // Gives back the slot of an inline task; restarts a runner if work came in.
  void release();
};

namespace {

// The queue whose task the calling thread is running, if any.
thread_local const DispatchQueue::Core* tlCurrent = nullptr;

// Tasks a runner takes in a row before it yields its thread to other work.
constexpr int kBatch = 32;

// How often a thread waiting in `sync` checks whether the process is ending.
constexpr auto kStopCheck = std::chrono::milliseconds(50);

struct CurrentScope {
  explicit CurrentScope(const DispatchQueue::Core* core) : previous(tlCurrent) { tlCurrent = core; }
  ~CurrentScope() { tlCurrent = previous; }
  const DispatchQueue::Core* previous;
};

}  // namespace

void DispatchQueue::Core::drain() {
  CurrentScope current(this);
  for (int n = 0;; ++n) {
    Task task;
    {
      std::lock_guard lock(mutex);
      if (n > 0) {  // the task of the last turn has returned
        --executing;
        idle.notify_all();
      }
      if (closed || pending.empty()) {
        --running;
        return;
      }
      if (n == kBatch) break;  // keep the slot, continue from a new post
      task = std::move(pending.front());
      pending.pop_front();
      ++executing;
    }
    task();
  }
  schedule(false);
}

void DispatchQueue::Core::release() {
  bool restart;
  {
    std::lock_guard lock(mutex);
    --running;
    --executing;
    idle.notify_all();
    restart = claimRunner();
  }
  if (restart) schedule(DispatchPool::isPoolThread());
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
  return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::make_shared<Core>(std::move(label), true, 1)));
}

std::shared_ptr<DispatchQueue> DispatchQueue::concurrent(std::string label, std::size_t width) {
  if (width < 2) width = 2;
  return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::make_shared<Core>(std::move(label), false, width)));
}

DispatchQueue::DispatchQueue(std::shared_ptr<Core> core) : core_(std::move(core)) {}

DispatchQueue::~DispatchQueue() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(core_->mutex);
    core_->closed = true;
    dropped.swap(core_->pending);
  }
  dropped.clear();  // captured state released here, outside the lock
  // Wait for the tasks running now, except the caller's own.
  const std::size_t own = isCurrent() ? 1 : 0;
  std::unique_lock lock(core_->mutex);
  if (core_->executing <= own) return;
  lock.unlock();
  DispatchPool::BlockingScope blocking;
  lock.lock();
  core_->idle.wait(lock, [&] { return core_->executing <= own; });
}

const std::string& DispatchQueue::label() const { return core_->label; }

bool DispatchQueue::isSerial() const { return core_->serial; }

void DispatchQueue::async(Task task) { enqueue(std::move(task), false); }

void DispatchQueue::defer(Task task) { enqueue(std::move(task), true); }

void DispatchQueue::enqueue(Task task, bool deferred) {
  bool start;
  {
    std::lock_guard lock(core_->mutex);
    if (core_->closed) return;
    core_->pending.push_back(std::move(task));
    start = core_->claimRunner();
  }
  if (start) core_->schedule(deferred);
}

namespace {

// Runs `task` on the caller's thread as a task of `core` when the queue is
// idle: nothing pending (so it comes in its turn) and a slot free (taken
// meanwhile, so later tasks stay behind it). False when it is not idle.
bool runIfIdle(const std::shared_ptr<DispatchQueue::Core>& core, const DispatchQueue::Task& task, bool& closed) {
  {
    std::lock_guard lock(core->mutex);
    closed = core->closed;
    if (closed || !core->pending.empty() || core->running >= core->width) return false;
    ++core->running;
    ++core->executing;
  }
  CurrentScope current(core.get());
  struct Release {
    const std::shared_ptr<DispatchQueue::Core>& core;
    ~Release() { core->release(); }
  } release{core};
  task();
  return true;
}

}  // namespace

void DispatchQueue::runOrAsync(Task task) {
  if (isCurrent()) {
    task();
    return;
  }
  auto core = core_;  // the task may destroy this queue object
  bool closed = false;
  if (runIfIdle(core, task, closed) || closed) return;
  async(std::move(task));
}

void DispatchQueue::sync(const Task& task) {
  if (isCurrent()) {
    task();
    return;
  }
  auto core = core_;  // the task may destroy this queue object
  bool closed = false;
  if (runIfIdle(core, task, closed) || closed) return;
  // The promise travels with the task; if the queue discards the task the
  // promise is destroyed unfulfilled and the waiter wakes up all the same.
  // `claim` settles who owns the task: the queue starting it, or a waiter
  // giving it up because the process is ending (the pool stopped, so the
  // queue's runner may never start). A task given up never touches the
  // waiter's frame.
  enum : int { kWaiting, kStarted, kGivenUp };
  auto claim = std::make_shared<std::atomic<int>>(kWaiting);
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::exception_ptr failure;
  async([&task, &failure, claim, done = std::move(done)]() mutable {
    int expected = kWaiting;
    if (!claim->compare_exchange_strong(expected, kStarted)) return;
    try {
      task();
    } catch (...) {
      failure = std::current_exception();
    }
    done->set_value();
    done.reset();
  });
  {
    DispatchPool::BlockingScope blocking;
    while (finished.wait_for(kStopCheck) == std::future_status::timeout) {
      int expected = kWaiting;
      if (core->pool.isStopping() && claim->compare_exchange_strong(expected, kGivenUp)) return;
    }
    try {
      finished.get();
    } catch (const std::future_error&) {
      return;  // discarded by a queue being destroyed
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void DispatchQueue::dispatch(const std::shared_ptr<Core>& core, Task task) {
  // A completion entering a pool thread that runs no queue task: run it here
  // when the queue is idle, which saves the hand-off.
  if (tlCurrent == nullptr && DispatchPool::isPoolThread()) {
    DispatchPool::TaskScope scope;
    bool closed = false;
    if (runIfIdle(core, task, closed) || closed) return;
  }
  bool start;
  {
    std::lock_guard lock(core->mutex);
    if (core->closed) return;
    core->pending.push_back(std::move(task));
    start = core->claimRunner();
  }
  if (start) core->schedule(false);
}

bool DispatchQueue::isCurrent() const { return tlCurrent == core_.get(); }

asio::io_context& DispatchQueue::ioContext() { return core_->pool.ioContext(); }

std::string DispatchQueue::currentLabel() { return tlCurrent ? tlCurrent->label : std::string(); }

}  // namespace orv
