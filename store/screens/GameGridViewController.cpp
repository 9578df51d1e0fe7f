#include "store/screens/GameGridViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "store/records/CatalogueRequests.h"
#include "store/screens/GridGameCell2.h"
#include "store/screens/LazyCellView.h"
#include "toolkit/NavigationController.h"
#include "toolkit/ProgressOverlay.h"
#include "wire/ORVMessage.h"

namespace orv::store {

GameGridViewController::GameGridViewController(QWidget* parent)
    : GameListScreen(GameListModel::Kind::Grid, kLogTag, kIdentifier, parent) {}

void GameGridViewController::viewDidLoad() {
  GameListScreen::viewDidLoad();
  if (model_->isSearch()) {
    navigationItem()->setTitleView(getSearchBar());
  } else {
    setlbTitle(model_->title());
  }
  setBackButton("");
  if (auto* hud = overlay()) hud->raise();
}

void GameGridViewController::setUpCells(LazyCellView& grid) {
  grid.setObjectName("collectionView");
  grid.setGrid(QSize(GridGameCell2::kWidth, GridGameCell2::kHeight), 15);
  grid.setCellFactory([this](int item) { return cellForItem(item); });
  connect(&grid, &LazyCellView::willDisplay, this, [this](int item, QWidget*) {
    if (model_->wantsPageAtItem(item)) doRequest(model_->mode());
  });
}

QWidget* GameGridViewController::getSearchBar() {
  auto* container = new QWidget;
  container->setObjectName("searchContainer");
  // 310 x 44, narrowed by the bar when a back button needs room.
  container->resize(310, 44);
  container->setMinimumWidth(120);
  auto* layout = new QHBoxLayout(container);
  layout->setContentsMargins(0, 7, 0, 7);
  layout->setSpacing(6);
  searchBar_ = new QLineEdit(container);
  searchBar_->setObjectName("searchBar");
  searchBar_->setPlaceholderText(QString::fromUtf8("Tìm kiếm game"));
  searchBar_->setClearButtonEnabled(true);
  searchBar_->setStyleSheet("QLineEdit { background: white; border: none; border-radius: 15px; padding: 0 12px; "
                            "font-size: 14px; color: rgb(33,33,33); }");
  cancel_ = new QPushButton(QString::fromUtf8("Hủy"), container);
  cancel_->setObjectName("searchCancel");
  cancel_->setCursor(Qt::PointingHandCursor);
  cancel_->setStyleSheet("QPushButton { color: white; border: none; font-size: 14px; background: transparent; }");
  layout->addWidget(searchBar_, 1);
  layout->addWidget(cancel_);
  connect(searchBar_, &QLineEdit::returnPressed, this, [this] { searchBarSearchButtonClicked(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { searchBarCancelButtonClicked(); });
  searchBar_->setFocus();
  return container;
}

void GameGridViewController::searchBarSearchButtonClicked() {
  searchBar_->clearFocus();
  auto request = model_->search(searchBar_->text().toStdString());
  collectionView()->reload(0);  // the previous search's games go at once
  if (request) {
    send(request);
  } else {
    startAnimation();  // the first page goes out once the earlier answer is in
  }
}

void GameGridViewController::searchBarCancelButtonClicked() {
  if (auto* nav = navigationController()) nav->popViewController(true);
}

void GameGridViewController::viewDidAppear(bool animated) {
  addMessageHandler();
  BaseTableViewController::viewDidAppear(animated);
  if (searchBar_ && model_->isFirstLoad()) searchBar_->setFocus();
  for (const auto& request : model_->firstRequests()) send(request);
  send(model_->resumeHeldSearch());
  // Back on top: the last cell may be in view already.
  const int last = static_cast<int>(model_->games().size()) - 1;
  if (collectionView()->isIndexVisible(last) && model_->wantsPageAtItem(last)) doRequest(model_->mode());
}

void GameGridViewController::viewDidDisappear(bool animated) {
  GameListScreen::viewDidDisappear(animated);
  stopAnimation();
}

void GameGridViewController::send(const ORVRequestPtr& request) {
  if (request) startAnimation();
  GameListScreen::send(request);
}

void GameGridViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  const std::string& command = message->command();
  if (command == CatalogueRequests::kSubscribe || command == CatalogueRequests::kStatus) {
    BaseTableViewController::dispatchORVMessage(message);
    return;
  }
  logLine(2, command);
  GameListScreen::dispatchORVMessage(message);
}

void GameGridViewController::handlePage(const std::shared_ptr<const ORVMessage>& message) {
  const auto update = model_->receive(message->command(), *message->content());
  if (!model_->isLoading()) stopAnimation();
  if (update.followUp) send(update.followUp);
  if (update.stale) return;
  if (update.failed) {
    logLine(1, "ERROR=====");
    return;
  }
  if (update.appended > 0) collectionView()->setCount(static_cast<int>(model_->games().size()));
}

QWidget* GameGridViewController::cellForItem(int item) {
  const auto& games = model_->games();
  if (item < 0 || static_cast<size_t>(item) >= games.size()) return nullptr;
  auto* cell = new GridGameCell2;
  cell->setObjectName(QString("cell%1").arg(item));
  cell->setGame(games[static_cast<size_t>(item)]);
  const uint64_t generation = model_->searchGeneration();
  connect(cell, &GridGameCell2::tapped, this, [this, item, generation] {
    // A cell of an earlier search can no longer be picked.
    if (generation != model_->searchGeneration()) return;
    const auto& list = model_->games();
    if (static_cast<size_t>(item) < list.size()) openDetailGame(list[static_cast<size_t>(item)]);
  });
  return cell;
}

}  // namespace orv::store
