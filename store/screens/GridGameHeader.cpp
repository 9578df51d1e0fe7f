#include "store/screens/GridGameHeader.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "toolkit/Icons.h"

namespace orv::store {

GridGameHeader::GridGameHeader(QWidget* parent) : QWidget(parent) {
  title_ = new QLabel(this);
  title_->setObjectName("title");
  title_->setStyleSheet("color: rgb(19,102,203); font-size: 16px; font-weight: bold;");

  btnMore_ = new QPushButton(QStringLiteral("Xem thêm"), this);
  btnMore_->setObjectName("btnMore");
  btnMore_->setCursor(Qt::PointingHandCursor);
  btnMore_->setIcon(orv::toolkit::Icons::icon("ic_more", QSize(12, 12)));
  btnMore_->setIconSize(QSize(12, 12));
  btnMore_->setLayoutDirection(Qt::RightToLeft);  // the chevron after the text
  btnMore_->setStyleSheet(
      "QPushButton { color: rgb(19,102,203); font-size: 13px; border: none; background: transparent; }"
      "QPushButton:pressed { color: rgb(12,70,150); }");
  connect(btnMore_, &QPushButton::clicked, this, [this] { emit moreClicked(tag_); });
}

void GridGameHeader::resizeEvent(QResizeEvent*) {
  title_->setGeometry(16, 8, width() - 110, kHeight - 12);
  btnMore_->setGeometry(width() - 96, 8, 90, kHeight - 12);
}

void GridGameHeader::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  // A short blue bar before the title.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(19, 102, 203));
  p.drawRoundedRect(QRectF(6, 14, 4, kHeight - 24), 2, 2);
}

}  // namespace orv::store
