#include "platform/Application.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <regex>

#include "platform/RunLoopMainQueue.h"
#include "platform/SettingsStore.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-app-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    app.resetForTesting();
    app.useDeviceFile(dir / "device.json");
    orv::SettingsStore::useStandardFile(dir / "settings.json");
  }
  void TearDown() override {
    app.resetForTesting();
    orv::setMainQueue(nullptr);
    fs::remove_all(dir);
  }

  orv::Application& app = orv::Application::shared();
  fs::path dir;
};

TEST_F(ApplicationTest, DeviceTokenAndVendorIdAreCreatedOnceAndKeptInTheDeviceFile) {
  const auto token = app.deviceToken();
  const auto vendor = app.identifierForVendor();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_TRUE(std::regex_match(vendor, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
      << vendor;
  // A later run reads them back; clearing the settings store does not touch them.
  orv::SettingsStore::standard()->removeAll();
  app.resetForTesting();
  app.useDeviceFile(dir / "device.json");
  EXPECT_EQ(app.deviceToken(), token);
  EXPECT_EQ(app.identifierForVendor(), vendor);

  // A damaged entry is replaced, the intact one kept.
  auto file = orv::SettingsStore::open(dir / "device.json");
  file->set("token", "not hex");
  app.useDeviceFile(dir / "device.json");
  const auto fresh = app.deviceToken();
  EXPECT_EQ(fresh.size(), 32u);
  EXPECT_NE(fresh, token);
  EXPECT_EQ(app.identifierForVendor(), vendor);

  // Another device file is another device.
  app.useDeviceFile(dir / "other.json");
  EXPECT_NE(app.identifierForVendor(), vendor);
}

struct RecordingDelegate : orv::ApplicationDelegate {
  std::vector<std::vector<uint8_t>> tokens;
  std::vector<orv::ApplicationError> errors;
  void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& token) override {
    tokens.push_back(token);
  }
  void didFailToRegisterForRemoteNotificationsWithError(const orv::ApplicationError& error) override {
    errors.push_back(error);
  }
};

TEST_F(ApplicationTest, RegistrationAnswersLaterOnTheMainQueueWithTheTokenOrTheForcedError) {
  auto main = std::make_shared<orv::RunLoopMainQueue>();
  orv::setMainQueue(main);
  auto delegate = std::make_shared<RecordingDelegate>();
  app.setDelegate(delegate);

  app.registerUserNotificationSettings(7);
  app.registerForRemoteNotifications();
  EXPECT_TRUE(delegate->tokens.empty());  // not before the main queue runs
  main->runUntilIdle();
  ASSERT_EQ(delegate->tokens.size(), 1u);
  EXPECT_EQ(delegate->tokens[0], app.deviceToken());

  app.forcePushRegistrationError(orv::ApplicationError{"push", 3010, "not here"});
  app.registerForRemoteNotificationTypes(7);
  main->runUntilIdle();
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0].text(), "Error Domain=push Code=3010 \"not here\"");
  EXPECT_EQ(app.pushRegistrationCalls(),
            (std::vector<std::string>{"registerUserNotificationSettings:7", "registerForRemoteNotifications",
                                      "registerForRemoteNotificationTypes:7"}));
}

TEST_F(ApplicationTest, SystemVersionFromTheOsUnlessTheSettingOverridesIt) {
  const std::string os = orv::Application::operatingSystemVersion();
  EXPECT_FALSE(os.empty());
  EXPECT_EQ(app.systemVersion(), os);
  orv::SettingsStore::standard()->set(orv::Application::kSystemVersionSetting, "7.1");
  EXPECT_EQ(app.systemVersion(), "7.1");
  EXPECT_FALSE(orv::Application::bundleIdentifier().empty());
  EXPECT_FALSE(orv::Application::buildVersion().empty());
}

}  // namespace
