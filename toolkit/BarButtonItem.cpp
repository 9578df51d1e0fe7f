#include "toolkit/BarButtonItem.h"

namespace orv::toolkit {

BarButtonItem::BarButtonItem(Kind kind, QObject* parent) : QObject(parent), kind_(kind) {}

BarButtonItem::~BarButtonItem() { delete customView_.data(); }

BarButtonItem* BarButtonItem::withTitle(const QString& title, Style style, QObject* parent) {
  auto* item = new BarButtonItem(Kind::Title, parent);
  item->title_ = title;
  item->style_ = style;
  return item;
}

BarButtonItem* BarButtonItem::withImage(const QString& iconName, Style style, QObject* parent) {
  auto* item = new BarButtonItem(Kind::Image, parent);
  item->imageName_ = iconName;
  item->style_ = style;
  return item;
}

BarButtonItem* BarButtonItem::withCustomView(QWidget* view, QObject* parent) {
  auto* item = new BarButtonItem(Kind::CustomView, parent);
  item->customView_ = view;
  return item;
}

BarButtonItem* BarButtonItem::fixedSpace(int width, QObject* parent) {
  auto* item = new BarButtonItem(Kind::FixedSpace, parent);
  item->width_ = width;
  return item;
}

BarButtonItem* BarButtonItem::flexibleSpace(QObject* parent) {
  return new BarButtonItem(Kind::FlexibleSpace, parent);
}

void BarButtonItem::setStyle(Style style) {
  style_ = style;
  emit changed();
}

void BarButtonItem::setTitle(const QString& title) {
  title_ = title;
  emit changed();
}

void BarButtonItem::setImageName(const QString& name) {
  imageName_ = name;
  emit changed();
}

void BarButtonItem::setWidth(int width) {
  width_ = width;
  emit changed();
}

void BarButtonItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  emit changed();
}

void BarButtonItem::setAction(std::function<void()> action) { action_ = std::move(action); }

void BarButtonItem::trigger() {
  if (!enabled_) return;
  // The action may delete the item (a screen replacing its items); keep
  // what is needed on the stack.
  auto action = action_;
  QPointer<BarButtonItem> self(this);
  emit triggered();
  if (self && action) action();
}

void takeDownItemWidgets(BarItemWidgets& widgets) {
  for (auto& [item, widget] : widgets) {
    if (!widget) continue;
    if (item && item->kind() == BarButtonItem::Kind::CustomView && item->customView() == widget) {
      widget->hide();
      widget->setParent(nullptr);
    } else {
      widget->deleteLater();
    }
  }
  widgets.clear();
}

}  // namespace orv::toolkit
