#pragma once
// The guided tour of the store (orv-store --tour DIR): a scripted walk through
// the real screens against whatever servers the deployment names, driven by
// real mouse, wheel and key events. Steps, in order:
//
//   01-signin    the number lookup fails for this address; the form shows
//   02-otp       a number typed, its password requested, read from the
//                server's /dev/otp, typed and checked
//   03-home      banners and sections with their pictures (an offer skipped)
//   04-menu      the side menu open with its categories
//   05-category  the first category's grid
//   06-paging    scrolled until the list ends
//   07-detail    a game's page with gallery and related games
//   08-buy       download pressed: a link for the URL opener, or an offer
//   09-search    a search typed without diacritics finds a title with them
//   10-share     share of a free game from the home screen
//   11-guest     a second run, in a child process, as a guest: the menu's
//                "ĐĂNG NHẬP" row
//
// Each step ends on a condition with a bounded wait (never a fixed sleep).
// A passed step writes DIR/NN-name.png (the window) and appends one line to
// DIR/tour.json: {"step", "screen", "title", "texts", "ms"} (texts: what
// ScreenTexts reads on the window; ms: since the process started). A failed
// step writes DIR/NN-name-failed.png and the run stops there.

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

class QAbstractScrollArea;
class QWidget;

namespace orv::toolkit {
class ViewController;
}

namespace orv::store {

class LoginViewController;
class StoreWindow;

class StoreTour {
 public:
  struct Options {
    QString dir;
    // The number that signs in with a one-time password.
    std::string msisdn = "84912000098";
    // What the search step types, and the bound of every wait.
    QString search = QStringLiteral("dai chien");
    std::chrono::milliseconds wait{20000};
    // Only the guest step (the child run of step 11).
    bool guestOnly = false;
    // The program and arguments of the child run (guestOnly added to them).
    QString program;
    QStringList arguments;
    std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();
  };

  StoreTour(StoreWindow& window, LoginViewController& login, Options options);

  // Runs the steps; 0 when every step passed, else 1 (failure() says why).
  int run();

  // For the memory measurement (orv-store --measure-details N), signed in
  // already: from the home screen opens a game's page, then from each page
  // the first related game's, `count` pages deep, then goes back to the home
  // screen one page at a time. Prints "rss <where> <KiB>" lines: at home
  // before, after each page, and at home after. 0 when it got through.
  int measureDetailPages(int count);
  QString failure() const { return failure_; }

  // Folds a title for comparison: lower case, Vietnamese marks dropped,
  // "đ" read as "d".
  static QString fold(const QString& text);

  // Every picture view on screen under `root` has settled (none loading or
  // fading in) and at least one shows a picture.
  static bool picturesShown(QWidget* root);

 private:
  struct Record {
    QImage picture;
    QString screen;
    QString title;
    QStringList texts;
    qint64 ms = 0;
    QString extraKey, extraValue;
  };

  bool step01Signin();
  bool step02Otp();
  bool step03Home();
  bool step04Menu();
  bool step05Category();
  bool step06Paging();
  bool step07Detail();
  bool step08Buy();
  bool step09Search();
  bool step10Share();
  bool step11Guest();
  bool guestRun();

  // Waits up to the bound for `done`, running `tick` on every turn; false
  // with the reason set when the time ran out.
  bool waitFor(const std::function<bool()>& done, const QString& what, const std::function<void()>& tick = {});
  bool fail(const QString& why);
  bool click(QWidget* widget, const QString& what);
  bool clickAt(QWidget* widget, QPoint pos, const QString& what);
  bool pressAlertButton(int tag, int index);
  bool skipOffer();
  // Turns the wheel over `area` until `done` or the content ends.
  bool wheelUntil(QAbstractScrollArea* area, const std::function<bool()>& done, const QString& what);
  bool homeShown(bool dismissOffer);
  bool detailShown(int depth);
  bool openMenu();

  orv::toolkit::ViewController* topScreen() const;
  void capture(const QString& extraKey = {}, const QString& extraValue = {});
  bool writeRecord(const QString& step);
  void writeFailurePicture(const QString& step);

  StoreWindow& window_;
  QPointer<LoginViewController> login_;
  Options options_;
  QString failure_;
  bool hasCapture_ = false;
  Record capture_;
  std::vector<std::string> opened_;
};

}  // namespace orv::store
