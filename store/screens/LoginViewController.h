#pragma once
// The first screen: opens the session (connect, zone login), finds the
// subscriber's number (lookup by the connection, or a one-time password for
// a typed number), asks "a.stt" and enters the store, or lets the user in as
// a guest. The decisions are SignInFlow's; this screen shows the form,
// alerts and overlay, runs the HTTP requests and talks to the session.
// Every wait is bounded (wait(), 15 s by default), so the user always ends
// in the form or at an alert with a way on.

#include <chrono>
#include <memory>

#include "store/screens/BaseViewController.h"
#include "store/session/SignInFlow.h"

namespace orv::toolkit {
class BarButtonItem;
}

namespace orv::store {

class SignInForm;

class LoginViewController : public BaseViewController, public SignInFlow::Effects {
  Q_OBJECT
 public:
  explicit LoginViewController(QWidget* parent = nullptr);
  ~LoginViewController() override;

  void dispatchORVEvent(const ORVEventPtr& event) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) override;
  // Presents the store: side menu, search button, the sliding stack over this screen.
  void showHome() override;

  void dismissKeyboard();
  void checkStepOne();
  void getOtpToken(const QString& phone);
  void checkOtp(const QString& phone, const QString& otp);
  // The search button's action.
  void SearchView();
  void ClickLayMK();
  void ClickLogin();

  SignInForm* form() const { return form_; }
  const SignInFlow* flow() const { return flow_.get(); }

  // How long a request may stay unanswered (tests shorten it).
  static std::chrono::milliseconds wait();
  static void setWait(std::chrono::milliseconds wait);

 protected:
  LoginViewController(SignInFlow::Variant variant, QWidget* parent);
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void addEventHandler();
  void removeEventHandler();

  // SignInFlow::Effects
  void connect() override;
  bool isConnected() override;
  void sendLogin() override;
  void sendStatus(const std::string& msisdn) override;
  void httpGet(const std::string& url) override;
  void cancelHttp() override;
  void setViewState(int state) override;
  void setOverlay(bool shown) override;
  void showAlert(const AlertSpec& alert) override;
  void signedIn(const std::string& msisdn) override;
  void statusReceived(int32_t status, const std::string& notify) override;
  void enterStore() override;
  void exit() override;
  void log(int level, const std::string& text) override;

  std::unique_ptr<SignInFlow> flow_;

 private:
  SignInFlow::Variant variant_;
  SignInForm* form_ = nullptr;
  uint64_t httpRequest_ = 0;
  bool registered_ = false;
};

}  // namespace orv::store
