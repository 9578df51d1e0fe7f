#include "store/screens/GameDetailViewController.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QUrl>

#include "client/ORVClient.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/records/DetailParameters.h"
#include "store/records/NavigationParameters.h"
#include "store/screens/OtherGame.h"
#include "store/screens/RatingStars.h"
#include "store/screens/ShareSheet.h"
#include "toolkit/AlertView.h"
#include "toolkit/BarButtonItem.h"
#include "toolkit/NavigationBar.h"
#include "toolkit/NavigationController.h"
#include "toolkit/ProgressOverlay.h"
#include "toolkit/ScreenRegistry.h"
#include "toolkit/Toolbar.h"
#include "toolkit/image/RemoteImageView.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

// The toolbar's pictures live in this library's resources, which a static
// library must register itself.
static void initListsImages() { Q_INIT_RESOURCE(lists_images); }

namespace orv::store {
namespace {

constexpr int kGalleryY = 112;
constexpr int kDescriptionY = kGalleryY + GameDetailModel::kGalleryHeight + 12;
// The strip ends clear of the bottom toolbar (44 points) that covers the page.
constexpr int kStripY = GameDetailModel::kPageHeight - GameDetailModel::kCardHeight - 52;

QLabel* sectionTitle(const QString& text, int y, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(10, y, 300, 22);
  label->setStyleSheet("color: rgb(33,33,33); font-size: 14px; font-weight: bold; "
                       "border-bottom: 2px solid rgb(43,168,74);");
  return label;
}

QUrl escapedUrl(const std::string& text) { return QUrl(QString::fromStdString(text), QUrl::TolerantMode); }

const char* const kCommands[] = {CatalogueRequests::kDetail, CatalogueRequests::kRelated, CatalogueRequests::kBuy,
                                 CatalogueRequests::kSubscribe};

}  // namespace

GameDetailViewController::GameDetailViewController(QWidget* parent) : BaseViewController(parent) {
  static const bool registered = (initListsImages(), true);
  (void)registered;
}

GameDetailViewController::~GameDetailViewController() { removeMessageHandler(); }

void GameDetailViewController::viewDidLoad() {
  BaseViewController::viewDidLoad();
  setLogTag(kLogTag);
  setObjectName(kIdentifier);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(242, 244, 247));
  setPalette(palette);

  model_ = std::make_unique<GameDetailModel>(GameDetailModel::fromSettings(*SettingsStore::standard()));

  sContent_ = new QScrollArea(this);
  sContent_->setObjectName("sContent");
  sContent_->setFrameShape(QFrame::NoFrame);
  sContent_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sContent_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sContent_->setWidgetResizable(false);
  page_ = new QWidget;
  page_->setObjectName("detailPage");
  page_->setFixedSize(GameDetailModel::kPageWidth, GameDetailModel::kPageHeight);
  page_->setStyleSheet("#detailPage { background: rgb(242,244,247); }");
  sContent_->setWidget(page_);

  auto* header = new QWidget(page_);
  header->setObjectName("detailHeader");
  header->setAttribute(Qt::WA_StyledBackground);
  header->setStyleSheet("#detailHeader { background: white; border-bottom: 1px solid rgb(222,222,222); }");
  header->setGeometry(0, 0, 320, kGalleryY - 6);
  ivAvatar_ = new orv::toolkit::RemoteImageView(header);
  ivAvatar_->setObjectName("ivAvatar");
  ivAvatar_->setGeometry(10, 10, 86, 86);
  ivAvatar_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
  lbName_ = new QLabel(header);
  lbName_->setObjectName("lbName");
  lbName_->setGeometry(106, 10, 206, 22);
  lbName_->setStyleSheet("color: rgb(33,33,33); font-size: 16px; font-weight: bold;");
  lbProvider_ = new QLabel(header);
  lbProvider_->setObjectName("lbProvider");
  lbProvider_->setGeometry(106, 33, 206, 16);
  lbProvider_->setStyleSheet("color: rgb(120,120,120); font-size: 12px;");
  stars_ = new RatingStars(14, 17, header);
  stars_->setObjectName("ivStars");
  stars_->move(106, 53);
  lbPrice_ = new QLabel(header);
  lbPrice_->setObjectName("lbPrice");
  lbPrice_->setGeometry(106, 74, 90, 22);
  lbPrice_->setStyleSheet("color: rgb(214,69,43); font-size: 13px; font-weight: bold;");
  btnTaive_ = new QPushButton(QString::fromUtf8("TẢI VỀ"), header);
  btnTaive_->setObjectName("btnTaive");
  btnTaive_->setGeometry(204, 68, 106, 30);
  btnTaive_->setCursor(Qt::PointingHandCursor);
  btnTaive_->setStyleSheet("QPushButton { background: rgb(43,168,74); color: white; border: none; border-radius: 4px; "
                           "font-size: 13px; font-weight: bold; } QPushButton:pressed { background: rgb(30,130,56); }");
  connect(btnTaive_, &QPushButton::clicked, this, [this] { clickTaive(); });
  btnShare_ = new QPushButton(header);
  btnShare_->setObjectName("btnShare");
  btnShare_->hide();  // sharing is offered by the toolbar's share item

  uvImages_ = new QWidget(page_);
  uvImages_->setObjectName("uvImages");
  uvImages_->setGeometry(0, kGalleryY, GameDetailModel::kGalleryWidth, GameDetailModel::kGalleryHeight);

  sectionTitle(QString::fromUtf8("Giới thiệu"), kDescriptionY, page_);
  tvDec_ = new QTextEdit(page_);
  tvDec_->setObjectName("tvDec");
  tvDec_->setReadOnly(true);
  tvDec_->setFrameShape(QFrame::NoFrame);
  tvDec_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  tvDec_->setGeometry(10, kDescriptionY + 28, 300, kStripY - kDescriptionY - 64);
  tvDec_->setStyleSheet("QTextEdit { background: white; color: rgb(55,55,55); font-size: 13px; border-radius: 4px; "
                        "padding: 4px; }");

  sectionTitle(QString::fromUtf8("Game cùng thể loại"), kStripY - 30, page_);
  btnMore_ = new QPushButton(QString::fromUtf8("Xem tất cả ›"), page_);
  btnMore_->setObjectName("btnMoreRelated");
  btnMore_->setGeometry(220, kStripY - 30, 90, 22);
  btnMore_->setCursor(Qt::PointingHandCursor);
  btnMore_->setStyleSheet("QPushButton { color: rgb(43,168,74); border: none; font-size: 12px; background: transparent; "
                          "text-align: right; }");
  connect(btnMore_, &QPushButton::clicked, this, [this] { openRelatedList(); });
  sOtherGame_ = new QScrollArea(page_);
  sOtherGame_->setObjectName("sOtherGame");
  sOtherGame_->setFrameShape(QFrame::NoFrame);
  sOtherGame_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sOtherGame_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sOtherGame_->setWidgetResizable(false);
  sOtherGame_->setGeometry(1, kStripY, 318, GameDetailModel::kCardHeight);
  sOtherGame_->setStyleSheet("QScrollArea { background: transparent; }");
  sOtherGame_->viewport()->setAutoFillBackground(false);

  // Navigation bar: "CHI TIẾT" in white, the back button without text.
  navigationItem()->setTitle(QString::fromUtf8(GameDetailModel::kTitle));
  setBackButton("");
  sContent_->setGeometry(rect());
  if (auto* hud = overlay()) hud->raise();
}

void GameDetailViewController::resizeEvent(QResizeEvent* event) {
  BaseViewController::resizeEvent(event);
  if (sContent_) sContent_->setGeometry(rect());
  if (auto* hud = overlay()) hud->raise();
}

void GameDetailViewController::viewWillAppear(bool animated) {
  BaseViewController::viewWillAppear(animated);
  loadToolbarItems();
}

void GameDetailViewController::viewDidAppear(bool animated) {
  addMessageHandler();
  BaseViewController::viewDidAppear(animated);
  if (auto* nav = navigationController()) {
    QFont font;
    font.setPixelSize(16);
    nav->navigationBar()->setTitleFont(font);
    nav->navigationBar()->setTitleColor(Qt::white);
  }
  for (const auto& request : model_->firstRequests()) {
    startAnimation();
    Config::sharedClient()->sendRequest(request);
  }
}

void GameDetailViewController::viewWillDisappear(bool animated) {
  BaseViewController::viewWillDisappear(animated);
}

void GameDetailViewController::viewDidDisappear(bool animated) {
  removeMessageHandler();
  BaseViewController::viewDidDisappear(animated);
}

void GameDetailViewController::addMessageHandler() {
  if (registered_) return;
  auto client = Config::sharedClient();
  for (const char* command : kCommands) {
    try {
      client->addMessageHandler(messageHandler(), command);
    } catch (const std::logic_error& e) {
      logLine(0, std::string("REGISTER ") + command + ": " + e.what());
    }
  }
  registered_ = true;
}

void GameDetailViewController::removeMessageHandler() {
  if (!registered_) return;
  auto client = Config::sharedClient();
  for (const char* command : kCommands) client->removeMessageHandlerForCommand(command);
  registered_ = false;
}

void GameDetailViewController::doRequest(const std::string& command) {
  ORVRequestPtr request;
  if (command == CatalogueRequests::kDetail || command == CatalogueRequests::kRelated) {
    const int32_t id = DetailParameters::parseInt(model_->gameId());
    request = command == CatalogueRequests::kDetail ? CatalogueRequests::detail(id)
                                                      : CatalogueRequests::relatedToGame(id);
  } else if (command == CatalogueRequests::kBuy) {
    request = model_->buyRequest(Config::getMsisdn());
  }
  if (!request) return;
  startAnimation();
  Config::sharedClient()->sendRequest(request);
}

void GameDetailViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  logLine(2, message->command());
  QMetaObject::invokeMethod(this, [this, message] { handleAnswer(message); }, Qt::QueuedConnection);
}

void GameDetailViewController::handleAnswer(const std::shared_ptr<const ORVMessage>& message) {
  stopAnimation();
  const std::string& command = message->command();
  if (command == CatalogueRequests::kSubscribe) {
    BaseViewController::dispatchORVMessage(message);
    return;
  }
  const ORVDataObject& content = *message->content();
  if (command == CatalogueRequests::kDetail) {
    if (model_->receiveDetail(content)) showDetail();
    return;
  }
  if (command == CatalogueRequests::kRelated) {
    const size_t before = model_->otherGames().size();
    const size_t added = model_->receiveRelated(content);
    logLine(2, std::to_string(added));
    if (added > 0 || before == 0) showOtherGame(before);
    return;
  }
  if (command != CatalogueRequests::kBuy) return;
  const auto outcome = GameDetailModel::purchaseOutcome(content);
  using Action = GameDetailModel::PurchaseOutcome::Action;
  switch (outcome.action) {
    case Action::Offer:
      showAlertWithDelegate(this, QString::fromStdString(outcome.text), 996, QString::fromUtf8("Bỏ qua"),
                            QString::fromStdString(outcome.button1));
      break;
    case Action::Alert:
    case Action::BrokenLink:
      showAlert(QString::fromStdString(outcome.text));
      break;
    case Action::OpenLink:
      orv::Application::shared().openURL(outcome.text);
      break;
    case Action::None:
      break;
  }
}

void GameDetailViewController::showDetail() {
  const Game& game = model_->game();
  logLine(2, "GALLERY " + game.gallery());
  lbName_->setText(QString::fromStdString(game.name()));
  ivAvatar_->setImageURL(escapedUrl(game.icon()));
  lbProvider_->setText(QString::fromStdString(game.code()));
  lbPrice_->setText(game.price() >= 1 ? QString::fromUtf8("%1 VNĐ").arg(game.price()) : QString::fromUtf8("MIỄN PHÍ"));
  logLine(2, "RATING " + std::to_string(game.ratingTotal()));
  stars_->setRating(game.ratingTotal());
  tvDec_->setPlainText(QString::fromStdString(model_->descriptionText()));
  loadSliderImage();
}

void GameDetailViewController::loadSliderImage() {
  if (gallery_) gallery_->deleteLater();
  galleryImages_.clear();
  gallery_ = new QScrollArea(uvImages_);
  gallery_->setObjectName("gallery");
  gallery_->setFrameShape(QFrame::NoFrame);
  gallery_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  gallery_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  gallery_->setWidgetResizable(false);
  gallery_->setGeometry(0, 0, GameDetailModel::kGalleryWidth, GameDetailModel::kGalleryHeight);
  gallery_->setStyleSheet("QScrollArea { background: transparent; }");
  gallery_->viewport()->setAutoFillBackground(false);
  auto* content = new QWidget;
  content->setObjectName("galleryContent");
  orv::log("GameDetailViewController::loadSliderImage", "Link-- " + std::to_string(model_->game().id()));
  const auto pictures = model_->galleryPictures();
  if (!pictures.empty()) {
    content->resize(static_cast<int>(pictures.size()) * GameDetailModel::kGalleryWidth, GameDetailModel::kGalleryHeight);
    for (size_t i = 0; i < pictures.size(); ++i) {
      auto* image = new orv::toolkit::RemoteImageView(content);
      image->setObjectName(QString("galleryPage%1").arg(i));
      image->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
      image->setGeometry(static_cast<int>(i) * GameDetailModel::kGalleryWidth, 0, GameDetailModel::kGalleryWidth,
                         GameDetailModel::kGalleryHeight);
      image->setImageURL(QUrl(QString::fromStdString(pictures[i])));
      galleryImages_.push_back(image);
    }
  } else {
    content->resize(GameDetailModel::kGalleryWidth, GameDetailModel::kGalleryHeight);
    auto* image = new orv::toolkit::RemoteImageView(content);
    image->setObjectName("galleryIcon");
    image->setGeometry((GameDetailModel::kGalleryWidth - GameDetailModel::kIconFallbackSize) / 2, 0,
                       GameDetailModel::kIconFallbackSize, GameDetailModel::kIconFallbackSize);
    image->setImageURL(escapedUrl(model_->game().icon()));
    galleryImages_.push_back(image);
  }
  gallery_->setWidget(content);
  // Paging: a drag that ends between pages settles on the nearer one.
  auto* bar = gallery_->horizontalScrollBar();
  bar->setSingleStep(GameDetailModel::kGalleryWidth);
  bar->setPageStep(GameDetailModel::kGalleryWidth);
  gallery_->show();
}

void GameDetailViewController::showOtherGame(size_t firstNew) {
  const auto& games = model_->otherGames();
  if (!otherContent_) {
    otherContent_ = new QWidget;
    otherContent_->setObjectName("otherContent");
    sOtherGame_->setWidget(otherContent_);
  }
  const Rect size = GameDetailModel::stripContent(games.size());
  otherContent_->resize(size.width, size.height);
  for (size_t i = firstNew; i < games.size(); ++i) {
    auto* card = new OtherGame(otherContent_);
    const Rect frame = GameDetailModel::cardFrame(i);
    card->setGeometry(frame.x, frame.y, frame.width, frame.height);
    card->setGame(games[i], static_cast<int>(i));
    connect(card, &OtherGame::selected, this, &GameDetailViewController::selectorGame);
    card->show();
    otherViews_.push_back(card);
  }
}

void GameDetailViewController::selectorGame(int tag) {
  const auto& games = model_->otherGames();
  if (tag < 0 || static_cast<size_t>(tag) >= games.size()) return;
  DetailParameters::write(games[static_cast<size_t>(tag)]);
  auto* nav = navigationController();
  auto* next = orv::toolkit::ScreenRegistry::main().create(kIdentifier);
  if (!next) next = new GameDetailViewController;
  if (nav) nav->pushViewController(next, true);
}

void GameDetailViewController::openRelatedList() {
  NavigationParameters navigation{CatalogueRequests::kRelated, model_->gameId(), "Game cùng thể loại"};
  navigation.write(*SettingsStore::standard());
  pushScreen("GameTableViewController");
}

void GameDetailViewController::clickTaive() {
  if (!Config::getMsisdn().empty()) {
    doRequest(CatalogueRequests::kBuy);
    return;
  }
  auto* alert = new orv::toolkit::AlertView(QString::fromUtf8("Thông báo"),
                                            QString::fromStdString(orv::localizedString("no_msisdn")), this,
                                            QString::fromStdString(orv::localizedString("btn_no")), {"OK"});
  alert->setTag(995);
  alert->show();
}

void GameDetailViewController::shareText() {
  const auto outcome = model_->share(Config::deployment().shareBase);
  if (!outcome.allowed) {
    alView_ = new orv::toolkit::AlertView(QString::fromUtf8("Thông báo"),
                                          QString::fromUtf8(GameDetailModel::kShareRefusedText), this,
                                          QString::fromUtf8("Đóng"));
    alView_->show();
    return;
  }
  ShareItems items;
  items.text = QString::fromStdString(outcome.name);
  items.picture = ivAvatar_->image();
  items.link = QString::fromUtf8(QUrl(QString::fromStdString(outcome.link), QUrl::TolerantMode).toEncoded());
  ShareSheet::present(items);
}

void GameDetailViewController::loadToolbarItems() {
  // The items are made once; the stack shows them while this page is on top
  // and hides the toolbar whenever another screen covers or replaces it.
  if (toolbarItems().isEmpty()) {
    auto* share = orv::toolkit::BarButtonItem::withImage("btn-share", orv::toolkit::BarButtonItem::Style::Done, this);
    share->setObjectName("shareItem");
    share->setAction([this] { shareText(); });
    auto* button = new QPushButton(QString::fromUtf8("Tải"), this);
    button->hide();
    button->setObjectName("toolbarDownload");
    button->setFixedSize(143, 33);
    QFont font("Arial");
    font.setPixelSize(18);
    button->setFont(font);
    button->setStyleSheet("QPushButton { color: black; border: none; border-image: url(:/icons/btn-download.svg); }");
    connect(button, &QPushButton::clicked, this, [this] { clickDownload(); });
    auto* download = orv::toolkit::BarButtonItem::withCustomView(button, this);
    auto* favourites =
        orv::toolkit::BarButtonItem::withImage("btn-favorites", orv::toolkit::BarButtonItem::Style::Done, this);
    favourites->setObjectName("favouritesItem");
    setToolbarItems({share, orv::toolkit::BarButtonItem::flexibleSpace(this), download,
                     orv::toolkit::BarButtonItem::flexibleSpace(this), favourites});
  }
  auto* nav = navigationController();
  if (!nav) return;
  auto* toolbar = nav->toolbar();
  toolbar->setOpaque(true);
  toolbar->setBarTintColor(nav->navigationBar()->barTintColor());
  toolbar->setTintColor(Qt::white);
}

void GameDetailViewController::alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) {
  if (&alert == alView_) alView_ = nullptr;
  BaseViewController::alertViewClickedButtonAtIndex(alert, buttonIndex);
}

}  // namespace orv::store
