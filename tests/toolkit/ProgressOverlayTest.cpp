#include "toolkit/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <memory>

#include "tests/toolkit/QtTestEnvironment.h"
#include "toolkit/AnimationSettings.h"

namespace orv::toolkit {
namespace {

class CountingDelegate : public ProgressOverlayDelegate {
 public:
  int hidden = 0;
  void hudWasHidden(ProgressOverlay&) override { ++hidden; }
};

class ProgressOverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.reset(test::makePhoneWindow());
    button_ = new QPushButton(QStringLiteral("Tải"), window_.get());
    button_->setGeometry(110, 264, 100, 40);
    button_->show();
    QObject::connect(button_, &QPushButton::clicked, [this] { ++clicks_; });
  }
  void TearDown() override { AnimationSettings::setSpeed(0); }
  // A click at the button's place, hit-tested by the window like a finger.
  void tapWhereTheButtonIs() {
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, button_->geometry().center());
  }

  std::unique_ptr<QWidget> window_;
  QPushButton* button_ = nullptr;
  int clicks_ = 0;
};

TEST_F(ProgressOverlayTest, StartsInvisibleAndBlocksTheViewOnlyWhileShown) {
  auto* overlay = new ProgressOverlay(window_.get());
  EXPECT_EQ(overlay->geometry(), window_->rect());
  EXPECT_EQ(overlay->alpha(), 0.0);
  EXPECT_EQ(overlay->mode(), ProgressOverlay::Mode::Indeterminate);
  EXPECT_DOUBLE_EQ(overlay->opacity(), 0.8);
  tapWhereTheButtonIs();
  EXPECT_EQ(clicks_, 1);

  overlay->show(false);
  EXPECT_EQ(overlay->alpha(), 1.0);
  tapWhereTheButtonIs();
  EXPECT_EQ(clicks_, 1);

  // The store's way: hidden again, it stays in the view ready for the next show.
  overlay->hide(false);
  EXPECT_EQ(overlay->alpha(), 0.0);
  EXPECT_EQ(ProgressOverlay::HUDForView(window_.get()), overlay);
  tapWhereTheButtonIs();
  EXPECT_EQ(clicks_, 2);
  // Follows the view's size.
  window_->setFixedSize(300, 500);
  EXPECT_EQ(overlay->size(), QSize(300, 500));
}

TEST_F(ProgressOverlayTest, GraceTimeHidesShortTasksAndShowsLongOnes) {
  auto* overlay = new ProgressOverlay(window_.get());
  overlay->setGraceTime(0.5);
  QSignalSpy visible(overlay, &ProgressOverlay::becameVisible);
  QSignalSpy hidden(overlay, &ProgressOverlay::wasHidden);
  overlay->showWhileExecuting([] { QThread::msleep(100); }, true);
  EXPECT_TRUE(overlay->taskInProgress());
  ASSERT_TRUE(QTest::qWaitFor([&] { return hidden.count() == 1; }, 2000));
  EXPECT_FALSE(overlay->taskInProgress());
  // Past the grace time nothing shows up.
  EXPECT_FALSE(QTest::qWaitFor([&] { return visible.count() > 0; }, 800));

  QElapsedTimer clock;
  clock.start();
  overlay->showWhileExecuting([] { QThread::msleep(900); }, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return visible.count() == 1; }, 2000));
  EXPECT_GE(clock.elapsed(), 450);
  EXPECT_LT(clock.elapsed(), 850);
  ASSERT_TRUE(QTest::qWaitFor([&] { return hidden.count() == 2; }, 3000));
  EXPECT_EQ(overlay->alpha(), 0.0);
}

TEST_F(ProgressOverlayTest, HideBeforeGraceTimeEndsNeverShowsEvenWithTheTaskFlagLeftSet) {
  auto* overlay = new ProgressOverlay(window_.get());
  overlay->setGraceTime(0.2);
  overlay->setTaskInProgress(true);
  QSignalSpy visible(overlay, &ProgressOverlay::becameVisible);
  overlay->show(true);
  overlay->hide(true);
  EXPECT_FALSE(QTest::qWaitFor([&] { return visible.count() > 0; }, 500));
  EXPECT_EQ(overlay->alpha(), 0.0);
}

TEST_F(ProgressOverlayTest, MinimumShowTimeKeepsTheOverlayForTheRest) {
  auto* overlay = new ProgressOverlay(window_.get());
  overlay->setMinShowTime(2);
  QSignalSpy hidden(overlay, &ProgressOverlay::wasHidden);
  overlay->show(false);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.elapsed() >= 500; }, 1000));
  QElapsedTimer sinceHide;
  sinceHide.start();
  overlay->hide(false);
  EXPECT_EQ(overlay->alpha(), 1.0);
  EXPECT_EQ(hidden.count(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return hidden.count() == 1; }, 3000));
  EXPECT_GE(sinceHide.elapsed(), 1400);
  EXPECT_LT(sinceHide.elapsed(), 1900);
  EXPECT_EQ(overlay->alpha(), 0.0);
}

TEST_F(ProgressOverlayTest, HidingANeverShownOverlayFinishesAtOnce) {
  auto* overlay = new ProgressOverlay(window_.get());
  CountingDelegate delegate;
  overlay->setDelegate(&delegate);
  int completions = 0;
  overlay->setCompletionBlock([&] { ++completions; });
  overlay->hide(true);
  EXPECT_TRUE(overlay->isFinished());
  EXPECT_EQ(delegate.hidden, 1);
  EXPECT_EQ(completions, 1);
  overlay->show(false);
  overlay->hide(false);
  EXPECT_EQ(delegate.hidden, 2);
  EXPECT_EQ(completions, 1);  // the completion runs once, then is cleared
}

TEST_F(ProgressOverlayTest, FadesAndZoomsOverAThirdOfASecond) {
  AnimationSettings::setSpeed(1);
  auto* overlay = new ProgressOverlay(window_.get());
  overlay->setAnimationType(ProgressOverlay::AnimationType::ZoomOut);
  QElapsedTimer clock;
  clock.start();
  overlay->show(true);
  EXPECT_LT(overlay->alpha(), 0.5);
  EXPECT_GT(overlay->panelScale(), 1.2);  // comes in from 1.5 times its size
  ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->alpha() == 1.0; }, 2000));
  EXPECT_GE(clock.elapsed(), 250);
  EXPECT_DOUBLE_EQ(overlay->panelScale(), 1.0);
  QSignalSpy hidden(overlay, &ProgressOverlay::wasHidden);
  overlay->hide(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->panelScale() < 0.9; }, 2000));  // leaves shrinking
  ASSERT_TRUE(QTest::qWaitFor([&] { return hidden.count() == 1; }, 2000));
}

TEST_F(ProgressOverlayTest, ClassConveniencesFindAndRemoveTheViewsOverlays) {
  QWidget* view = window_.get();
  ProgressOverlay* first = ProgressOverlay::showHUDAddedTo(view, false);
  ProgressOverlay* second = ProgressOverlay::showHUDAddedTo(view, false);
  EXPECT_EQ(second->alpha(), 1.0);
  EXPECT_EQ(ProgressOverlay::allHUDsForView(view).size(), 2);
  EXPECT_EQ(ProgressOverlay::HUDForView(view), second);

  QPointer<ProgressOverlay> secondGuard(second);
  EXPECT_TRUE(ProgressOverlay::hideHUDForView(view, false));
  EXPECT_EQ(ProgressOverlay::allHUDsForView(view), QList<ProgressOverlay*>{first});
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(secondGuard.isNull());

  ProgressOverlay::showHUDAddedTo(view, false);
  EXPECT_EQ(ProgressOverlay::hideAllHUDsForView(view, false), 2);
  EXPECT_TRUE(ProgressOverlay::allHUDsForView(view).isEmpty());
  EXPECT_FALSE(ProgressOverlay::hideHUDForView(view, false));
}

TEST_F(ProgressOverlayTest, PanelGrowsWithTextAndHonoursSizeRules) {
  auto* overlay = new ProgressOverlay(window_.get());
  const QRectF spinnerOnly = overlay->panelRect();
  EXPECT_DOUBLE_EQ(spinnerOnly.width(), 37 + 2 * 20);  // indicator plus the margins
  EXPECT_EQ(spinnerOnly.center(), QPointF(160, 284));
  overlay->setLabelText(QStringLiteral("Đang tải dữ liệu"));
  EXPECT_GT(overlay->panelRect().height(), spinnerOnly.height());
  EXPECT_GT(overlay->panelRect().width(), spinnerOnly.width());
  overlay->setSquare(true);
  EXPECT_DOUBLE_EQ(overlay->panelRect().width(), overlay->panelRect().height());
  overlay->setMinSize(QSizeF(200, 200));
  overlay->setYOffset(-50);
  EXPECT_GE(overlay->panelRect().width(), 200);
  EXPECT_EQ(overlay->panelRect().center(), QPointF(160, 234));
}

}  // namespace
}  // namespace orv::toolkit
