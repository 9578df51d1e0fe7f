#pragma once
// Parser of the device registration form: an application/x-www-form-urlencoded
// body with the fields packageName, versionName, versionCode, msisdn, imei,
// regId, os and email. Every field must be present exactly once ("msisdn" and
// "email" may be empty; packageName, regId and os may not), versionCode is a
// decimal number, and no value may hold control characters. Unknown fields
// are ignored so that a newer client still registers.

#include <optional>
#include <string>
#include <string_view>

#include "server/store/Catalogue.h"

namespace orv::server {

class DeviceRegistrationForm {
 public:
  // Bodies longer than this are refused: the form is about 200 bytes.
  static constexpr size_t kMaxBodySize = 4096;

  // The registration, or nullopt with `error` set to the reason.
  static std::optional<DeviceRegistration> parse(std::string_view body, std::string& error);

  // Percent-decoding of one form component ('+' is a blank); false on a bad
  // escape.
  static bool decodeComponent(std::string_view in, std::string& out);
};

}  // namespace orv::server
