#include "store/screens/BaseViewController.h"

#include <QResizeEvent>

#include "client/ORVClient.h"
#include "platform/Application.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/GuiMainQueue.h"
#include "store/util/MyUtils.h"
#include "toolkit/NavigationController.h"
#include "toolkit/ScreenRegistry.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

constexpr int32_t kBaseEvents[] = {ORVEventTypeConnectionLost, ORVEventTypeConnectionRetry,
                                   ORVEventTypeConnectionResume, ORVEventTypeLoginError, ORVEventTypeLogout};

}  // namespace

BaseViewController::BaseViewController(QWidget* parent) : ViewController(parent) {}

BaseViewController::~BaseViewController() {
  if (handoff_) handoff_->detach();
  if (eventsRegistered_) {
    auto client = Config::sharedClient();
    for (int32_t type : kBaseEvents) client->removeEventHandler(handoff_, type);
  }
}

void BaseViewController::logLine(int level, const std::string& message) const {
  MyUtils::log(level, logTag_, message);
}

std::shared_ptr<MainQueueHandoff> BaseViewController::messageHandler() {
  if (!handoff_ || !handoff_->isAttached()) {
    GuiMainQueue::installIfNone();
    handoff_ = MainQueueHandoff::create(*this);
  }
  return handoff_;
}

void BaseViewController::viewDidLoad() {
  ViewController::viewDidLoad();
  hud_ = new orv::toolkit::ProgressOverlay(this);
  hud_->setDelegate(this);
  hud_->setGeometry(rect());
  // Out of the way (and out of screenshots) while nothing is loading.
  QObject::connect(hud_, &orv::toolkit::ProgressOverlay::wasHidden, hud_, [hud = hud_] { hud->QWidget::hide(); });
}

void BaseViewController::resizeEvent(QResizeEvent* event) {
  ViewController::resizeEvent(event);
  if (hud_) {
    hud_->setGeometry(rect());
    hud_->raise();
  }
}

void BaseViewController::viewDidAppear(bool animated) {
  ViewController::viewDidAppear(animated);
  auto client = Config::sharedClient();
  auto handler = messageHandler();
  if (!eventsRegistered_) {
    for (int32_t type : kBaseEvents) client->addEventHandler(handler, type);
    eventsRegistered_ = true;
  }
}

void BaseViewController::viewDidDisappear(bool animated) {
  ViewController::viewDidDisappear(animated);
  if (eventsRegistered_) {
    auto client = Config::sharedClient();
    for (int32_t type : kBaseEvents) client->removeEventHandler(handoff_, type);
    eventsRegistered_ = false;
  }
  // Whatever is still on its way to this screen is dropped.
  if (handoff_) handoff_->detach();
  handoff_.reset();
}

void BaseViewController::startAnimation() {
  if (!hud_) return;
  hud_->setGeometry(rect());
  hud_->raise();
  hud_->QWidget::show();
  hud_->show(true);
}

void BaseViewController::stopAnimation() {
  if (hud_) hud_->hide(true);
}

void BaseViewController::showHome() {}

void BaseViewController::pushScreen(const char* identifier) {
  auto* next = orv::toolkit::ScreenRegistry::main().create(identifier);
  if (!next) return;
  if (auto* nav = navigationController()) {
    nav->pushViewController(next, true);
  } else {
    next->deleteLater();
  }
}

void BaseViewController::setBackButton(const QString& title) { navigationItem()->setBackButtonTitle(title); }

void BaseViewController::dispatchORVEvent(const ORVEventPtr& event) {
  if (!event) return;
  if (screenBase() == ScreenBase::kTable) logLine(MyUtils::kInfo, "EVENT");
  if (event->type() != ORVEventTypeConnectionLost) return;
  const int32_t* reason = event->parameter<int32_t>("reason");
  bool showing = Config::isShowingDialog();
  auto notice = ServerNoticePolicy::disconnectionNotice(reason ? *reason : 0, showing);
  Config::setIsShowingDialog(showing);
  if (notice) showAlertSpec(*notice, this);
}

void BaseViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  logLine(MyUtils::kInfo, message->command());
  const ORVDataObject& content = *message->content();
  if (message->command() == CatalogueRequests::kSubscribe) {
    stopAnimation();
    showAlertSpec(ServerNoticePolicy::registrationAlert(content), nullptr);
    Config::setMsisdnStatus(ServerNoticePolicy::statusAfterRegistration(content, screenBase()));
  } else if (message->command() == CatalogueRequests::kStatus) {
    stopAnimation();
    Config::setMsisdnStatus(content.int32ForKey("ec"));
    AlertSpec alert = ServerNoticePolicy::statusAlert(content);
    showAlertSpec(alert, alert.tag == AlertTag::kSubscriptionOffer ? this : nullptr);
  }
}

void BaseViewController::alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) {
  if (alert.tag() == AlertTag::kConnectionFailure) Config::setIsShowingDialog(false);
  switch (ServerNoticePolicy::actionFor(alert.tag(), buttonIndex, screenBase())) {
    case AlertAction::kExit: exit(); break;
    case AlertAction::kReconnect: {
      startAnimation();
      const StoreDeployment where = Config::deployment();
      Config::sharedClient()->connect(where.sessionHost, where.sessionPort);
      break;
    }
    case AlertAction::kSubscribe:
      startAnimation();
      Config::sharedClient()->sendRequest(CatalogueRequests::subscribe(Config::getMsisdn()));
      break;
    case AlertAction::kOpenSecondSignIn: {
      auto* screen = orv::toolkit::ScreenRegistry::main().create("LoginViewController2");
      auto* stack = navigationController();
      if (screen && stack) {
        stack->pushViewController(screen, true);
      } else {
        delete screen;
      }
      break;
    }
    default: break;
  }
}

orv::toolkit::AlertView* BaseViewController::showAlertSpec(const AlertSpec& spec,
                                                           orv::toolkit::AlertViewDelegate* delegate) {
  QStringList others;
  for (size_t i = 1; i < spec.buttons.size(); ++i) others << QString::fromStdString(spec.buttons[i]);
  auto* alert = new orv::toolkit::AlertView(QString::fromStdString(spec.title), QString::fromStdString(spec.message),
                                            delegate,
                                            spec.buttons.empty() ? QString() : QString::fromStdString(spec.buttons[0]),
                                            others);
  alert->setTag(spec.tag);
  alert->show();
  return alert;
}

orv::toolkit::AlertView* BaseViewController::showAlert(const QString& message) {
  return showAlertSpec(ServerNoticePolicy::plainAlert(message.toStdString()), nullptr);
}

orv::toolkit::AlertView* BaseViewController::showAlertWithDelegate(orv::toolkit::AlertViewDelegate* delegate,
                                                                   const QString& message, int tag) {
  return showAlertSpec(AlertSpec{"Thông báo", message.toStdString(), {"Thoát"}, tag}, delegate);
}

orv::toolkit::AlertView* BaseViewController::showAlertWithDelegate(orv::toolkit::AlertViewDelegate* delegate,
                                                                   const QString& message, int tag,
                                                                   const QString& button0, const QString& button1) {
  return showAlertSpec(AlertSpec{"Thông báo", message.toStdString(), {button0.toStdString(), button1.toStdString()},
                                 tag},
                       delegate);
}

void BaseViewController::exit() {
  Config::sharedClient()->disconnect();
  orv::Application::shared().exit(0);
}

}  // namespace orv::store
