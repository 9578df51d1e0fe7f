#include "platform/Log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace orv {
namespace {

// The sink is swapped rarely (tests) and read on every log line from any
// thread: readers take a shared copy under a short lock, never calling the
// sink while holding it, so a sink may itself log or swap sinks.
// Both live for the whole process and are never destroyed: pool threads may
// still log while the process runs its static destructors, and a destroyed
// mutex there is undefined behaviour.
std::mutex& sinkMutex() {
  static auto* m = new std::mutex;
  return *m;
}

std::shared_ptr<const LogSink>& sinkSlot() {
  static auto* slot = new std::shared_ptr<const LogSink>;
  return *slot;
}

}  // namespace

std::string formatLogLine(std::string_view operation, std::string_view text) {
  std::string line;
  line.reserve(operation.size() + text.size() + 3);
  line.append(operation).append(" : ").append(text);
  return line;
}

void stderrLogSink(std::string_view operation, std::string_view text) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&secs, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  const std::string line = formatLogLine(operation, text);
  std::fprintf(stderr, "%s.%03d [%d] %s\n", stamp, static_cast<int>(millis), static_cast<int>(getpid()),
               line.c_str());
}

void log(std::string_view operation, std::string_view text) {
  std::shared_ptr<const LogSink> sink;
  {
    std::lock_guard lock(sinkMutex());
    sink = sinkSlot();
  }
  if (sink && *sink) {
    (*sink)(operation, text);
  } else {
    stderrLogSink(operation, text);
  }
}

LogSink setLogSink(LogSink sink) {
  std::shared_ptr<const LogSink> replacement;
  if (sink) replacement = std::make_shared<const LogSink>(std::move(sink));
  std::lock_guard lock(sinkMutex());
  std::shared_ptr<const LogSink> previous = std::exchange(sinkSlot(), std::move(replacement));
  return previous ? *previous : LogSink{};
}

}  // namespace orv
