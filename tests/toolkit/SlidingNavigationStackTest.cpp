#include "toolkit/SlidingNavigationStack.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "tests/support/LogCapture.h"
#include "toolkit/AnimationSettings.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/Icons.h"
#include "toolkit/NavigationBar.h"
#include "toolkit/ProgressOverlay.h"
#ifdef ORV_TOOLKIT_CLEARS_SETTINGS
#include <QTemporaryDir>

#include "platform/SettingsStore.h"
#include "tests/support/ScreenshotFolder.h"
#endif

namespace orv::toolkit {
namespace {

using Journal = std::vector<std::string>;

// A screen that draws a small store page; optionally opts in to the menu.
class StoreScreen : public ViewController {
 public:
  StoreScreen(QString title, bool leftMenu, Journal* journal = nullptr)
      : leftMenu_(leftMenu), journal_(journal) {
    navigationItem()->setTitle(title);
  }
  bool slidingStackShouldDisplayLeftMenu() const override { return leftMenu_; }

 protected:
  void viewWillAppear(bool) override {
    if (journal_) journal_->push_back(navigationItem()->title().toStdString() + ".willAppear");
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(242, 243, 247));
    QRectF banner(10, 10, width() - 20, 120);
    QLinearGradient g(banner.topLeft(), banner.bottomRight());
    g.setColorAt(0, QColor(255, 138, 0));
    g.setColorAt(1, QColor(229, 46, 113));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(banner, 10, 10);
    QFont f = font();
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(banner.adjusted(16, 16, -16, -16), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Ưu đãi tuần này"));
    f.setPixelSize(13);
    f.setBold(false);
    p.setFont(f);
    p.drawText(banner.adjusted(16, 16, -16, -16), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("Tải miễn phí 5 game hay nhất"));
    const QStringList names = {QStringLiteral("Rồng Lửa"), QStringLiteral("Cờ Tướng"), QStringLiteral("Đua Xe"),
                               QStringLiteral("Bắn Cá"), QStringLiteral("Nông Trại"), QStringLiteral("Kiếm Hiệp")};
    const QColor tiles[] = {{52, 152, 219}, {46, 204, 113}, {155, 89, 182}, {241, 196, 15}, {26, 188, 156}, {231, 76, 60}};
    f.setPixelSize(12);
    p.setFont(f);
    for (int i = 0; i < names.size(); ++i) {
      QRectF cell(10 + (i % 3) * ((width() - 20) / 3.0), 145 + (i / 3) * 120, (width() - 20) / 3.0 - 8, 110);
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(cell, 8, 8);
      QRectF icon(cell.center().x() - 30, cell.top() + 10, 60, 60);
      p.setBrush(tiles[i]);
      p.drawRoundedRect(icon, 14, 14);
      p.setPen(QColor(40, 40, 40));
      p.drawText(QRectF(cell.left(), icon.bottom() + 6, cell.width(), 20), Qt::AlignCenter, names[i]);
    }
  }

 private:
  bool leftMenu_;
  Journal* journal_;
};

// The menu underneath: a dark list of rows.
class MenuScreen : public ViewController {
 public:
  int appearances = 0;

 protected:
  void viewDidAppear(bool) override { ++appearances; }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(38, 42, 51));
    QFont f = font();
    f.setPixelSize(15);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.setBrush(QColor(19, 102, 203));
    p.drawEllipse(QRectF(16, 18, 44, 44));
    p.drawText(QRectF(70, 18, 190, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Xin chào"));
    f.setBold(false);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(QColor(180, 186, 198));
    p.drawText(QRectF(70, 40, 190, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0912 345 678"));
    const QStringList rows = {QStringLiteral("ĐĂNG KÝ NGAY"), QStringLiteral("Mới nhất"), QStringLiteral("Đề cử"),
                              QStringLiteral("Miễn phí"), QStringLiteral("VIP"), QStringLiteral("Hành động"),
                              QStringLiteral("Trí tuệ"), QStringLiteral("Hỗ trợ")};
    f.setPixelSize(15);
    p.setFont(f);
    for (int i = 0; i < rows.size(); ++i) {
      const double y = 80 + i * 48;
      p.fillRect(QRectF(0, y + 47, 260, 1), QColor(55, 60, 72));
      p.setPen(Qt::NoPen);
      p.setBrush(i == 0 ? QColor(255, 138, 0) : QColor(19, 102, 203));
      p.drawRoundedRect(QRectF(16, y + 12, 24, 24), 6, 6);
      p.setPen(i == 0 ? QColor(255, 170, 60) : Qt::white);
      p.drawText(QRectF(54, y, 200, 48), Qt::AlignLeft | Qt::AlignVCenter, rows[i]);
    }
  }
};

class SlidingNavigationStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = new StoreScreen(QStringLiteral("Trang chủ"), true, &journal_);
    stack_ = new SlidingNavigationStack(home_);
    window_.reset(stack_);
    stack_->setFixedSize(320, 568);
    stack_->setBarTintColor(QColor(19, 102, 203));
    menu_ = new MenuScreen();
    stack_->setLeftMenu(menu_);
    search_ = BarButtonItem::withImage(QStringLiteral("ic-search"), BarButtonItem::Style::Plain, stack_);
    stack_->setRightBarButtonItems({search_});
    stack_->show();
    waitIdle();
  }
  void TearDown() override { AnimationSettings::setSpeed(0); }

  void waitIdle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !stack_->isMenuAnimating() && !stack_->isTransitioning(); }, 5000));
  }
  // A horizontal drag by a finger: `steps` moves of `dx` points, one every
  // `stepMs` milliseconds (event time stamps), the last one at release.
  // Positions are taken on the screen, not on the moving widget.
  void drag(QWidget* target, QPoint startOnScreen, int dx, int steps, int stepMs,
            const std::function<void()>& beforeRelease = {}) {
    QPoint g = target->mapToGlobal(startOnScreen);
    QTest::mousePress(target, Qt::LeftButton, {}, target->mapFromGlobal(g), stepMs);
    for (int i = 0; i < steps - 1; ++i) {
      g.rx() += dx;
      QTest::mouseMove(target, target->mapFromGlobal(g), stepMs);
    }
    if (beforeRelease) beforeRelease();
    g.rx() += dx;
    QTest::mouseRelease(target, Qt::LeftButton, {}, target->mapFromGlobal(g), stepMs);
  }
  // The menu button shown in the bar now.
  QToolButton* menuButton() {
    for (auto* b : stack_->stackView()->findChildren<QToolButton*>(QStringLiteral("slidingStackMenuButton")))
      if (b->isVisible()) return b;
    return nullptr;
  }
  QWidget* tapCatcher() { return stack_->findChild<QWidget*>(QStringLiteral("slidingStackTapCatcher")); }
  void save(const QString& name) {
    const auto folder = orv::test::screenshotFolder();
    ASSERT_TRUE(stack_->grab().save(QString::fromStdString((folder / name.toStdString()).string())));
  }

  Journal journal_;
  std::unique_ptr<QWidget> window_;
  SlidingNavigationStack* stack_ = nullptr;
  StoreScreen* home_ = nullptr;
  MenuScreen* menu_ = nullptr;
  BarButtonItem* search_ = nullptr;
  static constexpr double kOpen = 320 - 60;
};

TEST_F(SlidingNavigationStackTest, OneSharedInstanceAndAWarningForASecond) {
  EXPECT_EQ(SlidingNavigationStack::sharedInstance(), stack_);
  EXPECT_EQ(stack_->slideOffset(), 60);
  EXPECT_EQ(stack_->shadowOpacity(), 1.0);
  test::LogCapture log;
  {
    SlidingNavigationStack second;
    EXPECT_TRUE(log.containsText(SlidingNavigationStack::kSingletonWarning));
    EXPECT_EQ(SlidingNavigationStack::sharedInstance(), &second);
  }
  stack_->setEnableShadow(false);
  EXPECT_EQ(stack_->shadowOpacity(), 0.0);
  EXPECT_EQ(stack_->shadowRadius(), 0.0);
}

TEST_F(SlidingNavigationStackTest, OptInScreensGetMenuAndHomeButtonsEveryScreenGetsTheRightItems) {
  const auto left = home_->navigationItem()->leftBarButtonItems();
  ASSERT_EQ(left.size(), 2);
  EXPECT_EQ(left[0]->kind(), BarButtonItem::Kind::FixedSpace);
  EXPECT_EQ(left[0]->width(), -22);
  ASSERT_NE(left[1]->customView(), nullptr);
  EXPECT_EQ(left[1]->customView()->size(), QSize(97, 35));
  EXPECT_EQ(home_->navigationItem()->rightBarButtonItems(), QList<BarButtonItem*>{search_});

  auto* list = new StoreScreen(QStringLiteral("Game mới"), false);
  stack_->pushViewController(list, false);
  waitIdle();
  EXPECT_TRUE(list->navigationItem()->leftBarButtonItems().isEmpty());
  EXPECT_EQ(list->navigationItem()->rightBarButtonItems(), QList<BarButtonItem*>{search_});
  EXPECT_NE(stack_->navigationBar()->widgetForItem(search_), nullptr);
}

TEST_F(SlidingNavigationStackTest, MenuButtonOpensAndClosesTapOnTheStackCloses) {
  QToolButton* button = menuButton();
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), kOpen);
  EXPECT_TRUE(stack_->isMenuOpen());
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.3);
  EXPECT_TRUE(menu_->isVisible());
  EXPECT_EQ(menu_->appearances, 1);
  EXPECT_TRUE(home_->testAttribute(Qt::WA_TransparentForMouseEvents));

  QTest::mouseClick(button, Qt::LeftButton);
  waitIdle();
  EXPECT_FALSE(stack_->isMenuOpen());
  EXPECT_FALSE(home_->testAttribute(Qt::WA_TransparentForMouseEvents));

  stack_->openMenu(SlidingNavigationStack::Left);
  waitIdle();
  // The visible strip of the stack, hit-tested like a finger.
  QTest::mouseClick(stack_->windowHandle(), Qt::LeftButton, {}, QPoint(290, 300));
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
}

TEST_F(SlidingNavigationStackTest, SlowDragsOpenOrCloseByWhereTheyAreReleased) {
  // 5 points every 20 ms: 250 points per second.
  double during = -1;
  drag(home_, QPoint(20, 200), 5, 24, 20, [&] { during = stack_->horizontalLocation(); });
  EXPECT_EQ(during, 115 - 10);  // follows the finger once the drag started (10 points)
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);  // 120 - 10 is below half of 260
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.3);

  drag(home_, QPoint(20, 200), 5, 30, 20);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), kOpen);  // 150 - 10 is past half
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.3);
  // Never beyond the open location.
  drag(tapCatcher(), QPoint(40, 200), 5, 20, 20, [&] { during = stack_->horizontalLocation(); });
  EXPECT_EQ(during, kOpen);
  waitIdle();

  // Back to the left, slowly, not past half: stays open.
  drag(tapCatcher(), QPoint(40, 200), -5, 20, 20);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), kOpen);
  drag(tapCatcher(), QPoint(40, 200), -5, 40, 20);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
}

TEST_F(SlidingNavigationStackTest, FlicksFollowTheirDirectionFrom1200PointsPerSecond) {
  // 13 points every 10 ms = 1300 points per second: opens from anywhere.
  drag(home_, QPoint(20, 200), 13, 4, 10);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), kOpen);
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.18);

  // 1300 to the left closes, quickly.
  drag(tapCatcher(), QPoint(40, 200), -13, 4, 10);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.18);

  // 11 points every 10 ms = 1100: below the rule, the position decides.
  drag(home_, QPoint(20, 200), 11, 4, 10);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.3);
}

TEST_F(SlidingNavigationStackTest, ScreenThatDoesNotOptInCannotBeDraggedOpen) {
  auto* list = new StoreScreen(QStringLiteral("Game mới"), false);
  stack_->pushViewController(list, false);
  waitIdle();
  EXPECT_EQ(stack_->maxXForDragging(), 0);
  double during = -1;
  drag(list, QPoint(20, 200), 5, 40, 20, [&] { during = stack_->horizontalLocation(); });
  EXPECT_EQ(during, 0);
  drag(list, QPoint(20, 200), 20, 6, 10);  // 2000 points per second
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
}

TEST_F(SlidingNavigationStackTest, DragsStartOnlyNearTheEdgesWithASideOffset) {
  stack_->setPanGestureSideOffset(30);
  drag(home_, QPoint(100, 200), 5, 40, 20);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), 0);
  drag(home_, QPoint(10, 200), 5, 40, 20);
  waitIdle();
  EXPECT_EQ(stack_->horizontalLocation(), kOpen);
}

TEST_F(SlidingNavigationStackTest, PushWhileTheMenuIsOpenClosesFirstThenPushes) {
  stack_->openMenu(SlidingNavigationStack::Left);
  waitIdle();
  AnimationSettings::setSpeed(1);
  QObject::connect(stack_, &SlidingNavigationStack::menuClosed, [&] { journal_.push_back("menuClosed"); });
  journal_.clear();
  auto* list = new StoreScreen(QStringLiteral("Game mới"), false, &journal_);
  QElapsedTimer clock;
  clock.start();
  stack_->pushViewController(list, true);
  EXPECT_EQ(stack_->viewControllers().size(), 1);
  EXPECT_TRUE(stack_->isMenuAnimating());
  EXPECT_EQ(stack_->lastMenuAnimationDuration(), 0.3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->topViewController() == list && list->isAppearing(); }, 3000));
  EXPECT_GE(clock.elapsed(), 280);
  EXPECT_EQ(journal_, (Journal{"menuClosed", "Game mới.willAppear"}));
  EXPECT_EQ(stack_->horizontalLocation(), 0);
}

TEST_F(SlidingNavigationStackTest, HomeButtonEmptiesTheSettingsAndReturnsToTheRoot) {
#ifdef ORV_TOOLKIT_CLEARS_SETTINGS
  QTemporaryDir dir;
  orv::SettingsStore::useStandardFile(dir.filePath(QStringLiteral("settings.json")).toStdString());
  auto settings = orv::SettingsStore::standard();
  auto stored = [&] { return settings->all().size(); };
#else
  std::map<std::string, std::string> fake;
  SlidingNavigationStack::setSettingsClearer([&] { fake.clear(); });
  auto settings = &fake;
  auto stored = [&] { return fake.size(); };
#endif
  for (auto [key, value] : {std::pair{"cmd", "cnt.lst"}, {"id", "12"}, {"tl", "Hành động"}}) {
#ifdef ORV_TOOLKIT_CLEARS_SETTINGS
    settings->set(key, value);
#else
    (*settings)[key] = value;
#endif
  }
  ASSERT_EQ(stored(), 3u);
  stack_->pushViewController(new StoreScreen(QStringLiteral("Game mới"), false), false);
  auto* second = new StoreScreen(QStringLiteral("Hành động"), true);
  stack_->pushViewController(second, false);
  waitIdle();
  auto* home = stack_->stackView()->findChild<QToolButton*>(QStringLiteral("slidingStackHomeButton"));
  // The button on the screen on top (the root keeps its own, hidden).
  for (auto* b : stack_->stackView()->findChildren<QToolButton*>(QStringLiteral("slidingStackHomeButton")))
    if (b->isVisible()) home = b;
  ASSERT_NE(home, nullptr);
  QTest::mouseClick(home, Qt::LeftButton);
  waitIdle();
  EXPECT_EQ(stored(), 0u);
  EXPECT_EQ(stack_->viewControllers(), QList<ViewController*>{home_});
#ifndef ORV_TOOLKIT_CLEARS_SETTINGS
  SlidingNavigationStack::setSettingsClearer({});
#endif
}

TEST_F(SlidingNavigationStackTest, Screenshots) {
  double halfway = -1;
  drag(home_, QPoint(20, 200), 5, 28, 20, [&] {
    halfway = stack_->horizontalLocation();
    save(QStringLiteral("toolkit-menu-half-open.png"));
  });
  EXPECT_EQ(halfway, 125);
  waitIdle();
  stack_->openMenu(SlidingNavigationStack::Left);
  waitIdle();
  save(QStringLiteral("toolkit-menu-open.png"));
  stack_->closeMenu();
  waitIdle();
  auto* overlay = new ProgressOverlay(home_);
  overlay->setLabelText(QStringLiteral("Đang tải"));
  overlay->show(false);
  save(QStringLiteral("toolkit-overlay.png"));
  overlay->setLabelText(QString());
  save(QStringLiteral("toolkit-overlay-spinner.png"));
}

}  // namespace
}  // namespace orv::toolkit
