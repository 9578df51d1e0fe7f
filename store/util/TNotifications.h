#pragma once
// Reports the device's push token to the registration endpoint: one HTTP POST
// of a form to <registerBase>/register/default.aspx. The outcome is only
// logged ("Connection Successful" / "Connection could not be made - <error>");
// nothing is retried or stored.
//
// The form's values are percent-encoded, so a value holding "&", "=" or a
// non-ASCII character arrives as it was instead of breaking the form.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/HttpClient.h"

namespace orv::store {

class TNotifications {
 public:
  TNotifications() = delete;

  // Builds and sends the registration; returns true at once, before any
  // answer. The completion runs on a queue of its own, off the main thread.
  static bool storeDeviceToken(std::span<const uint8_t> token);

  // "packageName=..&versionName=..&versionCode=12&msisdn=&imei=..&regId=..&os=ios&email="
  static std::string registrationBody(std::string_view packageName, std::string_view versionName,
                                      std::string_view imei, std::string_view regId);
  // Lower-case hex, two digits per byte, nothing between.
  static std::string tokenText(std::span<const uint8_t> token);

  // Tests observe when the answer has been logged.
  static void setCompletionObserverForTesting(std::function<void(const HttpResult&)> observer);
};

}  // namespace orv::store
