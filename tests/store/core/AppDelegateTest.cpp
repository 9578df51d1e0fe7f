#include "store/AppDelegate.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/RunLoopMainQueue.h"
#include "server/store/Catalogue.h"
#include "store/Config.h"
#include "store/util/TNotifications.h"
#include "tests/store/core/StoreCoreFixture.h"
#include "tests/support/LocalReferenceServer.h"
#include "tests/support/LogCapture.h"

namespace {

using namespace std::chrono_literals;
using orv::store::AppDelegate;

class AppDelegateTest : public orv::test::StoreCoreFixture {
 protected:
  void SetUp() override {
    StoreCoreFixture::SetUp();
    orv::setMainQueue(main);
    app.setDelegate(delegate);
  }
  // Launches with the system version set, runs what the main queue received.
  void launch(const std::string& version, orv::ApplicationDelegate::LaunchOptions options = {}) {
    orv::SettingsStore::standard()->set(orv::Application::kSystemVersionSetting, version);
    EXPECT_TRUE(app.finishLaunching(options));
    main->runUntilIdle();
  }

  std::shared_ptr<orv::RunLoopMainQueue> main = std::make_shared<orv::RunLoopMainQueue>();
  std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
  orv::Application& app = orv::Application::shared();
};

TEST_F(AppDelegateTest, NavigationParametersAreResetWhateverAnEarlierRunLeft) {
  {
    auto earlier = orv::SettingsStore::open(settingsFile);
    earlier->set("cmd", "cnt.fin");
    earlier->set("id", "12");
    earlier->set("tl", "Đua xe");
    earlier->set("pri", "5000");
  }
  app.forcePushRegistrationError(orv::ApplicationError{"push", 1, "off"});  // no HTTP here
  orv::SettingsStore::useStandardFile(settingsFile);                     // a new run reads the file again
  launch("12", {{"remoteNotification", "{\"aps\":{}}"}});
  const auto after = orv::SettingsStore::open(settingsFile);
  EXPECT_EQ(after->value("cmd"), "hm");
  EXPECT_EQ(after->value("id"), "0");
  EXPECT_EQ(after->get("tl"), std::optional<std::string>(""));
  EXPECT_EQ(after->value("pri"), "5000");  // not a navigation parameter
}

TEST_F(AppDelegateTest, SystemVersionChoosesTheRegistrationPath) {
  app.forcePushRegistrationError(orv::ApplicationError{"push", 1, "off"});
  const std::vector<std::string> older = {"registerForRemoteNotificationTypes:7"};
  const std::vector<std::string> newer = {"registerUserNotificationSettings:7", "registerForRemoteNotifications"};
  const std::vector<std::pair<std::string, bool>> cases = {
      {"7.1", false}, {"7.9.9", false}, {"beta", false}, {"8.0", true}, {"8", true}, {"10.3.1", true}, {"12", true}};
  for (const auto& [version, settingsPath] : cases) {
    app.resetForTesting();
    app.setDelegate(delegate);
    app.forcePushRegistrationError(orv::ApplicationError{"push", 1, "off"});
    orv::test::LogCapture log;
    launch(version);
    EXPECT_EQ(app.pushRegistrationCalls(), settingsPath ? newer : older) << version;
    EXPECT_TRUE(log.containsText(settingsPath ? "8.0" : "<8")) << version;
  }
  // Without the setting, the OS's own version decides.
  app.resetForTesting();
  orv::SettingsStore::standard()->remove(orv::Application::kSystemVersionSetting);
  EXPECT_TRUE(app.systemVersion() == orv::Application::operatingSystemVersion());
}

TEST_F(AppDelegateTest, Error3010GivesTheSimulatorLineOtherCodesTheGenericOne) {
  orv::test::LogCapture log;
  app.forcePushRegistrationError(orv::ApplicationError{"NSCocoaErrorDomain", 3010, "no push here"});
  launch("12");
  EXPECT_TRUE(log.containsText("Push notifications are not supported in the iOS Simulator.")) << log.lines().size();
  log.clear();
  app.forcePushRegistrationError(orv::ApplicationError{"NSCocoaErrorDomain", 3000, "no valid entitlement"});
  launch("12");
  EXPECT_TRUE(log.containsText("application:didFailToRegisterForRemoteNotificationsWithError: "
                               "Error Domain=NSCocoaErrorDomain Code=3000 \"no valid entitlement\""));
  EXPECT_FALSE(log.containsText("Push notifications are not supported in the iOS Simulator."));
}

// The whole path: launch, the token reaches the delegate on the main queue,
// TNotifications posts the form, the reference server stores it.
TEST_F(AppDelegateTest, TokenFromLaunchReachesTheRegistrationServer) {
  auto* server = sharedServer();
  ASSERT_TRUE(server) << orv::test::LocalReferenceServer::lastError();
  const size_t before = server->server().catalogue()->deviceRegistrations().size();
  auto deployment = orv::store::Config::deployment();
  deployment.registerBase = server->httpBase();
  orv::store::Config::setDeployment(deployment);

  std::mutex m;
  std::condition_variable cv;
  bool answered = false;
  orv::store::TNotifications::setCompletionObserverForTesting([&](const orv::HttpResult&) {
    std::lock_guard lock(m);
    answered = true;
    cv.notify_all();
  });
  orv::test::LogCapture log;
  launch("12");
  {
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, 10s, [&] { return answered; }));
  }
  orv::store::TNotifications::setCompletionObserverForTesting(nullptr);
  EXPECT_TRUE(log.containsText("Connection Successful"));
  const auto stored = server->server().catalogue()->deviceRegistrations();
  ASSERT_EQ(stored.size(), before + 1);
  EXPECT_EQ(stored.back().regId, orv::store::TNotifications::tokenText(app.deviceToken()));
  EXPECT_EQ(stored.back().imei, app.identifierForVendor());
  EXPECT_EQ(stored.back().packageName, orv::Application::bundleIdentifier());
  EXPECT_EQ(stored.back().versionName, orv::Application::buildVersion());
  orv::store::Config::setDeployment({});
}

}  // namespace
