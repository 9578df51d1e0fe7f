#include "store/screens/LoginViewController.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

#include "client/ORVClient.h"
#include "platform/HttpClient.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/SearchView.h"
#include "store/screens/SignInForm.h"
#include "store/util/MyUtils.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/ScreenRegistry.h"
#include "toolkit/SlidingNavigationStack.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

std::chrono::milliseconds& waitSetting() {
  static std::chrono::milliseconds wait = SignInFlow::kWait;
  return wait;
}

// The home screen until the real one is registered.
class PlaceholderHome : public orv::toolkit::ViewController {
 public:
  PlaceholderHome() { navigationItem()->setTitle(QStringLiteral("Trang chủ")); }
  bool slidingStackShouldDisplayLeftMenu() const override { return true; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(250, 250, 250));
    p.setPen(QColor(19, 102, 203));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Kho Game"));
  }
};

}  // namespace

std::chrono::milliseconds LoginViewController::wait() { return waitSetting(); }
void LoginViewController::setWait(std::chrono::milliseconds wait) { waitSetting() = wait; }

LoginViewController::LoginViewController(QWidget* parent) : LoginViewController(SignInFlow::Variant::kFirst, parent) {}

LoginViewController::LoginViewController(SignInFlow::Variant variant, QWidget* parent)
    : BaseViewController(parent), variant_(variant) {
  setLogTag(variant == SignInFlow::Variant::kFirst ? "LOGIN" : "LOGIN2");
}

LoginViewController::~LoginViewController() {
  cancelHttp();
  if (registered_) removeEventHandler();
}

void LoginViewController::viewDidLoad() {
  BaseViewController::viewDidLoad();
  form_ = new SignInForm(this);
  form_->setGeometry(rect());
  form_->lower();
  form_->show();
  QObject::connect(form_, &SignInForm::getPasswordClicked, this, &LoginViewController::ClickLayMK);
  QObject::connect(form_, &SignInForm::loginClicked, this, &LoginViewController::ClickLogin);
  flow_ = std::make_unique<SignInFlow>(
      variant_, Config::deployment().apiBase, *this,
      [this](std::chrono::milliseconds delay, std::function<void()> task) {
        QTimer::singleShot(delay, this, std::move(task));
      },
      wait());
  dismissKeyboard();
  flow_->loaded();
}

void LoginViewController::dismissKeyboard() {
  if (form_) form_->dismissKeyboard();
}

void LoginViewController::viewDidAppear(bool animated) {
  BaseViewController::viewDidAppear(animated);
  addEventHandler();
  flow_->appeared();
}

void LoginViewController::viewDidDisappear(bool animated) {
  removeEventHandler();
  BaseViewController::viewDidDisappear(animated);
}

void LoginViewController::addEventHandler() {
  if (registered_) return;
  auto client = Config::sharedClient();
  auto handler = messageHandler();
  client->addEventHandler(handler, ORVEventTypeConnection);
  client->addEventHandler(handler, ORVEventTypeLogin);
  try {
    client->addMessageHandler(handler, CatalogueRequests::kStatus);
  } catch (const std::logic_error&) {
    logLine(MyUtils::kError, "a.stt already has a handler");
  }
  registered_ = true;
}

void LoginViewController::removeEventHandler() {
  if (!registered_) return;
  auto client = Config::sharedClient();
  auto handler = messageHandler();
  client->removeEventHandler(handler, ORVEventTypeConnection);
  client->removeEventHandler(handler, ORVEventTypeLogin);
  client->removeMessageHandlerForCommand(CatalogueRequests::kStatus);
  registered_ = false;
}

void LoginViewController::dispatchORVEvent(const ORVEventPtr& event) {
  if (!event || !flow_) return;
  switch (event->type()) {
    case ORVEventTypeConnection: {
      const bool* success = event->parameter<bool>("success");
      flow_->connectionEvent(success && *success);
      break;
    }
    case ORVEventTypeLogin: flow_->loginEvent(); break;
    case ORVEventTypeLoginError: flow_->loginErrorEvent(); break;
    default: break;  // no disconnection notices on the first screen
  }
}

void LoginViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message || !flow_ || message->command() != CatalogueRequests::kStatus) return;
  flow_->statusAnswer(message->int32ForKey("ec"), message->stringForKey("em").value_or(""));
}

void LoginViewController::alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) {
  BaseViewController::alertViewClickedButtonAtIndex(alert, buttonIndex);
  if (flow_) flow_->alertButton(alert.tag(), buttonIndex);
}

void LoginViewController::checkStepOne() { flow_->checkStepOne(); }

void LoginViewController::getOtpToken(const QString& phone) { flow_->clickGetPassword(phone.toStdString()); }

void LoginViewController::checkOtp(const QString& phone, const QString& otp) {
  flow_->clickLogin(phone.toStdString(), otp.toStdString());
}

void LoginViewController::ClickLayMK() { getOtpToken(form_->txtUser()->text()); }

void LoginViewController::ClickLogin() { checkOtp(form_->txtUser()->text(), form_->txtPassword()->text()); }

void LoginViewController::showHome() {
  auto* stack = orv::toolkit::SlidingNavigationStack::sharedInstance();
  auto& screens = orv::toolkit::ScreenRegistry::main();
  if (stack->viewControllers().isEmpty()) {
    orv::toolkit::ViewController* home = screens.create("HomeViewController");
    if (!home) home = new PlaceholderHome;
    stack->setViewControllers({home}, false);
  }
  if (orv::toolkit::ViewController* menu = screens.create("LeftMenuViewController")) stack->setLeftMenu(menu);
  auto* search = orv::toolkit::BarButtonItem::withImage("ic-search", orv::toolkit::BarButtonItem::Style::Plain, stack);
  search->setAction([this] { SearchView(); });
  stack->setRightBarButtonItems({search});
  presentViewController(stack, false);
}

void LoginViewController::SearchView() {
  orv::store::SearchView::open(orv::toolkit::SlidingNavigationStack::sharedInstance());
}

// --- SignInFlow::Effects

void LoginViewController::connect() {
  const StoreDeployment where = Config::deployment();
  Config::sharedClient()->connect(where.sessionHost, where.sessionPort);
}

bool LoginViewController::isConnected() { return Config::sharedClient()->isConnected(); }

void LoginViewController::sendLogin() {
  Config::sharedClient()->sendRequest(ORVRequest::loginRequestWithZone(Config::kZone, "", ""));
}

void LoginViewController::sendStatus(const std::string& msisdn) {
  Config::sharedClient()->sendRequest(CatalogueRequests::status(msisdn));
}

void LoginViewController::httpGet(const std::string& url) {
  cancelHttp();
  QPointer<LoginViewController> self(this);
  orv::HttpExecutor onMain = [self](std::function<void()> task) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [self, task = std::move(task)] { if (self) task(); }, Qt::QueuedConnection);
  };
  orv::HttpRequest request;
  request.url = url;
  request.timeout = wait();
  request.maxBodyBytes = 64 * 1024;  // one short line is expected
  httpRequest_ = orv::HttpClient::shared()->send(std::move(request), std::move(onMain), [self](const orv::HttpResult& result) {
    if (!self || !self->flow_) return;
    self->httpRequest_ = 0;
    if (result.ok) {
      self->flow_->httpAnswered(result.body);
    } else {
      self->flow_->httpFailed(result.error);
    }
  });
}

void LoginViewController::cancelHttp() {
  if (httpRequest_ != 0) orv::HttpClient::shared()->cancel(httpRequest_);
  httpRequest_ = 0;
}

void LoginViewController::setViewState(int state) {
  if (form_) form_->setViewState(state);
}

void LoginViewController::setOverlay(bool shown) {
  if (shown) {
    startAnimation();
  } else {
    stopAnimation();
  }
}

void LoginViewController::showAlert(const AlertSpec& alert) { showAlertSpec(alert, this); }

void LoginViewController::signedIn(const std::string& msisdn) { Config::setMsisdn(msisdn); }

void LoginViewController::statusReceived(int32_t status, const std::string& notify) {
  Config::setMsisdnStatus(status);
  Config::setNotify(notify);
}

void LoginViewController::enterStore() {
  if (presentedViewController()) dismissViewController(true);
  showHome();
}

void LoginViewController::exit() { BaseViewController::exit(); }

void LoginViewController::log(int level, const std::string& text) { logLine(level, text); }

}  // namespace orv::store
