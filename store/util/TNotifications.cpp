#include "store/util/TNotifications.h"

#include <memory>
#include <mutex>

#include "platform/Application.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "store/Config.h"

namespace orv::store {
namespace {

std::mutex& observerMutex() {
  static std::mutex m;
  return m;
}
std::function<void(const HttpResult&)>& observer() {
  static std::function<void(const HttpResult&)> f;
  return f;
}

}  // namespace

std::string TNotifications::tokenText(std::span<const uint8_t> token) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(token.size() * 2);
  for (const uint8_t b : token) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  return out;
}

std::string TNotifications::registrationBody(std::string_view packageName, std::string_view versionName,
                                             std::string_view imei, std::string_view regId) {
  // percentEncode leaves only ASCII letters, digits and "-_.~", so the body is
  // ASCII whatever the values hold.
  return "packageName=" + percentEncode(packageName) + "&versionName=" + percentEncode(versionName) +
         "&versionCode=12&msisdn=&imei=" + percentEncode(imei) + "&regId=" + percentEncode(regId) +
         "&os=ios&email=";
}

bool TNotifications::storeDeviceToken(std::span<const uint8_t> token) {
  auto& app = Application::shared();
  HttpRequest request;
  request.method = "POST";
  request.url = Config::deployment().registerBase + "/register/default.aspx";
  request.body = registrationBody(Application::bundleIdentifier(), Application::buildVersion(),
                                  app.identifierForVendor(), tokenText(token));
  request.headers = {{"Content-Length", std::to_string(request.body.size())},
                     {"Content-Type", "application/x-www-form-urlencoded"}};
  auto queue = DispatchQueue::serial("TNotifications");
  HttpClient::shared()->send(std::move(request), executorFor(queue), [](const HttpResult& result) {
    if (result.ok) {
      log("TNotifications::storeDeviceToken", "Connection Successful");
    } else {
      log("TNotifications::storeDeviceToken", "Connection could not be made - " + result.error);
    }
    std::function<void(const HttpResult&)> notify;
    {
      std::lock_guard lock(observerMutex());
      notify = observer();
    }
    if (notify) notify(result);
  });
  return true;
}

void TNotifications::setCompletionObserverForTesting(std::function<void(const HttpResult&)> f) {
  std::lock_guard lock(observerMutex());
  observer() = std::move(f);
}

}  // namespace orv::store
