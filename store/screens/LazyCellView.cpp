#include "store/screens/LazyCellView.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

namespace orv::store {

LazyCellView::LazyCellView(QWidget* parent) : QScrollArea(parent), content_(new QWidget) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Scrolled by wheel and drag as on a phone; no bar takes the cells' width.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(false);
  content_->setObjectName("lazyContent");
  setWidget(content_);
  viewport()->setAutoFillBackground(false);
  content_->setAutoFillBackground(false);
}

void LazyCellView::setGrid(QSize cell, int inset) {
  grid_ = true;
  cell_ = cell;
  inset_ = inset;
  relayout();
}

void LazyCellView::setList(int rowHeight) {
  grid_ = false;
  cell_ = QSize(0, rowHeight);
  inset_ = 0;
  relayout();
}

void LazyCellView::setHeaderView(QWidget* header) {
  if (header_ && header_ != header) header_->deleteLater();
  header_ = header;
  if (header) {
    header->setParent(content_);
    header->show();
  }
  relayout();
}

void LazyCellView::setFooterView(QWidget* footer) {
  if (footer_ && footer_ != footer) footer_->deleteLater();
  footer_ = footer;
  if (footer) {
    footer->setParent(content_);
    footer->show();
  }
  relayout();
}

void LazyCellView::setCount(int count) {
  count_ = std::max(0, count);
  for (auto it = cells_.begin(); it != cells_.end();) {
    if (it->first >= count_) {
      if (it->second) it->second->deleteLater();
      visible_.erase(it->first);
      it = cells_.erase(it);
    } else {
      ++it;
    }
  }
  relayout();
}

void LazyCellView::reload(int count) {
  for (auto& [index, cell] : cells_) {
    if (cell) {
      cell->hide();
      cell->deleteLater();
    }
  }
  cells_.clear();
  visible_.clear();
  setCount(count);
}

void LazyCellView::dropCell(int index) {
  auto it = cells_.find(index);
  if (it == cells_.end()) return;
  if (it->second) {
    it->second->hide();
    it->second->deleteLater();
  }
  cells_.erase(it);
  visible_.erase(index);
  fillVisible();
}

QWidget* LazyCellView::cellAt(int index) const {
  auto it = cells_.find(index);
  return it == cells_.end() ? nullptr : it->second.data();
}

int LazyCellView::columns() const {
  if (!grid_) return 1;
  const int room = viewport()->width() - 2 * inset_ + kMinSpacing;
  return std::max(1, room / (cell_.width() + kMinSpacing));
}

int LazyCellView::headerHeight() const { return header_ ? header_->height() : 0; }

QRect LazyCellView::cellRect(int index) const {
  const int width = viewport()->width();
  if (!grid_) return QRect(0, headerHeight() + index * cell_.height(), width, cell_.height());
  const int cols = columns();
  const int row = index / cols;
  const int col = index % cols;
  // Spread the free room evenly between the cells, keeping the insets.
  const int free = width - 2 * inset_ - cols * cell_.width();
  const int gap = cols > 1 ? free / (cols - 1) : 0;
  const int left = cols > 1 ? inset_ : (width - cell_.width()) / 2;
  return QRect(left + col * (cell_.width() + gap), headerHeight() + inset_ + row * (cell_.height() + kMinSpacing),
               cell_.width(), cell_.height());
}

bool LazyCellView::isIndexVisible(int index) const {
  if (index < 0 || index >= count_) return false;
  const QRect view(0, verticalScrollBar()->value(), viewport()->width(), viewport()->height());
  return cellRect(index).intersects(view);
}

void LazyCellView::relayout() {
  const int width = viewport()->width();
  int y = headerHeight();
  if (header_) header_->setGeometry(0, 0, width, header_->height());
  if (count_ > 0) {
    if (grid_) {
      const int rows = (count_ + columns() - 1) / columns();
      y += 2 * inset_ + rows * cell_.height() + (rows - 1) * kMinSpacing;
    } else {
      y += count_ * cell_.height();
    }
  }
  if (footer_) {
    footer_->setGeometry(0, y, width, footer_->height());
    y += footer_->height();
  }
  content_->resize(width, y);
  for (auto& [index, cell] : cells_) {
    if (cell) cell->setGeometry(cellRect(index));
  }
  fillVisible();
}

void LazyCellView::fillVisible() {
  if (!factory_ || !isVisible()) return;
  const int top = verticalScrollBar()->value();
  const QRect view(0, top, viewport()->width(), viewport()->height());
  for (int i = 0; i < count_; ++i) {
    const QRect r = cellRect(i);
    if (r.top() > view.bottom()) break;
    const bool inView = r.intersects(view);
    bool& wasVisible = visible_[i];
    if (!inView) {
      wasVisible = false;
      continue;
    }
    QWidget* cell = cellAt(i);
    if (!cell) {
      cell = factory_(i);
      if (!cell) continue;
      cell->setParent(content_);
      cell->setGeometry(r);
      cell->show();
      cells_[i] = cell;
    }
    if (!wasVisible) {
      wasVisible = true;
      emit willDisplay(i, cell);
    }
  }
}

void LazyCellView::scrollToIndex(int index) {
  const QRect r = cellRect(index);
  ensureVisible(r.center().x(), r.center().y(), 0, r.height() / 2);
  fillVisible();
}

void LazyCellView::scrollToBottom() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  fillVisible();
}

void LazyCellView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  relayout();
}

void LazyCellView::scrollContentsBy(int dx, int dy) {
  QScrollArea::scrollContentsBy(dx, dy);
  fillVisible();
}

void LazyCellView::showEvent(QShowEvent* event) {
  QScrollArea::showEvent(event);
  relayout();
}

}  // namespace orv::store
