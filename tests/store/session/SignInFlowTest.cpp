// The sign-in state machine with its waits run by a hand-driven clock: the
// table of Part-style transitions, and every wait ending in the form or an
// alert with a way on.

#include "store/session/SignInFlow.h"

#include <gtest/gtest.h>

#include "platform/StringsTable.h"

namespace {

using orv::store::AlertSpec;
using orv::store::SignInFlow;
using State = SignInFlow::State;

struct Recorder : SignInFlow::Effects {
  std::vector<std::string> calls;
  std::vector<AlertSpec> alerts;
  bool connected = false;
  bool overlay = false;
  int viewState = -1;
  void connect() override { calls.push_back("connect"); }
  bool isConnected() override { return connected; }
  void sendLogin() override { calls.push_back("login"); }
  void sendStatus(const std::string& msisdn) override { calls.push_back("a.stt " + msisdn); }
  void httpGet(const std::string& url) override { calls.push_back("GET " + url.substr(url.find('?') + 1)); }
  void cancelHttp() override { calls.push_back("cancel"); }
  void setViewState(int state) override { viewState = state; }
  void setOverlay(bool shown) override { overlay = shown; }
  void showAlert(const AlertSpec& alert) override { alerts.push_back(alert); }
  void signedIn(const std::string& msisdn) override { calls.push_back("msisdn " + msisdn); }
  void statusReceived(int32_t status, const std::string& notify) override {
    calls.push_back("status " + std::to_string(status) + " " + notify);
  }
  void enterStore() override { calls.push_back("store"); }
  void exit() override { calls.push_back("exit"); }
  void log(int, const std::string&) override {}
  std::string last() const { return calls.empty() ? "" : calls.back(); }
};

class SignInFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(orv::loadLocalizedStringsFromText(R"({"btn_no":"Bỏ qua","btn_retry":"Thử lại","btn_exit":"Thoát"})"));
  }
  SignInFlow::Scheduler scheduler() {
    return [this](std::chrono::milliseconds, std::function<void()> task) { timers_.push_back(std::move(task)); };
  }
  // Lets every wait armed so far run out.
  void elapse() {
    auto due = std::move(timers_);
    timers_.clear();
    for (auto& task : due) task();
  }
  // A first screen that has connected and logged in: the lookup is running.
  std::unique_ptr<SignInFlow> lookingUp() {
    auto flow = std::make_unique<SignInFlow>(SignInFlow::Variant::kFirst, "http://api", effects_, scheduler());
    flow->loaded();
    flow->appeared();
    effects_.connected = true;
    flow->connectionEvent(true);
    flow->loginEvent();
    return flow;
  }

  Recorder effects_;
  std::vector<std::function<void()>> timers_;
};

TEST_F(SignInFlowTest, RecognisedNumberSignsInWithoutTyping) {
  auto flow = lookingUp();
  EXPECT_EQ(effects_.calls, (std::vector<std::string>{"connect", "login", "GET type=getmsisdn"}));
  EXPECT_EQ(effects_.viewState, 0);
  flow->httpAnswered("0|84912000001\n");
  EXPECT_EQ(flow->state(), State::kStatusCheck);
  EXPECT_TRUE(effects_.overlay);
  flow->statusAnswer(99, "Mời đăng ký");
  EXPECT_EQ(flow->state(), State::kStore);
  EXPECT_FALSE(effects_.overlay);
  EXPECT_EQ(std::vector<std::string>(effects_.calls.begin() + 3, effects_.calls.end()),
            (std::vector<std::string>{"msisdn 84912000001", "a.stt 84912000001", "status 99 Mời đăng ký", "store"}));
  EXPECT_TRUE(effects_.alerts.empty());
  elapse();  // the status wait was disarmed by the answer
  EXPECT_TRUE(effects_.alerts.empty());
}

TEST_F(SignInFlowTest, FormButtonsOtpStepsAndTheGuestWay) {
  auto flow = lookingUp();
  flow->httpAnswered("1|");
  EXPECT_EQ(flow->state(), State::kForm);
  EXPECT_EQ(effects_.viewState, 2);
  ASSERT_EQ(effects_.alerts.size(), 1u);
  EXPECT_EQ(effects_.alerts[0].tag, 897);
  EXPECT_EQ(effects_.alerts[0].buttons, (std::vector<std::string>{"Bỏ qua", "OK"}));
  flow->alertButton(897, 1);  // "OK" keeps the form
  EXPECT_EQ(flow->state(), State::kForm);

  flow->clickLogin("", "123");
  EXPECT_EQ(effects_.alerts.back().message, "Bạn chưa nhập số điện thoại");
  flow->clickLogin(" ", "");
  EXPECT_EQ(effects_.alerts.back().message, "Bạn chưa nhập mật khẩu");
  flow->clickGetPassword("");
  EXPECT_EQ(effects_.alerts.back().message, "Bạn chưa nhập số điện thoại");
  EXPECT_EQ(effects_.last(), "GET type=getmsisdn");  // nothing sent by the refusals

  flow->clickGetPassword("0912 345");
  EXPECT_EQ(effects_.viewState, 1);
  EXPECT_EQ(effects_.last(), "GET type=getotp&msisdn=0912%20345");
  flow->httpAnswered("2|too soon");
  EXPECT_EQ(effects_.alerts.back().tag, 898);
  EXPECT_EQ(effects_.viewState, 3);
  flow->clickGetPassword("84912000002");
  flow->httpAnswered("0|");
  EXPECT_EQ(effects_.alerts.back().tag, 0);
  flow->clickLogin("84912000002", "999999");
  flow->httpAnswered("1|wrong");
  EXPECT_EQ(effects_.alerts.back().tag, 899);
  flow->clickLogin("84912000002", "123456");
  flow->httpAnswered("0|84912000777");  // the answer's number, not the typed one
  EXPECT_EQ(effects_.last(), "a.stt 84912000777");

  auto guest = lookingUp();
  guest->httpAnswered("no bar at all");
  guest->alertButton(897, 0);
  EXPECT_EQ(guest->state(), State::kStore);
  EXPECT_EQ(effects_.last(), "store");
}

TEST_F(SignInFlowTest, SilentOrFailedHttpEndsInTheFormWithThatStepsAlert) {
  auto flow = lookingUp();
  elapse();  // the lookup never answers
  EXPECT_EQ(flow->state(), State::kForm);
  EXPECT_FALSE(effects_.overlay);
  EXPECT_EQ(effects_.alerts.back().tag, 897);
  EXPECT_EQ(effects_.last(), "cancel");
  flow->httpAnswered("0|84912000001");  // too late: ignored
  EXPECT_EQ(flow->state(), State::kForm);

  flow->clickGetPassword("84912000002");
  flow->httpFailed("connection refused");
  EXPECT_EQ(effects_.alerts.back().tag, 898);
  flow->clickLogin("84912000002", "1");
  flow->httpFailed("timeout");
  EXPECT_EQ(effects_.alerts.back().tag, 899);
  EXPECT_EQ(flow->state(), State::kForm);
  elapse();  // waits of answered requests do nothing
  EXPECT_EQ(effects_.alerts.size(), 3u);
}

TEST_F(SignInFlowTest, RefusedOrSilentLoginOffersRetryAndExit) {
  auto flow = std::make_unique<SignInFlow>(SignInFlow::Variant::kFirst, "http://api", effects_, scheduler());
  flow->loaded();
  flow->appeared();
  flow->connectionEvent(false);
  EXPECT_EQ(effects_.alerts.back().tag, 997);
  flow->alertButton(997, 0);  // the base reconnects
  EXPECT_EQ(flow->state(), State::kConnecting);

  effects_.connected = true;
  flow->connectionEvent(true);
  flow->loginErrorEvent();
  EXPECT_EQ(flow->state(), State::kLoginFailed);
  EXPECT_EQ(effects_.alerts.back().tag, 896);
  EXPECT_EQ(effects_.alerts.back().buttons, (std::vector<std::string>{"Thử lại", "Thoát"}));
  flow->alertButton(896, 0);
  EXPECT_EQ(effects_.last(), "login");
  EXPECT_TRUE(effects_.overlay);
  elapse();  // no login answer at all
  EXPECT_EQ(flow->state(), State::kLoginFailed);
  effects_.connected = false;
  flow->alertButton(896, 0);
  EXPECT_EQ(effects_.last(), "connect");
  flow->alertButton(896, 1);
  EXPECT_EQ(effects_.last(), "exit");
}

TEST_F(SignInFlowTest, AnUnansweredStatusOffersContinueOrRetry) {
  auto flow = lookingUp();
  flow->httpAnswered("0|84912000001");
  elapse();
  EXPECT_EQ(flow->state(), State::kStatusUnanswered);
  EXPECT_EQ(effects_.alerts.back().tag, 895);
  EXPECT_FALSE(effects_.overlay);
  flow->alertButton(895, 1);
  EXPECT_EQ(effects_.last(), "a.stt 84912000001");
  elapse();
  flow->alertButton(895, 0);
  EXPECT_EQ(flow->state(), State::kStore);
  EXPECT_EQ(effects_.last(), "store");

  auto late = lookingUp();
  late->httpAnswered("0|84912000001");
  elapse();
  late->statusAnswer(1, "ok");  // a late answer still signs in
  EXPECT_EQ(late->state(), State::kStore);
}

TEST_F(SignInFlowTest, TheSecondScreenLooksUpAtOnceAndLeavesSessionEventsAlone) {
  SignInFlow flow(SignInFlow::Variant::kSecond, "http://api", effects_, scheduler());
  flow.loaded();
  flow.appeared();
  EXPECT_EQ(effects_.calls, (std::vector<std::string>{"GET type=getmsisdn"}));
  flow.connectionEvent(false);
  flow.loginEvent();
  flow.appeared();
  EXPECT_EQ(effects_.calls.size(), 1u);
  EXPECT_TRUE(effects_.alerts.empty());
  flow.httpAnswered("1|");
  flow.alertButton(897, 0);
  EXPECT_EQ(effects_.last(), "store");
}

}  // namespace
