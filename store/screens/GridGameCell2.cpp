#include "store/screens/GridGameCell2.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include "store/records/Game.h"
#include "store/screens/RatingStars.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {

GridGameCell2::GridGameCell2(QWidget* parent) : QWidget(parent) {
  setFixedSize(kWidth, kHeight);
  setCursor(Qt::PointingHandCursor);
  thumb_ = new orv::toolkit::RemoteImageView(this);
  thumb_->setObjectName("thumb");
  thumb_->setGeometry(10, 10, 120, 120);
  thumb_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
  thumb_->setAttribute(Qt::WA_TransparentForMouseEvents);

  title_ = new QLabel(this);
  title_->setObjectName("title");
  title_->setGeometry(8, 136, 124, 38);
  title_->setWordWrap(true);
  title_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  title_->setStyleSheet("color: rgb(33,33,33); font-size: 13px; font-weight: bold;");

  subtitle_ = new QLabel(this);
  subtitle_->setObjectName("subtitle");
  subtitle_->setGeometry(8, 176, 124, 18);
  subtitle_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  subtitle_->setStyleSheet("color: rgb(130,130,130); font-size: 11px;");

  stars_ = new RatingStars(14, 17, this);
  stars_->move((kWidth - stars_->width()) / 2, 200);
}

void GridGameCell2::setGame(const Game& game) {
  title_->setText(QString::fromStdString(game.name()));
  subtitle_->setText(QString::fromStdString(game.code()));
  thumb_->setImageURL(QUrl(QString::fromStdString(game.icon())));
  stars_->setRating(game.ratingTotal());
}

void GridGameCell2::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath card;
  card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  p.fillPath(card, Qt::white);
  p.setPen(QColor(214, 214, 214));
  p.drawPath(card);
}

void GridGameCell2::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit tapped();
  QWidget::mouseReleaseEvent(event);
}

}  // namespace orv::store
