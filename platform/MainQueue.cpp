#include "platform/MainQueue.h"

#include <mutex>
#include <utility>

namespace orv {
namespace {

std::mutex& slotMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<MainQueue>& slot() {
  static std::shared_ptr<MainQueue> queue;
  return queue;
}

}  // namespace

std::shared_ptr<MainQueue> mainQueue() {
  std::lock_guard lock(slotMutex());
  return slot();
}

void setMainQueue(std::shared_ptr<MainQueue> queue) {
  std::shared_ptr<MainQueue> previous;
  {
    std::lock_guard lock(slotMutex());
    previous = std::exchange(slot(), std::move(queue));
  }
  // `previous` is released here, outside the lock.
}

}  // namespace orv
