#include "toolkit/NavigationController.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "toolkit/AnimationSettings.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/NavigationBar.h"
#include "toolkit/ScreenRegistry.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/Toolbar.h"

namespace orv::toolkit {
namespace {

using Journal = std::vector<std::string>;

// Writes every lifecycle call it gets into a shared journal.
class JournalScreen : public ViewController {
 public:
  JournalScreen(std::string name, Journal* journal) : name_(std::move(name)), journal_(journal) {
    navigationItem()->setTitle(QString::fromStdString(name_));
  }
  ~JournalScreen() override { journal_->push_back(name_ + ".deleted"); }

 protected:
  void viewDidLoad() override { note("viewDidLoad"); }
  void viewWillAppear(bool) override { note("viewWillAppear"); }
  void viewDidAppear(bool) override { note("viewDidAppear"); }
  void viewWillDisappear(bool) override { note("viewWillDisappear"); }
  void viewDidDisappear(bool) override { note("viewDidDisappear"); }

 private:
  void note(const char* what) { journal_->push_back(name_ + "." + what); }
  std::string name_;
  Journal* journal_;
};

class NavigationControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The stack is the window itself, as the application shows it.
    root_ = new JournalScreen("root", &journal_);
    nav_ = new NavigationController(root_);
    window_.reset(nav_);
    nav_->setFixedSize(320, 568);
    nav_->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !nav_->isTransitioning() && root_->isAppearing(); }));
    journal_.clear();
  }
  void waitIdle() { ASSERT_TRUE(QTest::qWaitFor([&] { return !nav_->isTransitioning(); })); }

  Journal journal_;
  std::unique_ptr<QWidget> window_;
  NavigationController* nav_ = nullptr;
  JournalScreen* root_ = nullptr;
};

TEST_F(NavigationControllerTest, PushAndPopRunTheLifecycleInOrder) {
  auto* detail = new JournalScreen("detail", &journal_);
  nav_->pushViewController(detail, true);
  waitIdle();
  EXPECT_EQ(journal_, (Journal{"detail.viewDidLoad", "root.viewWillDisappear", "detail.viewWillAppear",
                               "root.viewDidDisappear", "detail.viewDidAppear"}));
  EXPECT_EQ(nav_->topViewController(), detail);
  EXPECT_EQ(detail->navigationController(), nav_);
  EXPECT_TRUE(detail->isVisible());
  EXPECT_FALSE(root_->isVisible());

  journal_.clear();
  EXPECT_EQ(nav_->popViewController(true), detail);
  waitIdle();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(journal_, (Journal{"detail.viewWillDisappear", "root.viewWillAppear", "detail.viewDidDisappear",
                               "root.viewDidAppear", "detail.deleted"}));
  EXPECT_EQ(nav_->viewControllers(), QList<ViewController*>{root_});
  // The root is never popped.
  EXPECT_EQ(nav_->popViewController(true), nullptr);
}

TEST_F(NavigationControllerTest, OperationsDuringASlideWaitForIt) {
  AnimationSettings::setSpeed(1);
  auto* a = new JournalScreen("a", &journal_);
  auto* b = new JournalScreen("b", &journal_);
  nav_->pushViewController(a, true);
  EXPECT_TRUE(nav_->isTransitioning());
  nav_->pushViewController(b, true);
  nav_->popToRootViewController(true);
  EXPECT_EQ(nav_->viewControllers().size(), 2);  // b waits for a's slide
  AnimationSettings::setSpeed(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return nav_->viewControllers().size() == 1 && !nav_->isTransitioning(); }, 5000));
  // b appeared fully before the pop to the root took it away again.
  const auto appeared = std::find(journal_.begin(), journal_.end(), "b.viewDidAppear");
  const auto left = std::find(journal_.begin(), journal_.end(), "b.viewWillDisappear");
  ASSERT_NE(appeared, journal_.end());
  EXPECT_LT(appeared, left);
  EXPECT_EQ(nav_->topViewController(), root_);
}

TEST_F(NavigationControllerTest, BarShowsTitlesAndABackButtonNamedByThePreviousScreen) {
  root_->navigationItem()->setBackButtonTitle(QStringLiteral("Trang chủ"));
  auto* detail = new JournalScreen("detail", &journal_);
  detail->navigationItem()->setTitle(QStringLiteral("Chi tiết"));
  nav_->pushViewController(detail, false);
  waitIdle();
  NavigationBar* bar = nav_->navigationBar();
  EXPECT_EQ(bar->titleText(), QStringLiteral("Chi tiết"));
  ASSERT_NE(bar->backButton(), nullptr);
  EXPECT_EQ(bar->backButton()->text(), QStringLiteral("Trang chủ"));

  // "detail" set no back title: the next screen shows the arrow alone, not
  // the previous screen's title.
  nav_->pushViewController(new JournalScreen("more", &journal_), false);
  waitIdle();
  ASSERT_NE(bar->backButton(), nullptr);
  EXPECT_EQ(bar->backButton()->text(), QString());
  EXPECT_FALSE(bar->backButton()->icon().isNull());
  nav_->popViewController(false);
  waitIdle();

  QTest::mouseClick(bar->backButton(), Qt::LeftButton);
  waitIdle();
  EXPECT_EQ(nav_->topViewController(), root_);
  EXPECT_EQ(bar->titleText(), QStringLiteral("root"));
  EXPECT_EQ(bar->backButton(), nullptr);
}

TEST_F(NavigationControllerTest, BarAndToolbarItemsAnswerRealClicks) {
  int searches = 0, shares = 0;
  auto* search = BarButtonItem::withImage(QStringLiteral("ic-search"), BarButtonItem::Style::Plain, root_);
  search->setAction([&] { ++searches; });
  root_->navigationItem()->setRightBarButtonItem(search);
  QWidget* searchButton = nav_->navigationBar()->widgetForItem(search);
  ASSERT_NE(searchButton, nullptr);
  QTest::mouseClick(searchButton, Qt::LeftButton);
  EXPECT_EQ(searches, 1);

  auto* share = BarButtonItem::withTitle(QStringLiteral("Chia sẻ"), BarButtonItem::Style::Done, root_);
  QObject::connect(share, &BarButtonItem::triggered, [&] { ++shares; });
  auto* label = new QLabel(QStringLiteral("Tải"));
  nav_->toolbar()->setItems({share, BarButtonItem::flexibleSpace(root_), BarButtonItem::withCustomView(label, root_)});
  nav_->setToolbarHidden(false);
  EXPECT_FALSE(nav_->isToolbarHidden());
  // The screen gives the toolbar its room.
  EXPECT_EQ(root_->height(), 568 - NavigationBar::kHeight - Toolbar::kHeight);
  QTest::mouseClick(nav_->toolbar()->widgetForItem(share), Qt::LeftButton);
  EXPECT_EQ(shares, 1);
  // The flexible space pushes the custom view to the far end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return label->mapTo(nav_->toolbar(), QPoint(0, 0)).x() > 200; }));
  nav_->setToolbarHidden(true);
  EXPECT_EQ(root_->height(), 568 - NavigationBar::kHeight);
}

TEST_F(NavigationControllerTest, ToolbarShowsOnlyWhileAScreenWithToolbarItemsIsOnTop) {
  auto* page = new JournalScreen("page", &journal_);
  auto* share = BarButtonItem::withImage(QStringLiteral("ic-search"), BarButtonItem::Style::Plain, page);
  page->setToolbarItems({share});
  nav_->pushViewController(page, false);
  waitIdle();
  EXPECT_FALSE(nav_->isToolbarHidden());
  EXPECT_TRUE(nav_->toolbar()->isVisible());
  EXPECT_EQ(nav_->toolbar()->items(), QList<BarButtonItem*>{share});
  EXPECT_EQ(page->height(), 568 - NavigationBar::kHeight - Toolbar::kHeight);

  // A screen pushed over the page does not keep the page's toolbar.
  auto* cover = new JournalScreen("cover", &journal_);
  nav_->pushViewController(cover, true);
  waitIdle();
  EXPECT_TRUE(nav_->isToolbarHidden());
  EXPECT_FALSE(nav_->toolbar()->isVisible());
  EXPECT_EQ(cover->height(), 568 - NavigationBar::kHeight);

  // Uncovered again: the toolbar comes back, and its buttons answer.
  nav_->popViewController(true);
  waitIdle();
  ASSERT_FALSE(nav_->isToolbarHidden());
  int shares = 0;
  QObject::connect(share, &BarButtonItem::triggered, [&] { ++shares; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return nav_->toolbar()->widgetForItem(share) != nullptr; }));
  QTest::mouseClick(nav_->toolbar()->widgetForItem(share), Qt::LeftButton);
  EXPECT_EQ(shares, 1);

  // Popped: gone with it.
  nav_->popViewController(true);
  waitIdle();
  EXPECT_TRUE(nav_->isToolbarHidden());
  EXPECT_EQ(root_->height(), 568 - NavigationBar::kHeight);
}

TEST(NavigationControllerSizingTest, RootGivenToTheConstructorFillsTheContentArea) {
  // The root's first transition is still running when the stack gets its
  // size and is shown; both stacks, at test speed and at real speed.
  for (const double speed : {0.0, 1.0}) {
    AnimationSettings::setSpeed(speed);
    for (const bool sliding : {false, true}) {
      Journal journal;
      auto* root = new JournalScreen("root", &journal);
      std::unique_ptr<NavigationController> nav(sliding ? new SlidingNavigationStack(root)
                                                        : new NavigationController(root));
      nav->resize(320, 568);
      nav->show();
      ASSERT_TRUE(QTest::qWaitFor([&] { return !nav->isTransitioning() && root->isAppearing(); }));
      QCoreApplication::processEvents();
      EXPECT_EQ(root->geometry(), QRect(0, 0, 320, 568 - NavigationBar::kHeight)) << sliding << " " << speed;
      EXPECT_EQ(root->mapTo(nav.get(), QPoint(0, 0)), QPoint(0, NavigationBar::kHeight));
    }
  }
  AnimationSettings::setSpeed(0);
}

TEST_F(NavigationControllerTest, PresentedScreenCoversThePresenterUntilDismissed) {
  auto* sheet = new JournalScreen("sheet", &journal_);
  root_->presentViewController(sheet, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return journal_.size() == 5; }));
  EXPECT_EQ(journal_, (Journal{"sheet.viewDidLoad", "root.viewWillDisappear", "sheet.viewWillAppear",
                               "sheet.viewDidAppear", "root.viewDidDisappear"}));
  EXPECT_EQ(sheet->geometry(), nav_->rect());
  EXPECT_EQ(nav_->visibleViewController(), sheet);
  journal_.clear();
  sheet->dismissViewController(true);
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return std::find(journal_.begin(), journal_.end(), "sheet.deleted") != journal_.end();
  }));
  EXPECT_EQ(journal_, (Journal{"sheet.viewWillDisappear", "root.viewWillAppear", "sheet.viewDidDisappear",
                               "root.viewDidAppear", "sheet.deleted"}));
}

TEST(ScreenRegistryTest, MainCollectionCreatesScreensByName) {
  Journal journal;
  ScreenRegistry::main().registerScreen(QStringLiteral("HomeViewController"),
                                        [&] { return new JournalScreen("home", &journal); });
  EXPECT_EQ(ScreenRegistry::main().name(), QStringLiteral("Main"));
  std::unique_ptr<ViewController> made(ScreenRegistry::main().create(QStringLiteral("HomeViewController")));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->navigationItem()->title(), QStringLiteral("home"));
  EXPECT_EQ(ScreenRegistry::main().create(QStringLiteral("NoSuchViewController")), nullptr);
}

}  // namespace
}  // namespace orv::toolkit
