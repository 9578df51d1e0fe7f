#include "store/AppDelegate.h"

#include <cstdlib>
#include <string>

#include "platform/Log.h"
#include "store/util/MyUtils.h"
#include "store/util/TNotifications.h"

namespace orv::store {

double AppDelegate::versionNumber(std::string_view text) {
  // Digits, then at most one "." and digits: what reading a version as a
  // float keeps ("10.3.1" reads as 10.3).
  size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  }
  const std::string number(text.substr(0, end));
  return number.empty() || number == "." ? 0.0 : std::strtod(number.c_str(), nullptr);
}

bool AppDelegate::didFinishLaunchingWithOptions(const LaunchOptions& /*options*/) {
  auto& app = Application::shared();
  constexpr uint32_t kTypes =
      Application::kNotificationTypeBadge | Application::kNotificationTypeSound | Application::kNotificationTypeAlert;
  if (versionNumber(app.systemVersion()) >= kSettingsRegistrationVersion) {
    log("AppDelegate::didFinishLaunchingWithOptions", "8.0");
    app.registerUserNotificationSettings(kTypes);
    app.registerForRemoteNotifications();
  } else {
    log("AppDelegate::didFinishLaunchingWithOptions", "<8");
    app.registerForRemoteNotificationTypes(kTypes);
  }
  MyUtils::setSetting("id", "0");
  MyUtils::setSetting("tl", "");
  MyUtils::setSetting("cmd", "hm");
  return true;
}

void AppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& token) {
  TNotifications::storeDeviceToken(token);
}

void AppDelegate::didFailToRegisterForRemoteNotificationsWithError(const ApplicationError& error) {
  if (error.code == kPushNotSupportedCode) {
    log("AppDelegate::didFailToRegisterForRemoteNotificationsWithError",
        "Push notifications are not supported in the iOS Simulator.");
  } else {
    log("AppDelegate::didFailToRegisterForRemoteNotificationsWithError",
        "application:didFailToRegisterForRemoteNotificationsWithError: " + error.text());
  }
}

}  // namespace orv::store
