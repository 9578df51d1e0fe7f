#include "toolkit/NavigationController.h"

#include <QResizeEvent>

#include "toolkit/NavigationBar.h"
#include "toolkit/Toolbar.h"
#include "toolkit/detail/Animate.h"

namespace orv::toolkit {

NavigationController::NavigationController(ViewController* root, QWidget* parent)
    : ViewController(parent) {
  stackView_ = new QWidget(this);
  stackView_->setObjectName(QStringLiteral("stackView"));
  stackView_->setAutoFillBackground(true);
  bar_ = new NavigationBar(stackView_);
  content_ = new QWidget(stackView_);
  content_->setObjectName(QStringLiteral("stackContent"));
  toolbar_ = new Toolbar(stackView_);
  toolbar_->hide();
  connect(bar_, &NavigationBar::backPressed, this, [this] { popViewController(true); });
  if (root) setViewControllers({root}, false);
}

NavigationController::~NavigationController() = default;

QList<ViewController*> NavigationController::viewControllers() const {
  QList<ViewController*> out;
  for (const auto& controller : stack_)
    if (controller) out << controller.data();
  return out;
}

ViewController* NavigationController::topViewController() const {
  auto list = viewControllers();
  return list.isEmpty() ? nullptr : list.last();
}

ViewController* NavigationController::rootViewController() const {
  auto list = viewControllers();
  return list.isEmpty() ? nullptr : list.first();
}

ViewController* NavigationController::visibleViewController() const {
  ViewController* top = topViewController();
  if (presentedViewController()) return presentedViewController();
  if (top && top->presentedViewController()) return top->presentedViewController();
  return top;
}

void NavigationController::enqueue(std::function<void()> op) {
  pending_.push_back(std::move(op));
  if (!transitioning_) runNext();
}

void NavigationController::runNext() {
  while (!transitioning_ && !pending_.empty()) {
    auto op = std::move(pending_.front());
    pending_.pop_front();
    op();
  }
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
  if (!controller) return;
  QPointer<ViewController> guard(controller);
  enqueue([this, guard, animated] {
    if (!guard || viewControllers().contains(guard.data())) return;
    ViewController* from = topViewController();
    guard->navigationController_ = this;
    guard->managedByContainer_ = true;
    guard->setParent(content_);
    guard->QWidget::hide();
    guard->loadViewIfNeeded();
    stack_.append(guard);
    transition(from, guard, true, animated && from != nullptr, {});
  });
}

ViewController* NavigationController::popViewController(bool animated) {
  if (transitioning_) {
    enqueue([this, animated] { popViewController(animated); });
    return nullptr;
  }
  auto list = viewControllers();
  if (list.size() < 2) return nullptr;
  return popToViewController(list[list.size() - 2], animated).value(0);
}

QList<ViewController*> NavigationController::popToRootViewController(bool animated) {
  if (transitioning_) {
    enqueue([this, animated] { popToRootViewController(animated); });
    return {};
  }
  ViewController* root = rootViewController();
  return root ? popToViewController(root, animated) : QList<ViewController*>{};
}

QList<ViewController*> NavigationController::popToViewController(ViewController* controller,
                                                                  bool animated) {
  if (transitioning_) {
    QPointer<ViewController> guard(controller);
    enqueue([this, guard, animated] {
      if (guard) popToViewController(guard, animated);
    });
    return {};
  }
  auto list = viewControllers();
  const int index = list.indexOf(controller);
  if (index < 0 || index == list.size() - 1) return {};
  QList<ViewController*> removed = list.mid(index + 1);
  ViewController* from = list.last();
  stack_.clear();
  for (int i = 0; i <= index; ++i) stack_.append(list[i]);
  transition(from, controller, false, animated, removed);
  return removed;
}

void NavigationController::setViewControllers(const QList<ViewController*>& controllers, bool animated) {
  QList<QPointer<ViewController>> guards;
  for (auto* c : controllers) guards << QPointer<ViewController>(c);
  enqueue([this, guards, animated] {
    QList<ViewController*> wanted;
    for (const auto& g : guards)
      if (g) wanted << g.data();
    if (wanted.isEmpty()) return;
    ViewController* from = topViewController();
    QList<ViewController*> removed;
    for (ViewController* old : viewControllers())
      if (!wanted.contains(old)) removed << old;
    stack_.clear();
    for (ViewController* c : wanted) {
      if (c->parentWidget() != content_) {
        c->setParent(content_);
        c->QWidget::hide();
      }
      c->navigationController_ = this;
      c->managedByContainer_ = true;
      stack_.append(c);
    }
    ViewController* to = wanted.last();
    to->loadViewIfNeeded();
    if (to == from) {
      refreshBar();
      refreshToolbar();
      for (ViewController* r : removed) {
        r->navigationController_ = nullptr;
        r->deleteLater();
      }
      return;
    }
    transition(from, to, true, animated && from != nullptr, removed);
  });
}

void NavigationController::transition(ViewController* from, ViewController* to, bool push,
                                      bool animated, QList<ViewController*> removed) {
  transitioning_ = true;
  willShowViewController(to, animated);
  const bool visible = isAppearing();
  if (visible) {
    if (from) from->beginAppearance(false, animated);
    to->beginAppearance(true, animated);
  }
  refreshBar();
  refreshToolbar();
  const QRect area = content_->rect();
  to->setGeometry(area);
  to->QWidget::show();
  if (push) to->raise();
  else if (from) from->raise();
  QPointer<ViewController> fromGuard(from), toGuard(to);
  QList<QPointer<ViewController>> removedGuards;
  for (auto* r : removed) removedGuards << QPointer<ViewController>(r);
  const int width = area.width();
  detail::animate(
      this, animated && from ? kPushDuration : 0.0, QEasingCurve::OutCubic,
      [fromGuard, toGuard, push, width](double p) {
        if (push) {
          if (toGuard) toGuard->move(static_cast<int>(width * (1.0 - p)), 0);
          if (fromGuard) fromGuard->move(static_cast<int>(-width / 3.0 * p), 0);
        } else {
          if (fromGuard) fromGuard->move(static_cast<int>(width * p), 0);
          if (toGuard) toGuard->move(static_cast<int>(-width / 3.0 * (1.0 - p)), 0);
        }
      },
      [this, fromGuard, toGuard, removedGuards, visible, animated] {
        if (fromGuard && fromGuard != toGuard) {
          fromGuard->QWidget::hide();
          fromGuard->move(0, 0);
        }
        if (toGuard) toGuard->setGeometry(content_->rect());
        if (visible) {
          if (fromGuard) fromGuard->endAppearance(animated);
          if (toGuard) toGuard->endAppearance(animated);
        }
        for (const auto& r : removedGuards) {
          if (!r || viewControllers().contains(r.data())) continue;
          r->navigationController_ = nullptr;
          r->deleteLater();
        }
        transitioning_ = false;
        if (toGuard) emit didShowViewController(toGuard);
        runNext();
      });
}

void NavigationController::refreshBar() {
  auto list = viewControllers();
  if (list.isEmpty()) {
    bar_->showItem(nullptr, QString(), false);
    return;
  }
  ViewController* top = list.last();
  QString backTitle;
  const bool hasBack = list.size() > 1;
  // The arrow, with the previous screen's back title only when that screen
  // set one: every back button looks the same unless a screen asks.
  if (hasBack) backTitle = list[list.size() - 2]->navigationItem()->backButtonTitle();
  bar_->showItem(top->navigationItem(), backTitle, hasBack);
}

void NavigationController::refreshToolbar() {
  ViewController* top = topViewController();
  const QList<BarButtonItem*> items = top ? top->toolbarItems() : QList<BarButtonItem*>{};
  if (!items.isEmpty()) {
    if (toolbar_->items() != items) toolbar_->setItems(items);
    toolbarShowsScreenItems_ = true;
    if (toolbarHidden_) setToolbarHidden(false);
  } else if (toolbarShowsScreenItems_) {
    toolbarShowsScreenItems_ = false;
    toolbar_->setItems({});
    setToolbarHidden(true);
  }
}

void NavigationController::willShowViewController(ViewController*, bool) {}

void NavigationController::viewDidLoad() { layoutStack(); }

void NavigationController::viewWillAppear(bool animated) {
  if (ViewController* top = topViewController()) {
    willShowViewController(top, animated);
    refreshBar();
    refreshToolbar();
    top->beginAppearance(true, animated);
  }
}

void NavigationController::viewDidAppear(bool animated) {
  if (ViewController* top = topViewController()) top->endAppearance(animated);
}

void NavigationController::viewWillDisappear(bool animated) {
  if (ViewController* top = topViewController()) top->beginAppearance(false, animated);
}

void NavigationController::viewDidDisappear(bool animated) {
  if (ViewController* top = topViewController()) top->endAppearance(animated);
}

void NavigationController::setNavigationBarHidden(bool hidden) {
  barHidden_ = hidden;
  bar_->setVisible(!hidden);
  layoutStack();
}

bool NavigationController::isNavigationBarHidden() const { return barHidden_; }

void NavigationController::setBarTintColor(const QColor& color) { bar_->setBarTintColor(color); }

void NavigationController::setToolbarHidden(bool hidden, bool) {
  toolbarHidden_ = hidden;
  toolbar_->setVisible(!hidden);
  layoutStack();
}

bool NavigationController::isToolbarHidden() const { return toolbarHidden_; }

QRect NavigationController::contentRect() const {
  const int top = barHidden_ ? 0 : NavigationBar::kHeight;
  const int bottom = toolbarHidden_ ? 0 : Toolbar::kHeight;
  return QRect(0, top, stackView_->width(), std::max(0, stackView_->height() - top - bottom));
}

void NavigationController::layoutStack() {
  stackView_->resize(size());
  bar_->setGeometry(0, 0, stackView_->width(), NavigationBar::kHeight);
  const QRect area = contentRect();
  content_->setGeometry(area);
  toolbar_->setGeometry(0, stackView_->height() - Toolbar::kHeight, stackView_->width(), Toolbar::kHeight);
  // Sizes follow at once; positions only outside a slide, which moves them.
  for (ViewController* c : viewControllers()) {
    if (transitioning_) c->resize(area.size());
    else c->setGeometry(0, 0, area.width(), area.height());
  }
}

void NavigationController::resizeEvent(QResizeEvent* event) {
  ViewController::resizeEvent(event);
  layoutStack();
}

}  // namespace orv::toolkit
