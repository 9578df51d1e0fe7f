#include "store/util/TNotifications.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/DispatchQueue.h"
#include "server/store/Catalogue.h"
#include "store/Config.h"
#include "tests/store/core/StoreCoreFixture.h"
#include "tests/support/LocalReferenceServer.h"
#include "tests/support/LogCapture.h"

namespace {

using namespace std::chrono_literals;
using orv::store::TNotifications;

class TNotificationsTest : public orv::test::StoreCoreFixture {
 protected:
  void TearDown() override {
    TNotifications::setCompletionObserverForTesting(nullptr);
    orv::store::Config::setDeployment({});
    StoreCoreFixture::TearDown();
  }
  void pointAt(const std::string& base) {
    auto d = orv::store::Config::deployment();
    d.registerBase = base;
    orv::store::Config::setDeployment(d);
  }
  // Sends the token and waits for the completion; the label of the queue
  // that ran it.
  std::string sendAndWait(std::vector<uint8_t> token) {
    std::mutex m;
    std::condition_variable cv;
    std::optional<std::string> label;
    TNotifications::setCompletionObserverForTesting([&](const orv::HttpResult&) {
      std::lock_guard lock(m);
      label = orv::DispatchQueue::currentLabel();
      cv.notify_all();
    });
    EXPECT_TRUE(TNotifications::storeDeviceToken(token));
    std::unique_lock lock(m);
    EXPECT_TRUE(cv.wait_for(lock, 10s, [&] { return label.has_value(); }));
    TNotifications::setCompletionObserverForTesting(nullptr);
    return label.value_or("");
  }
};

TEST_F(TNotificationsTest, BodyHasTheFieldsInOrderWithEveryValueEncoded) {
  EXPECT_EQ(TNotifications::tokenText(std::vector<uint8_t>{0x0a, 0xff}), "0aff");
  EXPECT_EQ(TNotifications::registrationBody("vn.orvik.store", "1.0 & b=2", "0A1B2C3D-0000-4000-8000-00000000000F",
                                             "0aff"),
            "packageName=vn.orvik.store&versionName=1.0%20%26%20b%3D2&versionCode=12&msisdn="
            "&imei=0A1B2C3D-0000-4000-8000-00000000000F&regId=0aff&os=ios&email=");
  // Non-ASCII travels as UTF-8 escapes, never lossily.
  EXPECT_TRUE(TNotifications::registrationBody("p", "bản 2", "i", "r")
                  .starts_with("packageName=p&versionName=b%E1%BA%A3n%202&versionCode=12&"));
}

TEST_F(TNotificationsTest, ReferenceServerReceivesTheRegistrationWithValuesIntact) {
  auto* server = sharedServer();
  ASSERT_TRUE(server) << orv::test::LocalReferenceServer::lastError();
  const size_t before = server->server().catalogue()->deviceRegistrations().size();
  pointAt(server->httpBase());
  orv::Application::overrideBuildInfoForTesting("vn.orvik.store", "2.1 & beta=3");
  orv::test::LogCapture log;
  const std::string label = sendAndWait({0x0a, 0xff});
  EXPECT_EQ(label, "TNotifications");  // its own queue, not the caller's
  EXPECT_TRUE(log.containsText("Connection Successful"));
  const auto stored = server->server().catalogue()->deviceRegistrations();
  ASSERT_EQ(stored.size(), before + 1);
  EXPECT_EQ(stored.back().packageName, "vn.orvik.store");
  EXPECT_EQ(stored.back().versionName, "2.1 & beta=3");
  EXPECT_EQ(stored.back().versionCode, 12);
  EXPECT_EQ(stored.back().msisdn, "");
  EXPECT_EQ(stored.back().imei, orv::Application::shared().identifierForVendor());
  EXPECT_EQ(stored.back().regId, "0aff");
  EXPECT_EQ(stored.back().os, "ios");
  EXPECT_EQ(stored.back().email, "");
}

TEST_F(TNotificationsTest, UnreachableServerIsOnlyLogged) {
  pointAt("http://127.0.0.1:" + std::to_string(freedPort()));
  orv::test::LogCapture log;
  sendAndWait({1, 2, 3});
  bool logged = false;
  for (const auto& text : log.texts()) logged = logged || text.starts_with("Connection could not be made - ");
  EXPECT_TRUE(logged);
}

}  // namespace
