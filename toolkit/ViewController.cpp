#include "toolkit/ViewController.h"

#include <QPainter>
#include <QShowEvent>
#include <QStyleOption>

#include "toolkit/NavigationController.h"
#include "toolkit/detail/Animate.h"

namespace orv::toolkit {

namespace {
constexpr double kPresentDuration = 0.35;

// The controller whose appearance stands for `controller`'s when it
// presents: the outermost container it sits in.
ViewController* appearanceOwner(ViewController* controller) {
  ViewController* owner = controller;
  while (owner->navigationController()) owner = owner->navigationController();
  return owner;
}
}  // namespace

ViewController::ViewController(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

ViewController::~ViewController() = default;

void ViewController::loadViewIfNeeded() {
  if (viewLoaded_) return;
  viewLoaded_ = true;
  viewDidLoad();
}

NavigationController* ViewController::navigationController() const { return navigationController_; }

QList<BarButtonItem*> ViewController::toolbarItems() const {
  QList<BarButtonItem*> out;
  for (const auto& item : toolbarItems_)
    if (item) out << item.data();
  return out;
}

void ViewController::setToolbarItems(const QList<BarButtonItem*>& items) {
  toolbarItems_.clear();
  for (auto* item : items) toolbarItems_ << QPointer<BarButtonItem>(item);
  if (navigationController_ && navigationController_->topViewController() == this)
    navigationController_->refreshToolbar();
}

void ViewController::beginAppearance(bool appearing, bool animated) {
  if (appearing) {
    loadViewIfNeeded();
    if (appearing_) return;
    appearing_ = true;
    appearanceTransition_ = true;
    viewWillAppear(animated);
  } else {
    if (!appearing_) return;
    appearing_ = false;
    appearanceTransition_ = true;
    viewWillDisappear(animated);
  }
}

void ViewController::endAppearance(bool animated) {
  if (!appearanceTransition_) return;
  appearanceTransition_ = false;
  if (appearing_) {
    viewDidAppear(animated);
    emit appeared();
  } else {
    viewDidDisappear(animated);
    emit disappeared();
  }
}

void ViewController::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A screen that is a window of its own has no container to drive it.
  if (event->spontaneous() || !isWindow() || managedByContainer_) return;
  beginAppearance(true, false);
  endAppearance(false);
}

void ViewController::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous() || !isWindow() || managedByContainer_) return;
  beginAppearance(false, false);
  endAppearance(false);
}

void ViewController::paintEvent(QPaintEvent* event) {
  // Lets screens style themselves with style sheets.
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  QWidget::paintEvent(event);
}

void ViewController::presentViewController(ViewController* controller, bool animated,
                                           std::function<void()> completion) {
  if (!controller || presented_) return;
  QWidget* host = window();
  ViewController* owner = appearanceOwner(this);
  presented_ = controller;
  controller->presenting_ = this;
  controller->managedByContainer_ = true;
  controller->setParent(host);
  controller->setGeometry(0, host->height(), host->width(), host->height());
  controller->loadViewIfNeeded();
  const bool visible = owner->isAppearing() || owner->isVisible();
  if (visible) {
    owner->beginAppearance(false, animated);
    controller->beginAppearance(true, animated);
  }
  controller->QWidget::show();
  controller->raise();
  QPointer<ViewController> self(this), presented(controller), ownerGuard(owner);
  const double seconds = animated ? kPresentDuration : 0.0;
  detail::animate(
      controller, seconds, QEasingCurve::OutCubic,
      [presented, host](double p) {
        if (presented) presented->move(0, static_cast<int>(host->height() * (1.0 - p)));
      },
      [presented, ownerGuard, visible, animated, completion = std::move(completion)] {
        if (!presented) return;
        presented->setGeometry(presented->parentWidget()->rect());
        if (visible) {
          presented->endAppearance(animated);
          if (ownerGuard) ownerGuard->endAppearance(animated);
        }
        if (completion) completion();
      });
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
  if (!presented_ && presenting_) {
    presenting_->dismissViewController(animated, std::move(completion));
    return;
  }
  if (!presented_) return;
  QPointer<ViewController> presented = presented_;
  ViewController* owner = appearanceOwner(this);
  QPointer<ViewController> ownerGuard(owner);
  presented_ = nullptr;
  const bool visible = presented->isAppearing();
  if (visible) {
    presented->beginAppearance(false, animated);
    owner->beginAppearance(true, animated);
  }
  const int height = presented->height();
  detail::animate(
      owner, animated ? kPresentDuration : 0.0, QEasingCurve::OutCubic,
      [presented, height](double p) {
        if (presented) presented->move(0, static_cast<int>(height * p));
      },
      [presented, ownerGuard, visible, animated, completion = std::move(completion)] {
        if (presented) {
          presented->QWidget::hide();
          if (visible) presented->endAppearance(animated);
          presented->presenting_ = nullptr;
          presented->deleteLater();
        }
        if (visible && ownerGuard) ownerGuard->endAppearance(animated);
        if (completion) completion();
      });
}

}  // namespace orv::toolkit
