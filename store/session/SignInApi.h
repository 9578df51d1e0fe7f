#pragma once
// The three GET requests of the sign-in API, made from its base URL
// ("http://host:port"):
//   step 0  /api.ashx?type=getmsisdn
//   step 1  /api.ashx?type=getotp&msisdn=<phone>
//   step 2  /api.ashx?type=checkotp&msisdn=<phone>&otp=<password>
// The typed phone number and password are percent-encoded, so what the user
// typed reaches the server as one value and cannot add or change parameters
// ("1&type=getmsisdn" typed as a number stays a number).

#include <string>
#include <string_view>

namespace orv::store {

class SignInApi {
 public:
  SignInApi() = delete;

  static std::string lookupUrl(std::string_view base);
  static std::string otpRequestUrl(std::string_view base, std::string_view phone);
  static std::string otpCheckUrl(std::string_view base, std::string_view phone, std::string_view otp);
};

}  // namespace orv::store
