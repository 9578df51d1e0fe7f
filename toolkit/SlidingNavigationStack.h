#pragma once
// The signed-in store's navigation stack: a NavigationController whose whole
// view slides sideways to uncover a left (or right) menu lying underneath.
//
// One instance per process (sharedInstance, created on first use from the
// screen collection "Main" under "SlidingNavigationStack", or directly when
// nothing is registered there). A second construction logs the singleton
// warning and takes over as the shared instance.
//
// Geometry: horizontalLocation is the x of the stack view; horizontalSize its
// width; the left menu is open at horizontalSize - slideOffset, the right one
// at minus that; a menu is open exactly when the location is not 0.
// Opening/closing: 0.3 s ease-out (0.18 s for flicks); stack operations asked
// while a menu is open run after it closed. While open, the top screen takes
// no input and a tap on the stack closes the menu. Dragging follows the
// mouse within [minXForDragging, maxXForDragging] (0 unless the top screen
// opts in), and on release opens or closes by position (below 1200
// points/s) or by direction (from 1200 points/s on).
//
// Menus are owned by the stack. popToRoot (the home button) empties the
// persistent settings store, then pops to the root.

#include <QColor>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class QVariantAnimation;

#include "toolkit/NavigationController.h"

namespace orv::toolkit {

class BarButtonItem;

// Optional animator of the menu underneath (not installed by the store).
class SlidingMenuAnimator {
 public:
  virtual ~SlidingMenuAnimator() = default;
  virtual void prepareMenuForAnimation(int menu) { (void)menu; }
  virtual void animateMenu(int menu, double progress) { (void)menu; (void)progress; }
};

class SlidingNavigationStack : public NavigationController {
  Q_OBJECT
 public:
  enum Menu { Left = 0, Right = 1 };
  enum PopType { PopAll = 0, PopToRoot = 1 };
  static constexpr double kMenuDuration = 0.3;
  static constexpr double kQuickMenuDuration = 0.18;
  static constexpr double kFlickVelocity = 1200.0;  // points per second
  static constexpr const char* kSingletonWarning =
      "Singleton instance already exists. You can only instantiate one instance of "
      "SlidingNavigationStack. This could cause major issues";

  explicit SlidingNavigationStack(ViewController* root = nullptr, QWidget* parent = nullptr);
  ~SlidingNavigationStack() override;

  static SlidingNavigationStack* sharedInstance();
  // The instance if one exists, without creating one.
  static SlidingNavigationStack* existingInstance();

  // --- fields.
  ViewController* leftMenu() const { return leftMenu_; }
  void setLeftMenu(ViewController* menu);
  ViewController* rightMenu() const { return rightMenu_; }
  void setRightMenu(ViewController* menu);
  BarButtonItem* leftBarButtonItem() const { return leftBarButtonItem_; }
  void setLeftBarButtonItem(BarButtonItem* item) { leftBarButtonItem_ = item; }
  BarButtonItem* rightBarButtonItem() const { return rightBarButtonItem_; }
  void setRightBarButtonItem(BarButtonItem* item) { rightBarButtonItem_ = item; }
  // Given to every screen shown as its right-hand items (not owned).
  QList<BarButtonItem*> rightBarButtonItems() const;
  void setRightBarButtonItems(const QList<BarButtonItem*>& items);
  double portraitSlideOffset() const { return portraitSlideOffset_; }   // 60
  void setPortraitSlideOffset(double offset) { portraitSlideOffset_ = offset; }
  double landscapeSlideOffset() const { return landscapeSlideOffset_; }  // 60
  void setLandscapeSlideOffset(double offset) { landscapeSlideOffset_ = offset; }
  double panGestureSideOffset() const { return panGestureSideOffset_; }  // 0
  void setPanGestureSideOffset(double offset) { panGestureSideOffset_ = offset; }
  bool enableSwipeGesture() const { return enableSwipeGesture_; }        // true
  void setEnableSwipeGesture(bool enable) { enableSwipeGesture_ = enable; }
  bool enableShadow() const { return enableShadow_; }                    // true
  void setEnableShadow(bool enable);
  bool avoidSwitchingToSameClassViewController() const { return avoidSameClass_; }  // true
  void setAvoidSwitchingToSameClassViewController(bool avoid) { avoidSameClass_ = avoid; }
  SlidingMenuAnimator* menuRevealAnimator() const { return animator_; }
  void setMenuRevealAnimator(SlidingMenuAnimator* animator) { animator_ = animator; }
  QPointF draggingPoint() const { return draggingPoint_; }

  // --- geometry (landscape = wider than tall).
  bool isLandscape() const;
  double horizontalLocation() const;
  double horizontalSize() const;
  double slideOffset() const;
  bool isMenuOpen() const;
  double minXForDragging() const;
  double maxXForDragging() const;
  // Shadow as drawn now: opacity 1 with enableShadow, else 0; radius 1 or 0.
  double shadowOpacity() const;
  double shadowRadius() const;

  // --- stack operations (after closing an open menu).
  void pushViewController(ViewController* controller, bool animated) override;
  QList<ViewController*> popToRootViewController(bool animated) override;
  QList<ViewController*> popToViewController(ViewController* controller, bool animated) override;

  // --- menus.
  void openMenu(Menu menu, std::function<void()> completion = {});
  void openMenu(Menu menu, double duration, std::function<void()> completion);
  void closeMenu(std::function<void()> completion = {});
  void closeMenu(double duration, std::function<void()> completion);
  void toggleMenu(Menu menu, std::function<void()> completion = {});
  void toggleLeftMenu();
  void toggleRightMenu();
  // The menu buttons' actions: close when open, else open that menu.
  void leftMenuSelected();
  void rightMenuSelected();
  // The home button's action: empty the settings store, then pop the shared
  // instance to its root, animated.
  static void popToRoot();
  // Replaces what popToRoot empties (default: the standard settings store).
  static void setSettingsClearer(std::function<void()> clearer);

  // --- switching.
  void switchToViewController(ViewController* controller, std::function<void()> completion = {});
  void popToRootAndSwitchToViewController(ViewController* controller,
                                          std::function<void()> completion = {});
  void popToRootAndSwitchToViewController(ViewController* controller, bool slideOut,
                                          std::function<void()> completion);
  void popAllAndSwitchToViewController(ViewController* controller,
                                       std::function<void()> completion = {});
  void popAllAndSwitchToViewController(ViewController* controller, bool slideOut,
                                       std::function<void()> completion);
  void switchToViewController(ViewController* controller, bool slideOut, PopType popType,
                              std::function<void()> completion);

  // Whether the screen opted in to that menu.
  static bool shouldDisplayMenu(Menu menu, const ViewController* controller);
  // Seconds of the last menu slide started (before the speed factor).
  double lastMenuAnimationDuration() const { return lastDuration_; }
  // True while a menu slide runs.
  bool isMenuAnimating() const { return menuAnimating_; }

 signals:
  void menuOpened(int menu);
  void menuClosed();

 protected:
  void willShowViewController(ViewController* controller, bool animated) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Shadow;
  class TapCatcher;
  void setup();
  void enableTapGestureToCloseMenu(bool enable);
  void prepareMenuForReveal(Menu menu, bool force);
  void moveHorizontallyToLocation(double location);
  void animateTo(double location, double duration, std::function<void()> completion);
  void layoutMenus();
  void afterMenuClosed(std::function<void()> op);
  bool acceptsDragAt(QPointF posInStack) const;
  void panBegan(QPointF translation);
  void panChanged(QPointF translation);
  void panEnded(double velocityX);
  void tapDetected();
  void placeMenuButtons(ViewController* controller);

  QPointer<ViewController> leftMenu_;
  QPointer<ViewController> rightMenu_;
  QPointer<BarButtonItem> leftBarButtonItem_;
  QPointer<BarButtonItem> rightBarButtonItem_;
  QList<QPointer<BarButtonItem>> rightBarButtonItems_;
  bool hasRightBarButtonItems_ = false;
  double portraitSlideOffset_ = 60;
  double landscapeSlideOffset_ = 60;
  double panGestureSideOffset_ = 0;
  bool enableSwipeGesture_ = true;
  bool enableShadow_ = true;
  bool avoidSameClass_ = true;
  SlidingMenuAnimator* animator_ = nullptr;
  QPointF draggingPoint_{0, 0};
  Menu lastRevealedMenu_ = Left;
  Menu draggedMenu_ = Left;
  double lastDuration_ = 0;
  bool menuAnimating_ = false;
  QPointer<QVariantAnimation> menuAnimation_;
  quint64 menuGeneration_ = 0;
  std::function<void()> pendingCompletion_;
  bool cancellingPress_ = false;
  bool tapToCloseEnabled_ = false;
  Shadow* shadow_ = nullptr;
  TapCatcher* tapCatcher_ = nullptr;

  // Drag tracking (mouse): press position, whether the drag started, and
  // recent samples for the release velocity.
  struct Sample {
    double x;
    qint64 t;
  };
  bool pressActive_ = false;
  bool panning_ = false;
  QPointF pressPos_;  // in this widget's coordinates
  QPointer<QWidget> pressTarget_;
  QList<Sample> samples_;
  quint64 lastEventStamp_ = 0;
  int lastEventType_ = 0;
  QPointF lastEventGlobal_;
};

}  // namespace orv::toolkit
