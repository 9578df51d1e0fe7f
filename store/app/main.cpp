// orv-store: the game store. Starts through AppDelegate (push registration,
// navigation parameters), then shows the phone-sized window with the first
// screen.

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/StringsTable.h"
#include "platform/qt/QtMainQueue.h"
#include "store/AppDelegate.h"
#include "store/Config.h"
#include "store/StoreCommandLine.h"
#include "store/app/StoreWindow.h"

namespace {

using orv::store::StoreCommandLine;

std::string usage() {
  return "Usage: orv-store [options]\n"
         "The Orvik game store. With no options it uses the local reference server\n"
         "as scripts/demo-server starts it.\n\n"
         "Deployment:\n" +
         StoreCommandLine::deploymentHelp() +
         "\nOther options:\n"
         "  --screenshot FILE     save a PNG of the window once it is shown, then exit\n"
         "  --quit-after-show     exit as soon as the window is shown\n"
         "  --help                print this help and exit\n";
}

std::string flagValue(const std::vector<std::string>& flags, const std::string& name) {
  for (const auto& f : flags)
    if (f.starts_with(name + "=")) return f.substr(name.size() + 1);
  return {};
}

bool hasFlag(const std::vector<std::string>& flags, const std::string& name) {
  for (const auto& f : flags)
    if (f == name) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Options first: --help and bad values need no display.
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto parsed = StoreCommandLine::parse(args, {"quit-after-show"}, {"screenshot"});
  if (parsed.outcome == StoreCommandLine::Outcome::kHelp) {
    std::cout << usage();
    return 0;
  }
  if (parsed.outcome == StoreCommandLine::Outcome::kError) {
    std::cerr << "orv-store: " << parsed.error << "\n";
    return StoreCommandLine::kUsageError;
  }
  const std::string screenshot = flagValue(parsed.flags, "screenshot");
  const bool quitAfterShow = hasFlag(parsed.flags, "quit-after-show");

  QApplication qtApp(argc, argv);
  QApplication::setApplicationName("orv-store");
  QApplication::setApplicationDisplayName("Orvik");
  QApplication::setWindowIcon(QIcon(":/orv-store/orv-store.svg"));
  QFont font("Noto Sans");
  font.setPointSizeF(10.5);
  QApplication::setFont(font);

  QFile strings(":/orv-store/strings.vi.json");
  if (!strings.open(QIODevice::ReadOnly) || !orv::loadLocalizedStringsFromText(strings.readAll().toStdString())) {
    std::cerr << "orv-store: the built-in strings table cannot be read\n";
    return 1;
  }
  orv::setMainQueue(std::make_shared<orv::QtMainQueue>(&qtApp));
  orv::store::Config::setDeployment(parsed.deployment);

  auto& app = orv::Application::shared();
  app.setUrlOpener([](const std::string& url) { return QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); });
  app.setExitHook([](int status) {
    std::fflush(nullptr);
    std::exit(status);
  });
  auto delegate = std::make_shared<orv::store::AppDelegate>();
  app.setDelegate(delegate);
  app.finishLaunching();

  auto window = std::make_shared<orv::store::StoreWindow>();
  window->setRootWidget(orv::store::StoreWindow::createPlaceholderSignInPage());
  delegate->setWindow(window);
  window->show();

  if (quitAfterShow || !screenshot.empty()) {
    QTimer::singleShot(0, &qtApp, [&] {
      int status = 0;
      if (!screenshot.empty()) {
        const QImage image = window->grab().toImage();
        if (!image.save(QString::fromStdString(screenshot), "PNG")) {
          std::cerr << "orv-store: cannot write " << screenshot << "\n";
          status = 1;
        }
      }
      std::cout << "orv-store: window shown " << window->width() << "x" << window->height()
                << (window->isVisible() ? "" : " (not visible)") << std::endl;
      QApplication::exit(status);
    });
  }
  const int status = QApplication::exec();
  delegate->setWindow(nullptr);
  app.setDelegate(nullptr);
  window.reset();
  orv::setMainQueue(nullptr);
  return status;
}
