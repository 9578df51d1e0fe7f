#include "platform/Application.h"

#include <stdlib.h>
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <utility>

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SettingsStore.h"

#ifndef ORV_BUNDLE_IDENTIFIER
#define ORV_BUNDLE_IDENTIFIER "vn.orvik.store"
#endif
#ifndef ORV_BUILD_VERSION
#define ORV_BUILD_VERSION "0"
#endif

namespace orv {
namespace {

constexpr const char* kTokenKey = "token";
constexpr const char* kVendorKey = "vendorId";
constexpr size_t kTokenBytes = 32;

// Beside the settings, in a file of its own: removing the settings domain
// must not change the device's identity.
std::filesystem::path defaultDeviceFile() { return SettingsStore::configFolder() / "device.json"; }

std::vector<uint8_t> randomBytes(size_t count) {
  std::random_device device;  // the kernel's random source on Linux
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(device() & 0xFF);
  return bytes;
}

std::string hexLower(const std::vector<uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  return out;
}

std::optional<std::vector<uint8_t>> parseHex(std::string_view text, size_t bytes) {
  if (text.size() != bytes * 2) return std::nullopt;
  std::vector<uint8_t> out;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = digit(text[i]);
    const int lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return out;
}

// A random (version 4) UUID in upper-case 8-4-4-4-12 form.
std::string newUuid() {
  auto b = randomBytes(16);
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 0x0F];
  }
  return out;
}

bool isUuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

void postToMain(std::function<void()> task) {
  if (auto queue = mainQueue()) {
    queue->post(std::move(task));
  } else {
    task();
  }
}

}  // namespace

std::string ApplicationError::text() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + description + "\"";
}

Application& Application::shared() {
  static Application* app = new Application();  // never destroyed: used until exit
  return *app;
}

void Application::setDelegate(std::shared_ptr<ApplicationDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<ApplicationDelegate> Application::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_;
}

bool Application::finishLaunching(const ApplicationDelegate::LaunchOptions& options) {
  const auto d = delegate();
  return d ? d->didFinishLaunchingWithOptions(options) : false;
}

void Application::useDeviceFile(std::filesystem::path file) {
  std::lock_guard lock(mutex_);
  deviceFile_ = std::move(file);
  deviceLoaded_ = false;
}

std::filesystem::path Application::deviceFile() const {
  std::lock_guard lock(mutex_);
  return deviceFile_.empty() ? defaultDeviceFile() : deviceFile_;
}

void Application::loadDevice() {
  if (deviceLoaded_) return;
  const auto file = deviceFile_.empty() ? defaultDeviceFile() : deviceFile_;
  auto store = SettingsStore::open(file);
  const auto token = parseHex(store->value(kTokenKey), kTokenBytes);
  const std::string vendor = store->value(kVendorKey);
  token_ = token ? *token : randomBytes(kTokenBytes);
  vendorId_ = isUuid(vendor) ? vendor : newUuid();
  if (!token) store->set(kTokenKey, hexLower(token_));
  if (!isUuid(vendor)) store->set(kVendorKey, vendorId_);
  deviceLoaded_ = true;
}

std::vector<uint8_t> Application::deviceToken() {
  std::lock_guard lock(mutex_);
  loadDevice();
  return token_;
}

std::string Application::identifierForVendor() {
  std::lock_guard lock(mutex_);
  loadDevice();
  return vendorId_;
}

void Application::registerForRemoteNotificationTypes(uint32_t types) {
  {
    std::lock_guard lock(mutex_);
    pushCalls_.push_back("registerForRemoteNotificationTypes:" + std::to_string(types));
  }
  answerRegistration();
}

void Application::registerUserNotificationSettings(uint32_t types) {
  std::lock_guard lock(mutex_);
  pushCalls_.push_back("registerUserNotificationSettings:" + std::to_string(types));
}

void Application::registerForRemoteNotifications() {
  {
    std::lock_guard lock(mutex_);
    pushCalls_.push_back("registerForRemoteNotifications");
  }
  answerRegistration();
}

std::vector<std::string> Application::pushRegistrationCalls() const {
  std::lock_guard lock(mutex_);
  return pushCalls_;
}

void Application::forcePushRegistrationError(std::optional<ApplicationError> error) {
  std::lock_guard lock(mutex_);
  forcedError_ = std::move(error);
}

// The answer comes later, on the main queue, as the platform's does.
void Application::answerRegistration() {
  std::optional<ApplicationError> error;
  std::vector<uint8_t> token;
  {
    std::lock_guard lock(mutex_);
    error = forcedError_;
    if (!error) {
      loadDevice();
      token = token_;
    }
  }
  postToMain([this, error = std::move(error), token = std::move(token)] {
    const auto d = delegate();
    if (!d) return;
    if (error) {
      d->didFailToRegisterForRemoteNotificationsWithError(*error);
    } else {
      d->didRegisterForRemoteNotificationsWithDeviceToken(token);
    }
  });
}

std::string Application::systemVersion() const {
  const auto overridden = SettingsStore::standard()->get(kSystemVersionSetting);
  if (overridden && !overridden->empty()) return *overridden;
  return operatingSystemVersion();
}

std::string Application::operatingSystemVersion() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.starts_with("VERSION_ID=")) continue;
      std::string value = line.substr(11);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) value = value.substr(1, value.size() - 2);
      if (!value.empty()) return value;
    }
  }
  utsname name{};
  if (uname(&name) == 0) return name.release;
  return "0";
}

namespace {
struct BuildInfoOverride {
  std::mutex mutex;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> buildVersion;
};
BuildInfoOverride& buildInfoOverride() {
  static BuildInfoOverride o;
  return o;
}
}  // namespace

std::string Application::bundleIdentifier() {
  auto& o = buildInfoOverride();
  std::lock_guard lock(o.mutex);
  return o.bundleIdentifier.value_or(ORV_BUNDLE_IDENTIFIER);
}

std::string Application::buildVersion() {
  auto& o = buildInfoOverride();
  std::lock_guard lock(o.mutex);
  return o.buildVersion.value_or(ORV_BUILD_VERSION);
}

void Application::overrideBuildInfoForTesting(std::optional<std::string> bundleIdentifier,
                                              std::optional<std::string> buildVersion) {
  auto& o = buildInfoOverride();
  std::lock_guard lock(o.mutex);
  o.bundleIdentifier = std::move(bundleIdentifier);
  o.buildVersion = std::move(buildVersion);
}

void Application::setUrlOpener(UrlOpener opener) {
  std::lock_guard lock(mutex_);
  opener_ = std::move(opener);
}

bool Application::openURL(const std::string& url) {
  UrlOpener opener;
  {
    std::lock_guard lock(mutex_);
    opener = opener_;
  }
  if (opener) return opener(url);
  log("Application::openURL", "no way to open " + url);
  return false;
}

void Application::setExitHook(ExitHook hook) {
  std::lock_guard lock(mutex_);
  exitHook_ = std::move(hook);
}

void Application::exit(int status) {
  ExitHook hook;
  {
    std::lock_guard lock(mutex_);
    hook = exitHook_;
  }
  if (hook) {
    hook(status);
    return;
  }
  std::fflush(nullptr);
  std::exit(status);
}

void Application::resetForTesting() {
  std::lock_guard lock(mutex_);
  delegate_.reset();
  pushCalls_.clear();
  forcedError_.reset();
  opener_ = nullptr;
  exitHook_ = nullptr;
  deviceLoaded_ = false;
}

}  // namespace orv
