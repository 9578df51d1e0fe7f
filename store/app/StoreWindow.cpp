#include "store/app/StoreWindow.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "toolkit/ViewController.h"

namespace orv::store {

StoreWindow::StoreWindow(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
  setWindowTitle("Orvik");
  setWindowIcon(QIcon(":/orv-store/orv-store.svg"));
  setFixedSize(kWidth, kHeight);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
}

void StoreWindow::setRootWidget(QWidget* root) {
  if (root_ == root) return;
  if (root_) {
    setRootAppearing(false);
    layout_->removeWidget(root_);
    delete root_.data();
  }
  root_ = root;
  if (root) {
    layout_->addWidget(root);
    root->show();
    if (isVisible()) setRootAppearing(true);
  }
}

void StoreWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) setRootAppearing(true);
}

void StoreWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) setRootAppearing(false);
}

void StoreWindow::setRootAppearing(bool appearing) {
  auto* screen = qobject_cast<orv::toolkit::ViewController*>(root_.data());
  if (!screen || screen->isAppearing() == appearing) return;
  screen->beginAppearance(appearing, false);
  screen->endAppearance(false);
}

QWidget* StoreWindow::createPlaceholderSignInPage() {
  auto* page = new QWidget;
  page->setObjectName("placeholderSignIn");
  page->setAttribute(Qt::WA_StyledBackground, true);
  page->setStyleSheet(
      "#placeholderSignIn { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ff8a3d, stop:1 #e8366f); }"
      "QLabel { color: white; background: transparent; }"
      "#title { font-size: 30px; font-weight: bold; }"
      "#subtitle { font-size: 14px; }"
      "#note { font-size: 13px; color: #fff3e8; }"
      "QPushButton { background: white; color: #e8366f; border: none; border-radius: 20px;"
      " font-size: 15px; font-weight: bold; padding: 10px 24px; }");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(28, 0, 28, 36);
  layout->addStretch(3);

  auto* icon = new QLabel;
  icon->setPixmap(QIcon(":/orv-store/orv-store.svg").pixmap(QSize(96, 96)));
  icon->setAlignment(Qt::AlignHCenter);
  layout->addWidget(icon);
  layout->addSpacing(14);

  auto* title = new QLabel("Orvik");
  title->setObjectName("title");
  title->setAlignment(Qt::AlignHCenter);
  layout->addWidget(title);

  auto* subtitle = new QLabel("Kho trò chơi cho điện thoại của bạn");
  subtitle->setObjectName("subtitle");
  subtitle->setAlignment(Qt::AlignHCenter);
  layout->addWidget(subtitle);
  layout->addStretch(2);

  auto* button = new QPushButton("Đăng nhập");
  button->setEnabled(false);
  layout->addWidget(button);
  layout->addSpacing(12);

  auto* note = new QLabel("Đăng nhập bằng số điện thoại để mua và tải trò chơi.");
  note->setObjectName("note");
  note->setAlignment(Qt::AlignHCenter);
  note->setWordWrap(true);
  layout->addWidget(note);
  return page;
}

}  // namespace orv::store
