#pragma once
// The bar at the top of a navigation stack: the top screen's title (or title
// view) in the middle, its left items or a back button (chevron and the
// previous screen's back title) on the left, its right items on the right.
// Colours: `barTintColor` fills the bar, `tintColor` draws the buttons,
// `titleColor` the title.

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QWidget>

#include "toolkit/BarButtonItem.h"

class QHBoxLayout;
class QLabel;
class QToolButton;

namespace orv::toolkit {

class NavigationItem;

class NavigationBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 44;

  explicit NavigationBar(QWidget* parent = nullptr);

  void setBarTintColor(const QColor& color);
  QColor barTintColor() const { return barTint_; }
  void setTintColor(const QColor& color);
  QColor tintColor() const { return tint_; }
  void setTitleColor(const QColor& color);
  QColor titleColor() const { return titleColor_; }
  void setTitleFont(const QFont& font);

  // Shows `item`; `backTitle` is the back button's text, or null for no
  // back button (root screen).
  void showItem(NavigationItem* item, const QString& backTitle, bool hasBack);
  // The title text shown now, and the back button (nullptr when hidden).
  QString titleText() const;
  QToolButton* backButton() const;
  // Widgets made for the current item's bar items (for tests: real clicks).
  QWidget* widgetForItem(BarButtonItem* item) const;

 signals:
  void backPressed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void rebuild();
  void layoutParts();
  QWidget* makeItemWidget(BarButtonItem* item, QWidget* parent);
  QColor barTint_{19, 102, 203};
  QColor tint_{Qt::white};
  QColor titleColor_{Qt::white};
  QPointer<NavigationItem> item_;
  QString backTitle_;
  bool hasBack_ = false;
  QLabel* titleLabel_ = nullptr;
  QToolButton* back_ = nullptr;
  QWidget* left_ = nullptr;
  QWidget* right_ = nullptr;
  QPointer<QWidget> titleView_;
  BarItemWidgets itemWidgets_;
};

}  // namespace orv::toolkit
