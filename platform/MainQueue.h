#pragma once
// The main thread as an interface. The Qt application posts to its GUI
// thread; tests and command-line programs use a RunLoopMainQueue that they run
// themselves. The library posts through the process-wide pointer below.

#include <functional>
#include <memory>

namespace orv {

class MainQueue {
 public:
  using Task = std::function<void()>;
  virtual ~MainQueue() = default;

  // Submits the task to run later on the main thread, in submission order.
  virtual void post(Task task) = 0;
  // True when the calling thread is the main thread running its tasks.
  virtual bool isCurrent() const = 0;
};

// The process-wide main queue; null until a program sets one. Thread-safe.
std::shared_ptr<MainQueue> mainQueue();
void setMainQueue(std::shared_ptr<MainQueue> queue);

}  // namespace orv
