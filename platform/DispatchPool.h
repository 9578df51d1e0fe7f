#pragma once
// The one process-wide pool of threads under every DispatchQueue, timer and
// socket: `threadCount()` threads (the number of cores, at least 2;
// ORV_DISPATCH_THREADS or setThreadCount before first use changes it). One of
// them runs the event loop, an Asio io_context: socket and timer completions,
// and the queue tasks they start on idle queues, run there with no hand-off.
// The others are workers for posted tasks; when every worker is busy, the
// event thread takes a posted task between its completions. (An event loop
// shared by several threads would wake a second thread on every event, to
// watch the sockets while the first runs the completion: a thread switch per
// answer that the read path does not need.) Queues are cheap views onto the
// pool (DispatchQueue), so a client costs no threads of its own and a
// hand-off between queues is a post.
//
// A pool thread that must wait for other pool work (a `sync` onto a busy
// queue, a queue destroyed while its task runs) announces it with a
// BlockingScope: the pool adds a thread in its role (another event-loop
// thread for the event thread, a worker for a worker), which leaves again
// once it is surplus.
// So `sync` never deadlocks the pool, even with every pool thread waiting.
//
// Deferred hand-offs: work submitted with DispatchQueue::defer from a pool
// thread runs on that same thread once the current pool task returns, with
// no other thread woken. A task that leaves several hand-offs keeps the
// first on its thread and gives the others to the pool. Before a pool thread
// blocks, its deferred work is handed to the pool, so nothing it waits for
// can be stuck behind it.

#include <cstddef>
#include <functional>
#include <memory>

namespace asio {
class io_context;
}

namespace orv {

class DispatchPool {
 public:
  // The shared pool, started on first use.
  static DispatchPool& shared();
  // Threads of the shared pool. Before the pool's first use this sets its
  // size; afterwards it can only add threads. Values below 2 count as 2.
  static void setThreadCount(std::size_t threads);

  ~DispatchPool();
  DispatchPool(const DispatchPool&) = delete;
  DispatchPool& operator=(const DispatchPool&) = delete;

  asio::io_context& ioContext();
  std::size_t threadCount() const;
  // Threads alive now, the extra ones added for blocked threads included.
  std::size_t liveThreadCount() const;
  // True on a thread of the pool.
  static bool isPoolThread();
  // True once the pool is being destroyed (the process is ending): work
  // submitted from now on never runs.
  bool isStopping() const;

  // Submits `task` to run on some pool thread.
  void post(std::function<void()> task);
  // From a pool thread inside a pool task: runs `task` on this thread after
  // the current task returns. Elsewhere: post.
  void defer(std::function<void()> task);
  // Hands this thread's deferred work to the pool (before a wait).
  void flushDeferred();

  class BlockingScope {
   public:
    // No effect off the pool's threads.
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;

   private:
    bool counted_ = false;
  };

  // Marks the calling scope as a pool task: work deferred inside it runs on
  // this thread when the outermost scope ends. Queue runners and Asio
  // completions entering the pool's threads open one.
  class TaskScope {
   public:
    TaskScope();
    ~TaskScope();
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;

   private:
    bool outermost_;
  };

  struct State;

 private:
  explicit DispatchPool(std::size_t threads);
  std::shared_ptr<State> state_;
};

}  // namespace orv
