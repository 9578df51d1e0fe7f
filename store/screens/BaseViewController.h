#pragma once
// The base of the store's plain screens. It connects a screen to the shared
// session while the screen is visible:
// - at load: the progress overlay over the screen (hidden until startAnimation);
// - after appearing: registered for the events ConnectionLost, ConnectionRetry,
//   ConnectionResume, LoginError and Logout (in that order), removed again
//   after disappearing;
// - every event and message is handed from the library's queues to the main
//   thread in the order received (messageHandler() is what screens register
//   for their own commands);
// - a lost connection shows the notice for its reason (one at a time);
// - "a.reg" and "a.stt" answers update the subscription status and show
//   their alerts; alert buttons act by tag (999 exit, 997 reconnect/exit,
//   996 subscribe, 995 second sign-in screen).
// Everything runs on the main thread.

#include <QString>
#include <memory>
#include <string>

#include "client/ORVEvent.h"
#include "store/session/MainQueueHandoff.h"
#include "store/session/ServerNoticePolicy.h"
#include "toolkit/AlertView.h"
#include "toolkit/ProgressOverlay.h"
#include "toolkit/ViewController.h"

namespace orv::store {

class BaseViewController : public orv::toolkit::ViewController,
                           public MainQueueHandoff::Receiver,
                           public orv::toolkit::AlertViewDelegate,
                           public orv::toolkit::ProgressOverlayDelegate {
  Q_OBJECT
 public:
  explicit BaseViewController(QWidget* parent = nullptr);
  ~BaseViewController() override;

  // Session traffic, on the main thread.
  void dispatchORVEvent(const ORVEventPtr& event) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) override;

  virtual void startAnimation();
  virtual void stopAnimation();
  // Nothing here; the sign-in screens give it its meaning.
  virtual void showHome();
  // The back button of the screens pushed after this one.
  void setBackButton(const QString& title);

  orv::toolkit::ProgressOverlay* overlay() const { return hud_; }
  // The object to register with the shared client for this screen's
  // commands; a fresh one after every disappearance.
  std::shared_ptr<MainQueueHandoff> messageHandler();
  const std::string& logTag() const { return logTag_; }

  // Alerts titled "Thông báo": one "Ok" button, no delegate, tag 0.
  static orv::toolkit::AlertView* showAlert(const QString& message);
  // One "Thoát" button, the given delegate and tag.
  static orv::toolkit::AlertView* showAlertWithDelegate(orv::toolkit::AlertViewDelegate* delegate,
                                                        const QString& message, int tag);
  // Two buttons: button0 (index 0, cancel) and button1.
  static orv::toolkit::AlertView* showAlertWithDelegate(orv::toolkit::AlertViewDelegate* delegate,
                                                        const QString& message, int tag, const QString& button0,
                                                        const QString& button1);
  static orv::toolkit::AlertView* showAlertSpec(const AlertSpec& spec, orv::toolkit::AlertViewDelegate* delegate);
  // Disconnects the shared client, then ends the process with status 0
  // (through the platform's exit, which tests replace).
  static void exit();

 protected:
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void resizeEvent(QResizeEvent* event) override;

  virtual ScreenBase screenBase() const { return ScreenBase::kPlain; }
  void setLogTag(std::string tag) { logTag_ = std::move(tag); }
  void logLine(int level, const std::string& message) const;
  // Pushes a new screen of the registered `identifier` onto this screen's
  // navigation controller (without one, the new screen is dropped).
  void pushScreen(const char* identifier);

 private:
  orv::toolkit::ProgressOverlay* hud_ = nullptr;
  std::shared_ptr<MainQueueHandoff> handoff_;
  bool eventsRegistered_ = false;
  std::string logTag_ = "BASE";
};

}  // namespace orv::store
