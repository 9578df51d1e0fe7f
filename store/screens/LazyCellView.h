#pragma once
// A scrolling list or grid whose cells are made only when they come into
// view, as a phone's collection and table views ask their data source for a
// cell when it is about to be shown: `cellForIndex` makes the widget and
// `willDisplay` is emitted each time a cell comes into view (again after it
// was scrolled out), which is where the list screens ask for a further page.
// An optional header sits above the cells and a footer below them. Cells are
// kept once made (the lists are at most a few hundred games) until reload().

#include <QPointer>
#include <QScrollArea>
#include <QSize>
#include <functional>
#include <map>

namespace orv::store {

class LazyCellView : public QScrollArea {
  Q_OBJECT
 public:
  using CellFactory = std::function<QWidget*(int index)>;
  // Least room between two cells of a grid, across and down.
  static constexpr int kMinSpacing = 10;

  explicit LazyCellView(QWidget* parent = nullptr);

  // Grid: cells of `cell` left to right with `inset` around the section and
  // at least kMinSpacing between cells. List: rows of `rowHeight`, full width.
  void setGrid(QSize cell, int inset);
  void setList(int rowHeight);
  void setCellFactory(CellFactory factory) { factory_ = std::move(factory); }

  // Owned; nullptr removes.
  void setHeaderView(QWidget* header);
  void setFooterView(QWidget* footer);
  QWidget* headerView() const { return header_; }
  QWidget* footerView() const { return footer_; }

  int count() const { return count_; }
  // New count; cells already made stay (appends).
  void setCount(int count);
  // Drops every cell and lays out `count` afresh.
  void reload(int count);

  // Forgets the cell of `index` (made again when next in view).
  void dropCell(int index);
  // The cell of `index` if it was made.
  QWidget* cellAt(int index) const;
  QRect cellRect(int index) const;  // in content coordinates
  bool isIndexVisible(int index) const;
  // Scrolls so the cell is in view (it is made then).
  void scrollToIndex(int index);
  void scrollToBottom();
  QWidget* content() const { return content_; }

 signals:
  void willDisplay(int index, QWidget* cell);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void showEvent(QShowEvent* event) override;

 private:
  void relayout();
  void fillVisible();
  int columns() const;
  int headerHeight() const;

  QWidget* content_;
  QPointer<QWidget> header_;
  QPointer<QWidget> footer_;
  CellFactory factory_;
  bool grid_ = false;
  QSize cell_{320, 44};
  int inset_ = 0;
  int count_ = 0;
  std::map<int, QPointer<QWidget>> cells_;
  std::map<int, bool> visible_;
};

}  // namespace orv::store
