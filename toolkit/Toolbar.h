#pragma once
// The bottom toolbar of a navigation stack: a row of bar items (image or
// text buttons, custom widgets, fixed and flexible spaces), drawn in
// `barTintColor` with buttons in `tintColor`.

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

#include "toolkit/BarButtonItem.h"

namespace orv::toolkit {

class Toolbar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 44;

  explicit Toolbar(QWidget* parent = nullptr);

  void setItems(const QList<BarButtonItem*>& items);
  QList<BarButtonItem*> items() const;
  void setBarTintColor(const QColor& color);
  QColor barTintColor() const { return barTint_; }
  void setTintColor(const QColor& color);
  QColor tintColor() const { return tint_; }
  // Opaque bars fill with the bar colour; translucent ones at 85 %.
  void setOpaque(bool opaque);
  bool isOpaque() const { return opaque_; }
  // The widget made for an item (for tests: real clicks).
  QWidget* widgetForItem(BarButtonItem* item) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void rebuild();
  QColor barTint_{248, 248, 248};
  QColor tint_{19, 102, 203};
  bool opaque_ = true;
  QList<QPointer<BarButtonItem>> items_;
  BarItemWidgets itemWidgets_;
};

}  // namespace orv::toolkit
