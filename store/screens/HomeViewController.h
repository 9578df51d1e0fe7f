#pragma once
// The store's first screen after sign-in: a 320 x 150 banner slider with page
// dots, moved one page every 5 seconds by a repeating timer, and below it the
// home sections, each a header (title and "more") over its game cards.
//
// On its first appearance it sends "hm" then "hm.vip"; it registers only "hm",
// and so receives the "hm.vip" answer through the group fall-back. What it
// shows lives in HomeModel; answers only append.
//
// The subscription offer (tag 996) is decided once per run when the screen
// loads. When its second button sends "a.reg", this screen also registers the
// exact command "a.reg" until that answer is handled, so the answer reaches
// it even though the side menu (the group "a") is not visible: the base then
// hides the overlay, shows "em" and stores the status, and the menu is
// refreshed at once. Should the screen disappear first, it drops that
// registration and hides the overlay, which can then never stay up forever.

#include <QList>
#include <QPointer>
#include <memory>
#include <string>

#include "store/models/HomeModel.h"
#include "store/screens/BaseViewController.h"

class QScrollArea;
class QTimer;
class QWidget;

namespace orv::store {

class GridGameCell;
class GridGameHeader;
class PageControl;

class HomeViewController : public BaseViewController {
  Q_OBJECT
 public:
  static constexpr const char* kLogTag = "HOMEVIEW_CONTROLLER";

  explicit HomeViewController(QWidget* parent = nullptr);
  ~HomeViewController() override;

  // The slider timer's period for screens created from now on (tests shorten it).
  static void setSliderTimerInterval(int milliseconds);
  static int sliderTimerInterval();

  const HomeModel& model() const { return model_; }
  QScrollArea* homeSlider() const { return homeSlider_; }
  PageControl* pageSlider() const { return pageSlider_; }
  QScrollArea* homeGrid() const { return homeGrid_; }
  QTimer* sliderTimer() const { return timer_; }
  QList<GridGameHeader*> sectionHeaders() const { return headers_; }
  QList<GridGameCell*> cellsOfSection(int section) const;
  QList<QWidget*> banners() const { return banners_; }

  void doRequest(const std::string& command);
  void onTimer();
  void loadVisiblePages();
  void clickBanner(int tag);
  void openDetailGame(const Game& game);
  void moreButtonClicked(int tag);

  bool slidingStackShouldDisplayLeftMenu() const override { return true; }
  void alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) override;

 public:
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;

 protected:
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void addMessageHandler();
  void removeMessageHandler();
  void releaseRegisterAnswer();
  void addHomeSlider();
  void addSections(std::size_t firstNew);
  // Places the section headers and game cells for the grid's width.
  void layoutGrid();
  void scrollSliderTo(int x);
  void refreshMenuIfStatusChanged();

  HomeModel model_;
  bool isFirstLoad_ = true;
  bool registered_ = false;
  bool awaitingRegister_ = false;  // holds "a.reg" for the offer's answer
  QScrollArea* homeSlider_ = nullptr;
  QWidget* sliderContent_ = nullptr;
  PageControl* pageSlider_ = nullptr;
  QScrollArea* homeGrid_ = nullptr;
  QWidget* gridContent_ = nullptr;
  QTimer* timer_ = nullptr;
  QList<QWidget*> banners_;
  QList<GridGameHeader*> headers_;
  QList<QList<GridGameCell*>> cells_;
};

}  // namespace orv::store
