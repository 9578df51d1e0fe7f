#pragma once
// Captures the library's log lines for the life of the object, so a test can
// assert on the exact texts. Restores the previous sink when destroyed.

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Log.h"

namespace orv::test {

class LogCapture {
 public:
  LogCapture() {
    previous_ = setLogSink([this](std::string_view op, std::string_view text) {
      std::lock_guard lock(mutex_);
      lines_.push_back(formatLogLine(op, text));
      texts_.emplace_back(text);
    });
  }
  ~LogCapture() { setLogSink(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Full lines "<operation> : <text>".
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // Only the texts after " : ".
  std::vector<std::string> texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  bool containsText(const std::string& text) const {
    std::lock_guard lock(mutex_);
    return std::find(texts_.begin(), texts_.end(), text) != texts_.end();
  }
  void clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    texts_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> texts_;
  LogSink previous_;
};

}  // namespace orv::test
