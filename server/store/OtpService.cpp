#include "server/store/OtpService.h"

#include <memory>
#include <random>

#include "platform/Log.h"

namespace orv::server {

OtpService::OtpService(Clock clock, Random random) : clock_(std::move(clock)), random_(std::move(random)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
  if (!random_) {
    random_ = [engine = std::make_shared<std::mt19937>(std::random_device{}())] { return (*engine)(); };
  }
}

bool OtpService::isValidMsisdn(std::string_view msisdn) {
  if (!msisdn.empty() && msisdn.front() == '+') msisdn.remove_prefix(1);
  if (msisdn.size() < 8 || msisdn.size() > 15) return false;
  for (const char c : msisdn) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string_view OtpService::reason(IssueResult result) {
  switch (result) {
    case IssueResult::kIssued: return "";
    case IssueResult::kInvalidNumber: return "invalid msisdn";
    case IssueResult::kTooSoon: return "too soon, try again later";
    case IssueResult::kHourlyLimit: return "too many requests this hour";
  }
  return "";
}

std::string_view OtpService::reason(CheckResult result) {
  switch (result) {
    case CheckResult::kAccepted: return "";
    case CheckResult::kInvalidNumber: return "invalid msisdn";
    case CheckResult::kNotRequested: return "no password requested";
    case CheckResult::kExpired: return "password expired";
    case CheckResult::kWrong: return "wrong password";
    case CheckResult::kTooManyTries: return "too many tries";
  }
  return "";
}

void OtpService::prune(Entry& entry, std::chrono::system_clock::time_point now) {
  while (!entry.issued.empty() && now - entry.issued.front() >= std::chrono::hours(1)) entry.issued.pop_front();
}

void OtpService::sweep(std::chrono::system_clock::time_point now) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry& e = it->second;
    prune(e, now);
    if (e.live && now >= e.expires) e.live = false;
    it = (!e.live && e.issued.empty()) ? entries_.erase(it) : std::next(it);
  }
}

size_t OtpService::trackedNumbers() {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

OtpService::IssueResult OtpService::issue(std::string_view msisdn) {
  if (!isValidMsisdn(msisdn)) return IssueResult::kInvalidNumber;
  const auto now = clock_();
  std::string password;
  {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kSweepThreshold) sweep(now);
    auto it = entries_.find(msisdn);
    if (it == entries_.end()) it = entries_.emplace(std::string(msisdn), Entry{}).first;
    Entry& e = it->second;
    prune(e, now);
    if (!e.issued.empty() && now - e.issued.back() < kMinInterval) return IssueResult::kTooSoon;
    if (static_cast<int>(e.issued.size()) >= kMaxPerHour) return IssueResult::kHourlyLimit;
    password = std::to_string(100000 + random_() % 900000);
    e.password = password;
    e.expires = now + kValidity;
    e.wrongTries = 0;
    e.live = true;
    e.issued.push_back(now);
  }
  orv::log("OtpService::issue", "password for " + std::string(msisdn) + ": " + password);
  return IssueResult::kIssued;
}

OtpService::CheckResult OtpService::check(std::string_view msisdn, std::string_view password) {
  if (!isValidMsisdn(msisdn)) return CheckResult::kInvalidNumber;
  const auto now = clock_();
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(msisdn);
  if (it == entries_.end() || !it->second.live) return CheckResult::kNotRequested;
  Entry& e = it->second;
  if (now >= e.expires) {
    e.live = false;
    return CheckResult::kExpired;
  }
  if (password == e.password) {
    e.live = false;  // one-time
    return CheckResult::kAccepted;
  }
  if (++e.wrongTries >= kMaxTries) {
    e.live = false;
    return CheckResult::kTooManyTries;
  }
  return CheckResult::kWrong;
}

std::optional<std::string> OtpService::current(std::string_view msisdn) {
  const auto now = clock_();
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(msisdn);
  if (it == entries_.end() || !it->second.live || now >= it->second.expires) return std::nullopt;
  return it->second.password;
}

}  // namespace orv::server
