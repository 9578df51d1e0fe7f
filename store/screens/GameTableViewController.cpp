#include "store/screens/GameTableViewController.h"

#include <QAbstractButton>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include "client/ORVClient.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/GameTableCell.h"
#include "store/screens/LazyCellView.h"
#include "toolkit/AlertView.h"
#include "toolkit/ProgressOverlay.h"
#include "toolkit/image/RemoteImageView.h"
#include "wire/ORVMessage.h"

namespace orv::store {
namespace {

constexpr int kSliderWidth = 320;
constexpr int kSliderHeight = 150;
constexpr int kSliderIntervalMs = 5000;

// A banner of the slider: the picture, tappable.
class Banner : public QAbstractButton {
 public:
  explicit Banner(QWidget* parent) : QAbstractButton(parent) {
    setFixedSize(kSliderWidth, kSliderHeight);
    setCursor(Qt::PointingHandCursor);
    image_ = new orv::toolkit::RemoteImageView(this);
    image_->setGeometry(rect());
    image_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
    image_->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  orv::toolkit::RemoteImageView* image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(210, 214, 220)); }

 private:
  orv::toolkit::RemoteImageView* image_;
};

// The slider's page dots.
class PageDots : public QWidget {
 public:
  explicit PageDots(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
  void setPages(int pages, int current) {
    pages_ = pages;
    current_ = current;
    update();
  }
  int current() const { return current_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int step = 14;
    int x = (width() - pages_ * step) / 2 + step / 2;
    for (int i = 0; i < pages_; ++i, x += step) {
      p.setPen(Qt::NoPen);
      p.setBrush(i == current_ ? QColor(255, 255, 255) : QColor(255, 255, 255, 110));
      p.drawEllipse(QPointF(x, height() / 2.0), 3.5, 3.5);
    }
  }

 private:
  int pages_ = 0;
  int current_ = 0;
};

}  // namespace

GameTableViewController::GameTableViewController(QWidget* parent)
    : GameListScreen(GameListModel::Kind::Table, kLogTag, kIdentifier, parent) {}

GameTableViewController::~GameTableViewController() { removeMessageHandler(); }

void GameTableViewController::viewDidLoad() {
  GameListScreen::viewDidLoad();
  gamesView()->setCount(model_->rowCount());
  setlbTitle(model_->title());

  // The subscription offer, decided once per run by the first home or list
  // screen that loads.
  if (!Config::isShowingDialogRegister()) {
    Config::setIsShowingDialogRegister(true);
    const int32_t status = Config::getMsisdnStatus();
    if (status == 98 || status == 99) {
      showAlertWithDelegate(this, QString::fromStdString(Config::getNotify()), 996, QString::fromUtf8("Bỏ qua"),
                            status == 99 ? QString::fromUtf8("Đăng ký") : QString::fromUtf8("Gia hạn"));
    }
  }
  if (auto* hud = overlay()) hud->raise();
}

void GameTableViewController::setUpCells(LazyCellView& table) {
  table.setObjectName("tableView");
  table.setList(GameTableCell::kHeight);
  table.setCellFactory([this](int row) { return cellForRow(row); });
  connect(&table, &LazyCellView::willDisplay, this, [this](int row, QWidget* cell) { willDisplayRow(row, cell); });
}

void GameTableViewController::resizeEvent(QResizeEvent* event) {
  GameListScreen::resizeEvent(event);
  if (pageControl_) {
    pageControl_->raise();
    if (auto* hud = overlay()) hud->raise();
  }
}

void GameTableViewController::viewDidAppear(bool animated) {
  addMessageHandler();
  BaseTableViewController::viewDidAppear(animated);
  for (const auto& request : model_->firstRequests()) send(request);
  // Back on top: the loading row may be in view already.
  const int loading = static_cast<int>(model_->games().size());
  if (gamesView()->isIndexVisible(loading) && model_->wantsPageAtLoadingRow()) doRequest(model_->mode());
}

void GameTableViewController::removeMessageHandler() {
  if (holdsRegister_) {
    Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kSubscribe);
    holdsRegister_ = false;
    stopAnimation();
  }
  GameListScreen::removeMessageHandler();
}

void GameTableViewController::alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) {
  if (alert.tag() == 996 && buttonIndex == 1 && !holdsRegister_) {
    // Registered before the base sends "a.reg", so the answer cannot overtake it.
    try {
      Config::sharedClient()->addMessageHandler(messageHandler(), CatalogueRequests::kSubscribe);
      holdsRegister_ = true;
    } catch (const std::logic_error&) {
      // Another visible screen holds "a.reg" and shows its answer.
    }
  }
  BaseTableViewController::alertViewClickedButtonAtIndex(alert, buttonIndex);
}

void GameTableViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  if (message->command() == CatalogueRequests::kSubscribe) {
    if (holdsRegister_) {
      Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kSubscribe);
      holdsRegister_ = false;
    }
    BaseTableViewController::dispatchORVMessage(message);
    return;
  }
  GameListScreen::dispatchORVMessage(message);
}

void GameTableViewController::handlePage(const std::shared_ptr<const ORVMessage>& message) {
  stopAnimation();
  const auto update = model_->receive(message->command(), *message->content());
  if (update.stale) return;
  if (update.showNoData) showNoData();
  if (update.bannersAppended > 0) addHeader();
  if (update.appended > 0) {
    // The loading row's place now holds the first new game.
    const int first = static_cast<int>(update.firstNew);
    if (auto* cell = gamesView()->cellAt(first); cell && cell->property("tag").toInt() == kLoadingTag) {
      gamesView()->dropCell(first);
    }
  }
  gamesView()->setCount(model_->rowCount());
}

void GameTableViewController::showNoData() { gamesView()->setFooterView(makeEmptyCell()); }

bool GameTableViewController::isShowingNoData() const {
  return gamesView()->footerView() && gamesView()->footerView()->objectName() == "emptyCell";
}

QWidget* GameTableViewController::cellForRow(int row) {
  const auto& games = model_->games();
  if (gamesView()->count() > 0 && model_->isLoadingRow(row)) {
    auto* loading = new LoadingCell;
    loading->setProperty("tag", kLoadingTag);
    return loading;
  }
  if (static_cast<size_t>(row) >= games.size()) return nullptr;
  auto* cell = new GameTableCell;
  cell->setObjectName(QString("row%1").arg(row));
  cell->setProperty("tag", row);
  cell->setGame(games[static_cast<size_t>(row)], row);
  connect(cell, &GameTableCell::tapped, this, [this](int r) {
    if (r != kLoadingTag && static_cast<size_t>(r) < model_->games().size()) openDetailGame(model_->games()[r]);
  });
  connect(cell, &GameTableCell::downClicked, this, &GameTableViewController::downButtonClicked);
  return cell;
}

void GameTableViewController::willDisplayRow(int, QWidget* cell) {
  if (cell && cell->property("tag").toInt() == kLoadingTag && model_->wantsPageAtLoadingRow()) {
    doRequest(model_->mode());
  }
}

void GameTableViewController::downButtonClicked(int tag) {
  if (tag != kLoadingTag && tag >= 0 && static_cast<size_t>(tag) < model_->games().size()) {
    openDetailGame(model_->games()[static_cast<size_t>(tag)]);
  }
}

void GameTableViewController::addHeader() {
  const auto& list = model_->banners();
  if (!scroller_) {
    scroller_ = new QScrollArea;
    scroller_->setObjectName("Scroller");
    scroller_->setFixedHeight(kSliderHeight);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller_->setWidgetResizable(false);
    auto* content = new QWidget;
    content->setObjectName("ScrollerContent");
    scroller_->setWidget(content);
    connect(scroller_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { loadVisiblePages(); });
    gamesView()->setHeaderView(scroller_);
    timer_ = new QTimer(this);
    timer_->setInterval(kSliderIntervalMs);
    connect(timer_, &QTimer::timeout, this, &GameTableViewController::onTimer);
    timer_->start();
  }
  QWidget* content = scroller_->widget();
  content->resize(static_cast<int>(list.size()) * kSliderWidth, kSliderHeight);
  for (int i = static_cast<int>(banners_.size()); i < static_cast<int>(list.size()); ++i) {
    auto* banner = new Banner(content);
    banner->setObjectName(QString("banner%1").arg(i));
    banner->move(i * kSliderWidth, 0);
    banner->image()->setImageURL(QUrl(QString::fromStdString(list[static_cast<size_t>(i)].icon())));
    connect(banner, &QAbstractButton::clicked, this, [this, i] { clickBanner(i); });
    banner->show();
    banners_.push_back(banner);
  }
  if (!pageControl_) {
    pageControl_ = new PageDots(this);
    pageControl_->setObjectName("pageControl");
    pageControl_->setGeometry(0, kSliderHeight - 20, kSliderWidth, 10);
  }
  static_cast<PageDots*>(pageControl_)->setPages(static_cast<int>(list.size()), 0);
  pageControl_->show();
  pageControl_->raise();
  if (auto* hud = overlay()) hud->raise();
}

void GameTableViewController::clickBanner(int tag) {
  if (tag >= 0 && static_cast<size_t>(tag) < model_->banners().size()) {
    openDetailGame(model_->banners()[static_cast<size_t>(tag)]);
  }
}

void GameTableViewController::onTimer() {
  if (!scroller_ || banners_.isEmpty()) return;
  auto* bar = scroller_->horizontalScrollBar();
  const int next = bar->value() + kSliderWidth;
  bar->setValue(next > bar->maximum() ? 0 : next);
  loadVisiblePages();
}

void GameTableViewController::loadVisiblePages() {
  if (!scroller_ || !pageControl_) return;
  const int page = (scroller_->horizontalScrollBar()->value() + kSliderWidth / 2) / kSliderWidth;
  static_cast<PageDots*>(pageControl_)->setPages(static_cast<int>(banners_.size()), page);
  // The dots follow the header as the table scrolls.
  pageControl_->move(0, kSliderHeight - 20 - gamesView()->verticalScrollBar()->value());
}

}  // namespace orv::store
