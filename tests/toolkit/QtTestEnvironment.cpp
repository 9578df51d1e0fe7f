#include "tests/toolkit/QtTestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

#include "toolkit/AlertView.h"
#include "toolkit/AnimationSettings.h"

namespace orv::toolkit::test {

namespace {
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "toolkit_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    QFont font(QStringLiteral("Noto Sans"));
    font.setPixelSize(14);
    QApplication::setFont(font);
    AnimationSettings::setSpeed(0);
  }
  void TearDown() override {
    AlertView::discardAll();
    delete app_;
  }

 private:
  QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

QWidget* makePhoneWindow() {
  auto* window = new QWidget();
  window->setFixedSize(320, 568);
  window->show();
  return window;
}

}  // namespace orv::toolkit::test
