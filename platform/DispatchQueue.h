#pragma once
// Serial and concurrent work queues with labels, on the shared DispatchPool.
//
// A queue owns no threads: its tasks run on the process-wide pool. A serial
// queue runs one task at a time, in the order submitted (a strand); a
// concurrent queue runs up to `width` tasks at once, started in the order
// submitted. Timers and sockets run their handlers on a queue through
// `wrap`, on the same pool.
//
// `sync` runs the task on the queue and returns when it has finished: inline
// when the caller already runs on this queue, and also on the caller's own
// thread when the queue is idle (nothing runs or waits on it), which costs no
// hand-off. Otherwise the caller waits; a pool thread that waits lets the
// pool add a thread meanwhile, so waits never starve the pool.
//
// Destruction drops what has not started: tasks still pending are discarded
// without running (their captured state is released before the destructor
// returns), and the destructor waits for tasks running at that moment. A
// `sync` caller waiting on a discarded task returns without it having run;
// so does one whose task has not started when the pool stops at process
// exit (its runner would never start, and the wait would hang the exit).
// Destroying a queue from one of its own tasks is allowed: that task goes
// on to its end.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

namespace asio {
class io_context;
}

namespace orv {

class DispatchQueue {
 public:
  using Task = std::function<void()>;

  // A queue whose tasks run one at a time in submission order.
  static std::shared_ptr<DispatchQueue> serial(std::string label);
  // A queue whose tasks may run at the same time, at most `width` at once.
  static std::shared_ptr<DispatchQueue> concurrent(std::string label, std::size_t width = 3);

  ~DispatchQueue();
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  const std::string& label() const;
  bool isSerial() const;

  // Submits the task and returns at once.
  void async(Task task);
  // Like async, for a hand-off at the end of a pool task: when called on a
  // pool thread the task runs on that same thread right after the current
  // pool task, without waking another thread. The caller must not then wait
  // for it before its own task ends.
  void defer(Task task);
  // Runs the task at once on the caller's thread when the queue is idle (as
  // `sync` would), else submits it like `async`; never waits. For short
  // tasks that do not call out of the queue's own state (socket requests).
  void runOrAsync(Task task);
  // Runs the task on the queue and returns when it has finished. When the
  // caller already runs on this queue the task runs inline (no deadlock).
  void sync(const Task& task);
  // True when the calling thread is running a task of this queue.
  bool isCurrent() const;

  // The shared pool's io_context, for Asio objects whose handlers run on this
  // queue: pass each completion handler through `wrap`.
  asio::io_context& ioContext();

  // A completion handler that runs `handler(args...)` as a task of this
  // queue: at once on the completing pool thread when the queue is idle,
  // else queued. A queue destroyed meanwhile drops it.
  template <typename Handler>
  auto wrap(Handler handler) {
    return [core = core_, handler = std::move(handler)](auto&&... args) mutable {
      dispatch(core, [handler, arguments = std::make_tuple(std::forward<decltype(args)>(args)...)]() mutable {
        std::apply(handler, arguments);
      });
    };
  }

  // The label of the queue running the calling thread, or "" off any queue.
  static std::string currentLabel();

  struct Core;

 private:
  explicit DispatchQueue(std::shared_ptr<Core> core);
  static void dispatch(const std::shared_ptr<Core>& core, Task task);
  // Queues the task; `deferred` hands a runner to the pool as defer does.
  void enqueue(Task task, bool deferred);
  std::shared_ptr<Core> core_;
};

using DispatchQueuePtr = std::shared_ptr<DispatchQueue>;

}  // namespace orv
