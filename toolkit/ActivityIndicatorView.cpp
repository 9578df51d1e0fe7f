#include "toolkit/ActivityIndicatorView.h"

#include <QPainter>
#include <QTimerEvent>
#include <cmath>

namespace orv::toolkit {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80;
}  // namespace

ActivityIndicatorView::ActivityIndicatorView(Style style, QWidget* parent)
    : QWidget(parent), style_(style), color_(style == Style::Gray ? QColor(110, 110, 115) : QColor(Qt::white)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFixedSize(sizeHint());
  QWidget::hide();
}

QSize ActivityIndicatorView::sizeHint() const {
  return style_ == Style::WhiteLarge ? QSize(37, 37) : QSize(20, 20);
}

void ActivityIndicatorView::startAnimating() {
  if (timerId_ == 0) timerId_ = startTimer(kStepMs);
  QWidget::show();
}

void ActivityIndicatorView::stopAnimating() {
  if (timerId_ != 0) killTimer(timerId_);
  timerId_ = 0;
  if (hidesWhenStopped_) QWidget::hide();
  update();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (hides && !isAnimating()) QWidget::hide();
}

void ActivityIndicatorView::setColor(const QColor& color) {
  color_ = color;
  update();
}

void ActivityIndicatorView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_) return QWidget::timerEvent(event);
  phase_ = (phase_ + 1) % kSpokes;
  update();
}

void ActivityIndicatorView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintSpinner(painter, QRectF(rect()), color_, phase_);
}

void ActivityIndicatorView::paintSpinner(QPainter& painter, const QRectF& rect, const QColor& color, int phase) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double side = std::min(rect.width(), rect.height());
  const double outer = side / 2.0;
  const double inner = outer * 0.45;
  const double thickness = std::max(1.5, side * 0.085);
  painter.translate(rect.center());
  for (int i = 0; i < kSpokes; ++i) {
    // The spoke at `phase` is brightest; the ones behind it fade out.
    const int age = (phase - i + kSpokes) % kSpokes;
    QColor c = color;
    c.setAlphaF(color.alphaF() * (1.0 - 0.75 * age / double(kSpokes - 1)));
    QPen pen(c, thickness, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const double angle = 2 * M_PI * i / kSpokes - M_PI / 2;
    painter.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                     QPointF(std::cos(angle) * (outer - thickness / 2), std::sin(angle) * (outer - thickness / 2)));
  }
  painter.restore();
}

}  // namespace orv::toolkit
