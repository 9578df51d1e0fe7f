#include "store/screens/GridGameCell2.h"

#include <QLabel>

#include "store/records/Game.h"
#include "store/screens/RatingStars.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {

GridGameCell2::GridGameCell2(QWidget* parent)
    : GameCard(QSize(kWidth, kHeight), 6, QColor(214, 214, 214), parent) {
  thumb()->setGeometry(10, 10, 120, 120);
  thumb()->setAttribute(Qt::WA_TransparentForMouseEvents);
  title()->setGeometry(8, 136, 124, 38);
  title()->setStyleSheet("color: rgb(33,33,33); font-size: 13px; font-weight: bold;");
  subtitle()->setGeometry(8, 176, 124, 18);
  subtitle()->setStyleSheet("color: rgb(130,130,130); font-size: 11px;");

  stars_ = new RatingStars(14, 17, this);
  stars_->move((kWidth - stars_->width()) / 2, 200);
}

void GridGameCell2::setGame(const Game& game) {
  showGame(game);
  stars_->setRating(game.ratingTotal());
}

}  // namespace orv::store
