#include "toolkit/AlertView.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::toolkit {

namespace {
constexpr int kCardWidth = 270;
// Room kept between a button's title and the button's edges.
constexpr int kButtonPadding = 12;

int cardWidthIn(int hostWidth) { return std::min(kCardWidth, std::max(200, hostWidth - 40)); }

// The queue of alerts: the one on screen and those waiting, in show order.
struct AlertQueue {
  QPointer<AlertView> visible;
  QList<QPointer<AlertView>> waiting;
  QPointer<QWidget> hostWindow;
  bool dispatching = false;
};

AlertQueue& queue() {
  static AlertQueue q;
  return q;
}

QWidget* chooseHost() {
  if (queue().hostWindow) return queue().hostWindow;
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !qobject_cast<AlertView*>(w)) return w;
  return nullptr;
}
}  // namespace

AlertView::AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
                     const QString& cancelTitle, const QStringList& otherTitles)
    : QWidget(nullptr), title_(title), message_(message) {
  setDelegate(delegate);
  if (!cancelTitle.isEmpty()) {
    hasCancel_ = true;
    buttonTitles_ << cancelTitle;
  }
  buttonTitles_ << otherTitles;
  setAttribute(Qt::WA_NoSystemBackground);
}

AlertView::~AlertView() {
  if (queue().visible == this) queue().visible = nullptr;
  queue().waiting.removeAll(QPointer<AlertView>(this));
}

AlertViewDelegate* AlertView::delegate() const {
  if (delegateIsObject_ && !delegateGuard_) return nullptr;
  return delegate_;
}

void AlertView::setDelegate(AlertViewDelegate* delegate) {
  delegate_ = delegate;
  auto* object = dynamic_cast<QObject*>(delegate);
  delegateIsObject_ = object != nullptr;
  delegateGuard_ = object;
}

QString AlertView::buttonTitleAtIndex(int index) const { return buttonTitles_.value(index); }

QPushButton* AlertView::buttonAtIndex(int index) const {
  return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void AlertView::show() {
  AlertQueue& q = queue();
  if (q.visible == this || q.waiting.contains(QPointer<AlertView>(this)) || handled_) return;
  q.waiting.append(QPointer<AlertView>(this));
  if (!q.visible && !q.dispatching) {
    // Present the first waiting alert (this one unless others wait).
    while (!q.waiting.isEmpty()) {
      QPointer<AlertView> next = q.waiting.takeFirst();
      if (next) {
        next->present();
        break;
      }
    }
  }
}

bool AlertView::isVisibleAlert() const { return queue().visible == this; }

AlertView* AlertView::visibleAlert() { return queue().visible; }

QList<AlertView*> AlertView::queuedAlerts() {
  QList<AlertView*> out;
  for (const auto& a : queue().waiting)
    if (a) out << a.data();
  return out;
}

bool AlertView::pressVisibleAlertButton(int index) {
  AlertView* alert = visibleAlert();
  if (!alert) return false;
  QPushButton* button = alert->buttonAtIndex(index);
  if (!button) return false;
  // A press and a release inside the button, as a finger would make them.
  const QPointF at = QPointF(button->rect().center());
  const QPointF global = QPointF(button->mapToGlobal(button->rect().center()));
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(button, &press);
  QCoreApplication::sendEvent(button, &release);
  return true;
}

void AlertView::setHostWindow(QWidget* window) { queue().hostWindow = window; }

void AlertView::discardAll() {
  AlertQueue& q = queue();
  QList<QPointer<AlertView>> all = q.waiting;
  all.prepend(q.visible);
  q.waiting.clear();
  q.visible = nullptr;
  for (const auto& a : all)
    if (a) {
      a->handled_ = true;
      a->QWidget::hide();
      a->deleteLater();
    }
}

void AlertView::present() {
  AlertQueue& q = queue();
  q.visible = this;
  host_ = chooseHost();
  build();
  if (host_) {
    setParent(host_);
    setGeometry(host_->rect());
    host_->installEventFilter(this);
  } else {
    resize(320, 568);
  }
  layoutCard();
  QWidget::show();
  raise();
  emit appearedOnScreen();
}

void AlertView::build() {
  if (card_) return;
  card_ = new QFrame(this);
  card_->setObjectName(QStringLiteral("alertCard"));
  card_->setStyleSheet(QStringLiteral("#alertCard{background:#f7f7f7; border-radius:12px;}"));
  auto* column = new QVBoxLayout(card_);
  column->setContentsMargins(0, 18, 0, 0);
  column->setSpacing(0);
  auto* texts = new QVBoxLayout();
  texts->setContentsMargins(16, 0, 16, 16);
  texts->setSpacing(6);
  if (!title_.isEmpty()) {
    auto* title = new QLabel(title_, card_);
    title->setObjectName(QStringLiteral("alertTitle"));
    QFont font = title->font();
    font.setPixelSize(17);
    font.setBold(true);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    title->setStyleSheet(QStringLiteral("color:#111;"));
    texts->addWidget(title);
  }
  if (!message_.isEmpty()) {
    auto* message = new QLabel(message_, card_);
    message->setObjectName(QStringLiteral("alertMessage"));
    QFont font = message->font();
    font.setPixelSize(13);
    message->setFont(font);
    message->setAlignment(Qt::AlignCenter);
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color:#222;"));
    texts->addWidget(message);
  }
  column->addLayout(texts);
  // Two buttons sit side by side when both titles fit in half the card with
  // their padding; otherwise (and for one or three and more) they are
  // stacked, each the card's full width.
  QFont buttonFont = font();
  buttonFont.setPixelSize(17);
  buttonFont.setBold(true);  // the wider of the two faces used
  const QFontMetrics metrics(buttonFont);
  const int half = cardWidthIn(host_ ? host_->width() : 320) / 2;
  bool sideBySide = buttonTitles_.size() == 2;
  for (const QString& title : buttonTitles_)
    if (metrics.horizontalAdvance(title) + 2 * kButtonPadding > half) sideBySide = false;
  QBoxLayout* row = sideBySide ? static_cast<QBoxLayout*>(new QHBoxLayout()) : new QVBoxLayout();
  row->setSpacing(0);
  row->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < buttonTitles_.size(); ++i) {
    auto* button = new QPushButton(buttonTitles_[i], card_);
    button->setObjectName(QStringLiteral("alertButton%1").arg(i));
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(44);
    QFont font = button->font();
    font.setPixelSize(17);
    font.setBold(hasCancel_ && i == 0);
    button->setFont(font);
    QString borders = QStringLiteral("border:none; border-top:1px solid #d0d0d4; padding:0 %1px;").arg(kButtonPadding);
    if (sideBySide && i == 0) borders += QStringLiteral("border-right:1px solid #d0d0d4;");
    button->setStyleSheet(QStringLiteral("QPushButton{color:#1366cb; background:transparent; %1}"
                                         "QPushButton:pressed{background:#e4e4e8;}")
                              .arg(borders));
    connect(button, &QPushButton::clicked, this, [this, i] { buttonPressed(i); });
    row->addWidget(button);
    buttons_ << button;
  }
  column->addLayout(row);
}

void AlertView::layoutCard() {
  if (!card_) return;
  const int width = cardWidthIn(this->width());
  card_->setFixedWidth(width);
  // Word-wrapped labels need the height for this width, which adjustSize()
  // alone does not ask the layout for (long messages were cut off).
  const int height = card_->layout()->hasHeightForWidth() ? card_->layout()->totalHeightForWidth(width)
                                                          : card_->layout()->totalSizeHint().height();
  card_->setFixedHeight(height);
  card_->move((this->width() - card_->width()) / 2, (this->height() - card_->height()) / 2);
}

void AlertView::dismissWithClickedButtonIndex(int index) { buttonPressed(index); }

void AlertView::buttonPressed(int index) {
  if (handled_) return;
  handled_ = true;
  AlertQueue& q = queue();
  QWidget::hide();
  if (host_) host_->removeEventFilter(this);
  if (q.visible == this) q.visible = nullptr;
  // Alerts shown by the callbacks wait behind those already queued.
  q.dispatching = true;
  QPointer<AlertView> self(this);
  if (AlertViewDelegate* d = delegate()) d->alertViewClickedButtonAtIndex(*this, index);
  if (self) emit clicked(index);
  if (self && handler_) handler_(index);
  q.dispatching = false;
  if (self) deleteLater();
  if (!q.visible) {
    while (!q.waiting.isEmpty()) {
      QPointer<AlertView> next = q.waiting.takeFirst();
      if (next) {
        next->present();
        break;
      }
    }
  }
}

void AlertView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0, 0, 0, 102));
}

void AlertView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutCard();
}

bool AlertView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_ && event->type() == QEvent::Resize) setGeometry(host_->rect());
  return QWidget::eventFilter(watched, event);
}

}  // namespace orv::toolkit
