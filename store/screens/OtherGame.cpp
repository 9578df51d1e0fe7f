#include "store/screens/OtherGame.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

#include "store/records/Game.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::store {

OtherGame::OtherGame(QWidget* parent) : QWidget(parent) {
  setFixedSize(kWidth, kHeight);
  vContent_ = new QWidget(this);
  vContent_->setObjectName("vContent");
  vContent_->setAttribute(Qt::WA_StyledBackground);
  vContent_->setStyleSheet("#vContent { background: white; border: 1px solid rgb(218,218,218); border-radius: 2px; }");
  vContent_->setGeometry(3, 0, 100, kHeight);
  vContent_->setCursor(Qt::PointingHandCursor);
  vContent_->installEventFilter(this);

  avatar_ = new orv::toolkit::RemoteImageView(vContent_);
  avatar_->setObjectName("ivAvatar");
  avatar_->setGeometry(10, 8, 80, 80);
  avatar_->setContentMode(orv::toolkit::RemoteImageView::ContentMode::AspectFill);
  title_ = new QLabel(vContent_);
  title_->setObjectName("lbTitle");
  title_->setGeometry(4, 90, 92, 30);
  title_->setWordWrap(true);
  title_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  title_->setStyleSheet("color: rgb(33,33,33); font-size: 11px; font-weight: bold;");
  provider_ = new QLabel(vContent_);
  provider_->setObjectName("lbProvider");
  provider_->setGeometry(4, 119, 92, 13);
  provider_->setAlignment(Qt::AlignHCenter);
  provider_->setStyleSheet("color: rgb(130,130,130); font-size: 9px;");
  price_ = new QLabel(vContent_);
  price_->setObjectName("lbPrice");
  price_->setGeometry(18, 133, 64, 15);
  price_->setAlignment(Qt::AlignCenter);
  price_->setStyleSheet("color: white; background: rgb(43,168,74); border-radius: 3px; font-size: 9px; "
                        "font-weight: bold;");
  for (QWidget* w : {static_cast<QWidget*>(avatar_), static_cast<QWidget*>(title_), static_cast<QWidget*>(provider_),
                     static_cast<QWidget*>(price_)}) {
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
}

void OtherGame::setGame(const Game& game, int tag) {
  tag_ = tag;
  title_->setText(QString::fromStdString(game.name()));
  // A publisher wider than the card ends in "…" instead of being cut at
  // both edges of the centred label.
  provider_->ensurePolished();
  const QString provider = QString::fromStdString(game.code());
  provider_->setText(provider_->fontMetrics().elidedText(provider, Qt::ElideRight, provider_->width()));
  provider_->setToolTip(provider);
  price_->setText(QString::fromUtf8("TẢI VỀ"));
  avatar_->setImageURL(QUrl(QString::fromStdString(game.icon())));
}

bool OtherGame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == vContent_ && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && vContent_->rect().contains(mouse->position().toPoint())) {
      emit selected(tag_);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orv::store
