#pragma once
// Shared set-up of the home and menu suites: a reference server on loopback
// (optionally over a catalogue the suite built) with the shared client
// logged in, and the store window as the sign-in screen presents it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "store/screens/HomeViewController.h"
#include "store/screens/LeftMenuViewController.h"
#include "tests/store/screens/StoreSessionSupport.h"
#include "toolkit/SlidingNavigationStack.h"

namespace orv::test {

// Starts the server (extra options as for LocalReferenceServer), points the
// store at it and logs the shared client in. Empty string on success, else why not.
inline std::string connectStore(std::unique_ptr<LocalReferenceServer>& server,
                                const std::vector<std::string>& options = {}) {
  server = LocalReferenceServer::start(options);
  if (!server) return "server: " + LocalReferenceServer::lastError();
  return connectStore(*server);
}

// A suite that shows the store window: the stack with the home screen first
// and the menu on the left, in a 320 x 568 window.
class StoreWindowTest : public ::testing::Test {
 protected:
  void presentStore() {
    closeStore();
    home_ = new orv::store::HomeViewController;
    stack_ = new orv::toolkit::SlidingNavigationStack;
    window_.reset(stack_);
    menu_ = new orv::store::LeftMenuViewController;
    stack_->setLeftMenu(menu_);
    stack_->resize(320, 568);
    stack_->show();
    // The home screen goes on once the stack has its size (a root given to
    // the constructor keeps the size of the stack's content before layout).
    stack_->setViewControllers({home_}, false);
  }

  // Hides the window first, so its screens disappear as they would on a phone.
  void closeStore() {
    if (window_) window_->hide();
    window_.reset();
  }

  std::unique_ptr<orv::toolkit::SlidingNavigationStack> window_;  // the window
  orv::store::HomeViewController* home_ = nullptr;
  orv::toolkit::SlidingNavigationStack* stack_ = nullptr;
  orv::store::LeftMenuViewController* menu_ = nullptr;
};

}  // namespace orv::test
