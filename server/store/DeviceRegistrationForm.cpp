#include "server/store/DeviceRegistrationForm.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace orv::server {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::array<std::string_view, 8> kFields{"packageName", "versionName", "versionCode", "msisdn",
                                                  "imei",        "regId",       "os",          "email"};

}  // namespace

bool DeviceRegistrationForm::decodeComponent(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = hexValue(in[i + 1]), lo = hexValue(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return true;
}

std::optional<DeviceRegistration> DeviceRegistrationForm::parse(std::string_view body, std::string& error) {
  if (body.size() > kMaxBodySize) {
    error = "body too large";
    return std::nullopt;
  }
  std::array<std::optional<std::string>, kFields.size()> values;
  size_t start = 0;
  while (start <= body.size()) {
    const size_t end = std::min(body.find('&', start), body.size());
    const std::string_view pair = body.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) {
      if (end == body.size()) break;  // a trailing '&' is harmless
      error = "empty field";
      return std::nullopt;
    }
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      error = "field without '='";
      return std::nullopt;
    }
    std::string name, value;
    if (!decodeComponent(pair.substr(0, eq), name) || !decodeComponent(pair.substr(eq + 1), value)) {
      error = "bad percent escape";
      return std::nullopt;
    }
    for (const unsigned char c : value) {
      if (c < 0x20 || c == 0x7F) {
        error = "control character in " + name;
        return std::nullopt;
      }
    }
    for (size_t k = 0; k < kFields.size(); ++k) {
      if (name != kFields[k]) continue;
      if (values[k]) {
        error = "duplicate field " + name;
        return std::nullopt;
      }
      values[k] = std::move(value);
    }
  }
  for (size_t k = 0; k < kFields.size(); ++k) {
    if (!values[k]) {
      error = "missing field " + std::string(kFields[k]);
      return std::nullopt;
    }
  }
  DeviceRegistration r;
  r.packageName = *values[0];
  r.versionName = *values[1];
  const std::string& code = *values[2];
  const auto [ptr, ec] = std::from_chars(code.data(), code.data() + code.size(), r.versionCode);
  if (code.empty() || ec != std::errc() || ptr != code.data() + code.size() || r.versionCode < 0) {
    error = "versionCode is not a number";
    return std::nullopt;
  }
  r.msisdn = *values[3];
  r.imei = *values[4];
  r.regId = *values[5];
  r.os = *values[6];
  r.email = *values[7];
  if (r.packageName.empty() || r.regId.empty() || r.os.empty()) {
    error = "packageName, regId and os must not be empty";
    return std::nullopt;
  }
  return r;
}

}  // namespace orv::server
