#pragma once
// An alert shown inside the application window: a title, a message and one
// or more buttons. Button 0 is the cancel button (when a cancel title is
// given); the other titles follow in order. The integer `tag` lets the
// delegate tell its alerts apart. Pressing a button dismisses the alert and
// calls the delegate's alertViewClickedButtonAtIndex with the button's index.
//
// Alerts queue: `show` on an alert while another is visible waits until the
// visible one is dismissed, then appears; alerts appear in the order shown.
// The alert covers the host window (dimmed) with a centred card; the host is
// the window set with setHostWindow, else the active window, else the first
// visible top-level widget; with none the alert is a window of its own.
//
// The alert deletes itself after its button was handled. The delegate is not
// owned: when it is a QObject (a screen) that is destroyed before the press,
// it is not called.

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QPushButton;
class QLabel;
class QFrame;

namespace orv::toolkit {

class AlertView;

class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  virtual void alertViewClickedButtonAtIndex(AlertView& alert, int buttonIndex) {
    (void)alert;
    (void)buttonIndex;
  }
};

class AlertView : public QWidget {
  Q_OBJECT
 public:
  // An empty cancelTitle means no cancel button: the other titles then
  // start at index 0.
  AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
            const QString& cancelTitle, const QStringList& otherTitles = {});
  ~AlertView() override;

  QString title() const { return title_; }
  QString message() const { return message_; }
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  AlertViewDelegate* delegate() const;
  void setDelegate(AlertViewDelegate* delegate);
  // Also called with the pressed index, after the delegate.
  void setClickedHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

  int numberOfButtons() const { return buttonTitles_.size(); }
  QString buttonTitleAtIndex(int index) const;
  int cancelButtonIndex() const { return hasCancel_ ? 0 : -1; }
  // The button widget of an index (nullptr before the alert is on screen).
  QPushButton* buttonAtIndex(int index) const;

  // Queues the alert; it appears now when no other alert is visible.
  // (Hides QWidget::show on purpose: an alert is always shown this way.)
  void show();
  bool isVisibleAlert() const;
  // Dismisses as a press of that button would (delegate called).
  void dismissWithClickedButtonIndex(int index);

  // The alert on screen now, or nullptr; alerts waiting behind it.
  static AlertView* visibleAlert();
  static QList<AlertView*> queuedAlerts();
  // Test convenience: presses button `index` of the visible alert with a
  // real mouse click; false when no alert or no such button.
  static bool pressVisibleAlertButton(int index);
  // The window alerts appear in (nullptr: chosen at show time).
  static void setHostWindow(QWidget* window);
  // Removes every alert, visible or queued, without calling delegates.
  static void discardAll();

 signals:
  void clicked(int buttonIndex);
  void appearedOnScreen();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void present();
  void build();
  void layoutCard();
  void buttonPressed(int index);
  QString title_;
  QString message_;
  QStringList buttonTitles_;
  bool hasCancel_ = false;
  int tag_ = 0;
  AlertViewDelegate* delegate_ = nullptr;
  QPointer<QObject> delegateGuard_;
  bool delegateIsObject_ = false;
  std::function<void(int)> handler_;
  QFrame* card_ = nullptr;
  QList<QPushButton*> buttons_;
  bool handled_ = false;
  QPointer<QWidget> host_;
};

}  // namespace orv::toolkit
