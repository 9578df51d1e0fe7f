#include "store/session/SignInApi.h"

#include "platform/HttpClient.h"

namespace orv::store {
namespace {

std::string api(std::string_view base) {
  std::string url(base);
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url + "/api.ashx?type=";
}

}  // namespace

std::string SignInApi::lookupUrl(std::string_view base) { return api(base) + "getmsisdn"; }

std::string SignInApi::otpRequestUrl(std::string_view base, std::string_view phone) {
  return api(base) + "getotp&msisdn=" + orv::percentEncode(phone);
}

std::string SignInApi::otpCheckUrl(std::string_view base, std::string_view phone, std::string_view otp) {
  return api(base) + "checkotp&msisdn=" + orv::percentEncode(phone) + "&otp=" + orv::percentEncode(otp);
}

}  // namespace orv::store
