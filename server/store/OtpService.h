#pragma once
// One-time passwords of the sign-in API.
//
// A password is six digits, valid for five minutes, and dies after its first
// successful check or its fifth wrong try. Issuing is rate-limited per number
// so the API cannot be used to flood a subscriber with messages: at most one
// password per 30 seconds and five per hour. A new password replaces the
// previous one. Time and randomness are injected so tests need not sleep.
// Thread-safe.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orv::server {

class OtpService {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  using Random = std::function<uint32_t()>;

  static constexpr std::chrono::seconds kValidity{300};
  static constexpr int kMaxTries = 5;
  static constexpr std::chrono::seconds kMinInterval{30};
  static constexpr int kMaxPerHour = 5;
  // Numbers tracked before stale entries (no live password, nothing issued
  // in the last hour) are swept, so random numbers cannot grow the table
  // without bound.
  static constexpr size_t kSweepThreshold = 10000;

  enum class IssueResult { kIssued, kInvalidNumber, kTooSoon, kHourlyLimit };
  enum class CheckResult { kAccepted, kInvalidNumber, kNotRequested, kExpired, kWrong, kTooManyTries };

  // Defaults: the system clock and a random device.
  explicit OtpService(Clock clock = {}, Random random = {});

  // Issues a password for `msisdn` and logs it ("OtpService::issue").
  IssueResult issue(std::string_view msisdn);
  CheckResult check(std::string_view msisdn, std::string_view password);
  // The live password of a number, for the demo page.
  std::optional<std::string> current(std::string_view msisdn);
  // Numbers currently tracked (for tests and monitoring).
  size_t trackedNumbers();

  // A number is 8 to 15 digits, optionally after one '+'.
  static bool isValidMsisdn(std::string_view msisdn);
  // The one-word reasons of the "1|reason" answers.
  static std::string_view reason(IssueResult result);
  static std::string_view reason(CheckResult result);

 private:
  struct Entry {
    std::string password;
    std::chrono::system_clock::time_point expires;
    int wrongTries = 0;
    bool live = false;
    std::deque<std::chrono::system_clock::time_point> issued;  // within the last hour
  };
  // Drops expired passwords and hour-old issue times of one entry.
  void prune(Entry& entry, std::chrono::system_clock::time_point now);
  void sweep(std::chrono::system_clock::time_point now);

  Clock clock_;
  Random random_;
  std::mutex mutex_;
  std::map<std::string, Entry, std::less<>> entries_;
};

}  // namespace orv::server
