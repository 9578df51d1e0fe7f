#include "toolkit/ProgressOverlay.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QThreadPool>
#include <QTimer>
#include <QTimerEvent>
#include <QVariantAnimation>
#include <cmath>

#include "toolkit/ActivityIndicatorView.h"
#include "toolkit/detail/Animate.h"

namespace orv::toolkit {

namespace {
constexpr double kIndicatorSide = 37;
constexpr double kBarWidth = 120;
constexpr double kBarHeight = 20;
constexpr double kPadding = 4;  // between the indicator and the labels
constexpr int kSpinnerStepMs = 80;

QFont boldFont(int pixels) {
  QFont font;
  font.setPixelSize(pixels);
  font.setBold(true);
  return font;
}

double scaleIn(ProgressOverlay::AnimationType type) {
  return type == ProgressOverlay::AnimationType::ZoomOut ? 1.5
         : type == ProgressOverlay::AnimationType::ZoomIn ? 0.5
                                                          : 1.0;
}

double scaleOut(ProgressOverlay::AnimationType type) {
  return type == ProgressOverlay::AnimationType::ZoomOut ? 0.5
         : type == ProgressOverlay::AnimationType::ZoomIn ? 1.5
                                                          : 1.0;
}

QTimer* oneShot(QObject* owner) {
  auto* timer = new QTimer(owner);
  timer->setSingleShot(true);
  return timer;
}
}  // namespace

ProgressOverlay::ProgressOverlay(QWidget* view)
    : QWidget(view), labelFont_(boldFont(16)), detailsLabelFont_(boldFont(12)) {
  setAttribute(Qt::WA_TransparentForMouseEvents, true);
  setAttribute(Qt::WA_NoSystemBackground);
  graceTimer_ = oneShot(this);
  minShowTimer_ = oneShot(this);
  delayedHideTimer_ = oneShot(this);
  connect(graceTimer_, &QTimer::timeout, this, [this] {
    // Only a task still running deserves the overlay after the grace time.
    if (taskInProgress_) showUsingAnimation(useAnimation_);
  });
  connect(minShowTimer_, &QTimer::timeout, this, [this] { hideUsingAnimation(useAnimation_); });
  connect(delayedHideTimer_, &QTimer::timeout, this, [this] { hide(useAnimation_); });
  if (view) {
    setGeometry(view->rect());
    view->installEventFilter(this);
  }
  QWidget::setVisible(true);
  raise();
}

ProgressOverlay* ProgressOverlay::forWindow(QWidget* window) { return new ProgressOverlay(window); }

ProgressOverlay::~ProgressOverlay() = default;

// ---------------------------------------------------------------- show/hide

void ProgressOverlay::show(bool animated) {
  useAnimation_ = animated;
  finished_ = false;
  delayedHideTimer_->stop();
  minShowTimer_->stop();
  if (graceTime_ > 0.0) {
    graceTimer_->start(static_cast<int>(std::lround(graceTime_ * 1000)));
  } else {
    showUsingAnimation(useAnimation_);
  }
}

void ProgressOverlay::hide(bool animated) {
  useAnimation_ = animated;
  // A hide before the grace time passed means the overlay never appears,
  // even when a task flag is left set.
  graceTimer_->stop();
  if (minShowTime_ > 0.0 && showStarted_.isValid()) {
    const double shown = showStarted_.elapsed() / 1000.0;
    if (shown < minShowTime_) {
      minShowTimer_->start(static_cast<int>(std::lround((minShowTime_ - shown) * 1000)));
      return;
    }
  }
  hideUsingAnimation(useAnimation_);
}

void ProgressOverlay::hide(bool animated, double delaySeconds) {
  useAnimation_ = animated;
  delayedHideTimer_->start(static_cast<int>(std::lround(std::max(0.0, delaySeconds) * 1000)));
}

void ProgressOverlay::showUsingAnimation(bool animated) {
  if (animation_) animation_->stop();
  ++animationGeneration_;
  raise();
  showStarted_.start();
  startSpinner(mode_ == Mode::Indeterminate);
  emit becameVisible();
  if (animated) {
    const double from = alpha_;
    const double startScale = scaleIn(animationType_);
    scale_ = startScale;
    QPointer<ProgressOverlay> self(this);
    animation_ = detail::animate(
        this, kAnimationDuration, QEasingCurve::InOutQuad,
        [self, from, startScale](double p) {
          if (!self) return;
          self->scale_ = startScale + (1.0 - startScale) * p;
          self->setAlpha(from + (1.0 - from) * p);
        },
        {});
  } else {
    scale_ = 1.0;
    setAlpha(1.0);
  }
}

void ProgressOverlay::hideUsingAnimation(bool animated) {
  if (animation_) animation_->stop();
  const quint64 generation = ++animationGeneration_;
  if (animated && showStarted_.isValid()) {
    showStarted_.invalidate();
    const double from = alpha_;
    const double startScale = scale_;
    const double endScale = scaleOut(animationType_);
    QPointer<ProgressOverlay> self(this);
    animation_ = detail::animate(
        this, kAnimationDuration, QEasingCurve::InOutQuad,
        [self, from, startScale, endScale](double p) {
          if (!self) return;
          self->scale_ = startScale + (endScale - startScale) * p;
          self->setAlpha(from + (0.02 - from) * p);
        },
        [self, generation] {
          // A show that came after this hide wins.
          if (self && self->animationGeneration_ == generation) self->done();
        });
  } else {
    showStarted_.invalidate();
    setAlpha(0.0);
    done();
  }
}

void ProgressOverlay::done() {
  delayedHideTimer_->stop();
  finished_ = true;
  scale_ = 1.0;
  setAlpha(0.0);
  startSpinner(false);
  QPointer<ProgressOverlay> self(this);
  if (removeOnHide_) {
    // Leave the view now (so the class conveniences stop finding it) and
    // free the overlay once the callbacks below have run.
    if (QWidget* view = parentWidget()) view->removeEventFilter(this);
    QWidget::setVisible(false);
    setParent(nullptr);
    deleteLater();
  }
  if (auto completion = std::move(completion_)) {
    completion_ = nullptr;
    completion();
  }
  if (self && delegate_) delegate_->hudWasHidden(*this);
  if (self) emit wasHidden();
}

void ProgressOverlay::showWhileExecuting(std::function<void()> work, bool animated,
                                         std::function<void()> completion) {
  taskInProgress_ = true;
  if (completion) completion_ = std::move(completion);
  show(animated);
  QPointer<ProgressOverlay> self(this);
  QThreadPool::globalInstance()->start([self, work = std::move(work), animated]() mutable {
    if (work) work();
    // Back to the main thread; the overlay may be gone by then.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, animated] {
          if (!self) return;
          self->taskInProgress_ = false;
          self->hide(animated);
        },
        Qt::QueuedConnection);
  });
}

// ------------------------------------------------------------ conveniences

ProgressOverlay* ProgressOverlay::showHUDAddedTo(QWidget* view, bool animated) {
  auto* overlay = new ProgressOverlay(view);
  overlay->show(animated);
  return overlay;
}

QList<ProgressOverlay*> ProgressOverlay::allHUDsForView(QWidget* view) {
  if (!view) return {};
  return view->findChildren<ProgressOverlay*>(QString(), Qt::FindDirectChildrenOnly);
}

ProgressOverlay* ProgressOverlay::HUDForView(QWidget* view) {
  // The topmost: the last one in the view's stacking order.
  ProgressOverlay* found = nullptr;
  if (!view) return nullptr;
  for (QObject* child : view->children())
    if (auto* overlay = qobject_cast<ProgressOverlay*>(child)) found = overlay;
  return found;
}

bool ProgressOverlay::hideHUDForView(QWidget* view, bool animated) {
  ProgressOverlay* overlay = HUDForView(view);
  if (!overlay) return false;
  overlay->setRemoveFromSuperViewOnHide(true);
  overlay->hide(animated);
  return true;
}

int ProgressOverlay::hideAllHUDsForView(QWidget* view, bool animated) {
  const auto overlays = allHUDsForView(view);
  for (ProgressOverlay* overlay : overlays) {
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->hide(animated);
  }
  return static_cast<int>(overlays.size());
}

// ---------------------------------------------------------------- settings

void ProgressOverlay::setMode(Mode mode) {
  mode_ = mode;
  if (customView_) customView_->setVisible(mode_ == Mode::CustomView && alpha_ > 0);
  startSpinner(mode_ == Mode::Indeterminate && alpha_ > 0);
  updateInPlace();
}
void ProgressOverlay::setLabelText(const QString& text) { labelText_ = text; updateInPlace(); }
void ProgressOverlay::setDetailsLabelText(const QString& text) { detailsLabelText_ = text; updateInPlace(); }
void ProgressOverlay::setLabelFont(const QFont& font) { labelFont_ = font; updateInPlace(); }
void ProgressOverlay::setDetailsLabelFont(const QFont& font) { detailsLabelFont_ = font; updateInPlace(); }
void ProgressOverlay::setLabelColor(const QColor& color) { labelColor_ = color; updateInPlace(); }
void ProgressOverlay::setDetailsLabelColor(const QColor& color) { detailsLabelColor_ = color; updateInPlace(); }
void ProgressOverlay::setOpacity(double opacity) { opacity_ = opacity; updateInPlace(); }
void ProgressOverlay::setColor(std::optional<QColor> color) { color_ = color; updateInPlace(); }
void ProgressOverlay::setXOffset(double x) { xOffset_ = x; updateInPlace(); }
void ProgressOverlay::setYOffset(double y) { yOffset_ = y; updateInPlace(); }
void ProgressOverlay::setMargin(double margin) { margin_ = margin; updateInPlace(); }
void ProgressOverlay::setCornerRadius(double radius) { cornerRadius_ = radius; updateInPlace(); }
void ProgressOverlay::setDimBackground(bool dim) { dimBackground_ = dim; updateInPlace(); }
void ProgressOverlay::setMinSize(QSizeF size) { minSize_ = size; updateInPlace(); }
void ProgressOverlay::setSquare(bool square) { square_ = square; updateInPlace(); }
void ProgressOverlay::setProgress(double progress) {
  progress_ = std::clamp(progress, 0.0, 1.0);
  updateInPlace();
}

void ProgressOverlay::setCustomView(QWidget* view) {
  if (customView_ == view) return;
  delete customView_.data();
  customView_ = view;
  if (customView_) {
    customView_->setParent(this);
    auto* effect = new QGraphicsOpacityEffect(customView_);
    effect->setOpacity(alpha_);
    customView_->setGraphicsEffect(effect);
    customView_->setVisible(mode_ == Mode::CustomView && alpha_ > 0);
  }
  updateInPlace();
}

void ProgressOverlay::updateInPlace() {
  // Settings may change from any thread's callback; the drawing happens on
  // the main thread.
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this] { updateInPlace(); }, Qt::QueuedConnection);
    return;
  }
  if (customView_ && mode_ == Mode::CustomView) {
    QRectF panel = panelRect();
    QSize size = customView_->sizeHint();
    customView_->setGeometry(QRect(QPoint(int(panel.center().x() - size.width() / 2.0),
                                          int(panel.top() + margin_)),
                                   size));
  }
  update();
}

void ProgressOverlay::setAlpha(double alpha) {
  alpha_ = std::clamp(alpha, 0.0, 1.0);
  // Invisible overlays let every event through to the view underneath.
  setAttribute(Qt::WA_TransparentForMouseEvents, alpha_ <= 0.01);
  if (customView_) {
    customView_->setVisible(mode_ == Mode::CustomView && alpha_ > 0);
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(customView_->graphicsEffect()))
      effect->setOpacity(alpha_);
  }
  updateInPlace();
}

void ProgressOverlay::startSpinner(bool on) {
  if (on && spinnerTimer_ == 0) spinnerTimer_ = startTimer(kSpinnerStepMs);
  if (!on && spinnerTimer_ != 0) {
    killTimer(spinnerTimer_);
    spinnerTimer_ = 0;
  }
}

void ProgressOverlay::timerEvent(QTimerEvent* event) {
  if (event->timerId() != spinnerTimer_) return QWidget::timerEvent(event);
  spinnerPhase_ = (spinnerPhase_ + 1) % 12;
  update();
}

bool ProgressOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
    updateInPlace();
  }
  return QWidget::eventFilter(watched, event);
}

// ----------------------------------------------------------------- drawing

namespace {
QSizeF textSize(const QString& text, const QFont& font, double maxWidth) {
  if (text.isEmpty()) return {0, 0};
  QFontMetricsF metrics(font);
  QRectF r = metrics.boundingRect(QRectF(0, 0, maxWidth, 1000), Qt::AlignCenter | Qt::TextWordWrap, text);
  return r.size();
}
}  // namespace

QRectF ProgressOverlay::panelRect() const {
  const double maxText = std::max(0.0, width() - 4 * margin_);
  QSizeF indicator(0, 0);
  switch (mode_) {
    case Mode::Indeterminate:
    case Mode::Determinate:
    case Mode::AnnularDeterminate:
      indicator = {kIndicatorSide, kIndicatorSide};
      break;
    case Mode::DeterminateHorizontalBar:
      indicator = {kBarWidth, kBarHeight};
      break;
    case Mode::CustomView:
      if (customView_) indicator = customView_->sizeHint();
      break;
    case Mode::Text:
      break;
  }
  const QSizeF label = textSize(labelText_, labelFont_, maxText);
  const QSizeF details = textSize(detailsLabelText_, detailsLabelFont_, maxText);
  double w = std::max({indicator.width(), label.width(), details.width()}) + 2 * margin_;
  double h = indicator.height() + 2 * margin_;
  if (label.height() > 0) h += kPadding + label.height();
  if (details.height() > 0) h += kPadding + details.height();
  if (square_) w = h = std::max(w, h);
  w = std::max(w, minSize_.width());
  h = std::max(h, minSize_.height());
  const QPointF centre(width() / 2.0 + xOffset_, height() / 2.0 + yOffset_);
  return QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h);
}

void ProgressOverlay::paintEvent(QPaintEvent*) {
  if (alpha_ <= 0.0) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(alpha_);
  if (dimBackground_) {
    QRadialGradient gradient(rect().center(), std::min(width(), height()));
    gradient.setColorAt(0.0, QColor(0, 0, 0, 0));
    gradient.setColorAt(1.0, QColor(0, 0, 0, 191));
    painter.fillRect(rect(), gradient);
  }
  const QRectF panel = panelRect();
  painter.save();
  painter.translate(panel.center());
  painter.scale(scale_, scale_);
  painter.translate(-panel.center());
  QColor fill = color_.value_or(QColor(0, 0, 0));
  if (!color_) fill.setAlphaF(opacity_);
  QPainterPath path;
  path.addRoundedRect(panel, cornerRadius_, cornerRadius_);
  painter.fillPath(path, fill);

  double y = panel.top() + margin_;
  const double cx = panel.center().x();
  const QRectF indicatorBox(cx - kIndicatorSide / 2, y, kIndicatorSide, kIndicatorSide);
  switch (mode_) {
    case Mode::Indeterminate:
      ActivityIndicatorView::paintSpinner(painter, indicatorBox, Qt::white, spinnerPhase_);
      y += kIndicatorSide;
      break;
    case Mode::Determinate: {
      QRectF circle = indicatorBox.adjusted(1, 1, -1, -1);
      painter.setPen(QPen(Qt::white, 2));
      painter.setBrush(QColor(255, 255, 255, 26));
      painter.drawEllipse(circle);
      painter.setPen(Qt::NoPen);
      painter.setBrush(Qt::white);
      painter.drawPie(circle.adjusted(3, 3, -3, -3), 90 * 16, -static_cast<int>(progress_ * 360 * 16));
      y += kIndicatorSide;
      break;
    }
    case Mode::AnnularDeterminate: {
      QRectF circle = indicatorBox.adjusted(3, 3, -3, -3);
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(QColor(255, 255, 255, 26), 4));
      painter.drawEllipse(circle);
      painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
      painter.drawArc(circle, 90 * 16, -static_cast<int>(progress_ * 360 * 16));
      y += kIndicatorSide;
      break;
    }
    case Mode::DeterminateHorizontalBar: {
      QRectF bar(cx - kBarWidth / 2, y, kBarWidth, kBarHeight);
      QRectF outline = bar.adjusted(1, 1, -1, -1);
      painter.setPen(QPen(Qt::white, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(outline, outline.height() / 2, outline.height() / 2);
      QRectF inner = outline.adjusted(3, 3, -3, -3);
      inner.setWidth(std::max(inner.height(), inner.width() * progress_));
      painter.setPen(Qt::NoPen);
      painter.setBrush(Qt::white);
      if (progress_ > 0) painter.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
      y += kBarHeight;
      break;
    }
    case Mode::CustomView:
      if (customView_) y += customView_->sizeHint().height();
      break;
    case Mode::Text:
      break;
  }
  const double maxText = std::max(0.0, width() - 4 * margin_);
  auto drawText = [&](const QString& text, const QFont& font, const QColor& color) {
    if (text.isEmpty()) return;
    const QSizeF size = textSize(text, font, maxText);
    if (y > panel.top() + margin_) y += kPadding;
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRectF(cx - size.width() / 2, y, size.width(), size.height()),
                     Qt::AlignCenter | Qt::TextWordWrap, text);
    y += size.height();
  };
  drawText(labelText_, labelFont_, labelColor_);
  drawText(detailsLabelText_, detailsLabelFont_, detailsLabelColor_);
  painter.restore();
}

}  // namespace orv::toolkit
