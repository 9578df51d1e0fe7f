#include "platform/DispatchTimer.h"

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace orv {

// The Asio timer and its bookkeeping. Waits hold only a weak reference, so a
// destroyed timer's late completion finds nothing to call.
struct DispatchTimer::State {
  State(DispatchQueuePtr q, Handler h) : queue(std::move(q)), handler(std::move(h)), timer(queue->ioContext()) {}

  DispatchQueuePtr queue;  // keeps the io_context alive as long as `timer`
  Handler handler;
  std::mutex mutex;
  std::condition_variable idle;
  asio::steady_timer timer;
  unsigned long generation = 0;  // bumped by every arm and cancel
  bool armed = false;
  std::optional<std::thread::id> firingOn;  // thread running the handler

  // Caller holds the lock. Stops the pending fire and waits for a handler
  // running on another thread.
  void stopLocked(std::unique_lock<std::mutex>& lock) {
    ++generation;
    armed = false;
    timer.cancel();
    idle.wait(lock, [this] { return !firingOn || *firingOn == std::this_thread::get_id(); });
  }
};

DispatchTimer::DispatchTimer(DispatchQueuePtr queue, Handler handler)
    : state_(std::make_shared<State>(std::move(queue), std::move(handler))) {}

DispatchTimer::~DispatchTimer() {
  std::unique_lock lock(state_->mutex);
  state_->stopLocked(lock);
}

void DispatchTimer::arm(std::chrono::steady_clock::duration delay) {
  std::lock_guard lock(state_->mutex);
  const unsigned long generation = ++state_->generation;
  state_->armed = true;
  state_->timer.expires_after(delay);
  std::weak_ptr<State> weak = state_;
  state_->timer.async_wait(state_->queue->wrap([weak, generation](const std::error_code& ec) {
    if (ec) return;
    auto state = weak.lock();
    if (!state) return;
    std::unique_lock lock(state->mutex);
    if (state->generation != generation || !state->armed) return;  // re-armed or cancelled since
    state->armed = false;
    state->firingOn = std::this_thread::get_id();
    lock.unlock();
    state->handler();
    lock.lock();
    state->firingOn.reset();
    state->idle.notify_all();
  }));
}

void DispatchTimer::armSeconds(double seconds) {
  if (seconds < 0) seconds = 0;
  arm(std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds)));
}

void DispatchTimer::cancel() {
  std::unique_lock lock(state_->mutex);
  state_->stopLocked(lock);
}

bool DispatchTimer::isArmed() const {
  std::lock_guard lock(state_->mutex);
  return state_->armed;
}

}  // namespace orv
