#pragma once
// A list or grid of cells painted by a delegate over an item model (the
// views reuse nothing but the painter, so long lists stay fast), scrolled by
// pixel (optionally kinetic, following a finger), with an optional footer
// view placed under the last cell and scrolled with the cells (a "loading
// more" spinner, a "more" button). `reachedEnd` is emitted when the user scrolls to the end, once
// per change of the model's row count, which is when paging loads the next
// page. Grid mode lays out cells of a fixed size left to right.

#include <QListView>
#include <QPointer>

namespace orv::toolkit {

class TableView : public QListView {
  Q_OBJECT
 public:
  explicit TableView(QWidget* parent = nullptr);

  // List mode: rows of the delegate's height, full width.
  void setListMode(int rowHeight);
  // Grid mode: cells of `cellSize` with `spacing` between them.
  void setGridMode(QSize cellSize, int spacing);
  bool isGridMode() const { return grid_; }

  // The view is owned by the table; nullptr removes the footer.
  void setFooterView(QWidget* footer);
  QWidget* footerView() const { return footer_; }
  bool isFooterVisible() const;

  // Flick scrolling with the mouse (off by default: it takes the mouse
  // from the sliding stack's horizontal drags).
  void setKineticScrolling(bool enabled);

  // Centre of a row's cell in viewport coordinates (for real clicks).
  QPoint cellCenter(int row) const;

 signals:
  void reachedEnd();
  void cellTapped(int row);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void updateGeometries() override;

 private:
  void placeFooter();
  void checkEnd();
  bool grid_ = false;
  QPointer<QWidget> footer_;
  int lastEndRowCount_ = -1;
};

}  // namespace orv::toolkit
