#pragma once
// The store's small utilities: its log lines (by level, with a tag per
// screen), the price text of a game, an MD5 helper, integer texts and direct
// access to the persistent settings store.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::store {

class MyUtils {
 public:
  MyUtils() = delete;

  // Levels of log().
  static constexpr int kError = 0;
  static constexpr int kDebug = 1;
  static constexpr int kInfo = 2;
  // Logging is a build-time switch; the store ships with it on.
  static constexpr bool kLoggingEnabled = true;

  // One line to the platform log: "TAG error: message" (0), "TAG debug:
  // message" (1), "TAG info: message" (2), "TAG message" (any other level).
  // Any thread.
  static void log(int level, std::string_view tag, std::string_view message);
  // The line log() writes, without writing it.
  static std::string formatLog(int level, std::string_view tag, std::string_view message);

  // "0" or "" -> the text of "free"; any other text t -> t + "VND".
  static std::string stringToPrice(std::string_view price);
  // MD5 of the text's bytes up to the first zero byte, 32 lower-case hex digits.
  static std::string md5(std::string_view text);
  static std::string int32ToString(int32_t value);
  static std::string int64ToString(int64_t value);

  // One entry of the standard settings store; a write reaches the file at once.
  static std::optional<std::string> getSetting(std::string_view key);
  static void setSetting(std::string_view key, std::string_view value);
};

}  // namespace orv::store
