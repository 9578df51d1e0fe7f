#include "store/screens/GameListScreen.h"

#include <QLabel>
#include <QResizeEvent>

#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/Config.h"
#include "store/records/DetailParameters.h"
#include "store/records/NavigationParameters.h"
#include "store/screens/LazyCellView.h"
#include "toolkit/NavigationItem.h"
#include "toolkit/ProgressOverlay.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::store {

GameListScreen::GameListScreen(GameListModel::Kind kind, const char* logTag, const char* identifier, QWidget* parent)
    : BaseTableViewController(parent), kind_(kind), logTag_(logTag), identifier_(identifier) {}

GameListScreen::~GameListScreen() { removeMessageHandler(); }

void GameListScreen::viewDidLoad() {
  BaseTableViewController::viewDidLoad();
  if (auto* plain = BaseTableViewController::tableView()) plain->hide();
  setLogTag(logTag_);
  setObjectName(identifier_);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(230, 230, 230));  // 0.9 in each channel
  setPalette(palette);

  model_ = std::make_unique<GameListModel>(kind_, NavigationParameters::read(*SettingsStore::standard()));
  logLine(2, model_->mode());
  cells_ = new LazyCellView(this);
  setUpCells(*cells_);
  cells_->setGeometry(rect());
}

void GameListScreen::resizeEvent(QResizeEvent* event) {
  BaseTableViewController::resizeEvent(event);
  if (cells_) cells_->setGeometry(rect());
  if (auto* hud = overlay()) hud->raise();
}

void GameListScreen::setlbTitle(const std::string& title) {
  std::string text = orv::localizedString(title);
  if (text.empty()) text = title;
  titleLabel_ = new QLabel(QString::fromStdString(text));
  titleLabel_->setObjectName("lbTitle");
  titleLabel_->setGeometry(0, 40, 320, 40);
  titleLabel_->setAlignment(Qt::AlignCenter);
  titleLabel_->setStyleSheet("color: rgb(230,230,230); font-size: 17px; font-weight: bold; background: transparent;");
  navigationItem()->setTitleView(titleLabel_);
}

void GameListScreen::viewDidDisappear(bool animated) {
  BaseTableViewController::viewDidDisappear(animated);
  removeMessageHandler();
  model_->abandonOutstanding();
}

void GameListScreen::addMessageHandler() {
  logLine(2, "ADD_MESSAGE_HANDLER");
  if (registered_ || model_->mode().empty()) return;
  try {
    Config::sharedClient()->addMessageHandler(messageHandler(), model_->mode());
    registered_ = true;
  } catch (const std::logic_error& e) {
    logLine(0, std::string("ADD_MESSAGE_HANDLER ") + e.what());
  }
}

void GameListScreen::removeMessageHandler() {
  if (!registered_) return;
  logLine(2, "REMOVE_MESSAGE_HANDLER");
  Config::sharedClient()->removeMessageHandlerForCommand(model_->mode());
  registered_ = false;
}

void GameListScreen::doRequest(const std::string& command) { send(model_->doRequest(command)); }

void GameListScreen::send(const ORVRequestPtr& request) {
  if (!request) return;
  // A request made during the slide in comes before viewDidAppear: the
  // answer must find this screen registered.
  addMessageHandler();
  Config::sharedClient()->sendRequest(request);
}

void GameListScreen::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  QMetaObject::invokeMethod(this, [this, message] { handlePage(message); }, Qt::QueuedConnection);
}

void GameListScreen::openDetailGame(const Game& game) {
  DetailParameters::write(game);
  pushScreen("GameDetailViewController");
}

}  // namespace orv::store
