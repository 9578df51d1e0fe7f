#include "store/session/SignInFlow.h"

#include "platform/StringsTable.h"
#include "store/session/SignInAnswer.h"
#include "store/session/SignInApi.h"

namespace orv::store {
namespace {

// A key's text, or `fallback` when the strings table lacks the key (the
// lookup then answers the key itself).
std::string text(const std::string& key, const char* fallback) {
  std::string value = orv::localizedString(key);
  return value.empty() || value == key ? std::string(fallback) : value;
}

}  // namespace

SignInFlow::SignInFlow(Variant variant, std::string apiBase, Effects& effects, Scheduler scheduler,
                       std::chrono::milliseconds wait)
    : variant_(variant), apiBase_(std::move(apiBase)), effects_(effects), scheduler_(std::move(scheduler)),
      wait_(wait) {}

const char* SignInFlow::stateName(State state) {
  switch (state) {
    case State::kIdle: return "Idle";
    case State::kConnecting: return "Connecting";
    case State::kConnectionFailed: return "ConnectionFailed";
    case State::kLoggingIn: return "LoggingIn";
    case State::kLoginFailed: return "LoginFailed";
    case State::kLookingUp: return "LookingUp";
    case State::kForm: return "Form";
    case State::kRequestingOtp: return "RequestingOtp";
    case State::kCheckingOtp: return "CheckingOtp";
    case State::kStatusCheck: return "StatusCheck";
    case State::kStatusUnanswered: return "StatusUnanswered";
    case State::kStore: return "Store";
  }
  return "?";
}

void SignInFlow::arm(std::function<void()> onExpiry) {
  const uint64_t generation = ++deadline_;
  std::weak_ptr<int> alive = alive_;
  scheduler_(wait_, [this, alive, generation, onExpiry = std::move(onExpiry)] {
    if (alive.expired() || generation != deadline_) return;
    onExpiry();
  });
}

AlertSpec SignInFlow::alert(const std::string& key, int tag, bool withGuestButton) const {
  AlertSpec spec;
  spec.message = orv::localizedString(key);
  spec.tag = tag;
  if (withGuestButton) {
    spec.buttons = {orv::localizedString("btn_no"), "OK"};
  } else {
    spec.buttons = {"Ok"};
  }
  return spec;
}

void SignInFlow::loaded() {
  effects_.setViewState(0);
  isFirstLoad_ = true;
  effects_.setOverlay(true);
}

void SignInFlow::appeared() {
  if (variant_ == Variant::kSecond) {
    if (isFirstLoad_) {
      isFirstLoad_ = false;
      checkStepOne();
    }
    return;
  }
  if (isFirstLoad_ || !effects_.isConnected()) {
    effects_.log(2, "SOCKET CONNECT");
    state_ = State::kConnecting;
    effects_.connect();
    isFirstLoad_ = false;
  }
}

void SignInFlow::connectionEvent(bool success) {
  if (variant_ == Variant::kSecond || state_ == State::kStore) return;
  if (success) {
    sendLogin();
  } else {
    disarm();
    state_ = State::kConnectionFailed;
    effects_.setOverlay(false);
    effects_.showAlert(ServerNoticePolicy::connectionFailureAlert());
  }
}

void SignInFlow::sendLogin() {
  state_ = State::kLoggingIn;
  effects_.sendLogin();
  arm([this] {
    effects_.log(0, "Login Timeout");
    loginFailed();
  });
}

void SignInFlow::loginEvent() {
  if (variant_ == Variant::kSecond || state_ == State::kStore) return;
  checkStepOne();
}

void SignInFlow::loginErrorEvent() {
  if (variant_ == Variant::kSecond || state_ != State::kLoggingIn) return;
  loginFailed();
}

void SignInFlow::loginFailed() {
  disarm();
  state_ = State::kLoginFailed;
  effects_.setOverlay(false);
  AlertSpec spec;
  spec.message = text("login_refused", "Không đăng nhập được vào hệ thống. Hãy thử lại!");
  spec.buttons = {orv::localizedString("btn_retry"), orv::localizedString("btn_exit")};
  spec.tag = AlertTag::kLoginFailure;
  effects_.showAlert(spec);
}

void SignInFlow::checkStepOne() { startHttp(kLookup, SignInApi::lookupUrl(apiBase_)); }

void SignInFlow::startHttp(Step step, const std::string& url) {
  step_ = step;
  state_ = step == kLookup ? State::kLookingUp : step == kOtpRequest ? State::kRequestingOtp : State::kCheckingOtp;
  effects_.log(2, "conn " + url);
  effects_.httpGet(url);
  arm([this] {
    effects_.cancelHttp();
    httpFailed("no answer");
  });
}

void SignInFlow::httpAnswered(const std::string& body) { httpOutcome(true, body); }

void SignInFlow::httpFailed(const std::string& error) {
  if (state_ != State::kLookingUp && state_ != State::kRequestingOtp && state_ != State::kCheckingOtp) return;
  effects_.log(0, "Request Http Error " + error);
  httpOutcome(false, "");
}

void SignInFlow::httpOutcome(bool transportOk, const std::string& body) {
  // Only the request that is running; a late answer of one given up is dropped.
  if (state_ != State::kLookingUp && state_ != State::kRequestingOtp && state_ != State::kCheckingOtp) return;
  disarm();
  SignInAnswer answer = transportOk ? SignInAnswer::parse(body) : SignInAnswer{};
  if (transportOk) effects_.log(2, answer.text);
  switch (step_) {
    case kLookup:
      if (answer.isSuccess()) {
        effects_.signedIn(answer.value);
        sendStatus(answer.value);
      } else {
        state_ = State::kForm;
        effects_.setOverlay(false);
        effects_.setViewState(2);
        effects_.showAlert(alert("error_msisdn_lookup", AlertTag::kLookupFailure, true));
      }
      break;
    case kOtpRequest:
      state_ = State::kForm;
      effects_.setOverlay(false);
      effects_.setViewState(3);
      effects_.showAlert(answer.isSuccess() ? alert("otp_send", AlertTag::kPlain, false)
                                            : alert("otp_send_nok", AlertTag::kOtpRequestFailure, true));
      break;
    case kOtpCheck:
      if (answer.isSuccess()) {
        effects_.signedIn(answer.value);
        effects_.log(1, answer.value);
        sendStatus(answer.value);
      } else {
        state_ = State::kForm;
        effects_.setOverlay(false);
        effects_.setViewState(3);
        effects_.showAlert(alert("login_failure", AlertTag::kOtpCheckFailure, true));
      }
      break;
  }
}

void SignInFlow::sendStatus(const std::string& msisdn) {
  pendingMsisdn_ = msisdn;
  state_ = State::kStatusCheck;
  effects_.sendStatus(msisdn);
  arm([this] {
    state_ = State::kStatusUnanswered;
    effects_.setOverlay(false);
    AlertSpec spec;
    spec.message = text("status_timeout", "Chưa lấy được trạng thái thuê bao. Bạn có thể vào cửa hàng ngay hoặc thử lại.");
    spec.buttons = {text("btn_continue", "Vào cửa hàng"), orv::localizedString("btn_retry")};
    spec.tag = AlertTag::kStatusUnanswered;
    effects_.showAlert(spec);
  });
}

void SignInFlow::statusAnswer(int32_t status, const std::string& notify) {
  if (state_ == State::kStore) return;
  disarm();
  effects_.setOverlay(false);
  effects_.statusReceived(status, notify);
  effects_.log(2, "status " + std::to_string(status) + "-" + notify);
  toStore();
}

void SignInFlow::toStore() {
  disarm();
  state_ = State::kStore;
  effects_.enterStore();
}

void SignInFlow::clickGetPassword(const std::string& phone) {
  if (phone.empty()) {
    effects_.showAlert(ServerNoticePolicy::plainAlert("Bạn chưa nhập số điện thoại"));
    return;
  }
  effects_.setViewState(1);
  effects_.setOverlay(true);
  startHttp(kOtpRequest, SignInApi::otpRequestUrl(apiBase_, phone));
}

void SignInFlow::clickLogin(const std::string& phone, const std::string& password) {
  if (phone.empty()) {
    effects_.showAlert(ServerNoticePolicy::plainAlert("Bạn chưa nhập số điện thoại"));
    return;
  }
  if (password.empty()) {
    effects_.showAlert(ServerNoticePolicy::plainAlert("Bạn chưa nhập mật khẩu"));
    return;
  }
  effects_.setViewState(1);
  effects_.setOverlay(true);
  startHttp(kOtpCheck, SignInApi::otpCheckUrl(apiBase_, phone, password));
}

void SignInFlow::alertButton(int tag, int buttonIndex) {
  if (state_ == State::kStore) return;  // an alert left over after entering the store
  switch (tag) {
    case AlertTag::kLookupFailure:
    case AlertTag::kOtpRequestFailure:
    case AlertTag::kOtpCheckFailure:
      if (buttonIndex == 0) toStore();  // "btn_no": in as a guest
      break;
    case AlertTag::kConnectionFailure:
      // The base has shown the overlay and connected again (button 0) or exited.
      if (buttonIndex == 0) state_ = State::kConnecting;
      break;
    case AlertTag::kLoginFailure:
      if (buttonIndex != 0) {
        effects_.exit();
      } else {
        effects_.setOverlay(true);
        if (effects_.isConnected()) {
          sendLogin();
        } else {
          state_ = State::kConnecting;
          effects_.connect();
        }
      }
      break;
    case AlertTag::kStatusUnanswered:
      if (buttonIndex == 0) {
        toStore();  // with the number, status unknown
      } else {
        effects_.setOverlay(true);
        sendStatus(pendingMsisdn_);
      }
      break;
    default: break;
  }
}

}  // namespace orv::store
