#include "store/screens/GridGameCell.h"

#include <QLabel>
#include <QPainter>

#include "store/models/StarRating.h"
#include "store/records/Game.h"
#include "store/screens/StoreImages.h"
#include "toolkit/Icons.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {
namespace {

constexpr int kStar = 13;
constexpr int kStarStep = 15;
constexpr int kStarsX = (GridGameCell::kWidth - 4 * kStarStep - kStar) / 2;
constexpr int kStarsY = 164;

}  // namespace

GridGameCell::GridGameCell(QWidget* parent) : GameCard(QSize(kWidth, kHeight), 8, QColor(226, 230, 236), parent) {
  ensureStoreImages();
  thumb()->setGeometry(8, 8, 84, 84);
  title()->setGeometry(5, 98, 90, 34);
  title()->setStyleSheet("color: rgb(40,40,40); font-size: 12px; font-weight: bold;");
  subtitle()->setGeometry(4, 134, 92, 26);
  subtitle()->setWordWrap(true);
  subtitle()->setStyleSheet("color: rgb(140,140,140); font-size: 10px;");

  emptyStars_ = new QLabel(this);
  emptyStars_->setGeometry(kStarsX, kStarsY, 4 * kStarStep + kStar, kStar);
  {
    QPixmap row(QSize(4 * kStarStep + kStar, kStar) * 2);
    row.setDevicePixelRatio(2.0);
    row.fill(Qt::transparent);
    QPainter p(&row);
    const auto empty = orv::toolkit::Icons::pixmap("star_empty", QSize(kStar, kStar));
    for (int k = 0; k < 5; ++k) p.drawPixmap(k * kStarStep, 0, empty);
    p.end();
    emptyStars_->setPixmap(row);
  }
  const auto full = orv::toolkit::Icons::pixmap("star_full", QSize(kStar, kStar));
  for (int k = 0; k < 5; ++k) {
    auto* star = new QLabel(this);
    star->setObjectName(QString("star%1").arg(k + 1));
    star->setGeometry(kStarsX + k * kStarStep, kStarsY, kStar, kStar);
    star->setPixmap(full);
    stars_[static_cast<size_t>(k)] = star;
  }
}

void GridGameCell::prepareForReuse() {
  title()->setText("");
  subtitle()->setText("");
}

void GridGameCell::setGame(const Game& game) {
  prepareForReuse();
  showGame(game);
  for (int k = 1; k <= StarRating::kStars; ++k) {
    star(k)->setHidden(!StarRating::isStarVisible(k, game.ratingTotal()));
  }
}

int GridGameCell::visibleStarCount() const {
  int shown = 0;
  for (auto* s : stars_) shown += s->isHidden() ? 0 : 1;
  return shown;
}

}  // namespace orv::store
