#pragma once
// The base of every screen. A screen is a widget with a lifecycle driven by
// the container that shows it (navigation stack, presentation, or the window
// itself when the screen is a top-level window):
//   viewDidLoad             once, before the screen is first shown
//   viewWillAppear(a)       about to become visible (a: animated)
//   viewDidAppear(a)        visible, after any slide
//   viewWillDisappear(a)    about to be covered or removed
//   viewDidDisappear(a)     gone, after any slide
// Subclasses build their widgets in viewDidLoad and call the base first.
// The navigation item holds what the navigation bar shows for this screen.
// A screen may present another screen over itself (slides up from the
// bottom) and dismiss it again.

#include <QPointer>
#include <QWidget>
#include <functional>

#include "toolkit/NavigationItem.h"

namespace orv::toolkit {

class NavigationController;

class ViewController : public QWidget {
  Q_OBJECT
 public:
  explicit ViewController(QWidget* parent = nullptr);
  ~ViewController() override;

  // Runs viewDidLoad once.
  void loadViewIfNeeded();
  bool isViewLoaded() const { return viewLoaded_; }
  // True between viewWillAppear and viewWillDisappear.
  bool isAppearing() const { return appearing_; }

  NavigationItem* navigationItem() { return &navigationItem_; }
  const NavigationItem* navigationItem() const { return &navigationItem_; }
  // The navigation stack this screen is on (nullptr when on none).
  NavigationController* navigationController() const;

  // What the stack's bottom toolbar shows while this screen is on top (not
  // owned). A screen with items gets the toolbar shown; once a screen
  // without items comes on top (pushed over it, or uncovered by a pop) the
  // toolbar is hidden again.
  QList<BarButtonItem*> toolbarItems() const;
  void setToolbarItems(const QList<BarButtonItem*>& items);

  // Shows `controller` over this screen's window, sliding it up when
  // animated; the completion runs once it is shown. The presented screen is
  // owned by the presenter from then on, until dismissed.
  void presentViewController(ViewController* controller, bool animated,
                             std::function<void()> completion = {});
  // Dismisses the screen this one presented (or, when this one was
  // presented, this one itself); the dismissed screen is deleted later.
  void dismissViewController(bool animated, std::function<void()> completion = {});
  ViewController* presentedViewController() const { return presented_; }
  ViewController* presentingViewController() const { return presenting_; }

  // Opt-in to the sliding navigation stack's menus (menu and home buttons,
  // dragging the menu open). Default: no.
  virtual bool slidingStackShouldDisplayLeftMenu() const { return false; }
  virtual bool slidingStackShouldDisplayRightMenu() const { return false; }

  // Lifecycle calls made by containers; they run the virtuals below and keep
  // the appearance state. Not for screens to call on themselves.
  void beginAppearance(bool appearing, bool animated);
  void endAppearance(bool animated);

 signals:
  void appeared();
  void disappeared();

 protected:
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool animated) { (void)animated; }
  virtual void viewDidAppear(bool animated) { (void)animated; }
  virtual void viewWillDisappear(bool animated) { (void)animated; }
  virtual void viewDidDisappear(bool animated) { (void)animated; }

  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class NavigationController;
  bool viewLoaded_ = false;
  bool appearing_ = false;
  bool appearanceTransition_ = false;  // between begin and end
  bool managedByContainer_ = false;
  NavigationItem navigationItem_;
  QPointer<NavigationController> navigationController_;
  QList<QPointer<BarButtonItem>> toolbarItems_;
  QPointer<ViewController> presented_;
  QPointer<ViewController> presenting_;
};

}  // namespace orv::toolkit
