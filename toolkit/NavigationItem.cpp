#include "toolkit/NavigationItem.h"

namespace orv::toolkit {

NavigationItem::NavigationItem(QObject* parent) : QObject(parent) {}

NavigationItem::~NavigationItem() { delete titleView_.data(); }

void NavigationItem::setTitle(const QString& title) {
  if (title == title_) return;
  title_ = title;
  emit changed();
}

void NavigationItem::setTitleView(QWidget* view) {
  if (view == titleView_) return;
  if (titleView_) titleView_->deleteLater();
  titleView_ = view;
  emit changed();
}

QList<BarButtonItem*> NavigationItem::alive(const QList<QPointer<BarButtonItem>>& items) {
  QList<BarButtonItem*> out;
  for (const auto& item : items)
    if (item) out << item.data();
  return out;
}

QList<BarButtonItem*> NavigationItem::leftBarButtonItems() const { return alive(left_); }
QList<BarButtonItem*> NavigationItem::rightBarButtonItems() const { return alive(right_); }

BarButtonItem* NavigationItem::leftBarButtonItem() const {
  auto items = leftBarButtonItems();
  return items.isEmpty() ? nullptr : items.first();
}

BarButtonItem* NavigationItem::rightBarButtonItem() const {
  auto items = rightBarButtonItems();
  return items.isEmpty() ? nullptr : items.first();
}

void NavigationItem::setLeftBarButtonItems(const QList<BarButtonItem*>& items) {
  left_.clear();
  for (auto* item : items) left_ << QPointer<BarButtonItem>(item);
  emit changed();
}

void NavigationItem::setRightBarButtonItems(const QList<BarButtonItem*>& items) {
  right_.clear();
  for (auto* item : items) right_ << QPointer<BarButtonItem>(item);
  emit changed();
}

void NavigationItem::setLeftBarButtonItem(BarButtonItem* item) {
  setLeftBarButtonItems(item ? QList<BarButtonItem*>{item} : QList<BarButtonItem*>{});
}

void NavigationItem::setRightBarButtonItem(BarButtonItem* item) {
  setRightBarButtonItems(item ? QList<BarButtonItem*>{item} : QList<BarButtonItem*>{});
}

void NavigationItem::setBackButtonTitle(const QString& title) {
  backButtonTitle_ = title;
  emit changed();
}

void NavigationItem::setHidesBackButton(bool hides) {
  hidesBackButton_ = hides;
  emit changed();
}

}  // namespace orv::toolkit
