#pragma once
// A stack of screens with a navigation bar on top and an optional bottom
// toolbar. Pushing slides the new screen in from the right (the old one
// moves a third of the width to the left); popping slides back. Durations
// 0.35 s, OutCubic, scaled by AnimationSettings. While a transition runs,
// further stack operations are queued and run after it, in order.
//
// Lifecycle on push (old = previous top, new = pushed screen):
//   new.viewDidLoad (first time), old.viewWillDisappear, new.viewWillAppear,
//   [slide], old.viewDidDisappear, new.viewDidAppear
// and the mirror on pop. Appearance calls are made only while the stack
// itself is shown (in a window or inside another container).
//
// Screens on the stack are children of the stack's view and owned by it; a
// popped screen is deleted (deleteLater) after its viewDidDisappear, so the
// pointers the pop operations return are good only until the slide ends.
//
// The stack's own visible part (bar, screens, toolbar) is `stackView()`, a
// child that normally fills the controller; the sliding stack moves it
// sideways to uncover its menus.

#include <QColor>
#include <QList>
#include <QPointer>
#include <deque>
#include <functional>

#include "toolkit/ViewController.h"

namespace orv::toolkit {

class NavigationBar;
class Toolbar;

class NavigationController : public ViewController {
  Q_OBJECT
 public:
  static constexpr double kPushDuration = 0.35;

  explicit NavigationController(ViewController* root = nullptr, QWidget* parent = nullptr);
  ~NavigationController() override;

  virtual void pushViewController(ViewController* controller, bool animated);
  // Pops the top screen (never the root); returns it, or nullptr.
  virtual ViewController* popViewController(bool animated);
  // Pops every screen above the root; returns them (bottom first).
  virtual QList<ViewController*> popToRootViewController(bool animated);
  // Pops every screen above `controller`.
  virtual QList<ViewController*> popToViewController(ViewController* controller, bool animated);
  // Replaces the whole stack (the last one is shown).
  void setViewControllers(const QList<ViewController*>& controllers, bool animated);

  QList<ViewController*> viewControllers() const;
  ViewController* topViewController() const;
  ViewController* rootViewController() const;
  // The screen shown now (the presented one over the top, if any).
  ViewController* visibleViewController() const;
  // True while a push/pop slide runs.
  bool isTransitioning() const { return transitioning_; }

  NavigationBar* navigationBar() const { return bar_; }
  void setNavigationBarHidden(bool hidden);
  bool isNavigationBarHidden() const;
  // Convenience: the bar's colour (and the toolbar's default colour).
  void setBarTintColor(const QColor& color);

  // The toolbar follows the top screen's toolbarItems (see ViewController);
  // it can also be filled and shown by hand.
  Toolbar* toolbar() const { return toolbar_; }
  void setToolbarHidden(bool hidden, bool animated = false);
  bool isToolbarHidden() const;

  // The moving part of the stack (bar, screens, toolbar).
  QWidget* stackView() const { return stackView_; }

 signals:
  // After every completed push/pop/set (the new top is shown).
  void didShowViewController(orv::toolkit::ViewController* controller);

 protected:
  // Called for every screen about to be shown on top, before its
  // viewWillAppear (the sliding stack adds its menu buttons here).
  virtual void willShowViewController(ViewController* controller, bool animated);

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void resizeEvent(QResizeEvent* event) override;
  void layoutStack();

 private:
  struct Op {
    std::function<void()> run;
  };
  void enqueue(std::function<void()> op);
  void runNext();
  void transition(ViewController* from, ViewController* to, bool push, bool animated,
                  QList<ViewController*> removed);
  void refreshBar();
  // Shows the top screen's toolbar items, or hides the toolbar when the top
  // screen has none and the toolbar was showing another screen's items.
  void refreshToolbar();
  QRect contentRect() const;

  QWidget* stackView_ = nullptr;
  NavigationBar* bar_ = nullptr;
  Toolbar* toolbar_ = nullptr;
  QWidget* content_ = nullptr;
  QList<QPointer<ViewController>> stack_;
  bool transitioning_ = false;
  std::deque<std::function<void()>> pending_;
  bool barHidden_ = false;
  bool toolbarHidden_ = true;
  // The toolbar shows a screen's toolbarItems (not items set by hand).
  bool toolbarShowsScreenItems_ = false;
  friend class ViewController;
};

}  // namespace orv::toolkit
