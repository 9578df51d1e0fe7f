#pragma once
// The sign-in state machine of the two sign-in screens, without widgets: the
// screen feeds it what happened (appearance, session events, HTTP answers,
// the "a.stt" answer, button presses, alert buttons) and it answers through
// `Effects` (connect, send, start an HTTP request, show a view state, the
// overlay or an alert, enter the store).
//
//   Connecting --ok--> LoggingIn --login--> LookingUp --"0|n"--> StatusCheck --a.stt--> Store
//        |fail            |refused/15 s         |other/fail/15 s       |15 s
//        v                v                     v                      v
//   ConnectionFailed  LoginFailed (896)      Form (897) <--> RequestingOtp / CheckingOtp
//   (997 retry/exit)  (retry/exit)           "btn_no" -> Store as guest   StatusUnanswered (895)
//                                                                         (continue/retry)
//
// Every wait is bounded: an HTTP request that fails or stays silent for
// kWait ends in the form with that step's alert (897, 898, 899); a refused or
// silent zone login ends in alert 896 (retry / exit); an unanswered status
// request ends in alert 895 (continue into the store / retry). Late answers
// of a request that was given up are ignored.
//
// The second sign-in screen (Variant::kSecond) does not connect: its first
// appearance starts the number lookup, and session events are not its
// business (the base shows the notices). Runs on the main thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "store/session/ServerNoticePolicy.h"

namespace orv::store {

class SignInFlow {
 public:
  enum class Variant { kFirst, kSecond };
  enum class State {
    kIdle,
    kConnecting,
    kConnectionFailed,
    kLoggingIn,
    kLoginFailed,
    kLookingUp,
    kForm,
    kRequestingOtp,
    kCheckingOtp,
    kStatusCheck,
    kStatusUnanswered,
    kStore,
  };
  // Which HTTP request the next answer belongs to.
  enum Step : int { kLookup = 0, kOtpRequest = 1, kOtpCheck = 2 };

  static constexpr std::chrono::milliseconds kWait{15000};

  class Effects {
   public:
    virtual ~Effects() = default;
    virtual void connect() = 0;
    virtual bool isConnected() = 0;
    virtual void sendLogin() = 0;
    virtual void sendStatus(const std::string& msisdn) = 0;
    // Starts a GET; its outcome comes back through httpAnswered / httpFailed.
    virtual void httpGet(const std::string& url) = 0;
    virtual void cancelHttp() = 0;
    virtual void setViewState(int state) = 0;
    virtual void setOverlay(bool shown) = 0;
    virtual void showAlert(const AlertSpec& alert) = 0;
    // The number is known (Config msisdn).
    virtual void signedIn(const std::string& msisdn) = 0;
    // The "a.stt" answer (Config msisdnStatus and notify).
    virtual void statusReceived(int32_t status, const std::string& notify) = 0;
    // `showHome`: into the store (first screen) or back (second screen).
    virtual void enterStore() = 0;
    virtual void exit() = 0;
    // Level 0 error, 1 debug, 2 info.
    virtual void log(int level, const std::string& text) = 0;
  };

  // Runs `task` after `delay` on the main thread.
  using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

  SignInFlow(Variant variant, std::string apiBase, Effects& effects, Scheduler scheduler,
             std::chrono::milliseconds wait = kWait);

  // viewDidLoad: view state 0, overlay shown.
  void loaded();
  // viewDidAppear: connects (first screen; first time or when not connected)
  // or starts the lookup (second screen, first time).
  void appeared();

  void connectionEvent(bool success);
  void loginEvent();
  void loginErrorEvent();
  void httpAnswered(const std::string& body);
  void httpFailed(const std::string& error);
  void statusAnswer(int32_t status, const std::string& notify);

  void clickGetPassword(const std::string& phone);
  void clickLogin(const std::string& phone, const std::string& password);
  // After the base's own handling of the tag (997 already reconnected there).
  void alertButton(int tag, int buttonIndex);

  // Starts the number lookup (step 0).
  void checkStepOne();

  State state() const { return state_; }
  int step() const { return step_; }
  bool isFirstLoad() const { return isFirstLoad_; }
  Variant variant() const { return variant_; }

  static const char* stateName(State state);

 private:
  void startHttp(Step step, const std::string& url);
  void httpOutcome(bool transportOk, const std::string& body);
  void sendStatus(const std::string& msisdn);
  void sendLogin();
  void loginFailed();
  void toStore();
  void arm(std::function<void()> onExpiry);
  void disarm() { ++deadline_; }
  AlertSpec alert(const std::string& key, int tag, bool withGuestButton) const;

  Variant variant_;
  std::string apiBase_;
  Effects& effects_;
  Scheduler scheduler_;
  std::chrono::milliseconds wait_;
  State state_ = State::kIdle;
  int step_ = kLookup;
  bool isFirstLoad_ = true;
  std::string pendingMsisdn_;
  uint64_t deadline_ = 0;  // generation of the armed deadline
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace orv::store
