#include "toolkit/AlertView.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <memory>

#include "tests/toolkit/QtTestEnvironment.h"

namespace orv::toolkit {
namespace {

// Records (tag, index) of every press; may show a follow-up alert.
class RecordingDelegate : public QObject, public AlertViewDelegate {
 public:
  std::vector<std::pair<int, int>> presses;
  std::function<void(AlertView&, int)> onPress;
  void alertViewClickedButtonAtIndex(AlertView& alert, int index) override {
    presses.emplace_back(alert.tag(), index);
    if (onPress) onPress(alert, index);
  }
};

class AlertViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.reset(test::makePhoneWindow());
    AlertView::setHostWindow(window_.get());
  }
  void TearDown() override {
    AlertView::discardAll();
    AlertView::setHostWindow(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  static AlertView* make(RecordingDelegate* d, int tag, const QString& cancel, const QStringList& others = {}) {
    auto* alert = new AlertView(QStringLiteral("Thông báo"), QStringLiteral("Nội dung %1").arg(tag), d, cancel, others);
    alert->setTag(tag);
    return alert;
  }
  std::unique_ptr<QWidget> window_;
};

TEST_F(AlertViewTest, PressedButtonReachesTheDelegateWithTheAlertsTagAndIndex) {
  RecordingDelegate delegate;
  AlertView* offer = make(&delegate, 996, QStringLiteral("Bỏ qua"), {QStringLiteral("Đăng ký")});
  offer->show();
  ASSERT_EQ(AlertView::visibleAlert(), offer);
  EXPECT_EQ(offer->parentWidget(), window_.get());
  EXPECT_EQ(offer->geometry(), window_->rect());
  EXPECT_EQ(offer->cancelButtonIndex(), 0);
  EXPECT_EQ(offer->buttonAtIndex(0)->text(), QStringLiteral("Bỏ qua"));
  EXPECT_EQ(offer->buttonAtIndex(1)->text(), QStringLiteral("Đăng ký"));

  QTest::mouseClick(offer->buttonAtIndex(1), Qt::LeftButton);
  EXPECT_EQ(delegate.presses, (std::vector<std::pair<int, int>>{{996, 1}}));
  EXPECT_EQ(AlertView::visibleAlert(), nullptr);

  AlertView* notice = make(&delegate, 999, QStringLiteral("Thoát"));
  notice->show();
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  EXPECT_EQ(delegate.presses.back(), (std::pair<int, int>{999, 0}));
  EXPECT_FALSE(AlertView::pressVisibleAlertButton(0));
}

TEST_F(AlertViewTest, AlertsQueueAndAppearOneAfterAnother) {
  RecordingDelegate delegate;
  AlertView* first = make(&delegate, 1, QStringLiteral("Ok"));
  AlertView* second = make(&delegate, 2, QStringLiteral("Ok"));
  AlertView* third = make(&delegate, 3, QString(), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  // A follow-up shown from a callback waits behind alerts already queued.
  AlertView* followUp = make(&delegate, 4, QStringLiteral("Ok"));
  delegate.onPress = [&](AlertView& alert, int) {
    if (alert.tag() == 1) followUp->show();
  };
  first->show();
  second->show();
  third->show();
  EXPECT_EQ(AlertView::visibleAlert(), first);
  EXPECT_EQ(AlertView::queuedAlerts(), (QList<AlertView*>{second, third}));
  EXPECT_FALSE(second->isVisible());

  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  EXPECT_EQ(AlertView::visibleAlert(), second);
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  ASSERT_EQ(AlertView::visibleAlert(), third);
  // Without a cancel title the other titles start at index 0.
  EXPECT_EQ(third->cancelButtonIndex(), -1);
  EXPECT_EQ(third->buttonTitleAtIndex(0), QStringLiteral("A"));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(2));
  ASSERT_EQ(AlertView::visibleAlert(), followUp);
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));
  EXPECT_EQ(delegate.presses, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 2}, {4, 0}}));
}

TEST_F(AlertViewTest, ButtonTitlesFitInsideTheCardWithRoomToSpare) {
  RecordingDelegate delegate;
  auto fits = [](QPushButton* button) {
    const QWidget* card = button->parentWidget();
    const QRect inCard(button->mapTo(card, QPoint(0, 0)), button->size());
    return card->rect().contains(inCard) &&
           QFontMetrics(button->font()).horizontalAdvance(button->text()) + 2 * 8 <= button->width();
  };
  // Short titles share one row.
  AlertView* offer = make(&delegate, 1, QStringLiteral("Bỏ qua"), {QStringLiteral("Đăng ký")});
  offer->show();
  EXPECT_EQ(offer->buttonAtIndex(0)->y(), offer->buttonAtIndex(1)->y());
  EXPECT_TRUE(fits(offer->buttonAtIndex(0)));
  EXPECT_TRUE(fits(offer->buttonAtIndex(1)));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));

  // A title too long for half the card: the buttons are stacked.
  AlertView* share = make(&delegate, 2, QStringLiteral("Đóng"), {QStringLiteral("Sao chép liên kết")});
  share->show();
  QPushButton* close = share->buttonAtIndex(0);
  QPushButton* copy = share->buttonAtIndex(1);
  EXPECT_LT(close->y(), copy->y());
  EXPECT_EQ(close->width(), copy->width());
  EXPECT_TRUE(fits(close));
  EXPECT_TRUE(fits(copy));
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(1));
  EXPECT_EQ(delegate.presses.back(), (std::pair<int, int>{2, 1}));
}

TEST_F(AlertViewTest, DestroyedDelegateIsNotCalled) {
  auto delegate = std::make_unique<RecordingDelegate>();
  QPointer<AlertView> alert = make(delegate.get(), 7, QStringLiteral("Ok"));
  int handled = -1;
  alert->setClickedHandler([&](int index) { handled = index; });
  alert->show();
  delegate.reset();
  EXPECT_EQ(alert->delegate(), nullptr);
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(0));  // must not touch the freed delegate
  EXPECT_EQ(handled, 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alert.isNull());
}

}  // namespace
}  // namespace orv::toolkit
