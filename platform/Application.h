#pragma once
// The application services of the phone platform, as this desktop program has
// them:
// - push registration: there is no push service here, so the device token is
//   32 random bytes created once and kept in the device file; the answer (the
//   token or an error) reaches the delegate on the main queue, as a real
//   registration would, some time after the request. Tests can force the
//   error path (for example code 3010);
// - the vendor identifier: a random UUID (upper-case, 8-4-4-4-12), kept in
//   the same device file. The device file is not the settings store: clearing
//   the settings (the sign-in's search button) keeps the device's identity;
// - the system version: the OS's version (VERSION_ID of os-release, else the
//   kernel release), unless the setting "orv.systemVersion" overrides it;
// - the bundle identifier and build version, fixed by the build;
// - open URL through a replaceable opener (desktop services in the Qt shell,
//   a recorder in tests) and exit through a replaceable hook.
// Thread-safe.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orv {

// An error of an application service, printed like the platform prints one:
// Error Domain=<domain> Code=<code> "<description>".
struct ApplicationError {
  std::string domain;
  long code = 0;
  std::string description;
  std::string text() const;
};

// The platform's application delegate; every callback runs on the main queue
// and has an empty default.
class ApplicationDelegate {
 public:
  using LaunchOptions = std::map<std::string, std::string>;
  virtual ~ApplicationDelegate() = default;
  virtual bool didFinishLaunchingWithOptions(const LaunchOptions& options) {
    (void)options;
    return true;
  }
  virtual void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& token) { (void)token; }
  virtual void didFailToRegisterForRemoteNotificationsWithError(const ApplicationError& error) { (void)error; }
  virtual void applicationWillResignActive() {}
  virtual void applicationDidEnterBackground() {}
  virtual void applicationWillEnterForeground() {}
  virtual void applicationDidBecomeActive() {}
  virtual void applicationWillTerminate() {}
};

class Application {
 public:
  // Notification type bits: badge 1, sound 2, alert 4.
  static constexpr uint32_t kNotificationTypeBadge = 1;
  static constexpr uint32_t kNotificationTypeSound = 2;
  static constexpr uint32_t kNotificationTypeAlert = 4;
  // The settings-store key that overrides the system version.
  static constexpr const char* kSystemVersionSetting = "orv.systemVersion";

  // The one application object of the process.
  static Application& shared();

  // --- delegate and launch
  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate);
  std::shared_ptr<ApplicationDelegate> delegate() const;
  // Calls the delegate's didFinishLaunchingWithOptions (on the calling thread,
  // which is the main thread at start-up); false without a delegate.
  bool finishLaunching(const ApplicationDelegate::LaunchOptions& options = {});

  // --- device file (token and vendor identifier)
  // Default: $XDG_CONFIG_HOME/orv-store/device.json (~/.config when unset).
  void useDeviceFile(std::filesystem::path file);
  std::filesystem::path deviceFile() const;
  // Created on first use and kept in the device file; an unreadable or
  // malformed entry is replaced by a fresh one.
  std::vector<uint8_t> deviceToken();
  std::string identifierForVendor();

  // --- push registration
  // The older single call and the settings-then-register pair; each request
  // is recorded ("registerForRemoteNotificationTypes:7",
  // "registerUserNotificationSettings:7", "registerForRemoteNotifications").
  void registerForRemoteNotificationTypes(uint32_t types);
  void registerUserNotificationSettings(uint32_t types);
  void registerForRemoteNotifications();
  std::vector<std::string> pushRegistrationCalls() const;
  // When set, registration answers with this error instead of the token.
  void forcePushRegistrationError(std::optional<ApplicationError> error);

  // --- system and build
  std::string systemVersion() const;
  static std::string operatingSystemVersion();
  static std::string bundleIdentifier();
  static std::string buildVersion();
  // Tests replace what the build fixed (a version holding "&", say); nullopt
  // restores the build's value.
  static void overrideBuildInfoForTesting(std::optional<std::string> bundleIdentifier,
                                          std::optional<std::string> buildVersion);

  // --- open URL and exit
  using UrlOpener = std::function<bool(const std::string& url)>;
  // Empty restores the default (which logs and answers false: a program
  // without a desktop cannot open anything).
  void setUrlOpener(UrlOpener opener);
  bool openURL(const std::string& url);
  using ExitHook = std::function<void(int status)>;
  // Empty restores std::exit.
  void setExitHook(ExitHook hook);
  // Ends the process (or calls the hook in tests).
  void exit(int status);

  // Back to a fresh process's state: no delegate, no recorded calls, no forced
  // error, default opener and exit, device file reread on next use.
  void resetForTesting();

 private:
  Application() = default;
  void loadDevice();  // under mutex_
  void answerRegistration();

  mutable std::mutex mutex_;
  std::shared_ptr<ApplicationDelegate> delegate_;
  std::filesystem::path deviceFile_;
  bool deviceLoaded_ = false;
  std::vector<uint8_t> token_;
  std::string vendorId_;
  std::vector<std::string> pushCalls_;
  std::optional<ApplicationError> forcedError_;
  UrlOpener opener_;
  ExitHook exitHook_;
};

}  // namespace orv
