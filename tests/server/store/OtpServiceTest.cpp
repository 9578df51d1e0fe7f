#include "server/store/OtpService.h"

#include <gtest/gtest.h>

#include "tests/support/LogCapture.h"

namespace orv::server {
namespace {

TEST(OtpService, StaleNumbersAreSweptOnceTheTableIsFull) {
  orv::test::LogCapture quiet;  // one log line per password
  int64_t seconds = 1'800'000'000;
  OtpService otp([&] { return std::chrono::system_clock::time_point(std::chrono::seconds(seconds)); },
                 [] { return 42u; });
  for (size_t i = 0; i < OtpService::kSweepThreshold; ++i) {
    ASSERT_EQ(otp.issue("849" + std::to_string(10000000 + i)), OtpService::IssueResult::kIssued);
  }
  EXPECT_EQ(otp.trackedNumbers(), OtpService::kSweepThreshold);
  // Within the hour every entry still counts against its number's limit.
  seconds += 3000;
  EXPECT_EQ(otp.issue("84999999999"), OtpService::IssueResult::kIssued);
  EXPECT_EQ(otp.trackedNumbers(), OtpService::kSweepThreshold + 1);
  seconds += 600;
  ASSERT_EQ(otp.issue("84999999998"), OtpService::IssueResult::kIssued);
  // The first batch is an hour old and swept; the number issued ten minutes
  // ago still counts against its hourly limit and stays, beside the new one.
  EXPECT_EQ(otp.trackedNumbers(), 2u);
  EXPECT_EQ(otp.current("84999999998"), "100042");
  EXPECT_EQ(otp.check("84999999998", "100042"), OtpService::CheckResult::kAccepted);
}

TEST(OtpService, NumbersAreEightToFifteenDigits) {
  for (const char* ok : {"84912345", "+84912345678", "849123456789012"}) EXPECT_TRUE(OtpService::isValidMsisdn(ok)) << ok;
  for (const char* bad : {"", "+", "8491234", "8491234567890123", "84 912345678", "849123456a", "++84912345678"}) {
    EXPECT_FALSE(OtpService::isValidMsisdn(bad)) << bad;
  }
}

}  // namespace
}  // namespace orv::server
