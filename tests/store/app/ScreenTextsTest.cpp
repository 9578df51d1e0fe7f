// What the tour reads off a window: only what a person sees, in reading order.

#include "store/app/ScreenTexts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "toolkit/AlertView.h"

namespace {

using orv::store::ScreenTexts;

QLabel* label(QWidget* parent, const QString& text, QRect geometry) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(geometry);
  return l;
}

TEST(ScreenTextsTest, ReadsLinesTopToBottomAndEachLineLeftToRight) {
  QWidget window;
  window.resize(320, 568);
  label(&window, "price", QRect(200, 52, 80, 20));  // same line as "name", a little lower
  label(&window, "name", QRect(10, 48, 150, 24));
  label(&window, "title", QRect(10, 5, 300, 30));
  (new QPushButton("TẢI VỀ", &window))->setGeometry(10, 100, 100, 30);
  label(&window, "<b>rich</b> text", QRect(10, 140, 200, 20));
  label(&window, "", QRect(10, 170, 200, 20));
  window.show();
  EXPECT_EQ(ScreenTexts::collect(&window), (QStringList{"title", "name", "price", "TẢI VỀ", "rich text"}));
}

TEST(ScreenTextsTest, SkipsHiddenScrolledAwayAndCoveredTexts) {
  QWidget window;
  window.resize(320, 568);
  label(&window, "hidden", QRect(0, 0, 100, 20))->hide();
  // A scroll area showing its first 100 points of a 1000-point page.
  auto* area = new QScrollArea(&window);
  area->setGeometry(0, 30, 320, 100);
  auto* page = new QWidget;
  page->resize(300, 1000);
  label(page, "in view", QRect(0, 10, 100, 20));
  label(page, "scrolled away", QRect(0, 600, 100, 20));
  area->setWidget(page);
  // A list whose rows are read as cells; rows past its bottom are not.
  auto* list = new QListWidget(&window);
  list->setGeometry(0, 140, 320, 60);
  for (int i = 0; i < 20; ++i) list->addItem(QStringLiteral("row %1").arg(i));
  // An opaque panel over the lower part hides what is under it.
  label(&window, "under the panel", QRect(0, 400, 150, 20));
  auto* panel = new QWidget(&window);
  panel->setAutoFillBackground(true);
  panel->setGeometry(0, 380, 320, 100);
  label(panel, "on the panel", QRect(160, 400 - 380, 150, 20));
  window.show();
  const QStringList texts = ScreenTexts::collect(&window);
  EXPECT_TRUE(texts.contains("in view"));
  EXPECT_TRUE(texts.contains("row 0"));
  EXPECT_TRUE(texts.contains("on the panel"));
  for (const char* unseen : {"hidden", "scrolled away", "row 19", "under the panel"})
    EXPECT_FALSE(texts.contains(unseen)) << unseen;
}

TEST(ScreenTextsTest, AModalAlertIsAllThatIsRead) {
  QWidget window;
  window.resize(320, 568);
  label(&window, "behind the alert", QRect(10, 260, 200, 20));
  orv::toolkit::AlertView::setHostWindow(&window);
  window.show();
  auto* alert = new orv::toolkit::AlertView("Thông báo", "Nội dung", nullptr, "Bỏ qua", {"OK"});
  alert->show();
  ASSERT_TRUE(orv::toolkit::AlertView::visibleAlert());
  const QStringList texts = ScreenTexts::collect(&window);
  EXPECT_EQ(texts, (QStringList{"Thông báo", "Nội dung", "Bỏ qua", "OK"}));
  orv::toolkit::AlertView::discardAll();
  orv::toolkit::AlertView::setHostWindow(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
