#include "toolkit/SlidingNavigationStack.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolButton>
#include <QVariantAnimation>
#include <cmath>
#include <cstring>

#include "platform/Log.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/Icons.h"
#include "toolkit/NavigationBar.h"
#include "toolkit/ScreenRegistry.h"
#include "toolkit/detail/Animate.h"

namespace orv::toolkit {

namespace detail {
void clearStandardSettings();  // SettingsClearing.cpp
}

namespace {
SlidingNavigationStack* gShared = nullptr;
std::function<void()>& settingsClearer() {
  static std::function<void()> clearer = [] { detail::clearStandardSettings(); };
  return clearer;
}
// Movement (points) before a press becomes a drag of the stack.
constexpr double kDragThreshold = 10;
// Only the moves of this last stretch of time count for the release velocity.
constexpr qint64 kVelocityWindowMs = 100;
constexpr const char* kMenuItemsProperty = "orvSlidingMenuItems";
}  // namespace

// A soft dark grey edge drawn under the sliding view, over the menu.
class SlidingNavigationStack::Shadow : public QWidget {
 public:
  explicit Shadow(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
  double opacity = 1.0;
  double radius = 1.0;
  static constexpr int kSpread = 4;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (opacity <= 0 || radius <= 0) return;
    QPainter painter(this);
    painter.setOpacity(opacity);
    const QRect inner = rect().adjusted(kSpread, 0, -kSpread, 0);
    for (int i = 0; i < kSpread; ++i) {
      QColor c(64, 64, 64);
      c.setAlphaF(0.45 * (1.0 - double(i) / kSpread));
      painter.fillRect(QRect(inner.left() - 1 - i, 0, 1, height()), c);
      painter.fillRect(QRect(inner.right() + 1 + i, 0, 1, height()), c);
    }
  }
};

// Covers the top screen while a menu is open: a tap on it closes the menu.
class SlidingNavigationStack::TapCatcher : public QWidget {
 public:
  TapCatcher(QWidget* parent, SlidingNavigationStack* stack) : QWidget(parent), stack_(stack) {
    setObjectName(QStringLiteral("slidingStackTapCatcher"));
    setAttribute(Qt::WA_NoSystemBackground);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    pressed_ = true;
    pressAt_ = event->position();
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool tap = pressed_ && rect().contains(event->position().toPoint()) &&
                     (event->position() - pressAt_).manhattanLength() < kDragThreshold;
    pressed_ = false;
    event->accept();
    if (tap) stack_->tapDetected();
  }

 private:
  SlidingNavigationStack* stack_;
  bool pressed_ = false;
  QPointF pressAt_;
};

SlidingNavigationStack::SlidingNavigationStack(ViewController* root, QWidget* parent)
    : NavigationController(root, parent) {
  setup();
}

void SlidingNavigationStack::setup() {
  if (gShared) orv::log("SlidingNavigationStack::setup", kSingletonWarning);
  gShared = this;
  shadow_ = new Shadow(this);
  shadow_->lower();
  tapCatcher_ = new TapCatcher(stackView(), this);
  tapCatcher_->hide();
  qApp->installEventFilter(this);
}

SlidingNavigationStack::~SlidingNavigationStack() {
  if (gShared == this) gShared = nullptr;
  if (qApp) qApp->removeEventFilter(this);
}

SlidingNavigationStack* SlidingNavigationStack::sharedInstance() {
  if (gShared) return gShared;
  const QString identifier = QStringLiteral("SlidingNavigationStack");
  if (ScreenRegistry::main().contains(identifier)) {
    ViewController* made = ScreenRegistry::main().create(identifier);
    if (auto* stack = qobject_cast<SlidingNavigationStack*>(made)) return stack;
    delete made;
  }
  return new SlidingNavigationStack();
}

SlidingNavigationStack* SlidingNavigationStack::existingInstance() { return gShared; }

// ------------------------------------------------------------------ fields

void SlidingNavigationStack::setLeftMenu(ViewController* menu) {
  if (leftMenu_ == menu) return;
  if (leftMenu_) leftMenu_->deleteLater();
  leftMenu_ = menu;
  if (menu) {
    menu->setParent(this);
    menu->QWidget::hide();
    menu->loadViewIfNeeded();
  }
}

void SlidingNavigationStack::setRightMenu(ViewController* menu) {
  if (rightMenu_ == menu) return;
  if (rightMenu_) rightMenu_->deleteLater();
  rightMenu_ = menu;
  if (menu) {
    menu->setParent(this);
    menu->QWidget::hide();
    menu->loadViewIfNeeded();
  }
}

QList<BarButtonItem*> SlidingNavigationStack::rightBarButtonItems() const {
  QList<BarButtonItem*> out;
  for (const auto& item : rightBarButtonItems_)
    if (item) out << item.data();
  return out;
}

void SlidingNavigationStack::setRightBarButtonItems(const QList<BarButtonItem*>& items) {
  rightBarButtonItems_.clear();
  for (auto* item : items) rightBarButtonItems_ << QPointer<BarButtonItem>(item);
  hasRightBarButtonItems_ = true;
  if (ViewController* top = topViewController()) placeMenuButtons(top);
}

void SlidingNavigationStack::setEnableShadow(bool enable) {
  enableShadow_ = enable;
  shadow_->opacity = enable ? 1.0 : 0.0;
  shadow_->radius = enable ? 1.0 : 0.0;
  shadow_->update();
}

double SlidingNavigationStack::shadowOpacity() const { return shadow_->opacity; }
double SlidingNavigationStack::shadowRadius() const { return shadow_->radius; }

// ---------------------------------------------------------------- geometry

bool SlidingNavigationStack::isLandscape() const { return width() > height(); }
double SlidingNavigationStack::horizontalLocation() const { return stackView()->x(); }
double SlidingNavigationStack::horizontalSize() const { return stackView()->width(); }
double SlidingNavigationStack::slideOffset() const {
  return isLandscape() ? landscapeSlideOffset_ : portraitSlideOffset_;
}
bool SlidingNavigationStack::isMenuOpen() const { return horizontalLocation() != 0; }

double SlidingNavigationStack::maxXForDragging() const {
  return shouldDisplayMenu(Left, topViewController()) ? horizontalSize() - slideOffset() : 0;
}

double SlidingNavigationStack::minXForDragging() const {
  return shouldDisplayMenu(Right, topViewController()) ? -(horizontalSize() - slideOffset()) : 0;
}

bool SlidingNavigationStack::shouldDisplayMenu(Menu menu, const ViewController* controller) {
  if (!controller) return false;
  return menu == Left ? controller->slidingStackShouldDisplayLeftMenu()
                      : controller->slidingStackShouldDisplayRightMenu();
}

void SlidingNavigationStack::moveHorizontallyToLocation(double location) {
  const double old = horizontalLocation();
  stackView()->move(static_cast<int>(std::lround(location)), 0);
  shadow_->setGeometry(stackView()->geometry().adjusted(-Shadow::kSpread, 0, Shadow::kSpread, 0));
  tapCatcher_->raise();
  if (animator_) {
    const double open = horizontalSize() - slideOffset();
    const Menu menu = (old < 0 || location < 0) ? Right : Left;
    animator_->animateMenu(menu, open > 0 ? std::abs(location) / open : 0.0);
  }
}

void SlidingNavigationStack::layoutMenus() {
  for (ViewController* menu : {leftMenu_.data(), rightMenu_.data()})
    if (menu) menu->setGeometry(rect());
  shadow_->setGeometry(stackView()->geometry().adjusted(-Shadow::kSpread, 0, Shadow::kSpread, 0));
  const int barBottom = isNavigationBarHidden() ? 0 : NavigationBar::kHeight;
  tapCatcher_->setGeometry(0, barBottom, stackView()->width(), stackView()->height() - barBottom);
}

void SlidingNavigationStack::resizeEvent(QResizeEvent* event) {
  const double location = horizontalLocation();
  NavigationController::resizeEvent(event);
  // An open menu stays open at the new size's open location.
  if (location > 0) stackView()->move(static_cast<int>(horizontalSize() - slideOffset()), 0);
  else if (location < 0) stackView()->move(static_cast<int>(-(horizontalSize() - slideOffset())), 0);
  layoutMenus();
}

// ------------------------------------------------------------ menu buttons

void SlidingNavigationStack::willShowViewController(ViewController* controller, bool animated) {
  NavigationController::willShowViewController(controller, animated);
  placeMenuButtons(controller);
}

void SlidingNavigationStack::placeMenuButtons(ViewController* controller) {
  if (!controller) return;
  NavigationItem* item = controller->navigationItem();
  const QColor tint = navigationBar()->tintColor();
  if (shouldDisplayMenu(Left, controller)) {
    // Made once per screen and kept by it.
    auto stored = controller->property(kMenuItemsProperty).value<QObject*>();
    auto* holder = qobject_cast<BarButtonItem*>(stored);
    if (!holder) {
      auto* space = BarButtonItem::fixedSpace(-22, controller);
      auto* view = new QWidget();
      view->setObjectName(QStringLiteral("slidingStackMenuButtons"));
      view->setFixedSize(97, 35);
      auto* menuButton = new QToolButton(view);
      menuButton->setObjectName(QStringLiteral("slidingStackMenuButton"));
      menuButton->setGeometry(0, 0, 35, 35);
      menuButton->setIcon(Icons::icon(QStringLiteral("ic-menu"), QSize(24, 24), tint));
      menuButton->setIconSize(QSize(24, 24));
      auto* homeButton = new QToolButton(view);
      homeButton->setObjectName(QStringLiteral("slidingStackHomeButton"));
      homeButton->setGeometry(40, 0, 62, 35);
      homeButton->setIcon(Icons::icon(QStringLiteral("ic-home"), QSize(24, 24), tint));
      homeButton->setIconSize(QSize(24, 24));
      for (QToolButton* button : {menuButton, homeButton}) {
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(QStringLiteral("QToolButton{border:none; background:transparent;}"
                                             "QToolButton:pressed{background:rgba(255,255,255,40); border-radius:6px;}"));
      }
      QPointer<SlidingNavigationStack> self(this);
      connect(menuButton, &QToolButton::clicked, this, [self] {
        if (self) self->leftMenuSelected();
      });
      connect(homeButton, &QToolButton::clicked, this, [] { SlidingNavigationStack::popToRoot(); });
      holder = BarButtonItem::withCustomView(view, controller);
      holder->setProperty("orvSpace", QVariant::fromValue<QObject*>(space));
      controller->setProperty(kMenuItemsProperty, QVariant::fromValue<QObject*>(holder));
    }
    auto* space = qobject_cast<BarButtonItem*>(holder->property("orvSpace").value<QObject*>());
    item->setLeftBarButtonItems({space, holder});
  }
  if (shouldDisplayMenu(Right, controller)) {
    BarButtonItem* right = rightBarButtonItem_;
    if (!right) {
      right = BarButtonItem::withImage(QStringLiteral("ic-menu"), BarButtonItem::Style::Plain, controller);
      rightBarButtonItem_ = right;
    }
    if (!right->property("orvSlidingConnected").toBool()) {
      right->setProperty("orvSlidingConnected", true);
      connect(right, &BarButtonItem::triggered, this, &SlidingNavigationStack::rightMenuSelected);
    }
    item->setRightBarButtonItem(right);
  }
  if (hasRightBarButtonItems_) item->setRightBarButtonItems(rightBarButtonItems());
}

// ----------------------------------------------------------------- opening

void SlidingNavigationStack::enableTapGestureToCloseMenu(bool enable) {
  tapToCloseEnabled_ = enable;
  if (ViewController* top = topViewController()) top->setAttribute(Qt::WA_TransparentForMouseEvents, enable);
  tapCatcher_->setVisible(enable);
  if (enable) tapCatcher_->raise();
}

void SlidingNavigationStack::prepareMenuForReveal(Menu menu, bool force) {
  if (isMenuOpen() && !force) return;
  // Menus appear while they lie in the window under the stack.
  ViewController* show = menu == Left ? leftMenu_ : rightMenu_;
  ViewController* other = menu == Left ? rightMenu_ : leftMenu_;
  if (other && other->isVisible()) {
    other->beginAppearance(false, false);
    other->QWidget::hide();
    other->endAppearance(false);
  }
  lastRevealedMenu_ = menu;
  if (!show) return;
  show->setGeometry(rect());
  show->lower();
  const bool appears = !show->isVisible() && isAppearing();
  if (appears) show->beginAppearance(true, false);
  show->QWidget::show();
  show->lower();
  if (appears) show->endAppearance(false);
  if (animator_) animator_->prepareMenuForAnimation(menu);
}

void SlidingNavigationStack::animateTo(double location, double duration, std::function<void()> completion) {
  // A new slide replaces a running one; the replaced one's completion still
  // runs (stack operations waiting for a close must not be lost).
  std::function<void()> replaced = std::move(pendingCompletion_);
  pendingCompletion_ = std::move(completion);
  if (menuAnimation_) menuAnimation_->stop();
  const quint64 generation = ++menuGeneration_;
  lastDuration_ = duration;
  menuAnimating_ = true;
  const double from = horizontalLocation();
  QPointer<SlidingNavigationStack> self(this);
  menuAnimation_ = detail::animate(
      this, duration, QEasingCurve::OutCubic,
      [self, from, location](double p) {
        if (self) self->moveHorizontallyToLocation(from + (location - from) * p);
      },
      [self, generation] {
        if (!self || self->menuGeneration_ != generation) return;
        self->menuAnimating_ = false;
        if (auto done = std::move(self->pendingCompletion_)) {
          self->pendingCompletion_ = nullptr;
          done();
        }
      });
  if (replaced) replaced();
}

void SlidingNavigationStack::openMenu(Menu menu, std::function<void()> completion) {
  openMenu(menu, kMenuDuration, std::move(completion));
}

void SlidingNavigationStack::openMenu(Menu menu, double duration, std::function<void()> completion) {
  enableTapGestureToCloseMenu(true);
  prepareMenuForReveal(menu, false);
  const double open = horizontalSize() - slideOffset();
  QPointer<SlidingNavigationStack> self(this);
  animateTo(menu == Left ? open : -open, duration, [self, menu, completion = std::move(completion)] {
    if (self) emit self->menuOpened(menu);
    if (completion) completion();
  });
}

void SlidingNavigationStack::closeMenu(std::function<void()> completion) {
  closeMenu(kMenuDuration, std::move(completion));
}

void SlidingNavigationStack::closeMenu(double duration, std::function<void()> completion) {
  enableTapGestureToCloseMenu(false);
  QPointer<SlidingNavigationStack> self(this);
  animateTo(0, duration, [self, completion = std::move(completion)] {
    if (self) emit self->menuClosed();
    if (completion) completion();
  });
}

void SlidingNavigationStack::toggleMenu(Menu menu, std::function<void()> completion) {
  if (isMenuOpen()) closeMenu(std::move(completion));
  else openMenu(menu, std::move(completion));
}

void SlidingNavigationStack::toggleLeftMenu() { toggleMenu(Left); }
void SlidingNavigationStack::toggleRightMenu() { toggleMenu(Right); }

void SlidingNavigationStack::leftMenuSelected() {
  if (isMenuOpen()) closeMenu();
  else openMenu(Left);
}

void SlidingNavigationStack::rightMenuSelected() {
  if (isMenuOpen()) closeMenu();
  else openMenu(Right);
}

void SlidingNavigationStack::tapDetected() { closeMenu(); }

// -------------------------------------------------------- stack operations

void SlidingNavigationStack::afterMenuClosed(std::function<void()> op) {
  if (isMenuOpen()) closeMenu(std::move(op));
  else op();
}

void SlidingNavigationStack::pushViewController(ViewController* controller, bool animated) {
  QPointer<ViewController> guard(controller);
  afterMenuClosed([this, guard, animated] {
    if (guard) NavigationController::pushViewController(guard, animated);
  });
}

QList<ViewController*> SlidingNavigationStack::popToRootViewController(bool animated) {
  if (isMenuOpen()) {
    closeMenu([self = QPointer<SlidingNavigationStack>(this), animated] {
      if (self) self->NavigationController::popToRootViewController(animated);
    });
    return {};
  }
  return NavigationController::popToRootViewController(animated);
}

QList<ViewController*> SlidingNavigationStack::popToViewController(ViewController* controller, bool animated) {
  if (isMenuOpen()) {
    QPointer<ViewController> guard(controller);
    closeMenu([self = QPointer<SlidingNavigationStack>(this), guard, animated] {
      if (self && guard) self->NavigationController::popToViewController(guard, animated);
    });
    return {};
  }
  return NavigationController::popToViewController(controller, animated);
}

void SlidingNavigationStack::popToRoot() {
  if (auto& clearer = settingsClearer()) clearer();
  sharedInstance()->popToRootViewController(true);
}

void SlidingNavigationStack::setSettingsClearer(std::function<void()> clearer) {
  settingsClearer() = clearer ? std::move(clearer) : [] { detail::clearStandardSettings(); };
}

// --------------------------------------------------------------- switching

void SlidingNavigationStack::switchToViewController(ViewController* controller, std::function<void()> completion) {
  switchToViewController(controller, false, PopToRoot, std::move(completion));
}

void SlidingNavigationStack::popToRootAndSwitchToViewController(ViewController* controller,
                                                                std::function<void()> completion) {
  switchToViewController(controller, false, PopToRoot, std::move(completion));
}

void SlidingNavigationStack::popToRootAndSwitchToViewController(ViewController* controller, bool slideOut,
                                                                std::function<void()> completion) {
  switchToViewController(controller, slideOut, PopToRoot, std::move(completion));
}

void SlidingNavigationStack::popAllAndSwitchToViewController(ViewController* controller,
                                                             std::function<void()> completion) {
  switchToViewController(controller, false, PopAll, std::move(completion));
}

void SlidingNavigationStack::popAllAndSwitchToViewController(ViewController* controller, bool slideOut,
                                                             std::function<void()> completion) {
  switchToViewController(controller, slideOut, PopAll, std::move(completion));
}

void SlidingNavigationStack::switchToViewController(ViewController* controller, bool slideOut, PopType popType,
                                                    std::function<void()> completion) {
  ViewController* top = topViewController();
  if (avoidSameClass_ && top && controller &&
      std::strcmp(top->metaObject()->className(), controller->metaObject()->className()) == 0) {
    if (controller != top) controller->deleteLater();
    closeMenu(std::move(completion));
    return;
  }
  QPointer<ViewController> guard(controller);
  QPointer<SlidingNavigationStack> self(this);
  auto doSwitch = [self, guard, popType] {
    if (!self || !guard) return;
    if (popType == PopToRoot) {
      QList<ViewController*> list = self->viewControllers();
      QList<ViewController*> kept = list.mid(0, 1);
      kept << guard.data();
      self->setViewControllers(kept, false);
    } else {
      self->setViewControllers({guard.data()}, false);
    }
  };
  if (!isMenuOpen()) {
    doSwitch();
    if (completion) completion();
    return;
  }
  auto closeAfter = [self, completion = std::move(completion)] {
    if (self) self->closeMenu(completion);
  };
  if (slideOut) {
    const double offscreen = horizontalLocation() > 0 ? horizontalSize() : -horizontalSize();
    animateTo(offscreen, kMenuDuration, [doSwitch, closeAfter] {
      doSwitch();
      closeAfter();
    });
  } else {
    doSwitch();
    closeAfter();
  }
}

// ------------------------------------------------------------------ drags

bool SlidingNavigationStack::acceptsDragAt(QPointF posInStack) const {
  if (panGestureSideOffset_ == 0) return true;
  return posInStack.x() <= panGestureSideOffset_ || posInStack.x() >= horizontalSize() - panGestureSideOffset_;
}

void SlidingNavigationStack::panBegan(QPointF translation) {
  const double d = std::round(translation.x() - draggingPoint_.x());
  const double location = horizontalLocation();
  const Menu menu = (location > 0 || (location == 0 && d > 0)) ? Left : Right;
  if (!isMenuOpen()) prepareMenuForReveal(menu, true);
  draggingPoint_ = translation;
  draggedMenu_ = menu;
}

void SlidingNavigationStack::panChanged(QPointF translation) {
  const double d = std::round(translation.x() - draggingPoint_.x());
  const double location = horizontalLocation();
  const Menu menu = (location > 0 || (location == 0 && d > 0)) ? Left : Right;
  if (menu != draggedMenu_) prepareMenuForReveal(menu, true);
  const double next = location + d;
  if (next >= minXForDragging() && next <= maxXForDragging()) moveHorizontallyToLocation(next);
  draggingPoint_ = translation;
  draggedMenu_ = menu;
}

void SlidingNavigationStack::panEnded(double velocityX) {
  const double x = std::round(horizontalLocation());
  const double open = horizontalSize() - slideOffset();
  ViewController* top = topViewController();
  if (std::abs(velocityX) < kFlickVelocity) {
    if (std::abs(x) < open / 2) closeMenu();
    else openMenu(x > 0 ? Left : Right);
    return;
  }
  if (velocityX > 0) {
    if (x > 0) {
      if (shouldDisplayMenu(Left, top)) openMenu(Left, kQuickMenuDuration, {});
    } else {
      closeMenu(kQuickMenuDuration, {});
    }
  } else {
    if (x > 0) {
      closeMenu(kQuickMenuDuration, {});
    } else if (shouldDisplayMenu(Right, top)) {
      openMenu(Right, kQuickMenuDuration, {});
    }
  }
}

bool SlidingNavigationStack::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return NavigationController::eventFilter(watched, event);
  if (cancellingPress_ || !watched->isWidgetType()) return false;
  auto* mouse = static_cast<QMouseEvent*>(event);
  // An event climbing from a child to its parents passes here once per
  // widget; handle it once.
  const QPointF global = mouse->globalPosition();
  if (mouse->timestamp() == lastEventStamp_ && int(type) == lastEventType_ && global == lastEventGlobal_)
    return false;
  lastEventStamp_ = mouse->timestamp();
  lastEventType_ = int(type);
  lastEventGlobal_ = global;

  auto* widget = static_cast<QWidget*>(watched);
  const bool inStack = widget == stackView() || stackView()->isAncestorOf(widget);
  switch (type) {
    case QEvent::MouseButtonPress: {
      pressActive_ = false;
      panning_ = false;
      if (!inStack || mouse->button() != Qt::LeftButton || !enableSwipeGesture_ || isTransitioning()) return false;
      if (!acceptsDragAt(stackView()->mapFromGlobal(global))) return false;
      pressActive_ = true;
      pressPos_ = global;
      pressTarget_ = widget;
      samples_ = {{global.x(), qint64(mouse->timestamp())}};
      return false;
    }
    case QEvent::MouseMove: {
      if (!pressActive_) return false;
      if (!(mouse->buttons() & Qt::LeftButton)) {
        pressActive_ = panning_ = false;
        return false;
      }
      samples_.append({global.x(), qint64(mouse->timestamp())});
      const QPointF t = global - pressPos_;
      if (!panning_) {
        if (std::abs(t.x()) < kDragThreshold || std::abs(t.x()) <= std::abs(t.y())) return false;
        // Start only when the stack can move that way; otherwise the
        // screen keeps the drag (a gallery, a horizontal list).
        const double location = horizontalLocation();
        const bool canMove = t.x() > 0 ? location < maxXForDragging() : location > minXForDragging();
        if (!canMove) {
          pressActive_ = false;
          return false;
        }
        panning_ = true;
        // The widget that took the press must not see a click now.
        if (pressTarget_) {
          cancellingPress_ = true;
          const QPointF far(-100000, -100000);
          QMouseEvent cancel(QEvent::MouseButtonRelease, far, far, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
          QCoreApplication::sendEvent(pressTarget_, &cancel);
          cancellingPress_ = false;
        }
        if (menuAnimation_) menuAnimation_->stop();
        panBegan(t);
        return true;
      }
      panChanged(t);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      if (!pressActive_) return false;
      const bool wasPanning = panning_;
      pressActive_ = panning_ = false;
      if (!wasPanning) return false;
      samples_.append({global.x(), qint64(mouse->timestamp())});
      panChanged(global - pressPos_);
      // Velocity over the last stretch of the drag.
      const Sample last = samples_.last();
      Sample first = last;
      for (auto it = samples_.rbegin(); it != samples_.rend(); ++it) {
        if (last.t - it->t > kVelocityWindowMs) break;
        first = *it;
      }
      double velocity = 0;
      if (last.t > first.t) velocity = (last.x - first.x) * 1000.0 / double(last.t - first.t);
      panEnded(velocity);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace orv::toolkit
