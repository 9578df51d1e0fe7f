#include "store/app/StartTimeline.h"

#include <QTimer>
#include <cstdio>

#include "client/ORVClient.h"
#include "store/Config.h"
#include "store/app/StoreTour.h"
#include "store/screens/HomeViewController.h"
#include "store/screens/LoginViewController.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {
namespace {

constexpr int kGiveUpMs = 30000;
constexpr const char* kStages[] = {"main",          "window-shown",  "connected",       "logged-in",
                                   "number-known",  "store-shown",   "home-answers",    "first-picture", "home-pictures"};

HomeViewController* shownHome(LoginViewController* login) {
  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  if (!login || !stack || login->presentedViewController() != stack) return nullptr;
  return qobject_cast<HomeViewController*>(stack->topViewController());
}

}  // namespace

StartTimeline::StartTimeline(LoginViewController& login, std::chrono::steady_clock::time_point processStart)
    : login_(&login), processStart_(processStart), timer_(new QTimer(this)) {
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(1);
  connect(timer_, &QTimer::timeout, this, &StartTimeline::poll);
}

void StartTimeline::start() {
  mark("main");
  timer_->start();
}

void StartTimeline::mark(const char* stage) {
  const std::chrono::duration<double, std::milli> since = std::chrono::steady_clock::now() - processStart_;
  stages_.emplace_back(stage, since.count());
  ++next_;
}

void StartTimeline::poll() {
  if (!login_) return;
  const auto state = login_->flow() ? login_->flow()->state() : SignInFlow::State::kIdle;
  using S = SignInFlow::State;
  // Each stage is checked only after the one before it was reached.
  while (next_ < std::size(kStages)) {
    const std::string stage = kStages[next_];
    bool reached = false;
    if (stage == "window-shown") {
      reached = login_->isVisible();
    } else if (stage == "connected") {
      reached = Config::sharedClient()->isConnected() || (state != S::kIdle && state != S::kConnecting);
    } else if (stage == "logged-in") {
      reached = state != S::kIdle && state != S::kConnecting && state != S::kLoggingIn;
    } else if (stage == "number-known") {
      reached = !Config::getMsisdn().empty() || state == S::kForm;
    } else if (stage == "store-shown") {
      reached = shownHome(login_) != nullptr;
    } else if (stage == "home-answers") {
      auto* home = shownHome(login_);
      reached = home && !home->model().slider().empty() && !home->model().sections().empty();
    } else if (stage == "first-picture") {
      auto* home = shownHome(login_);
      if (home)
        for (auto* view : home->findChildren<orv::toolkit::RemoteImageView*>())
          reached = reached || !view->image().isNull();
    } else if (stage == "home-pictures") {
      auto* home = shownHome(login_);
      reached = home && StoreTour::picturesShown(home);
    }
    if (!reached) break;
    mark(stage.c_str());
  }
  const bool done = next_ == std::size(kStages);
  const std::chrono::duration<double, std::milli> since = std::chrono::steady_clock::now() - processStart_;
  if (done || since.count() > kGiveUpMs || state == S::kForm) {
    timer_->stop();
    emit finished(done);
  }
}

std::string StartTimeline::report() const {
  std::string out;
  char line[96];
  for (const auto& [stage, ms] : stages_) {
    std::snprintf(line, sizeof line, "stage %s %.1f\n", stage.c_str(), ms);
    out += line;
  }
  if (next_ < std::size(kStages)) out += std::string("stage-missing ") + kStages[next_] + "\n";
  return out;
}

}  // namespace orv::store
