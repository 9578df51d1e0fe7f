#pragma once
// What the store's two game lists (the grid and the table) share: the list
// model made from the navigation parameters read when the screen loads, a
// cell view filling the screen on the list grey, the title label, the
// registration for the list's command while the screen is visible, and the
// hand-off of requests and of their answers (queued to handlePage on the
// main thread).

#include <memory>
#include <string>

#include "store/lists/GameListModel.h"
#include "store/screens/BaseTableViewController.h"

class QLabel;

namespace orv::store {

class LazyCellView;

class GameListScreen : public BaseTableViewController {
  Q_OBJECT
 public:
  ~GameListScreen() override;

  const GameListModel& model() const { return *model_; }
  QLabel* titleLabel() const { return titleLabel_; }

  // Sends the model's request for `command` (the next page mostly), if any.
  void doRequest(const std::string& command);
  // Opens the game page for `game`.
  void openDetailGame(const Game& game);

 protected:
  GameListScreen(GameListModel::Kind kind, const char* logTag, const char* identifier, QWidget* parent);

  // Makes the model and the cell view, which setUpCells configures.
  void viewDidLoad() override;
  void viewDidDisappear(bool animated) override;
  void resizeEvent(QResizeEvent* event) override;
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;

  virtual void setUpCells(LazyCellView& cells) = 0;
  virtual void handlePage(const std::shared_ptr<const ORVMessage>& message) = 0;
  // Registers for the list's command, before anything is sent for it.
  virtual void send(const ORVRequestPtr& request);
  virtual void removeMessageHandler();
  void addMessageHandler();
  // The localized `title` (or `title` itself) as the bar's title.
  void setlbTitle(const std::string& title);
  LazyCellView* cells() const { return cells_; }

  std::unique_ptr<GameListModel> model_;

 private:
  const GameListModel::Kind kind_;
  const char* const logTag_;
  const char* const identifier_;
  bool registered_ = false;
  LazyCellView* cells_ = nullptr;
  QLabel* titleLabel_ = nullptr;
};

}  // namespace orv::store
