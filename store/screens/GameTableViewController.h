#pragma once
// A table of game rows (115 points each: picture, name, provider, stars,
// price, download count, download button), paging as its loading row (tag
// 999) comes into view, with "-- Không có dữ liệu --" under an empty or
// failed list. In mode "hm" it shows the banner slider (320 x 150, moved
// every 5 seconds) above the newest games and never pages.
//
// The store reaches it from a game page: "Xem tất cả" on the related-games
// strip opens it in mode "cnt.rlt" for that game. It offers the side menu.
//
// When it loads it decides, once per run with the home screen, whether to
// show the subscription offer. The table registers only its mode; while the
// offer's "a.reg" is under way it also holds "a.reg", so the answer reaches it
// (the base then shows "em" and stores the status).

#include <QList>
#include <memory>

#include "store/screens/GameListScreen.h"

class QScrollArea;
class QTimer;

namespace orv::store {

class GameTableViewController : public GameListScreen {
  Q_OBJECT
 public:
  static constexpr const char* kLogTag = "GameTableView";
  static constexpr const char* kIdentifier = "GameTableViewController";
  static constexpr int kLoadingTag = 999;

  explicit GameTableViewController(QWidget* parent = nullptr);
  ~GameTableViewController() override;

  LazyCellView* gamesView() const { return cells(); }
  QScrollArea* scroller() const { return scroller_; }
  QWidget* pageControl() const { return pageControl_; }
  QList<QWidget*> banners() const { return banners_; }
  bool isShowingNoData() const;

  void clickBanner(int tag);
  void downButtonClicked(int tag);
  void onTimer();
  void loadVisiblePages();

  bool slidingStackShouldDisplayLeftMenu() const override { return true; }
  void alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) override;

 protected:
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void resizeEvent(QResizeEvent* event) override;
  void setUpCells(LazyCellView& cells) override;
  void handlePage(const std::shared_ptr<const ORVMessage>& message) override;
  // Also lets go of "a.reg" if the offer's answer is still awaited.
  void removeMessageHandler() override;

 private:
  QWidget* cellForRow(int row);
  void willDisplayRow(int row, QWidget* cell);
  void addHeader();
  void showNoData();

  bool holdsRegister_ = false;
  QScrollArea* scroller_ = nullptr;
  QWidget* pageControl_ = nullptr;
  QTimer* timer_ = nullptr;
  QList<QWidget*> banners_;
};

}  // namespace orv::store
