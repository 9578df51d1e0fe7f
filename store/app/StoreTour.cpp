#include "store/app/StoreTour.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <future>

#include "platform/Application.h"
#include "platform/HttpClient.h"
#include "store/Config.h"
#include "store/app/ScreenTexts.h"
#include "store/app/StoreWindow.h"
#include "store/models/SubscriptionOffer.h"
#include "store/screens/GameDetailViewController.h"
#include "store/screens/GameGridViewController.h"
#include "store/screens/GridGameCell.h"
#include "store/screens/GridGameCell2.h"
#include "store/screens/HomeViewController.h"
#include "store/screens/LazyCellView.h"
#include "store/screens/LeftMenuViewController.h"
#include "store/screens/LoginViewController.h"
#include "store/screens/OtherGame.h"
#include "store/screens/ShareSheet.h"
#include "store/screens/SignInForm.h"
#include "store/session/ServerNoticePolicy.h"
#include "toolkit/AlertView.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/NavigationBar.h"
#include "toolkit/ProgressOverlay.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/Toolbar.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {
namespace {

using orv::toolkit::AlertView;
using orv::toolkit::SlidingNavigationStack;

// Wheel turns before a scroll is given up (a list of a few hundred games
// needs far fewer).
constexpr int kMaxWheelTurns = 400;
// How long a picture waits for waiting overlays to finish fading out; a
// request still running after that is pictured with its overlay.
constexpr int kOverlaySettleMs = 3000;

QString className(const QObject* object) {
  QString name = QString::fromLatin1(object->metaObject()->className());
  return name.mid(name.lastIndexOf(':') + 1);
}

QString alertText() {
  AlertView* alert = AlertView::visibleAlert();
  return alert ? alert->message() : QString();
}

int alertTag() {
  AlertView* alert = AlertView::visibleAlert();
  return alert ? alert->tag() : -1;
}

// The navigation title: the item's title, else the text of its title view.
QString titleOf(orv::toolkit::ViewController* screen) {
  if (!screen) return {};
  const QString title = screen->navigationItem()->title();
  if (!title.isEmpty()) return title;
  if (QWidget* view = screen->navigationItem()->titleView()) {
    if (auto* label = qobject_cast<QLabel*>(view)) return label->text();
    if (auto* label = view->findChild<QLabel*>()) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(view)) return edit->text();
    if (auto* edit = view->findChild<QLineEdit*>()) return edit->text();
  }
  return {};
}

SlidingNavigationStack* storeStack() { return SlidingNavigationStack::existingInstance(); }

}  // namespace

StoreTour::StoreTour(StoreWindow& window, LoginViewController& login, Options options)
    : window_(window), login_(&login), options_(std::move(options)) {}

QString StoreTour::fold(const QString& text) {
  const QString decomposed = text.toLower().normalized(QString::NormalizationForm_D);
  QString out;
  for (QChar c : decomposed) {
    if (c.category() == QChar::Mark_NonSpacing) continue;
    out += (c == QChar(0x0111)) ? QChar('d') : c;
  }
  return out;
}

int StoreTour::run() {
  QDir().mkpath(options_.dir);
  if (!options_.guestOnly) {
    // A fresh report; the child run of the last step appends to it.
    QDir dir(options_.dir);
    dir.remove("tour.json");
    for (const QString& old : dir.entryList({"[0-9][0-9]-*.png"}, QDir::Files)) dir.remove(old);
  }
  // What the store hands the platform to open is recorded, not opened.
  orv::Application::shared().setUrlOpener([this](const std::string& url) {
    opened_.push_back(url);
    return true;
  });
  struct Step {
    const char* name;
    bool (StoreTour::*run)();
  };
  const std::vector<Step> steps = options_.guestOnly
      ? std::vector<Step>{{"11-guest", &StoreTour::guestRun}}
      : std::vector<Step>{{"01-signin", &StoreTour::step01Signin}, {"02-otp", &StoreTour::step02Otp},
                          {"03-home", &StoreTour::step03Home},     {"04-menu", &StoreTour::step04Menu},
                          {"05-category", &StoreTour::step05Category}, {"06-paging", &StoreTour::step06Paging},
                          {"07-detail", &StoreTour::step07Detail}, {"08-buy", &StoreTour::step08Buy},
                          {"09-search", &StoreTour::step09Search}, {"10-share", &StoreTour::step10Share},
                          {"11-guest", &StoreTour::step11Guest}};
  for (const Step& step : steps) {
    hasCapture_ = false;
    failure_.clear();
    const bool ok = (this->*step.run)();
    if (!ok) {
      writeFailurePicture(step.name);
      failure_ = QStringLiteral("%1: %2").arg(QString::fromLatin1(step.name), failure_);
      return 1;
    }
    // The child run of step 11 wrote its own record.
    if (QString::fromLatin1(step.name) == "11-guest" && !options_.guestOnly) continue;
    if (!writeRecord(step.name)) return 1;
  }
  return 0;
}

// --- steps

bool StoreTour::step01Signin() {
  auto* form = login_->form();
  if (!waitFor([&] { return alertTag() == AlertTag::kLookupFailure || login_->presentedViewController(); },
               "the number lookup to fail and the sign-in form to show"))
    return false;
  if (login_->presentedViewController())
    return fail("the sign-in API recognised this address, so there is no form to show; "
                "run the tour against a server that does not recognise it");
  if (!form->areControlsVisible()) return fail("the lookup failed but the form's controls are hidden");
  return true;
}

bool StoreTour::step02Otp() {
  auto* form = login_->form();
  if (!pressAlertButton(AlertTag::kLookupFailure, 1)) return false;  // "OK": stay for the form
  if (!waitFor([] { return !AlertView::visibleAlert(); }, "the lookup alert to close")) return false;
  if (!click(form->txtUser(), "the phone field")) return false;
  QTest::keyClicks(form->txtUser(), QString::fromStdString(options_.msisdn));
  if (!click(form->btnLayMk(), "the get-password button")) return false;
  if (!waitFor([] { return AlertView::visibleAlert() != nullptr; }, "the answer to the password request"))
    return false;
  if (alertTag() != AlertTag::kPlain) return fail("the password was not sent: " + alertText());
  if (!pressAlertButton(AlertTag::kPlain, 0)) return false;

  // The password the server sent, from its page for demonstrations.
  const std::string url = Config::deployment().apiBase + "/dev/otp?msisdn=" + options_.msisdn;
  std::promise<orv::HttpResult> answered;
  auto answer = answered.get_future();
  orv::HttpClient::shared()->get(url, [](std::function<void()> task) { task(); },
                                 [&answered](const orv::HttpResult& result) { answered.set_value(result); });
  if (!waitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
               "the password from " + QString::fromStdString(url)))
    return false;
  const orv::HttpResult result = answer.get();
  const QString password = QString::fromStdString(result.body).trimmed();
  if (!result.ok || result.status != 200 || password.isEmpty())
    return fail("no password from " + QString::fromStdString(url) + " (status " + QString::number(result.status) +
                "): this server offers no /dev/otp; tour a server that does");
  if (!click(form->txtPassword(), "the password field")) return false;
  QTest::keyClicks(form->txtPassword(), password);
  capture();  // the form filled in, before it goes
  if (!click(form->btnLogin(), "the log-in button")) return false;
  return waitFor([&] { return Config::getMsisdn() == options_.msisdn && login_->presentedViewController(); },
                 "the password to be checked and the store to open");
}

bool StoreTour::homeShown(bool dismissOffer) {
  auto* home = qobject_cast<HomeViewController*>(topScreen());
  (void)home;
  return waitFor(
      [&] {
        auto* h = qobject_cast<HomeViewController*>(topScreen());
        return h && !AlertView::visibleAlert() && !h->model().slider().empty() && !h->sectionHeaders().isEmpty() &&
               !h->cellsOfSection(0).isEmpty() && !storeStack()->isMenuAnimating() && picturesShown(h);
      },
      "the home screen with banners, sections and their pictures",
      [&] {
        if (dismissOffer && alertTag() == SubscriptionOffer::kTag) AlertView::pressVisibleAlertButton(0);
      });
}

bool StoreTour::step03Home() { return homeShown(true); }

bool StoreTour::openMenu() {
  auto* stack = storeStack();
  auto* button = stack->findChild<QWidget*>(QStringLiteral("slidingStackMenuButton"));
  if (!button) return fail("no menu button on the navigation bar");
  if (!click(button, "the menu button")) return false;
  return waitFor(
      [&] {
        auto* menu = qobject_cast<LeftMenuViewController*>(stack->leftMenu());
        if (!menu || !stack->isMenuOpen() || stack->isMenuAnimating() || menu->model().isEmpty()) return false;
        auto* view = menu->tableView1();
        for (int row = 0; row < view->model()->rowCount(); ++row) {
          const QModelIndex index = view->model()->index(row, 0);
          if (!index.data(LeftMenuViewController::ImageSourceRole).toString().isEmpty() &&
              menu->imageForRow(row).isNull())
            return false;
        }
        return true;
      },
      "the side menu open with its rows and icons");
}

bool StoreTour::step04Menu() {
  if (!openMenu()) return false;
  auto* menu = qobject_cast<LeftMenuViewController*>(storeStack()->leftMenu());
  const auto& rows = menu->model().rows();
  const bool hasCategory = std::any_of(rows.begin(), rows.end(), [](const GameCategory& c) { return c.catId() >= 0; });
  if (!hasCategory) return fail("the menu shows no category of the server");
  return true;
}

bool StoreTour::step05Category() {
  auto* menu = qobject_cast<LeftMenuViewController*>(storeStack()->leftMenu());
  QListView* view = menu->tableView1();
  int row = -1;
  for (int r = 0; r < view->model()->rowCount() && row < 0; ++r)
    if (view->model()->index(r, 0).data(LeftMenuViewController::RowIdRole).toInt() >= 0) row = r;
  const QModelIndex index = view->model()->index(row, 0);
  const QString name = index.data(Qt::DisplayRole).toString();
  view->scrollTo(index);
  if (!clickAt(view->viewport(), view->visualRect(index).center(), "the category row " + name)) return false;
  return waitFor(
      [&] {
        auto* grid = qobject_cast<GameGridViewController*>(topScreen());
        return grid && !storeStack()->isMenuOpen() && !storeStack()->isTransitioning() && !grid->model().games().empty() &&
               !grid->model().isLoading() && picturesShown(grid);
      },
      "the grid of " + name + " with its pictures");
}

bool StoreTour::step06Paging() {
  auto* grid = qobject_cast<GameGridViewController*>(topScreen());
  if (!grid) return fail("the grid is not on top");
  LazyCellView* view = grid->collectionView();
  auto atEnd = [&] {
    QScrollBar* bar = view->verticalScrollBar();
    return grid->model().isEndPage() && !grid->model().isLoading() && bar->value() == bar->maximum();
  };
  if (!wheelUntil(view, atEnd, "the end of the list")) return false;
  return waitFor([&] { return atEnd() && picturesShown(grid); }, "the last games' pictures");
}

bool StoreTour::step07Detail() {
  auto* grid = qobject_cast<GameGridViewController*>(topScreen());
  if (!grid) return fail("the grid is not on top");
  GridGameCell2* cell = nullptr;
  for (auto* c : grid->findChildren<GridGameCell2*>())
    if (ScreenTexts::isOnScreen(c) && (!cell || c->mapTo(grid, QPoint()).y() < cell->mapTo(grid, QPoint()).y())) cell = c;
  if (!cell) return fail("no game cell on screen");
  if (!click(cell, "the game " + cell->title()->text())) return false;
  return waitFor(
      [&] {
        auto* page = qobject_cast<GameDetailViewController*>(topScreen());
        if (!page || storeStack()->isTransitioning() || page->lbName()->text().isEmpty()) return false;
        if (page->galleryImages().isEmpty() || page->otherGameViews().isEmpty()) return false;
        for (auto* image : page->galleryImages())
          if (image->imageURL().has_value()) return false;
        return picturesShown(page);
      },
      "the game's page with its gallery and related games");
}

bool StoreTour::step08Buy() {
  auto* page = qobject_cast<GameDetailViewController*>(topScreen());
  if (!page) return fail("the game's page is not on top");
  const std::size_t before = opened_.size();
  if (!click(page->downloadButton(), "the download button")) return false;
  if (!waitFor([&] { return opened_.size() > before || (AlertView::visibleAlert() && !page->overlay()->isShowing()); },
               "the download link or an offer"))
    return false;
  if (opened_.size() > before) {
    capture("opened", QString::fromStdString(opened_.back()));
    return true;
  }
  capture();
  return pressAlertButton(alertTag(), 0);
}

bool StoreTour::step09Search() {
  auto* stack = storeStack();
  const auto items = stack->rightBarButtonItems();
  if (items.isEmpty()) return fail("no search button on the navigation bar");
  if (!click(stack->navigationBar()->widgetForItem(items.front()), "the search button")) return false;
  GameGridViewController* grid = nullptr;
  if (!waitFor(
          [&] {
            grid = qobject_cast<GameGridViewController*>(topScreen());
            return grid && grid->model().isSearch() && !stack->isTransitioning() && grid->searchBar() &&
                   ScreenTexts::isOnScreen(grid->searchBar());
          },
          "the search screen"))
    return false;
  if (!click(grid->searchBar(), "the search bar")) return false;
  QTest::keyClicks(grid->searchBar(), options_.search);
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  const QString wanted = fold(options_.search);
  return waitFor(
      [&] {
        if (grid->model().isLoading() || grid->model().games().empty()) return false;
        bool found = false;
        for (const auto& game : grid->model().games()) {
          const QString name = QString::fromStdString(game.name());
          if (name != fold(name) && fold(name).contains(wanted)) found = true;
        }
        return found && picturesShown(grid);
      },
      "a title with diacritics found by \"" + options_.search + "\"");
}

bool StoreTour::step10Share() {
  auto* stack = storeStack();
  // Back to the home screen, one screen at a time, with the bar's back button.
  for (auto depth = stack->viewControllers().size(); depth > 1; --depth) {
    if (!click(stack->navigationBar()->backButton(), "the back button")) return false;
    if (!waitFor([&] { return stack->viewControllers().size() < depth && !stack->isTransitioning(); },
                 "the screen to go back"))
      return false;
  }
  if (!homeShown(true)) return false;
  auto* home = qobject_cast<HomeViewController*>(topScreen());
  GridGameCell* cell = nullptr;
  const auto& sections = home->model().sections();
  for (std::size_t s = 0; s < sections.size() && !cell; ++s)
    for (std::size_t r = 0; r < sections[s].size() && !cell; ++r)
      if (sections[s][r].price() == 0) {
        const auto cells = home->cellsOfSection(static_cast<int>(s));
        if (static_cast<int>(r) < cells.size()) cell = cells[static_cast<int>(r)];
      }
  if (!cell) return fail("no free game on the home screen");
  if (!wheelUntil(home->homeGrid(), [&] { return ScreenTexts::isOnScreen(cell); }, "the free game in view"))
    return false;
  if (!click(cell, "the free game " + cell->title()->text())) return false;
  GameDetailViewController* page = nullptr;
  if (!waitFor(
          [&] {
            page = qobject_cast<GameDetailViewController*>(topScreen());
            return page && !stack->isTransitioning() && !page->lbName()->text().isEmpty() && picturesShown(page);
          },
          "the free game's page"))
    return false;
  if (page->objGame().price() != 0) return fail("the page opened is not a free game's");
  const int shared = ShareSheet::presentedCount();
  QWidget* share = page->shareButton();
  if (!share || !ScreenTexts::isOnScreen(share)) {
    share = nullptr;
    for (auto* item : stack->toolbar()->findChildren<QWidget*>())
      if (item->objectName() == "shareItem") share = item;
    if (!share) {
      for (auto* item : page->findChildren<orv::toolkit::BarButtonItem*>())
        if (item->objectName() == "shareItem") share = stack->toolbar()->widgetForItem(item);
    }
  }
  if (!share) return fail("no share button");
  if (!click(share, "the share button")) return false;
  if (!waitFor([&] { return ShareSheet::presentedCount() > shared && AlertView::visibleAlert(); }, "the share sheet"))
    return false;
  capture("shared", ShareSheet::lastShared().link);
  return pressAlertButton(alertTag(), 0);
}

bool StoreTour::step11Guest() {
  QStringList arguments = options_.arguments;
  arguments << "--tour-guest";
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(options_.program, arguments);
  const int bound = static_cast<int>(options_.wait.count()) * 4;
  if (!child.waitForStarted(bound)) return fail("the second run did not start: " + child.errorString());
  if (!child.waitForFinished(bound)) {
    child.kill();
    child.waitForFinished(2000);
    return fail("the second run did not finish within " + QString::number(bound / 1000) + " s");
  }
  if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
    return fail("the second run (as a guest) failed with status " + QString::number(child.exitCode()));
  return true;
}

bool StoreTour::guestRun() {
  if (!step01Signin()) return false;
  if (!pressAlertButton(AlertTag::kLookupFailure, 0)) return false;  // "Bỏ qua": in as a guest
  if (!homeShown(true)) return false;
  if (!Config::getMsisdn().empty()) return fail("the guest run has a number: " + QString::fromStdString(Config::getMsisdn()));
  if (!openMenu()) return false;
  auto* menu = qobject_cast<LeftMenuViewController*>(storeStack()->leftMenu());
  bool signIn = false;
  for (const auto& row : menu->model().rows()) signIn = signIn || row.catName() == "ĐĂNG NHẬP";
  if (!signIn) return fail("the guest's menu has no \"ĐĂNG NHẬP\" row");
  return true;
}

// --- memory

namespace {
long residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
  return -1;
}
}  // namespace

bool StoreTour::detailShown(int depth) {
  return waitFor(
      [&] {
        auto* page = qobject_cast<GameDetailViewController*>(topScreen());
        return page && storeStack()->viewControllers().size() == depth + 1 && !storeStack()->isTransitioning() &&
               !page->lbName()->text().isEmpty() && !page->otherGameViews().isEmpty() && picturesShown(page);
      },
      QStringLiteral("game page %1").arg(depth));
}

int StoreTour::measureDetailPages(int count) {
  orv::Application::shared().setUrlOpener([](const std::string&) { return true; });
  auto report = [](const QString& where) {
    std::printf("rss %s %ld\n", where.toUtf8().constData(), residentKiB());
    std::fflush(stdout);
  };
  auto failed = [&] {
    std::fprintf(stderr, "orv-store: measurement failed: %s\n", failure_.toUtf8().constData());
    return 1;
  };
  if (!waitFor([&] { return qobject_cast<HomeViewController*>(topScreen()) != nullptr; }, "the home screen") ||
      !homeShown(true))
    return failed();
  report("home-before");
  // Two rounds over the same games: the second finds its pictures cached, so
  // what it adds is what the pages themselves keep.
  for (int round = 1; round <= 2; ++round) {
    auto* home = qobject_cast<HomeViewController*>(topScreen());
    const auto cells = home->cellsOfSection(0);
    if (cells.isEmpty() || !click(cells.front(), "the first game")) return failed();
    for (int depth = 1; depth <= count; ++depth) {
      if (!detailShown(depth)) return failed();
      report(QStringLiteral("round-%1-page-%2").arg(round).arg(depth));
      if (depth == count) break;
      auto* page = qobject_cast<GameDetailViewController*>(topScreen());
      OtherGame* next = page->otherGameViews().front();
      if (!wheelUntil(page->sContent(), [&] { return ScreenTexts::isOnScreen(next->vContent()); }, "a related game"))
        return failed();
      if (!click(next->vContent(), "a related game")) return failed();
    }
    auto* stack = storeStack();
    for (auto depth = stack->viewControllers().size(); depth > 1; --depth) {
      if (!click(stack->navigationBar()->backButton(), "the back button")) return failed();
      if (!waitFor([&] { return stack->viewControllers().size() < depth && !stack->isTransitioning(); },
                   "the screen to go back"))
        return failed();
    }
    if (!homeShown(false)) return failed();
    // Popped screens are deleted later: let those deletions run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(200);
    report(QStringLiteral("round-%1-home-after").arg(round));
  }
  std::printf("pages-alive %d\n", static_cast<int>(window_.findChildren<GameDetailViewController*>().size()));
  return 0;
}

// --- helpers

bool StoreTour::fail(const QString& why) {
  failure_ = why;
  return false;
}

bool StoreTour::waitFor(const std::function<bool()>& done, const QString& what, const std::function<void()>& tick) {
  const bool ok = QTest::qWaitFor(
      [&] {
        if (tick) tick();
        return done();
      },
      static_cast<int>(options_.wait.count()));
  if (ok) return true;
  QString why = QStringLiteral("waited %1 s for %2").arg(options_.wait.count() / 1000).arg(what);
  if (AlertView::visibleAlert()) why += QStringLiteral("; the screen shows the alert \"%1\"").arg(alertText());
  return fail(why);
}

bool StoreTour::click(QWidget* widget, const QString& what) {
  if (!widget) return fail(what + " does not exist");
  const QRect rect = ScreenTexts::visibleRect(widget);
  if (rect.isEmpty()) return fail(what + " is not on screen");
  return clickAt(widget, widget->mapFrom(widget->window(), rect.center()), what);
}

bool StoreTour::clickAt(QWidget* widget, QPoint pos, const QString& what) {
  if (!widget || !widget->isVisible()) return fail(what + " is not on screen");
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
  return true;
}

bool StoreTour::pressAlertButton(int tag, int index) {
  AlertView* alert = AlertView::visibleAlert();
  if (!alert || alert->tag() != tag)
    return fail(QStringLiteral("expected alert %1, found %2").arg(tag).arg(alert ? QString::number(alert->tag()) : "none"));
  if (!AlertView::pressVisibleAlertButton(index)) return fail("the alert has no button " + QString::number(index));
  return waitFor([alert = QPointer<AlertView>(alert)] { return !alert || !alert->isVisible(); }, "the alert to close");
}

bool StoreTour::wheelUntil(QAbstractScrollArea* area, const std::function<bool()>& done, const QString& what) {
  QWidget* port = area->viewport();
  for (int turn = 0; turn < kMaxWheelTurns; ++turn) {
    if (done()) return true;
    const QPointF pos(port->width() / 2.0, port->height() / 2.0);
    QWheelEvent wheel(pos, port->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &wheel);
    // A page asked for when the last cells came into view: wait for it.
    QTest::qWait(0);
    QScrollBar* bar = area->verticalScrollBar();
    if (bar->value() == bar->maximum()) {
      if (!waitFor([&] { return done() || bar->value() < bar->maximum(); }, what)) return false;
    }
  }
  return done() || fail(QStringLiteral("%1 not reached after %2 wheel turns").arg(what).arg(kMaxWheelTurns));
}

orv::toolkit::ViewController* StoreTour::topScreen() const {
  auto* stack = storeStack();
  if (!login_ || !stack || login_->presentedViewController() != stack) return login_;
  if (stack->isMenuOpen() && stack->leftMenu()) return stack->leftMenu();
  return stack->topViewController();
}

bool StoreTour::picturesShown(QWidget* root) {
  int shown = 0;
  for (auto* view : root->findChildren<orv::toolkit::RemoteImageView*>()) {
    if (!ScreenTexts::isOnScreen(view)) continue;
    if (view->imageURL().has_value() || view->isCrossfading()) return false;
    if (!view->image().isNull()) ++shown;
  }
  return shown > 0;
}

void StoreTour::capture(const QString& extraKey, const QString& extraValue) {
  // An answer has just come: its overlay is still fading out (0.3 s) and
  // would show as a faint panel over the screen.
  (void)QTest::qWaitFor(
      [&] {
        for (auto* overlay : window_.findChildren<orv::toolkit::ProgressOverlay*>())
          if (overlay->isVisible() && overlay->alpha() > 0.0) return false;
        return true;
      },
      kOverlaySettleMs);
  auto* screen = topScreen();
  capture_.picture = window_.grab().toImage();
  capture_.screen = screen ? className(screen) : QString();
  capture_.title = titleOf(screen);
  capture_.texts = ScreenTexts::collect(&window_);
  capture_.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                      options_.processStart)
                    .count();
  capture_.extraKey = extraKey;
  capture_.extraValue = extraValue;
  hasCapture_ = true;
}

bool StoreTour::writeRecord(const QString& step) {
  if (!hasCapture_) capture();
  hasCapture_ = false;
  const QString picture = QDir(options_.dir).filePath(step + ".png");
  if (!capture_.picture.save(picture, "PNG")) return fail("cannot write " + picture);
  QJsonObject record{{"step", step},
                     {"screen", capture_.screen},
                     {"title", capture_.title},
                     {"texts", QJsonArray::fromStringList(capture_.texts)},
                     {"ms", capture_.ms}};
  if (!capture_.extraKey.isEmpty()) record.insert(capture_.extraKey, capture_.extraValue);
  QFile report(QDir(options_.dir).filePath("tour.json"));
  if (!report.open(QIODevice::WriteOnly | QIODevice::Append) ||
      report.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + "\n") < 0)
    return fail("cannot append to " + report.fileName());
  return true;
}

void StoreTour::writeFailurePicture(const QString& step) {
  window_.grab().save(QDir(options_.dir).filePath(step + "-failed.png"), "PNG");
}

}  // namespace orv::store
