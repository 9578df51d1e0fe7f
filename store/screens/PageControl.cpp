#include "store/screens/PageControl.h"

#include <QPainter>
#include <algorithm>

namespace orv::store {

PageControl::PageControl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PageControl::setNumberOfPages(int pages) {
  pages_ = std::max(0, pages);
  setCurrentPage(current_);
  update();
}

void PageControl::setCurrentPage(int page) {
  current_ = pages_ == 0 ? 0 : std::clamp(page, 0, pages_ - 1);
  update();
}

void PageControl::paintEvent(QPaintEvent*) {
  if (pages_ <= 1) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  constexpr double kDot = 7.0, kGap = 9.0;
  const double total = pages_ * kDot + (pages_ - 1) * kGap;
  double x = (width() - total) / 2.0;
  const double y = (height() - kDot) / 2.0;
  for (int i = 0; i < pages_; ++i, x += kDot + kGap) {
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    p.setBrush(i == current_ ? QColor(255, 255, 255) : QColor(255, 255, 255, 110));
    p.drawEllipse(QRectF(x, y, kDot, kDot));
  }
}

}  // namespace orv::store
