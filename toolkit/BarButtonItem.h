#pragma once
// One item of a navigation bar or a bottom toolbar: a text button, an image
// button (an icon name, see Icons), a custom widget, or a space (fixed width,
// which may be negative to pull the next item towards the edge, or flexible,
// which shares the free room with the other flexible spaces of a toolbar).
// `triggered` is emitted when the item's button is pressed and released
// inside. The bar that shows the item creates the button; a custom view is
// shown as given (the bar reparents it but the item keeps ownership: the
// view is deleted with the item).

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace orv::toolkit {

class BarButtonItem : public QObject {
  Q_OBJECT
 public:
  enum class Kind { Title, Image, CustomView, FixedSpace, FlexibleSpace };
  enum class Style { Plain, Bordered, Done };

  static BarButtonItem* withTitle(const QString& title, Style style = Style::Plain,
                                  QObject* parent = nullptr);
  static BarButtonItem* withImage(const QString& iconName, Style style = Style::Plain,
                                  QObject* parent = nullptr);
  static BarButtonItem* withCustomView(QWidget* view, QObject* parent = nullptr);
  static BarButtonItem* fixedSpace(int width, QObject* parent = nullptr);
  static BarButtonItem* flexibleSpace(QObject* parent = nullptr);

  explicit BarButtonItem(Kind kind, QObject* parent = nullptr);
  ~BarButtonItem() override;

  Kind kind() const { return kind_; }
  Style style() const { return style_; }
  void setStyle(Style style);
  QString title() const { return title_; }
  void setTitle(const QString& title);
  QString imageName() const { return imageName_; }
  void setImageName(const QString& name);
  QWidget* customView() const { return customView_; }
  // Width of a fixed space (points, may be negative).
  int width() const { return width_; }
  void setWidth(int width);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  // Called on every trigger, besides the signal.
  void setAction(std::function<void()> action);
  // Presses the item as a tap on its button would.
  void trigger();

 signals:
  void triggered();
  void changed();

 private:
  Kind kind_;
  Style style_ = Style::Plain;
  QString title_;
  QString imageName_;
  QPointer<QWidget> customView_;
  int width_ = 0;
  bool enabled_ = true;
  std::function<void()> action_;
};

// The widgets a bar made for its items, in the items' order.
using BarItemWidgets = QList<QPair<QPointer<BarButtonItem>, QPointer<QWidget>>>;

// Takes down a bar's item widgets before it shows other items: the buttons
// it made are deleted; custom views belong to their items and are only put
// aside (hidden, without a parent).
void takeDownItemWidgets(BarItemWidgets& widgets);

}  // namespace orv::toolkit
