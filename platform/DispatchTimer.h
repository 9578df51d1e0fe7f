#pragma once
// A one-shot timer whose handler runs on a given queue.
//
// `arm` schedules one fire `delay` from now; arming again replaces the pending
// fire time. `cancel` drops the pending fire. The handler may re-arm its own
// timer. Once `cancel` or the destructor has returned, the handler will not
// start again, and if it was running on another thread they wait for it to
// finish: an owner that destroys its timer in its destructor is never called
// back afterwards. (Called from inside the handler itself they do not wait.)

#include <chrono>
#include <functional>
#include <memory>

#include "platform/DispatchQueue.h"

namespace orv {

class DispatchTimer {
 public:
  using Handler = std::function<void()>;

  DispatchTimer(DispatchQueuePtr queue, Handler handler);
  ~DispatchTimer();
  DispatchTimer(const DispatchTimer&) = delete;
  DispatchTimer& operator=(const DispatchTimer&) = delete;

  void arm(std::chrono::steady_clock::duration delay);
  void armSeconds(double seconds);
  void cancel();
  bool isArmed() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace orv
