#include "toolkit/TableView.h"

#include <QScrollBar>
#include <QScroller>

namespace orv::toolkit {

TableView::TableView(QWidget* parent) : QListView(parent) {
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setListMode(44);
  connect(this, &QListView::clicked, this, [this](const QModelIndex& index) { emit cellTapped(index.row()); });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { checkEnd(); });
}

void TableView::setListMode(int rowHeight) {
  grid_ = false;
  setViewMode(QListView::ListMode);
  setFlow(QListView::TopToBottom);
  setWrapping(false);
  setSpacing(0);
  setGridSize(QSize());
  setProperty("orvRowHeight", rowHeight);
  scheduleDelayedItemsLayout();
}

void TableView::setGridMode(QSize cellSize, int spacing) {
  grid_ = true;
  setViewMode(QListView::IconMode);
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setMovement(QListView::Static);
  setSpacing(0);
  setGridSize(cellSize + QSize(spacing, spacing));
  scheduleDelayedItemsLayout();
}

void TableView::setKineticScrolling(bool enabled) {
  if (enabled) QScroller::grabGesture(viewport(), QScroller::LeftMouseButtonGesture);
  else QScroller::ungrabGesture(viewport());
}

void TableView::setFooterView(QWidget* footer) {
  if (footer_ == footer) return;
  delete footer_.data();
  footer_ = footer;
  if (footer_) {
    footer_->setParent(viewport());
    footer_->show();
  }
  updateGeometries();
}

bool TableView::isFooterVisible() const {
  return footer_ && footer_->isVisible() && viewport()->rect().intersects(footer_->geometry());
}

QPoint TableView::cellCenter(int row) const {
  if (!model()) return {};
  return visualRect(model()->index(row, 0, rootIndex())).center();
}

void TableView::placeFooter() {
  if (!footer_) return;
  const int height = footer_->sizeHint().height();
  int top = 0;
  if (model() && model()->rowCount(rootIndex()) > 0) {
    const QRect last = visualRect(model()->index(model()->rowCount(rootIndex()) - 1, 0, rootIndex()));
    top = last.bottom() + 1;
  } else {
    top = -verticalOffset();
  }
  footer_->setGeometry(0, top, viewport()->width(), height);
}

void TableView::updateGeometries() {
  QListView::updateGeometries();
  if (footer_ && model()) {
    // Make room to scroll the footer into view under the last cell.
    const int height = footer_->sizeHint().height();
    int contentBottom = 0;
    const int rows = model()->rowCount(rootIndex());
    if (rows > 0)
      contentBottom = visualRect(model()->index(rows - 1, 0, rootIndex())).bottom() + 1 + verticalOffset();
    const int maximum = std::max(0, contentBottom + height - viewport()->height());
    verticalScrollBar()->setRange(0, maximum);
  }
  placeFooter();
}

void TableView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  placeFooter();
}

void TableView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  placeFooter();
}

void TableView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QListView::rowsInserted(parent, start, end);
  placeFooter();
}

void TableView::checkEnd() {
  if (!model()) return;
  QScrollBar* bar = verticalScrollBar();
  const int rows = model()->rowCount(rootIndex());
  if (rows > 0 && bar->maximum() > 0 && bar->value() >= bar->maximum() && rows != lastEndRowCount_) {
    lastEndRowCount_ = rows;
    emit reachedEnd();
  }
}

}  // namespace orv::toolkit
