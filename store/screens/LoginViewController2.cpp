#include "store/screens/LoginViewController2.h"

#include "toolkit/NavigationController.h"

namespace orv::store {

LoginViewController2::LoginViewController2(QWidget* parent)
    : LoginViewController(SignInFlow::Variant::kSecond, parent) {}

void LoginViewController2::viewDidLoad() {
  LoginViewController::viewDidLoad();
  navigationItem()->setTitle(QStringLiteral("ĐĂNG NHẬP"));
  setBackButton(QStringLiteral(""));  // screens pushed from here show the arrow alone
}

void LoginViewController2::dispatchORVEvent(const ORVEventPtr& event) {
  // The session is already open: only the base's notices.
  BaseViewController::dispatchORVEvent(event);
}

void LoginViewController2::enterStore() { showHome(); }

void LoginViewController2::showHome() {
  if (auto* stack = navigationController()) stack->popViewController(true);
}

}  // namespace orv::store
