#include "store/screens/HomeViewController.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QScroller>
#include <QTimer>
#include <QUrl>

#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "store/Config.h"
#include "store/models/SliderPaging.h"
#include "store/models/SubscriptionOffer.h"
#include "store/records/CatalogueRequests.h"
#include "store/records/DetailParameters.h"
#include "store/screens/GridGameCell.h"
#include "store/screens/GridGameHeader.h"
#include "store/screens/LeftMenuViewController.h"
#include "store/screens/PageControl.h"
#include "store/screens/PlaceholderViewController.h"
#include "store/screens/StoreImages.h"
#include "toolkit/AlertView.h"
#include "toolkit/AnimationSettings.h"
#include "toolkit/NavigationController.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/image/RemoteImageView.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

int gSliderInterval = SliderPaging::kTimerIntervalMs;

constexpr int kSliderWidth = static_cast<int>(SliderPaging::kWidth);
constexpr int kSliderHeight = static_cast<int>(SliderPaging::kHeight);
constexpr int kCellGap = 5;

// A tappable banner the size of the slider: the game's picture at (0, 0) as a
// square, its name and provider beside it, over a band in the picture's own
// colour once the picture has arrived.
class BannerControl : public QAbstractButton {
 public:
  BannerControl(int tag, const Game& game, QWidget* parent)
      : QAbstractButton(parent), tag_(tag), name_(QString::fromStdString(game.name())),
        provider_(QString::fromStdString(game.code())) {
    setFixedSize(kSliderWidth, kSliderHeight);
    setCursor(Qt::PointingHandCursor);
    image_ = new orv::toolkit::RemoteImageView(this);
    image_->setGeometry(0, 0, kSliderHeight, kSliderHeight);
    image_->setAttribute(Qt::WA_TransparentForMouseEvents);
    image_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
    connect(image_, &orv::toolkit::RemoteImageView::imageChanged, this, [this] {
      const QImage& picture = image_->image();
      if (!picture.isNull()) tint_ = picture.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
      update();
    });
  }
  int tag() const { return tag_; }
  orv::toolkit::RemoteImageView* imageView() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, width(), height());
    band.setColorAt(0, tint_.darker(115));
    band.setColorAt(1, tint_.darker(190));
    p.fillRect(rect(), band);
    const QRect text(kSliderHeight + 16, 16, width() - kSliderHeight - 28, 60);
    QFont title = font();
    title.setPixelSize(19);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, name_);
    QFont small = font();
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QRect(text.left(), 76, text.width(), 18), Qt::AlignLeft | Qt::AlignVCenter, provider_);
    // "Chơi ngay" pill.
    const QRect pill(text.left(), 100, 84, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(pill, 12, 12);
    small.setBold(true);
    p.setFont(small);
    p.setPen(tint_.darker(160));
    p.drawText(pill, Qt::AlignCenter, QStringLiteral("Chơi ngay"));
  }

 private:
  int tag_;
  QString name_;
  QString provider_;
  QColor tint_{19, 102, 203};
  orv::toolkit::RemoteImageView* image_ = nullptr;
};

}  // namespace

void HomeViewController::setSliderTimerInterval(int milliseconds) { gSliderInterval = milliseconds; }
int HomeViewController::sliderTimerInterval() { return gSliderInterval; }

HomeViewController::HomeViewController(QWidget* parent) : BaseViewController(parent) { ensureStoreImages(); }

HomeViewController::~HomeViewController() {
  // A screen destroyed while shown must not leave its commands registered.
  if (registered_) Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kHome);
  if (awaitingRegister_) Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kSubscribe);
}

void HomeViewController::viewDidLoad() {
  BaseViewController::viewDidLoad();
  setLogTag(kLogTag);
  setObjectName("HomeViewController");
  navigationItem()->setTitle(QStringLiteral("Kho Game"));
  isFirstLoad_ = true;
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(242, 244, 247));
  setPalette(palette);

  homeSlider_ = new QScrollArea(this);
  homeSlider_->setObjectName("homeSlider");
  homeSlider_->setFrameShape(QFrame::NoFrame);
  homeSlider_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  homeSlider_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  homeSlider_->setWidgetResizable(false);
  homeSlider_->setStyleSheet("QScrollArea { background: transparent; }");
  homeSlider_->setGeometry(0, 0, kSliderWidth, kSliderHeight);
  connect(homeSlider_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { loadVisiblePages(); });

  homeGrid_ = new QScrollArea(this);
  homeGrid_->setObjectName("homeGrid");
  homeGrid_->setFrameShape(QFrame::NoFrame);
  homeGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  homeGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QScroller::grabGesture(homeGrid_->viewport(), QScroller::LeftMouseButtonGesture);
  homeGrid_->setWidgetResizable(false);
  homeGrid_->setStyleSheet("QScrollArea { background: rgb(242,244,247); }");
  gridContent_ = new QWidget;
  gridContent_->setObjectName("homeGridContent");
  gridContent_->resize(kSliderWidth, 0);
  homeGrid_->setWidget(gridContent_);
  homeGrid_->widget()->setAutoFillBackground(false);

  model_.setCurrentStatus(Config::getMsisdnStatus());

  // The subscription offer: the first home or list screen that loads decides
  // for the whole run.
  bool decided = Config::isShowingDialogRegister();
  const auto offer = SubscriptionOffer::takeOnce(decided, Config::getMsisdnStatus(), Config::getNotify());
  Config::setIsShowingDialogRegister(decided);
  if (offer) {
    showAlertWithDelegate(this, QString::fromStdString(offer->text), offer->tag, QString::fromStdString(offer->button0),
                          QString::fromStdString(offer->button1));
  }
  if (auto* hud = overlay()) hud->raise();
}

void HomeViewController::resizeEvent(QResizeEvent* event) {
  BaseViewController::resizeEvent(event);
  if (homeGrid_) homeGrid_->setGeometry(0, kSliderHeight, width(), height() - kSliderHeight);
  layoutGrid();
}

void HomeViewController::viewDidAppear(bool animated) {
  addMessageHandler();
  BaseViewController::viewDidAppear(animated);
  if (isFirstLoad_) {
    doRequest(CatalogueRequests::kHome);
    doRequest(CatalogueRequests::kHomeSections);
    isFirstLoad_ = false;
  }
  refreshMenuIfStatusChanged();
}

void HomeViewController::viewDidDisappear(bool animated) {
  removeMessageHandler();
  BaseViewController::viewDidDisappear(animated);
  if (awaitingRegister_) {
    // The "a.reg" answer can no longer reach this screen.
    releaseRegisterAnswer();
    stopAnimation();
  }
}

void HomeViewController::addMessageHandler() {
  logLine(2, "ADD_MESSAGE_HANDLER");
  if (registered_) return;
  Config::sharedClient()->addMessageHandler(messageHandler(), CatalogueRequests::kHome);
  registered_ = true;
}

void HomeViewController::removeMessageHandler() {
  logLine(2, "REMOVE_MESSAGE_HANDLER");
  if (!registered_) return;
  Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kHome);
  registered_ = false;
}

void HomeViewController::releaseRegisterAnswer() {
  if (!awaitingRegister_) return;
  awaitingRegister_ = false;
  Config::sharedClient()->removeMessageHandlerForCommand(CatalogueRequests::kSubscribe);
}

void HomeViewController::alertViewClickedButtonAtIndex(orv::toolkit::AlertView& alert, int buttonIndex) {
  if (alert.tag() == SubscriptionOffer::kTag && buttonIndex == 1 && !awaitingRegister_) {
    // Registered before the base sends "a.reg", so the answer cannot overtake it.
    try {
      Config::sharedClient()->addMessageHandler(messageHandler(), CatalogueRequests::kSubscribe);
      awaitingRegister_ = true;
    } catch (const std::logic_error&) {
      // Another visible screen holds "a.reg" and will show its answer.
    }
  }
  BaseViewController::alertViewClickedButtonAtIndex(alert, buttonIndex);
}

void HomeViewController::doRequest(const std::string& command) {
  auto request = command == CatalogueRequests::kHome ? CatalogueRequests::home() : CatalogueRequests::homeSections();
  startAnimation();
  Config::sharedClient()->sendRequest(request);
}

void HomeViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  if (message->command() == CatalogueRequests::kSubscribe) {
    // The answer to the offer's "a.reg": the base hides the overlay, shows
    // "em" and stores the status; then the menu follows the new status.
    releaseRegisterAnswer();
    BaseViewController::dispatchORVMessage(message);
    if (isAppearing()) refreshMenuIfStatusChanged();
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, message] {
        stopAnimation();
        const std::size_t sectionsBefore = model_.headers().size();
        switch (model_.addAnswer(message->command(), message->content().get())) {
          case HomeModel::Change::Slider: addHomeSlider(); break;
          case HomeModel::Change::Sections: addSections(sectionsBefore); break;
          case HomeModel::Change::None: break;
        }
      },
      Qt::QueuedConnection);
}

void HomeViewController::refreshMenuIfStatusChanged() {
  if (!model_.noticeStatus(Config::getMsisdnStatus())) return;
  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  if (auto* menu = stack ? qobject_cast<LeftMenuViewController*>(stack->leftMenu()) : nullptr) menu->updateMenu();
}

void HomeViewController::addHomeSlider() {
  if (!timer_) {
    timer_ = new QTimer(this);
    timer_->setInterval(gSliderInterval);
    connect(timer_, &QTimer::timeout, this, &HomeViewController::onTimer);
    timer_->start();
  }
  const int pages = static_cast<int>(model_.slider().size());
  if (!sliderContent_) {
    sliderContent_ = new QWidget;
    sliderContent_->setObjectName("homeSliderContent");
    homeSlider_->setWidget(sliderContent_);
  }
  sliderContent_->resize(static_cast<int>(SliderPaging::contentWidth(pages)), kSliderHeight);
  for (int i = static_cast<int>(banners_.size()); i < pages; ++i) {
    auto* banner = new BannerControl(i, model_.slider()[static_cast<size_t>(i)], sliderContent_);
    banner->setObjectName(QString("banner%1").arg(i));
    banner->move(i * kSliderWidth, 0);
    banner->imageView()->setImageURL(QUrl(QString::fromStdString(model_.slider()[static_cast<size_t>(i)].icon())));
    connect(banner, &QAbstractButton::clicked, this, [this, i] { clickBanner(i); });
    banner->show();
    banners_.push_back(banner);
  }
  if (!pageSlider_) {
    pageSlider_ = new PageControl(this);
    pageSlider_->setObjectName("pageSlider");
    pageSlider_->setGeometry(0, kSliderHeight - 20, kSliderWidth, 10);
  }
  pageSlider_->setNumberOfPages(pages);
  pageSlider_->setCurrentPage(0);
  pageSlider_->show();
  pageSlider_->raise();
  if (auto* hud = overlay()) hud->raise();
}

void HomeViewController::onTimer() {
  if (!homeSlider_ || !sliderContent_) return;
  const double x = homeSlider_->horizontalScrollBar()->value();
  loadVisiblePages();
  scrollSliderTo(static_cast<int>(SliderPaging::nextOffset(x, sliderContent_->width(), kSliderWidth)));
}

void HomeViewController::scrollSliderTo(int x) {
  auto* bar = homeSlider_->horizontalScrollBar();
  const int ms = orv::toolkit::AnimationSettings::durationMs(0.3);
  if (ms <= 0) {
    bar->setValue(x);
    return;
  }
  auto* animation = new QPropertyAnimation(bar, "value", this);
  animation->setDuration(ms);
  animation->setEasingCurve(QEasingCurve::OutCubic);
  animation->setEndValue(x);
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void HomeViewController::loadVisiblePages() {
  if (!pageSlider_ || !homeSlider_) return;
  pageSlider_->setCurrentPage(
      SliderPaging::pageForOffset(homeSlider_->horizontalScrollBar()->value(), homeSlider_->width()));
}

void HomeViewController::clickBanner(int tag) {
  if (tag < 0) return;
  if (const Game* game = model_.bannerAt(static_cast<size_t>(tag))) openDetailGame(*game);
}

void HomeViewController::addSections(std::size_t firstNew) {
  for (std::size_t s = firstNew; s < model_.headers().size(); ++s) {
    auto* header = new GridGameHeader(gridContent_);
    header->setObjectName(QString("sectionHeader%1").arg(s));
    header->title()->setText(QString::fromStdString(model_.headers()[s].title()));
    header->setTag(static_cast<int>(s));
    connect(header, &GridGameHeader::moreClicked, this, &HomeViewController::moreButtonClicked);
    header->show();
    headers_.push_back(header);

    QList<GridGameCell*> cells;
    const auto& games = model_.sections()[s];
    for (std::size_t row = 0; row < games.size(); ++row) {
      auto* cell = new GridGameCell(gridContent_);
      cell->setObjectName(QString("gameCell%1_%2").arg(s).arg(row));
      cell->setGame(games[row]);
      connect(cell, &GridGameCell::tapped, this, [this, s, row] {
        if (const Game* g = model_.gameAt(s, row)) openDetailGame(*g);
      });
      cell->show();
      cells.push_back(cell);
    }
    cells_.push_back(cells);
  }
  layoutGrid();
}

void HomeViewController::layoutGrid() {
  if (!homeGrid_ || !gridContent_) return;
  const int gridWidth = homeGrid_->width() > kCellGap ? homeGrid_->width() : kSliderWidth;
  // As many columns as fit with the section insets; the block of cells is
  // centred so the outer margins are even whatever the width.
  const int inset = static_cast<int>(HomeModel::kSectionInsetLeft);
  const int columns =
      std::max(1, (gridWidth - 2 * inset + kCellGap) / (GridGameCell::kWidth + kCellGap));
  const int block = columns * GridGameCell::kWidth + (columns - 1) * kCellGap;
  const int left = std::max(0, (gridWidth - block) / 2);
  for (int s = 0; s < headers_.size(); ++s) {
    const int top = static_cast<int>(s * HomeModel::kSectionHeight);
    headers_[s]->setGeometry(0, top, gridWidth, GridGameHeader::kHeight);
    const auto& cells = cells_.value(s);
    for (int row = 0; row < cells.size(); ++row) {
      cells[row]->move(left + (row % columns) * (GridGameCell::kWidth + kCellGap),
                       top + GridGameHeader::kHeight + (row / columns) * GridGameCell::kHeight);
    }
  }
  // The grid's scrollable content: its own width by mainHeight.
  gridContent_->resize(gridWidth, static_cast<int>(model_.mainHeight()));
}

QList<GridGameCell*> HomeViewController::cellsOfSection(int section) const {
  return section >= 0 && section < cells_.size() ? cells_[section] : QList<GridGameCell*>{};
}

void HomeViewController::openDetailGame(const Game& game) {
  DetailParameters::write(game, *orv::SettingsStore::standard());
  if (auto* nav = navigationController()) {
    nav->pushViewController(PlaceholderViewController::createScreen("GameDetailViewController"), true);
  }
}

void HomeViewController::moreButtonClicked(int tag) {
  if (tag < 0) return;
  const auto parameters = model_.moreParameters(static_cast<size_t>(tag));
  if (parameters.empty()) return;
  auto settings = orv::SettingsStore::standard();
  for (const auto& [key, value] : parameters) settings->set(key, value);  // "cmd", "id", "tl"
  if (auto* nav = navigationController()) {
    nav->pushViewController(PlaceholderViewController::createScreen("GameGridViewController"), true);
  }
}

}  // namespace orv::store
