// The two sign-in screens and the screen bases on the offscreen platform,
// against reference servers started here: what the user sees (form, alerts,
// overlay, the store presented) and what the servers received.

#include "store/screens/LoginViewController.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <thread>

#include "client/ORVClient.h"
#include "platform/Application.h"
#include "platform/HttpClient.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/BaseTableViewController.h"
#include "store/screens/LoginViewController2.h"
#include "store/screens/SignInForm.h"
#include "tests/support/FaultProxy.h"
#include "tests/store/screens/StoreSessionSupport.h"
#include "tests/support/LocalReferenceServer.h"
#include "toolkit/AlertView.h"
#include "toolkit/NavigationController.h"
#include "toolkit/SlidingNavigationStack.h"
#include "wire/ORVRequest.h"
#include "tests/support/ScreenshotFolder.h"

namespace {

using namespace std::chrono_literals;
using orv::store::Config;
using orv::store::LoginViewController;
using orv::toolkit::AlertView;

// A sign-in API of our own for answers the reference server never gives: a
// fixed body, or no answer until released.
class ScriptedApi {
 public:
  ScriptedApi() {
    server_.Get("/api.ashx", [this](const httplib::Request& req, httplib::Response& res) {
      requests_.fetch_add(1);
      std::unique_lock lock(mutex_);
      released_.wait(lock, [this] { return !silent_ || stopping_; });
      res.set_content(body_, "text/plain");
      (void)req;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~ScriptedApi() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    released_.notify_all();
    server_.stop();
    thread_.join();
  }
  void answer(std::string body) {
    {
      std::lock_guard lock(mutex_);
      body_ = std::move(body);
      silent_ = false;
    }
    released_.notify_all();
  }
  void beSilent() {
    std::lock_guard lock(mutex_);
    silent_ = true;
  }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_.load(); }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::string body_ = "1|";
  bool silent_ = false;
  bool stopping_ = false;
  std::atomic<int> requests_{0};
};

std::string httpGet(const std::string& url) {
  std::promise<orv::HttpResult> done;
  orv::HttpClient::shared()->get(url, [](std::function<void()> task) { task(); },
                                 [&](const orv::HttpResult& result) { done.set_value(result); });
  return done.get_future().get().body;
}

class SignInScreensTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    recognising_ = orv::test::LocalReferenceServer::start({"--msisdn-for", "127.0.0.1=84912000001"}).release();
    plain_ = orv::test::LocalReferenceServer::start().release();
    api_ = new ScriptedApi;
  }
  static void TearDownTestSuite() {
    delete api_;
    delete plain_;
    delete recognising_;
  }

  void SetUp() override {
    ASSERT_TRUE(recognising_ && plain_) << orv::test::LocalReferenceServer::lastError();
    char pattern[] = "/tmp/orv-signin-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    orv::SettingsStore::useStandardFile(dir_ / "settings.json");
    orv::Application::shared().setExitHook([this](int status) { exits_.push_back(status); });
    Config::resetSessionState();
    useServers(*recognising_, recognising_->httpBase());
    LoginViewController::setWait(1500ms);
  }
  void TearDown() override {
    AlertView::discardAll();
    delete screen_;
    delete stack_;
    screen_ = nullptr;
    Config::sharedClient()->disconnect();
    ASSERT_TRUE(QTest::qWaitFor([] { return !Config::sharedClient()->isConnected(); }, 5000));
    QTest::qWait(50);  // events of the disconnection reach nobody
    orv::Application::shared().setExitHook({});
    std::filesystem::remove_all(dir_);
  }

  static void useServers(orv::test::LocalReferenceServer& session, const std::string& apiBase,
                         uint16_t port = 0) {
    orv::store::StoreDeployment where;
    where.sessionHost = "127.0.0.1";
    where.sessionPort = port ? port : session.sessionPort();
    where.apiBase = apiBase;
    Config::setDeployment(where);
  }

  // The first sign-in screen as the window.
  LoginViewController* showFirst() {
    screen_ = new LoginViewController;
    screen_->resize(320, 568);
    AlertView::setHostWindow(screen_);
    screen_->show();
    return static_cast<LoginViewController*>(screen_.data());
  }
  static bool alertShown(int tag) {
    return QTest::qWaitFor([tag] { return AlertView::visibleAlert() && AlertView::visibleAlert()->tag() == tag; },
                           8000);
  }
  static QString alertText() { return AlertView::visibleAlert() ? AlertView::visibleAlert()->message() : QString(); }
  bool storePresented() {
    return QTest::qWaitFor([this] { return screen_ && screen_->presentedViewController(); }, 8000);
  }
  static void type(QLineEdit* field, const QString& text) {
    field->clear();
    QTest::keyClicks(field, text);
  }
  void grab(const char* name) {
    const auto folder = orv::test::screenshotFolder();
    QWidget* window = screen_->window();
    ASSERT_TRUE(window->grab().save(QString::fromStdString((folder / name).string())));
  }

  static inline orv::test::LocalReferenceServer* recognising_ = nullptr;
  static inline orv::test::LocalReferenceServer* plain_ = nullptr;
  static inline ScriptedApi* api_ = nullptr;
  QPointer<orv::toolkit::ViewController> screen_;
  QPointer<orv::toolkit::NavigationController> stack_;
  std::filesystem::path dir_;
  std::vector<int> exits_;
};

TEST_F(SignInScreensTest, ARecognisedConnectionSignsInWithNoTypingAndPresentsTheStore) {
  LoginViewController* screen = showFirst();
  EXPECT_FALSE(screen->form()->areControlsVisible());
  EXPECT_TRUE(screen->overlay()->isShowing());
  ASSERT_TRUE(storePresented());
  EXPECT_EQ(Config::getMsisdn(), "84912000001");
  EXPECT_EQ(Config::getMsisdnStatus(), 1);  // the server's status of that exact number
  EXPECT_FALSE(Config::getNotify().empty());
  EXPECT_FALSE(screen->form()->areControlsVisible());
  EXPECT_EQ(AlertView::visibleAlert(), nullptr);

  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  ASSERT_TRUE(stack);
  EXPECT_EQ(screen->presentedViewController(), stack);
  ASSERT_TRUE(stack->rootViewController());
  ASSERT_EQ(stack->rightBarButtonItems().size(), 1);
  // The search button clears the settings and leaves only "cmd" = "cnt.fin".
  orv::SettingsStore::standard()->set("tl", "Hành động");
  stack->rightBarButtonItems()[0]->trigger();
  EXPECT_EQ(orv::SettingsStore::standard()->all(),
            (std::map<std::string, std::string, std::less<>>{{"cmd", "cnt.fin"}}));
}

TEST_F(SignInScreensTest, LookupFailureThenPasswordStepsSignInTheAnswersNumber) {
  useServers(*plain_, plain_->httpBase());
  LoginViewController* screen = showFirst();
  ASSERT_TRUE(alertShown(897));
  EXPECT_EQ(alertText().toStdString(), orv::localizedString("error_msisdn_lookup"));
  EXPECT_EQ(screen->form()->viewState(), 2);
  EXPECT_TRUE(screen->form()->areControlsVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen->overlay()->isFinished(); }, 3000));
  grab("signin-alert.png");
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(1));  // "OK": stay in the form

  orv::store::SignInForm* form = screen->form();
  QTest::mouseClick(form->btnLayMk(), Qt::LeftButton);
  ASSERT_TRUE(alertShown(0));
  EXPECT_EQ(alertText(), QStringLiteral("Bạn chưa nhập số điện thoại"));
  AlertView::pressVisibleAlertButton(0);

  const std::string number = "84912000456";
  type(form->txtUser(), QString::fromStdString(number));
  QTest::mouseClick(form->btnLogin(), Qt::LeftButton);
  ASSERT_TRUE(alertShown(0));
  EXPECT_EQ(alertText(), QStringLiteral("Bạn chưa nhập mật khẩu"));
  AlertView::pressVisibleAlertButton(0);

  QTest::mouseClick(form->btnLayMk(), Qt::LeftButton);
  ASSERT_TRUE(alertShown(0));
  EXPECT_EQ(alertText().toStdString(), orv::localizedString("otp_send"));
  EXPECT_EQ(form->viewState(), 3);
  AlertView::pressVisibleAlertButton(0);
  const std::string password = httpGet(plain_->httpBase() + "/dev/otp?msisdn=" + number);
  ASSERT_EQ(password.size(), 6u);

  type(form->txtPassword(), password == "000000" ? "111111" : "000000");
  QTest::mouseClick(form->btnLogin(), Qt::LeftButton);
  ASSERT_TRUE(alertShown(899));
  EXPECT_EQ(alertText().toStdString(), orv::localizedString("login_failure"));
  AlertView::pressVisibleAlertButton(1);

  type(form->txtPassword(), QString::fromStdString(password));
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen->overlay()->isFinished(); }, 3000));
  grab("signin-form.png");
  QTest::mouseClick(form->btnLogin(), Qt::LeftButton);
  ASSERT_TRUE(storePresented());
  EXPECT_EQ(Config::getMsisdn(), number);
  EXPECT_EQ(Config::getMsisdnStatus(), 99);  // a number the server has no subscription for
}

TEST_F(SignInScreensTest, TypedTextThatWouldRewriteTheQueryIsOneValue) {
  useServers(*plain_, plain_->httpBase());
  LoginViewController* screen = showFirst();
  ASSERT_TRUE(alertShown(897));
  AlertView::pressVisibleAlertButton(1);
  const std::string number = "84912000457";
  ASSERT_EQ(httpGet(plain_->httpBase() + "/api.ashx?type=getotp&msisdn=" + number), "0|");
  const std::string password = httpGet(plain_->httpBase() + "/dev/otp?msisdn=" + number);
  // Sent raw, this "number" would carry the right password past the wrong one.
  type(screen->form()->txtUser(), QString::fromStdString(number + "&otp=" + password));
  type(screen->form()->txtPassword(), password == "000000" ? "111111" : "000000");
  QTest::mouseClick(screen->form()->btnLogin(), Qt::LeftButton);
  ASSERT_TRUE(alertShown(899));
  EXPECT_EQ(Config::getMsisdn(), "");
}

TEST_F(SignInScreensTest, GuestButtonAndAnswersWithoutBarEnterAsGuest) {
  useServers(*plain_, api_->base());
  api_->answer("0");  // no "|": a failure
  showFirst();
  ASSERT_TRUE(alertShown(897));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));  // "btn_no"
  ASSERT_TRUE(storePresented());
  EXPECT_EQ(Config::getMsisdn(), "");
  EXPECT_EQ(Config::getMsisdnStatus(), 0);
}

TEST_F(SignInScreensTest, ConnectionFailureOffersRetryThatConnectsAndExitThatEnds) {
  useServers(*recognising_, recognising_->httpBase(), 1);  // nothing listens on port 1
  showFirst();
  ASSERT_TRUE(alertShown(997));
  EXPECT_EQ(alertText().toStdString(), orv::localizedString("sys_noservices"));
  EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(0).toStdString(), orv::localizedString("btn_retry"));
  useServers(*recognising_, recognising_->httpBase());
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  ASSERT_TRUE(storePresented());
  EXPECT_EQ(Config::getMsisdn(), "84912000001");
  EXPECT_TRUE(exits_.empty());

  AlertView::discardAll();
  delete screen_;
  Config::sharedClient()->disconnect();
  ASSERT_TRUE(QTest::qWaitFor([] { return !Config::sharedClient()->isConnected(); }, 5000));
  useServers(*recognising_, recognising_->httpBase(), 1);
  showFirst();
  ASSERT_TRUE(alertShown(997));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(1));
  EXPECT_EQ(exits_, std::vector<int>{0});
}

TEST_F(SignInScreensTest, SilentApiAndUnansweredStatusEndInTheFormOrAnAlertWithAWayOn) {
  // The lookup never answers: the form and 897 after the wait.
  useServers(*plain_, api_->base());
  api_->beSilent();
  LoginViewController* screen = showFirst();
  ASSERT_TRUE(alertShown(897));
  EXPECT_TRUE(screen->form()->areControlsVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !screen->overlay()->isShowing(); }, 3000));
  api_->answer("0|84912000001");
  AlertView::discardAll();
  delete screen_;
  Config::sharedClient()->disconnect();
  ASSERT_TRUE(QTest::qWaitFor([] { return !Config::sharedClient()->isConnected(); }, 5000));

  // The status answer is held back in the network past the wait: alert 895,
  // whose first button goes into the store with the number.
  orv::test::FaultProxy proxy(recognising_->sessionPort());
  useServers(*recognising_, api_->base(), proxy.port());
  api_->beSilent();
  const int before = api_->requests();
  showFirst();
  ASSERT_TRUE(QTest::qWaitFor([&] { return api_->requests() > before; }, 5000));  // logged in, looking up
  proxy.setDelay(4000ms);
  api_->answer("0|84912000001");
  ASSERT_TRUE(alertShown(895)) << (AlertView::visibleAlert() ? AlertView::visibleAlert()->tag() : -1);
  EXPECT_EQ(AlertView::visibleAlert()->numberOfButtons(), 2);
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  ASSERT_TRUE(storePresented());
  EXPECT_EQ(Config::getMsisdn(), "84912000001");
  proxy.setDelay(0ms);
  AlertView::discardAll();
  delete screen_;
  Config::sharedClient()->disconnect();
  ASSERT_TRUE(QTest::qWaitFor([] { return !Config::sharedClient()->isConnected(); }, 5000));

  // A server that serves another zone refuses the login: alert 896, retry/exit.
  auto otherZone = orv::test::LocalReferenceServer::start({"--no-store", "--zone", "other"});
  ASSERT_TRUE(otherZone);
  useServers(*otherZone, api_->base());
  showFirst();
  ASSERT_TRUE(alertShown(896));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(1));
  EXPECT_EQ(exits_, std::vector<int>{0});
}

// Session events and answers handed to a screen as the client hands them:
// through the screen's registered handler, from another thread.
void deliver(orv::store::BaseViewController& screen, std::function<void(orv::store::MainQueueHandoff&)> call) {
  auto handoff = screen.messageHandler();
  std::thread([&] { call(*handoff); }).join();
}
ORVEventPtr lost(int32_t reason) { return ORVEvent::eventWithType(ORVEventTypeConnectionLost, {{"reason", reason}}); }

TEST_F(SignInScreensTest, DisconnectionNoticesOnlyOnTheSecondScreenOneAtATime) {
  LoginViewController* first = showFirst();
  ASSERT_TRUE(storePresented());
  deliver(*first, [](auto& h) { h.handleEvent(lost(3)); });
  QTest::qWait(100);
  EXPECT_EQ(AlertView::visibleAlert(), nullptr) << "the first sign-in screen shows no notice";

  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  auto* second = new orv::store::LoginViewController2;
  stack->pushViewController(second, false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return second->isAppearing(); }, 3000));
  EXPECT_EQ(second->navigationItem()->title(), QStringLiteral("ĐĂNG NHẬP"));
  // It looks the number up at once, without connecting, and pops back.
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack->topViewController() != second; }, 8000));

  // From here on lookups hang, so each second screen stays up for its notice.
  useServers(*recognising_, api_->base());
  api_->beSilent();
  LoginViewController::setWait(60s);
  const std::vector<std::pair<int32_t, std::string>> reasons{
      {2, "msg_idle"}, {3, "msg_kick"}, {4, "msg_ban"}, {5, "msg_force_logout"}, {9, "system_error"}};
  for (const auto& [reason, key] : reasons) {
    Config::setIsShowingDialog(false);
    auto* screen = new orv::store::LoginViewController2;
    stack->pushViewController(screen, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->isAppearing(); }, 3000));
    deliver(*screen, [r = reason](auto& h) {
      h.handleEvent(lost(0));
      h.handleEvent(lost(1));
      h.handleEvent(lost(r));
      h.handleEvent(lost(r));
    });
    ASSERT_TRUE(alertShown(999)) << reason;
    EXPECT_EQ(alertText().toStdString(), orv::localizedString(key));
    EXPECT_EQ(AlertView::queuedAlerts().size(), 0) << "two notices in a row show one";
    ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));  // "Thoát"
    EXPECT_EQ(exits_.back(), 0);
    AlertView::discardAll();
    stack->popViewController(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stack->topViewController() != screen; }, 8000));
  }
  api_->answer("1|");
  EXPECT_EQ(exits_.size(), reasons.size());
}

TEST_F(SignInScreensTest, StatusAndRegistrationAnswersOnBothBases) {
  showFirst();
  ASSERT_TRUE(storePresented());
  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  auto client = Config::sharedClient();
  using orv::store::CatalogueRequests;

  for (bool table : {false, true}) {
    orv::store::BaseViewController* screen =
        table ? new orv::store::BaseTableViewController : new orv::store::BaseViewController;
    stack->pushViewController(screen, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->isAppearing(); }, 3000));
    client->addMessageHandler(screen->messageHandler(), CatalogueRequests::kStatus);
    client->addMessageHandler(screen->messageHandler(), CatalogueRequests::kSubscribe);

    struct Case {
      std::string number;
      int32_t status;
      std::vector<QString> buttons;
    };
    const Case cases[] = {{"84912000001", 1, {"Ok"}},
                          {"84912000098", 98, {"Bỏ qua", "Gia hạn"}},
                          {"84912000099", 99, {"Bỏ qua", "Đăng ký"}}};
    for (const Case& c : cases) {
      client->sendRequest(CatalogueRequests::status(c.number));
      ASSERT_TRUE(alertShown(c.status == 1 ? 0 : 996)) << c.number;
      EXPECT_EQ(Config::getMsisdnStatus(), c.status);
      ASSERT_EQ(AlertView::visibleAlert()->numberOfButtons(), static_cast<int>(c.buttons.size()));
      for (size_t i = 0; i < c.buttons.size(); ++i) {
        EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(static_cast<int>(i)), c.buttons[i]);
      }
      AlertView::pressVisibleAlertButton(0);  // "Bỏ qua" sends nothing
      ASSERT_TRUE(QTest::qWaitFor([] { return !AlertView::visibleAlert(); }, 3000));
    }

    // The offer's second button subscribes the signed-in number: no "ec".
    Config::setMsisdn(table ? "84912000611" : "84912000610");
    Config::setMsisdnStatus(99);
    orv::store::BaseViewController::showAlertWithDelegate(screen, "Mời đăng ký", 996, "Bỏ qua", "Đăng ký");
    ASSERT_TRUE(alertShown(996));
    AlertView::pressVisibleAlertButton(1);
    EXPECT_TRUE(screen->overlay()->isShowing());
    ASSERT_TRUE(alertShown(0));
    EXPECT_EQ(Config::getMsisdnStatus(), 1);
    AlertView::pressVisibleAlertButton(0);
    ASSERT_TRUE(QTest::qWaitFor([] { return !AlertView::visibleAlert(); }, 3000));

    // Without a number the server refuses ("ec" = 1).
    Config::setMsisdnStatus(42);
    client->sendRequest(CatalogueRequests::subscribe(""));
    ASSERT_TRUE(alertShown(0));
    EXPECT_EQ(Config::getMsisdnStatus(), table ? 99 : 1);
    AlertView::discardAll();
    client->removeMessageHandlerForCommand(CatalogueRequests::kStatus);
    client->removeMessageHandlerForCommand(CatalogueRequests::kSubscribe);
    stack->popViewController(false);
    QTest::qWait(20);
  }
}

}  // namespace

int main(int argc, char** argv) {
  return orv::test::runScreenSuite(argc, argv, ORV_SOURCE_DIR, [] { return RUN_ALL_TESTS(); });
}
