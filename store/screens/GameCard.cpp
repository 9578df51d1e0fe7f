#include "store/screens/GameCard.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include "store/records/Game.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {

GameCard::GameCard(QSize size, qreal cornerRadius, QColor border, QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius), border_(border) {
  setFixedSize(size);
  setCursor(Qt::PointingHandCursor);

  thumb_ = new orv::toolkit::RemoteImageView(this);
  thumb_->setObjectName("thumb");
  thumb_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);

  title_ = new QLabel(this);
  title_->setObjectName("title");
  title_->setWordWrap(true);
  title_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  subtitle_ = new QLabel(this);
  subtitle_->setObjectName("subtitle");
  subtitle_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void GameCard::showGame(const Game& game) {
  title_->setText(QString::fromStdString(game.name()));
  subtitle_->setText(QString::fromStdString(game.code()));
  thumb_->setImageURL(QUrl(QString::fromStdString(game.icon())));
}

void GameCard::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath card;
  card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius_, cornerRadius_);
  p.fillPath(card, Qt::white);
  p.setPen(QPen(border_, 1));
  p.drawPath(card);
}

void GameCard::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit tapped();
  QWidget::mouseReleaseEvent(event);
}

}  // namespace orv::store
