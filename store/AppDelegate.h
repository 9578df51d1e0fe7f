#pragma once
// The store's application delegate: at launch it asks for push registration
// the way the system version calls for and resets the navigation parameters
// ("id" = "0", "tl" = "", "cmd" = "hm"); the device token goes to
// TNotifications, a refused registration is only logged. The other
// application callbacks do nothing: the session is neither paused nor closed
// in the background.

#include <memory>

#include "platform/Application.h"

namespace orv::store {

class AppDelegate : public ApplicationDelegate {
 public:
  // The system version from which the settings-then-register path is used.
  static constexpr double kSettingsRegistrationVersion = 8.0;
  // The platform's "push not supported here" error code.
  static constexpr long kPushNotSupportedCode = 3010;

  bool didFinishLaunchingWithOptions(const LaunchOptions& options) override;
  void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& token) override;
  void didFailToRegisterForRemoteNotificationsWithError(const ApplicationError& error) override;

  // The main window, held strongly; the shell sets it (an opaque pointer so
  // the logic stays free of the toolkit).
  std::shared_ptr<void> window() const { return window_; }
  void setWindow(std::shared_ptr<void> window) { window_ = std::move(window); }

  // The leading number of a version text ("12", "7.1", "10.3.1" -> 10.3),
  // 0 when there is none.
  static double versionNumber(std::string_view text);

 private:
  std::shared_ptr<void> window_;
};

}  // namespace orv::store
