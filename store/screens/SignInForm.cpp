#include "store/screens/SignInForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSvgRenderer>

namespace orv::store {
namespace {

// The store's brand blue, RGB(19,102,203), and its light tint.
const QColor kBlue(19, 102, 203);
const QColor kPaleBlue(219, 233, 248);

// Our logo: a rounded tile with a game pad.
const char* kLogoSvg = R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 96 96">
  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
    <stop offset="0" stop-color="#3d8bf0"/><stop offset="1" stop-color="#1366cb"/></linearGradient></defs>
  <rect x="4" y="4" width="88" height="88" rx="22" fill="url(#g)"/>
  <path d="M30 36h36c9 0 14 8 15 18l1 7c1 7-6 11-11 6l-7-7H32l-7 7c-5 5-12 1-11-6l1-7c1-10 6-18 15-18z"
        fill="#ffffff"/>
  <rect x="29" y="44" width="4" height="14" rx="1.5" fill="#1366cb"/>
  <rect x="24" y="49" width="14" height="4" rx="1.5" fill="#1366cb"/>
  <circle cx="62" cy="46" r="3.2" fill="#f5a623"/>
  <circle cx="69" cy="52" r="3.2" fill="#e94b3c"/>
  <circle cx="55" cy="52" r="3.2" fill="#2ecc71"/>
  <circle cx="62" cy="58" r="3.2" fill="#1366cb"/>
</svg>)svg";

QPixmap logoPixmap(int size) {
  const qreal dpr = 2.0;
  QPixmap pixmap(QSize(size, size) * dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  QSvgRenderer(QByteArray(kLogoSvg)).render(&p);
  pixmap.setDevicePixelRatio(dpr);
  return pixmap;
}

QString fieldStyle() {
  return QStringLiteral(
      "QLineEdit { background: white; border: 1px solid #c9d6e8; border-radius: 8px; padding: 0 12px;"
      " font-size: 15px; color: #1d2733; }"
      "QLineEdit:focus { border: 2px solid rgb(19,102,203); padding: 0 11px; }");
}

}  // namespace

SignInForm::SignInForm(QWidget* parent) : QWidget(parent) {
  setObjectName("signInForm");
  logo_ = new QLabel(this);
  logo_->setPixmap(logoPixmap(84));
  logo_->setAlignment(Qt::AlignCenter);

  title_ = new QLabel(QStringLiteral("Kho Game"), this);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet("color: white; font-size: 24px; font-weight: bold;");
  subtitle_ = new QLabel(QStringLiteral("Trò chơi hay cho điện thoại của bạn"), this);
  subtitle_->setAlignment(Qt::AlignCenter);
  subtitle_->setWordWrap(true);
  subtitle_->setStyleSheet("color: rgba(255,255,255,210); font-size: 13px;");

  txtUser_ = new QLineEdit(this);
  txtUser_->setObjectName("txtUser");
  txtUser_->setPlaceholderText(QStringLiteral("Số điện thoại"));
  txtUser_->setInputMethodHints(Qt::ImhDialableCharactersOnly);
  txtUser_->setStyleSheet(fieldStyle());
  txtPassword_ = new QLineEdit(this);
  txtPassword_->setObjectName("txtPassword");
  txtPassword_->setPlaceholderText(QStringLiteral("Mật khẩu (mã OTP)"));
  txtPassword_->setInputMethodHints(Qt::ImhDigitsOnly);
  txtPassword_->setStyleSheet(fieldStyle());

  btnLayMk_ = new QPushButton(QStringLiteral("Lấy mật khẩu"), this);
  btnLayMk_->setObjectName("btnLayMk");
  btnLayMk_->setCursor(Qt::PointingHandCursor);
  btnLayMk_->setStyleSheet(
      "QPushButton { background: white; color: rgb(19,102,203); border: 1.5px solid rgb(19,102,203);"
      " border-radius: 8px; font-size: 15px; font-weight: bold; }"
      "QPushButton:pressed { background: rgb(219,233,248); }");
  btnLogin_ = new QPushButton(QStringLiteral("Đăng nhập"), this);
  btnLogin_->setObjectName("btnLogin");
  btnLogin_->setCursor(Qt::PointingHandCursor);
  btnLogin_->setStyleSheet(
      "QPushButton { background: rgb(19,102,203); color: white; border: none; border-radius: 8px;"
      " font-size: 15px; font-weight: bold; }"
      "QPushButton:pressed { background: rgb(14,80,160); }");

  hint_ = new QLabel(QStringLiteral("Nhập số điện thoại, bấm \"Lấy mật khẩu\" để nhận mã OTP qua tin nhắn."),
                     this);
  hint_->setWordWrap(true);
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setStyleSheet("color: #6b7785; font-size: 12px;");

  connect(btnLayMk_, &QPushButton::clicked, this, &SignInForm::getPasswordClicked);
  connect(btnLogin_, &QPushButton::clicked, this, &SignInForm::loginClicked);
  connect(txtPassword_, &QLineEdit::returnPressed, this, &SignInForm::loginClicked);
  setViewState(0);
}

bool SignInForm::areControlsVisible() const { return !txtUser_->isHidden(); }

void SignInForm::setViewState(int state) {
  if (state < 0 || state > 3) return;
  viewState_ = state;
  const bool shown = state >= 2;
  for (QWidget* w : {static_cast<QWidget*>(txtUser_), static_cast<QWidget*>(txtPassword_),
                     static_cast<QWidget*>(btnLayMk_), static_cast<QWidget*>(btnLogin_),
                     static_cast<QWidget*>(hint_)}) {
    w->setVisible(shown);
  }
  if (state != 1) txtUser_->setFocus();
  update();
}

void SignInForm::dismissKeyboard() {
  txtUser_->clearFocus();
  txtPassword_->clearFocus();
}

void SignInForm::mousePressEvent(QMouseEvent* event) {
  dismissKeyboard();
  QWidget::mousePressEvent(event);
}

void SignInForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutControls();
}

void SignInForm::layoutControls() {
  const int w = width();
  const int margin = 24;
  const int inner = w - 2 * margin;
  logo_->setGeometry((w - 84) / 2, 56, 84, 84);
  title_->setGeometry(margin, 150, inner, 32);
  subtitle_->setGeometry(margin, 184, inner, 36);
  int y = 262;
  txtUser_->setGeometry(margin, y, inner, 44);
  y += 56;
  txtPassword_->setGeometry(margin, y, inner, 44);
  y += 64;
  const int gap = 12;
  const int half = (inner - gap) / 2;
  btnLayMk_->setGeometry(margin, y, half, 44);
  btnLogin_->setGeometry(margin + half + gap, y, inner - half - gap, 44);
  y += 60;
  hint_->setGeometry(margin, y, inner, 40);
}

void SignInForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(246, 248, 251));
  // A blue band behind the logo and title with a soft curve at its foot.
  QLinearGradient band(0, 0, 0, 240);
  band.setColorAt(0, kBlue.lighter(125));
  band.setColorAt(1, kBlue);
  QPainterPath path;
  path.moveTo(0, 0);
  path.lineTo(width(), 0);
  path.lineTo(width(), 222);
  path.quadTo(width() / 2.0, 262, 0, 222);
  path.closeSubpath();
  p.fillPath(path, band);
  if (areControlsVisible()) {
    // A white card under the form.
    QRectF card(12, 244, width() - 24, 210);
    p.setPen(QColor(225, 231, 240));
    p.setBrush(Qt::white);
    p.drawRoundedRect(card, 14, 14);
  }
  (void)kPaleBlue;
}

}  // namespace orv::store
