#pragma once
// The store's game list: a grid of 140 x 227 cells (insets 15) that pages as
// the last cell comes into view, for a home section ("hm..."), a category
// ("cnt.li...") or a search ("cnt.fin"). What it lists comes from the
// navigation parameters "cmd", "id" and "tl" read when it loads.
//
// In search mode the title is a search bar: nothing is sent until the user
// searches; cancel pops the screen. A new search empties the grid at once,
// and an answer of an earlier search that arrives late is dropped (see
// GameListModel), so the grid never shows or lets the user pick a game of
// the previous search.
//
// Events, "a.reg"/"a.stt" answers and alert buttons behave as on the table
// base, from which it derives; it offers no side-menu button.

#include <memory>

#include "store/screens/GameListScreen.h"

class QLineEdit;
class QPushButton;

namespace orv::store {

class GameGridViewController : public GameListScreen {
  Q_OBJECT
 public:
  static constexpr const char* kLogTag = "GRID_CONTROLLER";
  static constexpr const char* kIdentifier = "GameGridViewController";

  explicit GameGridViewController(QWidget* parent = nullptr);

  LazyCellView* collectionView() const { return cells(); }
  QLineEdit* searchBar() const { return searchBar_; }
  QPushButton* searchCancelButton() const { return cancel_; }

  void searchBarSearchButtonClicked();
  void searchBarCancelButtonClicked();

 protected:
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void setUpCells(LazyCellView& cells) override;
  void handlePage(const std::shared_ptr<const ORVMessage>& message) override;
  // Shows the progress overlay while the request is out.
  void send(const ORVRequestPtr& request) override;

 private:
  QWidget* getSearchBar();
  QWidget* cellForItem(int item);

  QLineEdit* searchBar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace orv::store
