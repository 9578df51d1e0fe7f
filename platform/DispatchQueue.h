#pragma once
// Serial and concurrent work queues with labels, on Asio.
//
// Each queue owns an io_context and its own worker threads: one thread for a
// serial queue (so tasks run one at a time, in the order submitted), a few for
// a concurrent queue. Giving every queue its own threads means a task blocked
// in `sync` onto another queue never starves an unrelated queue, as a shared
// pool could.
//
// Destruction drops what has not started: the task running at that moment
// finishes, tasks still pending and timers still armed are discarded without
// running (their captured state is released). A `sync` caller waiting on a
// discarded task returns without it having run. Destroying a queue from one
// of its own tasks is allowed: the worker finishes that task and exits.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace asio {
class io_context;
}

namespace orv {

class DispatchQueue {
 public:
  using Task = std::function<void()>;

  // A queue whose tasks run one at a time in submission order.
  static std::shared_ptr<DispatchQueue> serial(std::string label);
  // A queue whose tasks may run at the same time on `threads` workers.
  static std::shared_ptr<DispatchQueue> concurrent(std::string label, std::size_t threads = 3);

  ~DispatchQueue();
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  const std::string& label() const;
  bool isSerial() const;

  // Submits the task and returns at once.
  void async(Task task);
  // Runs the task on the queue and returns when it has finished. When the
  // caller already runs on this queue the task runs inline (no deadlock).
  void sync(const Task& task);
  // True when the calling thread is running a task of this queue.
  bool isCurrent() const;

  // The queue's io_context, for Asio objects whose handlers must run on this
  // queue (sockets, timers). On a serial queue the handlers are serialised.
  asio::io_context& ioContext();

  // The label of the queue running the calling thread, or "" off any queue.
  static std::string currentLabel();

  struct Core;

 private:
  explicit DispatchQueue(std::shared_ptr<Core> core);
  std::shared_ptr<Core> core_;
};

using DispatchQueuePtr = std::shared_ptr<DispatchQueue>;

}  // namespace orv
