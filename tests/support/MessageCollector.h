#pragma once
// Collects the answers a client hands to it, in arrival order, for the test
// thread to take one by one.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "client/ORVMessageHandler.h"
#include "wire/ORVMessage.h"

namespace orv::test {

class MessageCollector : public ORVMessageHandler {
 public:
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    changed_.notify_all();
  }

  // Takes the first answer for `command`, waiting up to `timeout`; null if none came.
  ORVMessagePtr next(const std::string& command, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    ORVMessagePtr found;
    changed_.wait_for(lock, timeout, [&] {
      for (auto it = messages_.begin(); it != messages_.end(); ++it) {
        if ((*it)->command() == command) {
          found = *it;
          messages_.erase(it);
          return true;
        }
      }
      return false;
    });
    return found;
  }

  // Takes the first answer of any command, waiting up to `timeout`; null if none came.
  ORVMessagePtr next(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [&] { return !messages_.empty(); })) return nullptr;
    ORVMessagePtr message = messages_.front();
    messages_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ORVMessagePtr> messages_;
};

}  // namespace orv::test
