#include "store/screens/LeftMenuViewController.h"

#include <QAbstractListModel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>

#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/PlaceholderViewController.h"
#include "store/screens/StoreImages.h"
#include "toolkit/Icons.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/image/ImageLoader.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::store {

namespace {

const QColor kBlue(19, 102, 203);
const QColor kGrey(164, 164, 164);
const QColor kSelection(219, 233, 248);
const QColor kMenuBackground(250, 250, 250);

}  // namespace

// The rows as an item model: text, font, colours and picture per row.
class LeftMenuItemModel : public QAbstractListModel {
 public:
  explicit LeftMenuItemModel(LeftMenuViewController* menu) : QAbstractListModel(menu), menu_(menu) {}

  void reload() {
    beginResetModel();
    endResetModel();
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(menu_->model().count());
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The greeting shows no selection.
    return LeftMenuModel::showsSelection(static_cast<size_t>(index.row())) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                                            : Qt::ItemIsEnabled;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    const auto& m = menu_->model();
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m.count()) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto style = m.styleForRow(row);
    switch (role) {
      case Qt::DisplayRole: return QString::fromStdString(m.rows()[row].catName());
      case Qt::FontRole: {
        QFont font;
        if (style != LeftMenuModel::RowStyle::Plain) {
          font.setBold(true);
          font.setPixelSize(16);
        } else {
          font.setPixelSize(15);
        }
        return font;
      }
      case Qt::ForegroundRole:
        return style == LeftMenuModel::RowStyle::Action   ? QColor(Qt::white)
               : style == LeftMenuModel::RowStyle::Greeting ? kBlue
                                                            : kGrey;
      case Qt::BackgroundRole:
        return style == LeftMenuModel::RowStyle::Action ? kBlue : QColor(Qt::transparent);
      case Qt::DecorationRole: {
        const auto pixmap = menu_->imageForRow(index.row());
        return pixmap.isNull() ? QVariant() : QVariant(pixmap);
      }
      case LeftMenuViewController::RowIdRole: return m.rows()[row].catId();
      case LeftMenuViewController::SelectionColorRole:
        return LeftMenuModel::showsSelection(row) ? QVariant(kSelection) : QVariant();
      case LeftMenuViewController::ImageSourceRole:
        return QString::fromStdString(m.imageForRow(row).source);
      default: return {};
    }
  }

 private:
  LeftMenuViewController* menu_;
};

namespace {

// Paints one menu row: its background (or the pale-blue selection), the
// 30 x 30 picture and the text.
class LeftMenuDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {260, LeftMenuViewController::kRowHeight};
  }

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect r = option.rect;
    const auto background = index.data(Qt::BackgroundRole).value<QColor>();
    const auto selection = index.data(LeftMenuViewController::SelectionColorRole);
    if ((option.state & QStyle::State_Selected) && selection.isValid() && background.alpha() == 0) {
      p->fillRect(r, selection.value<QColor>());
    } else if (background.alpha() > 0) {
      p->fillRect(r, background);
    }
    int x = r.left() + 14;
    const auto picture = index.data(Qt::DecorationRole);
    if (picture.isValid()) {
      const auto pixmap = picture.value<QPixmap>();
      const QRect iconRect(x, r.top() + (r.height() - LeftMenuViewController::kIconSize) / 2,
                           LeftMenuViewController::kIconSize, LeftMenuViewController::kIconSize);
      if (index.data(LeftMenuViewController::RowIdRole).toInt() >= 0) {
        // Category pictures: rounded like the local icons.
        QPainterPath clip;
        clip.addRoundedRect(iconRect, 7, 7);
        p->setClipPath(clip);
        p->drawPixmap(iconRect, pixmap);
        p->setClipping(false);
      } else {
        p->drawPixmap(iconRect, pixmap);
      }
    }
    x += LeftMenuViewController::kIconSize + 12;
    const bool action = index.data(LeftMenuViewController::RowIdRole).toInt() == LeftMenuModel::kActionId;
    if (action) x = r.left() + 16;  // no picture on the action row
    p->setFont(index.data(Qt::FontRole).value<QFont>());
    p->setPen(index.data(Qt::ForegroundRole).value<QColor>());
    const QRect textRect(x, r.top(), r.right() - x - 8, r.height());
    p->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                p->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, textRect.width()));
    p->restore();
  }
};

}  // namespace

LeftMenuViewController::LeftMenuViewController(QWidget* parent)
    : BaseViewController(parent), model_(Config::deployment().mediaBase) { ensureStoreImages(); }

LeftMenuViewController::~LeftMenuViewController() {
  // A menu destroyed while shown must not leave its commands registered.
  removeMessageHandler();
}

void LeftMenuViewController::viewDidLoad() {
  BaseViewController::viewDidLoad();
  setLogTag("LEFT_MENU");
  setObjectName("LeftMenuViewController");
  isFirstLoad_ = true;
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kMenuBackground);
  setPalette(palette);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, kHeaderHeight, 0, 0);  // the section header's 20 points
  layout->setSpacing(0);
  tableView1_ = new QListView(this);
  tableView1_->setObjectName("tableView1");
  tableView1_->setFrameShape(QFrame::NoFrame);  // no separator lines
  tableView1_->setStyleSheet("QListView { background: rgb(250,250,250); border: none; }");
  tableView1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tableView1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tableView1_->setSelectionMode(QAbstractItemView::SingleSelection);
  tableView1_->setUniformItemSizes(true);
  tableView1_->setMouseTracking(false);
  items_ = new LeftMenuItemModel(this);
  tableView1_->setModel(items_);
  tableView1_->setItemDelegate(new LeftMenuDelegate(tableView1_));
  connect(tableView1_, &QListView::clicked, this, [this](const QModelIndex& index) { rowSelected(index.row()); });
  layout->addWidget(tableView1_);
  // Keeps the overlay above the table.
  if (auto* hud = overlay()) hud->raise();
}

void LeftMenuViewController::viewDidAppear(bool animated) {
  addMessageHandler();
  BaseViewController::viewDidAppear(animated);
  if (isFirstLoad_) {
    isFirstLoad_ = false;
    doRequest(CatalogueRequests::kCategories);
  }
}

void LeftMenuViewController::viewDidDisappear(bool animated) {
  removeMessageHandler();
  BaseViewController::viewDidDisappear(animated);
  // An answer can no longer reach the menu: do not leave its overlay up, and
  // ask for the categories again next time if they never came.
  stopAnimation();
  if (awaitingCategories_ && model_.isEmpty()) isFirstLoad_ = true;
  awaitingCategories_ = false;
  logLine(2, "DID_DISAPPEAR");
}

void LeftMenuViewController::addMessageHandler() {
  if (registered_) return;
  auto client = Config::sharedClient();
  client->addMessageHandler(messageHandler(), CatalogueRequests::kCategories);
  client->addMessageHandler(messageHandler(), CatalogueRequests::kAccountGroup);
  registered_ = true;
}

void LeftMenuViewController::removeMessageHandler() {
  if (!registered_) return;
  auto client = Config::sharedClient();
  client->removeMessageHandlerForCommand(CatalogueRequests::kCategories);
  client->removeMessageHandlerForCommand(CatalogueRequests::kAccountGroup);
  registered_ = false;
}

void LeftMenuViewController::doRequest(const std::string& command) {
  ORVRequestPtr request;
  if (command == CatalogueRequests::kStatus) {
    request = CatalogueRequests::status(Config::getMsisdn());
  } else if (command == CatalogueRequests::kSubscribe) {
    request = CatalogueRequests::subscribe(Config::getMsisdn());
  } else {
    request = CatalogueRequests::categories();
    awaitingCategories_ = true;
  }
  startAnimation();
  Config::sharedClient()->sendRequest(request);
}

void LeftMenuViewController::dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) {
  stopAnimation();
  BaseViewController::dispatchORVMessage(message);
  if (message && message->command() == CatalogueRequests::kCategories) {
    awaitingCategories_ = false;
    // Behind the base's handling of the same message.
    QMetaObject::invokeMethod(this, [this, message] { buildRows(message); }, Qt::QueuedConnection);
  }
}

void LeftMenuViewController::buildRows(std::shared_ptr<const ORVMessage> message) {
  model_.build(message->content().get(), Config::getMsisdn(), Config::getMsisdnStatus());
  for (size_t row = 0; row < model_.count(); ++row) {
    const auto image = model_.imageForRow(row);
    if (image.kind == LeftMenuModel::RowImage::Kind::Remote) loadCategoryIcon(QString::fromStdString(image.source));
  }
  reloadTable();
}

void LeftMenuViewController::updateMenu() {
  if (!model_.updateMenu(Config::getMsisdn(), Config::getMsisdnStatus())) return;
  reloadTable();
  emit menuUpdated();
}

void LeftMenuViewController::reloadTable() {
  if (items_) items_->reload();
}

QPixmap LeftMenuViewController::localImage(const QString& name) const {
  const qreal ratio = devicePixelRatioF() > 1.0 ? devicePixelRatioF() : 2.0;
  return orv::toolkit::Icons::pixmap(name, QSize(kIconSize, kIconSize), QColor(), ratio);
}

QPixmap LeftMenuViewController::imageForRow(int row) const {
  if (row < 0) return {};
  const auto image = model_.imageForRow(static_cast<size_t>(row));
  switch (image.kind) {
    case LeftMenuModel::RowImage::Kind::Local: return localImage(QString::fromStdString(image.source));
    case LeftMenuModel::RowImage::Kind::Remote: return icons_.value(QString::fromStdString(image.source));
    default: return {};
  }
}

void LeftMenuViewController::loadCategoryIcon(const QString& url) {
  if (icons_.contains(url)) return;
  // One action name per URL: a later request of this menu must not replace
  // the pictures of the other rows.
  orv::toolkit::ImageLoadAction action{
      QByteArray("menuIcon:") + url.toUtf8(), [this](const QImage& image, const QUrl& loaded) {
        // Redrawn to 30 x 30 points at the screen's scale.
        const qreal ratio = devicePixelRatioF() > 1.0 ? devicePixelRatioF() : 2.0;
        const QSize pixels(qRound(kIconSize * ratio), qRound(kIconSize * ratio));
        QPixmap pixmap = QPixmap::fromImage(
            image.scaled(pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        icons_.insert(loaded.toString(), pixmap);
        if (tableView1_) tableView1_->viewport()->update();
      }};
  orv::toolkit::ImageLoader::sharedLoader().loadImage(QUrl(url), this, std::move(action));
}

void LeftMenuViewController::rowSelected(int row) {
  if (row < 0) return;
  using Kind = LeftMenuModel::RowAction::Kind;
  const auto msisdn = Config::getMsisdn();
  const auto action = model_.actionForRow(static_cast<size_t>(row), msisdn);
  auto* stack = orv::toolkit::SlidingNavigationStack::existingInstance();
  switch (action.kind) {
    case Kind::Nothing: return;
    case Kind::SendRegister: doRequest(CatalogueRequests::kSubscribe); return;
    case Kind::SendStatus: doRequest(CatalogueRequests::kStatus); return;
    case Kind::TellNoMsisdn: showAlert(QString::fromStdString(orv::localizedString("no_msisdn"))); return;
    case Kind::OpenSecondSignIn:
      if (stack) stack->pushViewController(PlaceholderViewController::createScreen("LoginViewController2"), true);
      return;
    case Kind::OpenList: {
      auto settings = orv::SettingsStore::standard();
      for (const auto& [key, value] : action.parameters) settings->set(key, value);  // "cmd", "id", "tl"
      if (stack) stack->pushViewController(PlaceholderViewController::createScreen("GameGridViewController"), true);
      return;
    }
  }
}

}  // namespace orv::store
