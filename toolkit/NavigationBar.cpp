#include "toolkit/NavigationBar.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include "toolkit/BarButtonItem.h"
#include "toolkit/Icons.h"
#include "toolkit/NavigationItem.h"
#include "toolkit/detail/BarItemWidgets.h"

namespace orv::toolkit {

namespace {
constexpr int kEdgeMargin = 8;
}

NavigationBar::NavigationBar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  titleLabel_ = new QLabel(this);
  titleLabel_->setAlignment(Qt::AlignCenter);
  QFont font = titleLabel_->font();
  font.setPixelSize(17);
  font.setBold(true);
  titleLabel_->setFont(font);
  back_ = new QToolButton(this);
  back_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  back_->setAutoRaise(true);
  back_->setFocusPolicy(Qt::NoFocus);
  back_->setCursor(Qt::PointingHandCursor);
  QFont backFont = back_->font();
  backFont.setPixelSize(16);
  back_->setFont(backFont);
  back_->hide();
  connect(back_, &QToolButton::clicked, this, &NavigationBar::backPressed);
  left_ = new QWidget(this);
  right_ = new QWidget(this);
  for (QWidget* side : {left_, right_}) {
    auto* layout = new QHBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
  }
  setTintColor(tint_);
  setTitleColor(titleColor_);
}

void NavigationBar::setBarTintColor(const QColor& color) {
  barTint_ = color;
  update();
}

void NavigationBar::setTintColor(const QColor& color) {
  tint_ = color;
  back_->setIcon(Icons::icon(QStringLiteral("ic-back"), QSize(20, 20), tint_));
  back_->setIconSize(QSize(20, 20));
  back_->setStyleSheet(QStringLiteral("QToolButton{color:%1; background:transparent; border:none; padding:0 4px 0 0;}"
                                      "QToolButton:pressed{color:%2;}")
                           .arg(tint_.name(), tint_.lighter(160).name()));
  rebuild();
}

void NavigationBar::setTitleColor(const QColor& color) {
  titleColor_ = color;
  titleLabel_->setStyleSheet(QStringLiteral("color:%1; background:transparent;").arg(color.name()));
}

void NavigationBar::setTitleFont(const QFont& font) {
  titleLabel_->setFont(font);
  layoutParts();
}

void NavigationBar::showItem(NavigationItem* item, const QString& backTitle, bool hasBack) {
  if (item_ != item) {
    if (item_) disconnect(item_, nullptr, this, nullptr);
    item_ = item;
    if (item_) connect(item_, &NavigationItem::changed, this, &NavigationBar::rebuild);
  }
  backTitle_ = backTitle;
  hasBack_ = hasBack;
  rebuild();
}

QString NavigationBar::titleText() const { return titleLabel_->isVisible() ? titleLabel_->text() : QString(); }

QToolButton* NavigationBar::backButton() const { return back_->isVisible() ? back_ : nullptr; }

QWidget* NavigationBar::widgetForItem(BarButtonItem* item) const {
  for (const auto& [candidate, widget] : itemWidgets_)
    if (candidate == item) return widget;
  return nullptr;
}

void NavigationBar::rebuild() {
  // Take down the widgets of the previous items; custom views and the
  // title view belong to their items and are only put aside.
  takeDownItemWidgets(itemWidgets_);
  if (titleView_ && (!item_ || item_->titleView() != titleView_)) {
    titleView_->hide();
    titleView_->setParent(nullptr);
    titleView_ = nullptr;
  }
  int leftMargin = kEdgeMargin;
  auto fill = [&](QWidget* side, const QList<BarButtonItem*>& items, bool leftSide) {
    auto* layout = static_cast<QHBoxLayout*>(side->layout());
    while (QLayoutItem* li = layout->takeAt(0)) delete li;
    for (BarButtonItem* item : items) {
      if (item->kind() == BarButtonItem::Kind::FixedSpace && item->width() < 0) {
        // A negative space pulls the items towards the bar's edge.
        if (leftSide) leftMargin = std::max(0, leftMargin + item->width());
        continue;
      }
      QWidget* widget = detail::makeBarItemWidget(item, side, tint_);
      if (!widget) continue;
      layout->addWidget(widget);
      itemWidgets_.append({QPointer<BarButtonItem>(item), QPointer<QWidget>(widget)});
    }
  };
  const QList<BarButtonItem*> leftItems = item_ ? item_->leftBarButtonItems() : QList<BarButtonItem*>{};
  fill(left_, leftItems, true);
  fill(right_, item_ ? item_->rightBarButtonItems() : QList<BarButtonItem*>{}, false);
  left_->setProperty("orvLeftMargin", leftMargin);
  const bool showBack = hasBack_ && leftItems.isEmpty() && !(item_ && item_->hidesBackButton());
  back_->setText(backTitle_);
  back_->setVisible(showBack);
  if (item_ && item_->titleView()) {
    titleView_ = item_->titleView();
    titleView_->setParent(this);
    titleView_->show();
    titleLabel_->hide();
  } else {
    titleLabel_->setText(item_ ? item_->title() : QString());
    titleLabel_->show();
  }
  layoutParts();
  update();
}

void NavigationBar::layoutParts() {
  const int leftMargin = left_->property("orvLeftMargin").isValid() ? left_->property("orvLeftMargin").toInt()
                                                                     : kEdgeMargin;
  int leftEdge = leftMargin;
  if (back_->isVisible()) {
    // A long back title is shortened with an ellipsis rather than cut; the
    // arrow alone still gets a finger-sized target.
    const int maxWidth = std::max(44, width() * 2 / 5);
    back_->setText(backTitle_);
    QSize hint = back_->sizeHint();
    if (hint.width() > maxWidth && !backTitle_.isEmpty()) {
      const QFontMetrics metrics(back_->font());
      const int room = maxWidth - (hint.width() - metrics.horizontalAdvance(backTitle_));
      back_->setText(metrics.elidedText(backTitle_, Qt::ElideRight, std::max(0, room)));
      hint = back_->sizeHint();
    }
    const int backWidth = std::clamp(hint.width(), 44, maxWidth);
    back_->setGeometry(4, (kHeight - hint.height()) / 2, backWidth, hint.height());
    leftEdge = back_->geometry().right() + 4;
  }
  QSize leftHint = left_->sizeHint();
  left_->setGeometry(leftMargin, (kHeight - leftHint.height()) / 2, leftHint.width(), leftHint.height());
  if (left_->layout()->count() > 0) leftEdge = std::max(leftEdge, left_->geometry().right() + 4);
  QSize rightHint = right_->sizeHint();
  right_->setGeometry(width() - kEdgeMargin - rightHint.width(), (kHeight - rightHint.height()) / 2,
                      rightHint.width(), rightHint.height());
  int rightEdge = right_->layout()->count() > 0 ? right_->geometry().left() - 4 : width() - kEdgeMargin;
  // The title is centred on the bar, narrowed symmetrically to stay clear
  // of the side items.
  int half = std::max(0, std::min(width() / 2 - leftEdge, rightEdge - width() / 2));
  QRect titleRect(width() / 2 - half, 0, 2 * half, kHeight);
  if (titleView_) {
    QSize hint = titleView_->size().isEmpty() ? titleView_->sizeHint() : titleView_->size();
    hint.setWidth(std::min(hint.width(), titleRect.width()));
    hint.setHeight(std::min(hint.height(), kHeight));
    titleView_->setGeometry(QRect(QPoint(0, 0), hint).translated(titleRect.center() - QPoint(hint.width() / 2, hint.height() / 2)));
  }
  QFontMetrics metrics(titleLabel_->font());
  titleLabel_->setText(metrics.elidedText(item_ ? item_->title() : QString(), Qt::ElideRight, titleRect.width()));
  titleLabel_->setGeometry(titleRect);
}

void NavigationBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), barTint_);
  // A hairline under the bar, a shade darker than the bar.
  painter.fillRect(QRect(0, height() - 1, width(), 1), barTint_.darker(125));
}

void NavigationBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutParts();
}

}  // namespace orv::toolkit
