// orv-store: the game store. Starts through AppDelegate (push registration,
// navigation parameters), then shows the phone-sized window with the first
// screen, the phone-number sign-in. With --tour DIR it walks through the
// store by itself (StoreTour) and exits with the tour's outcome; with
// --measure-start it prints when each stage of a cold start was reached and
// exits once the home screen shows its first pictures.

#include <QApplication>
#include <QDesktopServices>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
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
#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "store/app/StartTimeline.h"
#include "store/app/StoreTour.h"
#include "store/app/StoreWindow.h"
#include "store/screens/LoginViewController.h"
#include "store/screens/StoreScreens.h"
#include "toolkit/AlertView.h"

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
         "  --tour DIR            walk through the store by itself (sign-in with a one-time\n"
         "                        password, home, menu, a category to its end, a game, buy,\n"
         "                        search, share, then a second run as a guest); writes\n"
         "                        DIR/NN-step.png and DIR/tour.json; exits 0 when every\n"
         "                        step passed, else 1 naming the step and why\n"
         "  --tour-msisdn NUMBER  the number the tour signs in with (84912000098)\n"
         "  --measure-details N   signed in at once: open N game pages one from the other,\n"
         "                        go back home, print the resident size at each point\n"
         "  --measure-start       print when each stage of the start was reached and exit\n"
         "                        once the home screen shows its first pictures\n"
         "  --quit-after-show     exit as soon as the window is shown\n"
         "  --help                print this help and exit\n";
}

// The moment the process started, on the steady clock: the kernel's start
// time of this process (clock ticks since boot) against the boot-time clock.
std::chrono::steady_clock::time_point processStart() {
  const auto now = std::chrono::steady_clock::now();
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  timespec boot{};
  if (close == std::string::npos || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) return now;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 (starttime); fields 1 and 2 were before the ')'.
  for (int i = 3; i <= 22 && (fields >> field); ++i) {
  }
  const double started = std::stod(field.empty() ? "0" : field) / static_cast<double>(sysconf(_SC_CLK_TCK));
  const double uptime = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9;
  const auto age = std::chrono::duration<double>(uptime - started);
  if (age.count() < 0 || age.count() > 60) return now;
  return now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(age);
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
  const auto started = processStart();
  // Options first: --help and bad values need no display.
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto parsed = StoreCommandLine::parse(args, {"quit-after-show", "tour-guest", "measure-start"},
                                              {"screenshot", "tour", "tour-msisdn", "measure-details"});
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
  const std::string tourDir = flagValue(parsed.flags, "tour");
  const bool measureStart = hasFlag(parsed.flags, "measure-start");
  const int measureDetails = std::atoi(flagValue(parsed.flags, "measure-details").c_str());
  // The tour and the measurement keep their navigation parameters in a
  // settings file of their own, so the user's stay untouched.
  QTemporaryDir scratch;
  if (!tourDir.empty() || measureStart || measureDetails > 0) {
    if (!scratch.isValid()) {
      std::cerr << "orv-store: no temporary folder for the settings\n";
      return 1;
    }
    orv::SettingsStore::useStandardFile(QDir(scratch.path()).filePath("settings.json").toStdString());
  }

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

  orv::store::registerStoreScreens();
  auto window = std::make_shared<orv::store::StoreWindow>();
  orv::toolkit::AlertView::setHostWindow(window.get());
  auto* login = new orv::store::LoginViewController;
  window->setRootWidget(login);
  delegate->setWindow(window);
  window->show();

  std::unique_ptr<orv::store::StartTimeline> timeline;
  if (measureStart) {
    timeline = std::make_unique<orv::store::StartTimeline>(*login, started);
    QObject::connect(timeline.get(), &orv::store::StartTimeline::finished, &qtApp, [&](bool ok) {
      std::cout << timeline->report() << std::flush;
      QApplication::exit(ok ? 0 : 1);
    });
    timeline->start();
  }
  if (measureDetails > 0) {
    QTimer::singleShot(0, &qtApp, [&] {
      orv::store::StoreTour tour(*window, *login, {});
      QApplication::exit(tour.measureDetailPages(measureDetails));
    });
  }
  if (!tourDir.empty()) {
    orv::store::StoreTour::Options options;
    options.dir = QString::fromStdString(tourDir);
    options.guestOnly = hasFlag(parsed.flags, "tour-guest");
    options.processStart = started;
    options.program = QCoreApplication::applicationFilePath();
    for (const auto& a : args)
      if (a != "--tour-guest") options.arguments << QString::fromStdString(a);
    if (const std::string number = flagValue(parsed.flags, "tour-msisdn"); !number.empty()) options.msisdn = number;
    QTimer::singleShot(0, &qtApp, [&, options] {
      orv::store::StoreTour tour(*window, *login, options);
      const int status = tour.run();
      if (status == 0) {
        if (!options.guestOnly)
          std::cout << "orv-store: tour passed; pictures and report (tour.json) in " << tourDir << std::endl;
      } else {
        std::cerr << "orv-store: tour failed at " << tour.failure().toStdString() << std::endl;
      }
      QApplication::exit(status);
    });
  }

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
  // The session ends here, while everything it uses is alive: the shared
  // client would otherwise say goodbye to the server from a static
  // destructor, after the values it sends were already destroyed.
  auto client = orv::store::Config::sharedClient();
  if (client->isConnected()) {
    client->disconnect();
    QDeadlineTimer bound(2000);
    while (client->isConnected() && !bound.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  delegate->setWindow(nullptr);
  app.setDelegate(nullptr);
  window.reset();
  orv::setMainQueue(nullptr);
  return status;
}
