#include "toolkit/Toolbar.h"

#include <QHBoxLayout>
#include <QPainter>

#include "toolkit/BarButtonItem.h"
#include "toolkit/detail/BarItemWidgets.h"

namespace orv::toolkit {

Toolbar::Toolbar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 0, 8, 0);
  layout->setSpacing(6);
}

void Toolbar::setItems(const QList<BarButtonItem*>& items) {
  items_.clear();
  for (auto* item : items) items_ << QPointer<BarButtonItem>(item);
  rebuild();
}

QList<BarButtonItem*> Toolbar::items() const {
  QList<BarButtonItem*> out;
  for (const auto& item : items_)
    if (item) out << item.data();
  return out;
}

void Toolbar::setBarTintColor(const QColor& color) {
  barTint_ = color;
  update();
}

void Toolbar::setTintColor(const QColor& color) {
  tint_ = color;
  rebuild();
}

void Toolbar::setOpaque(bool opaque) {
  opaque_ = opaque;
  update();
}

QWidget* Toolbar::widgetForItem(BarButtonItem* item) const {
  for (const auto& [candidate, widget] : itemWidgets_)
    if (candidate == item) return widget;
  return nullptr;
}

void Toolbar::rebuild() {
  auto* layout = static_cast<QHBoxLayout*>(this->layout());
  while (QLayoutItem* li = layout->takeAt(0)) delete li;
  takeDownItemWidgets(itemWidgets_);
  for (BarButtonItem* item : items()) {
    if (item->kind() == BarButtonItem::Kind::FlexibleSpace) {
      layout->addStretch(1);
      continue;
    }
    QWidget* widget = detail::makeBarItemWidget(item, this, tint_);
    if (!widget) continue;
    layout->addWidget(widget, 0, Qt::AlignVCenter);
    itemWidgets_.append({QPointer<BarButtonItem>(item), QPointer<QWidget>(widget)});
  }
}

void Toolbar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor fill = barTint_;
  if (!opaque_) fill.setAlphaF(0.85);
  painter.fillRect(rect(), fill);
  painter.fillRect(QRect(0, 0, width(), 1), barTint_.darker(125));
}

}  // namespace orv::toolkit
