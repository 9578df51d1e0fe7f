#include "store/screens/GameTableCell.h"

#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include "store/lists/GameRowText.h"
#include "store/records/Game.h"
#include "store/screens/RatingStars.h"
#include "toolkit/ActivityIndicatorView.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {

GameTableCell::GameTableCell(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setCursor(Qt::PointingHandCursor);
  vContent_ = new QWidget(this);
  vContent_->setObjectName("vContent");
  vContent_->setAttribute(Qt::WA_StyledBackground);
  vContent_->setStyleSheet(QString("#vContent { background: white; border: 1px solid rgb(218,218,218); "
                                   "border-radius: %1px; }")
                               .arg(kCornerRadius));
  vContent_->setGeometry(8, 6, 304, 103);

  thumb_ = new orv::toolkit::RemoteImageView(vContent_);
  thumb_->setObjectName("thumbnailImageView");
  thumb_->setGeometry(8, 8, 87, 87);
  thumb_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
  thumb_->setAttribute(Qt::WA_TransparentForMouseEvents);

  name_ = new QLabel(vContent_);
  name_->setObjectName("nameLabel");
  name_->setGeometry(104, 7, 192, 20);
  name_->setStyleSheet("color: rgb(33,33,33); font-size: 14px; font-weight: bold;");
  provider_ = new QLabel(vContent_);
  provider_->setObjectName("providerLabel");
  provider_->setGeometry(104, 28, 192, 16);
  provider_->setStyleSheet("color: rgb(120,120,120); font-size: 11px;");
  stars_ = new RatingStars(13, 16, vContent_);
  stars_->move(104, 48);
  views_ = new QLabel(vContent_);
  views_->setObjectName("viewLabel");
  views_->setGeometry(104, 66, 110, 16);
  views_->setStyleSheet("color: rgb(120,120,120); font-size: 11px;");
  price_ = new QLabel(vContent_);
  price_->setObjectName("priceLabel");
  price_->setGeometry(104, 82, 110, 16);
  price_->setStyleSheet("color: rgb(214,69,43); font-size: 12px; font-weight: bold;");

  btnDown_ = new QPushButton(QString::fromUtf8("TẢI VỀ"), vContent_);
  btnDown_->setObjectName("btnDown");
  btnDown_->setGeometry(222, 66, 72, 28);
  btnDown_->setCursor(Qt::PointingHandCursor);
  btnDown_->setStyleSheet(
      "QPushButton { background: rgb(43,168,74); color: white; border: none; border-radius: 4px; "
      "font-size: 12px; font-weight: bold; } QPushButton:pressed { background: rgb(30,130,56); }");
  connect(btnDown_, &QPushButton::clicked, this, [this] { emit downClicked(btnDown_->property("tag").toInt()); });
  for (auto* w : {static_cast<QWidget*>(name_), static_cast<QWidget*>(provider_), static_cast<QWidget*>(views_),
                  static_cast<QWidget*>(price_)}) {
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  vContent_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void GameTableCell::setGame(const Game& game, int row) {
  gameId_ = game.id();
  tag_ = row;
  name_->setText(QString::fromStdString(game.name()));
  thumb_->setImageURL(QUrl(QString::fromStdString(game.icon())));
  price_->setText(QString::fromStdString(GameRowText::price(game.price())));
  views_->setText(QString::fromStdString(GameRowText::views(game.downloadCount())));
  provider_->setText(QString::fromStdString(game.code()));
  stars_->setRating(game.ratingTotal());
  btnDown_->setProperty("tag", row);
}

void GameTableCell::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit tapped(tag_);
  QWidget::mouseReleaseEvent(event);
}

LoadingCell::LoadingCell(QWidget* parent) : QWidget(parent) {
  setObjectName("loadingCell");
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet("#loadingCell { background: rgb(230,230,230); }");
  setFixedHeight(GameTableCell::kHeight);
  auto* spinner = new orv::toolkit::ActivityIndicatorView(orv::toolkit::ActivityIndicatorView::Style::Gray, this);
  spinner->setObjectName("loadingSpinner");
  const QSize s = spinner->sizeHint();
  spinner->setGeometry((320 - s.width()) / 2, (GameTableCell::kHeight - s.height()) / 2, s.width(), s.height());
  spinner->startAnimating();
}

QWidget* makeEmptyCell(QWidget* parent) {
  auto* view = new QWidget(parent);
  view->setObjectName("emptyCell");
  view->setFixedHeight(30);
  auto* label = new QLabel(QString::fromUtf8(GameRowText::kNoData), view);
  label->setObjectName("emptyLabel");
  label->setGeometry(0, 0, 320, 30);
  label->setAlignment(Qt::AlignCenter);
  QFont font("Arial Rounded MT Bold");
  font.setPixelSize(12);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet("color: grey; background: transparent;");
  return view;
}

}  // namespace orv::store
