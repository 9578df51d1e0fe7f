// The sign-in API's answers and the three requests, against the reference
// HTTP server: lookup by the connection's address, a password sent, read back
// from /dev/otp and checked; typed text that would rewrite the query is
// percent-encoded and stays one value.

#include "store/session/SignInApi.h"

#include <gtest/gtest.h>

#include <future>

#include "platform/HttpClient.h"
#include "store/session/SignInAnswer.h"
#include "tests/support/LocalReferenceServer.h"

namespace {

using orv::store::SignInAnswer;
using orv::store::SignInApi;

TEST(SignInAnswerTest, TrimsLineBreaksSplitsOnBarAndNeedsTwoFields) {
  struct Row {
    std::string body;
    bool success;
    std::string value;
  };
  const Row rows[] = {
      {"0|84912000001", true, "84912000001"},
      {"\r\n0|84912000001\r\n", true, "84912000001"},
      {"0|849 12\n", true, "849 12"},          // spaces kept
      {" 0|84912000001", false, "84912000001"},  // code " 0" is not "0"
      {"0|a|b", true, "a"},
      {"0||", true, ""},
      {"1|", false, ""},
      {"2|too soon", false, "too soon"},
      {"0", false, ""},
      {"", false, ""},
      {"\n\n", false, ""},
      {"0|\xff\xfe", false, ""},  // not UTF-8
      {"0|Nguyễn", true, "Nguyễn"},
  };
  for (const Row& row : rows) {
    SignInAnswer answer = SignInAnswer::parse(row.body);
    EXPECT_EQ(answer.isSuccess(), row.success) << row.body;
    EXPECT_EQ(answer.value, row.value) << row.body;
  }
  EXPECT_EQ(SignInAnswer::parse("0\n").code, "1");
  EXPECT_EQ(SignInAnswer::parse("\r0|5\n").text, "0|5");
}

class SignInApiServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = orv::test::LocalReferenceServer::start({"--msisdn-for", "127.0.0.1=84912000001"}).release();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(server_) << orv::test::LocalReferenceServer::lastError(); }

  static std::string get(const std::string& url) {
    std::promise<orv::HttpResult> done;
    orv::HttpClient::shared()->get(url, [](std::function<void()> task) { task(); },
                                   [&](const orv::HttpResult& result) { done.set_value(result); });
    orv::HttpResult result = done.get_future().get();
    EXPECT_TRUE(result.ok) << url << ": " << result.error;
    return result.body;
  }
  static std::string base() { return server_->httpBase(); }

  static inline orv::test::LocalReferenceServer* server_ = nullptr;
};

TEST_F(SignInApiServerTest, LookupPasswordAndCheckAsTheServerAnswersThem) {
  EXPECT_EQ(SignInApi::lookupUrl("http://h:1/"), "http://h:1/api.ashx?type=getmsisdn");
  SignInAnswer lookup = SignInAnswer::parse(get(SignInApi::lookupUrl(base())));
  EXPECT_TRUE(lookup.isSuccess());
  EXPECT_EQ(lookup.value, "84912000001");

  const std::string number = "84912000321";
  EXPECT_TRUE(SignInAnswer::parse(get(SignInApi::otpRequestUrl(base(), number))).isSuccess());
  const std::string password = get(base() + "/dev/otp?msisdn=" + number);
  ASSERT_EQ(password.size(), 6u);
  const std::string wrong = password == "000000" ? "111111" : "000000";
  EXPECT_FALSE(SignInAnswer::parse(get(SignInApi::otpCheckUrl(base(), number, wrong))).isSuccess());
  SignInAnswer checked = SignInAnswer::parse(get(SignInApi::otpCheckUrl(base(), number, password)));
  EXPECT_TRUE(checked.isSuccess());
  EXPECT_EQ(checked.value, number);
}

TEST_F(SignInApiServerTest, TypedTextCannotAddParametersToTheQuery) {
  const std::string number = "84912000654";
  ASSERT_TRUE(SignInAnswer::parse(get(SignInApi::otpRequestUrl(base(), number))).isSuccess());
  const std::string password = get(base() + "/dev/otp?msisdn=" + number);
  ASSERT_EQ(password.size(), 6u);
  const std::string wrong = password == "000000" ? "111111" : "000000";
  const std::string typedNumber = number + "&otp=" + password;

  // Inserted raw, the typed "number" carries the right password in and wins
  // over the wrong one typed in the password field.
  const std::string raw = base() + "/api.ashx?type=checkotp&msisdn=" + typedNumber + "&otp=" + wrong;
  EXPECT_EQ(SignInAnswer::parse(get(raw)).value, number);

  ASSERT_TRUE(SignInAnswer::parse(get(SignInApi::otpRequestUrl(base(), "84912000655"))).isSuccess());
  const std::string second = get(base() + "/dev/otp?msisdn=84912000655");
  const std::string encoded = SignInApi::otpCheckUrl(base(), "84912000655&otp=" + second, wrong);
  EXPECT_FALSE(SignInAnswer::parse(get(encoded)).isSuccess()) << encoded;
  // "#" would cut the query short if it were not encoded.
  EXPECT_FALSE(SignInAnswer::parse(get(SignInApi::otpRequestUrl(base(), "84912000656#"))).isSuccess());
  EXPECT_EQ(SignInApi::otpRequestUrl("http://h", "+84 9&x"), "http://h/api.ashx?type=getotp&msisdn=%2B84%209%26x");
}

}  // namespace
