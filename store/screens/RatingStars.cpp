#include "store/screens/RatingStars.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "store/lists/GameDetailModel.h"

namespace orv::store {
namespace {

QPainterPath starPath(QRectF r) {
  QPainterPath path;
  const QPointF c = r.center();
  const double outer = r.width() / 2.0;
  const double inner = outer * 0.45;
  for (int i = 0; i < 10; ++i) {
    const double a = -M_PI / 2 + i * M_PI / 5;
    const double radius = i % 2 ? inner : outer;
    const QPointF p(c.x() + radius * std::cos(a), c.y() + radius * std::sin(a));
    if (i == 0) {
      path.moveTo(p);
    } else {
      path.lineTo(p);
    }
  }
  path.closeSubpath();
  return path;
}

class GoldStar : public QWidget {
 public:
  explicit GoldStar(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(230, 154, 0), 0.8));
    p.setBrush(QColor(255, 180, 0));
    p.drawPath(starPath(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5)));
  }
};

}  // namespace

RatingStars::RatingStars(int size, int step, QWidget* parent) : QWidget(parent), size_(size), step_(step) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFixedSize(4 * step + size, size);
  for (int k = 0; k < 5; ++k) {
    auto* s = new GoldStar(this);
    s->setObjectName(QString("star%1").arg(k + 1));
    s->setGeometry(k * step, 0, size, size);
    stars_[static_cast<size_t>(k)] = s;
  }
}

void RatingStars::setRating(double rating) {
  for (int k = 1; k <= 5; ++k) star(k)->setHidden(!GameDetailModel::starVisible(rating, k));
}

int RatingStars::visibleStarCount() const {
  int n = 0;
  for (auto* s : stars_) n += s->isHidden() ? 0 : 1;
  return n;
}

void RatingStars::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(200, 200, 200), 0.8));
  p.setBrush(QColor(236, 236, 236));
  for (int k = 0; k < 5; ++k) p.drawPath(starPath(QRectF(k * step_ + 0.5, 0.5, size_ - 1, size_ - 1)));
}

}  // namespace orv::store
