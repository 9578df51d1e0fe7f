#include "store/app/StoreWindow.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using orv::store::StoreWindow;

TEST(StoreWindowTest, PhoneSizedWindowWithTitleIconAndOneRootWidget) {
  StoreWindow window;
  EXPECT_EQ(window.size(), QSize(320, 568));
  EXPECT_EQ(window.windowTitle(), "Orvik");
  EXPECT_FALSE(window.windowIcon().isNull());
  window.setRootWidget(StoreWindow::createPlaceholderSignInPage());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QPointer<QWidget> first = window.rootWidget();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->geometry(), window.rect());  // the root fills the window

  auto* replacement = new QLabel("Đăng nhập");
  window.setRootWidget(replacement);
  EXPECT_TRUE(first.isNull());  // the previous screen is gone
  EXPECT_EQ(window.rootWidget(), replacement);
  ASSERT_TRUE(QTest::qWaitFor([&] { return replacement->isVisible(); }));
  EXPECT_EQ(replacement->geometry(), window.rect());
}

// The binary itself, as a user starts it, on the offscreen platform.
class OrvStoreProcessTest : public ::testing::Test {
 protected:
  struct Run {
    int status = -1;
    QString out;
    QString err;
  };
  Run run(const QStringList& args) {
    QProcess process;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.path());  // keep the user's settings out of it
    process.setProcessEnvironment(env);
    process.start(ORV_STORE_BINARY, args);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
  }
  QTemporaryDir home;
};

TEST_F(OrvStoreProcessTest, HelpListsEveryOptionAndBadValuesExitWith2) {
  const auto help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--server HOST[:PORT]", "--api URL", "--media URL", "--register URL", "--share URL",
                             "--settings FILE", "--screenshot FILE", "--quit-after-show", "--help"})
    EXPECT_TRUE(help.out.contains(option)) << option;
  for (const QStringList& bad : {QStringList{"--server", "host:99999"}, QStringList{"--api", "ftp://x"},
                                 QStringList{"--frobnicate"}, QStringList{"--screenshot"}}) {
    const auto r = run(bad);
    EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
    EXPECT_TRUE(r.err.startsWith("orv-store: ")) << r.err.toStdString();
  }
}

TEST_F(OrvStoreProcessTest, StartsShowsItsWindowAndLeavesAScreenshot) {
  const auto shown = run({"--quit-after-show", "--register", "http://127.0.0.1:1"});
  EXPECT_EQ(shown.status, 0) << shown.err.toStdString();
  EXPECT_TRUE(shown.out.contains("window shown 320x568")) << shown.out.toStdString();
  // Start-up ran: the navigation parameters are in the settings file.
  QFile settings(home.path() + "/orv-store/settings.json");
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  EXPECT_TRUE(settings.readAll().contains("\"cmd\": \"hm\""));

  const QString png = home.path() + "/shell.png";
  const auto shot = run({"--screenshot", png});
  EXPECT_EQ(shot.status, 0) << shot.err.toStdString();
  QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(320, 568));
  // Not a blank frame: the page's colours differ between top and bottom.
  EXPECT_NE(image.pixelColor(10, 10), image.pixelColor(10, image.height() - 10));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
