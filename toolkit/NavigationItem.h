#pragma once
// What a screen shows in the navigation bar while it is on top: its title
// (or a title widget instead), its left and right bar items, and the title of
// the back button that the screens pushed after it show. `changed` tells the
// bar to refresh. Bar items are not owned (a screen usually parents them to
// itself); the title view is owned by the item (deleted with it).

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "toolkit/BarButtonItem.h"

namespace orv::toolkit {

class NavigationItem : public QObject {
  Q_OBJECT
 public:
  explicit NavigationItem(QObject* parent = nullptr);
  ~NavigationItem() override;

  QString title() const { return title_; }
  void setTitle(const QString& title);
  QWidget* titleView() const { return titleView_; }
  void setTitleView(QWidget* view);

  QList<BarButtonItem*> leftBarButtonItems() const;
  QList<BarButtonItem*> rightBarButtonItems() const;
  BarButtonItem* leftBarButtonItem() const;
  BarButtonItem* rightBarButtonItem() const;
  void setLeftBarButtonItems(const QList<BarButtonItem*>& items);
  void setRightBarButtonItems(const QList<BarButtonItem*>& items);
  void setLeftBarButtonItem(BarButtonItem* item);
  void setRightBarButtonItem(BarButtonItem* item);

  // The title beside the arrow of the back button the next screens show.
  // Never set (null) or "" = the arrow alone.
  QString backButtonTitle() const { return backButtonTitle_; }
  void setBackButtonTitle(const QString& title);
  bool hidesBackButton() const { return hidesBackButton_; }
  void setHidesBackButton(bool hides);

 signals:
  void changed();

 private:
  static QList<BarButtonItem*> alive(const QList<QPointer<BarButtonItem>>& items);
  QString title_;
  QPointer<QWidget> titleView_;
  QList<QPointer<BarButtonItem>> left_;
  QList<QPointer<BarButtonItem>> right_;
  QString backButtonTitle_;
  bool hidesBackButton_ = false;
};

}  // namespace orv::toolkit
