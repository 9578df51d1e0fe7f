#pragma once
// The second sign-in screen, pushed from inside the store (the menu's sign-in
// row, or "OK" on the sign-in-needed alert): the same lookup, password
// requests, alerts and status request as the first one, but no connect (the
// session is open), the title "ĐĂNG NHẬP", the base's disconnection notices,
// and showHome pops back to the screen it came from.

#include "store/screens/LoginViewController.h"

namespace orv::store {

class LoginViewController2 : public LoginViewController {
  Q_OBJECT
 public:
  explicit LoginViewController2(QWidget* parent = nullptr);

  void dispatchORVEvent(const ORVEventPtr& event) override;
  // Pops itself off the navigation stack.
  void showHome() override;

 protected:
  void viewDidLoad() override;
  void enterStore() override;
};

}  // namespace orv::store
