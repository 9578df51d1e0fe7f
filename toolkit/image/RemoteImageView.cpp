#include "toolkit/image/RemoteImageView.h"

#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

#include "toolkit/image/ImageLoader.h"

namespace orv::toolkit {

namespace {

// Twelve spokes, the brightest one turning a step every 80 ms.
class ActivitySpinner : public QWidget {
 public:
  ActivitySpinner(int style, QWidget* parent) : QWidget(parent), style_(style) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = style == RemoteImageView::kWhiteLarge ? 37 : 20;
    setFixedSize(side, side);
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
      step_ = (step_ + 1) % kSpokes;
      update();
    });
  }
  void start() {
    show();
    timer_.start();
  }
  void stop() {
    timer_.stop();
    hide();
  }
  bool spinning() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = style_ == RemoteImageView::kGray ? QColor(0x80, 0x80, 0x80) : QColor(Qt::white);
    const double r = width() / 2.0;
    p.translate(r, r);
    for (int i = 0; i < kSpokes; ++i) {
      QColor c = base;
      const int age = (step_ - i + kSpokes) % kSpokes;
      c.setAlphaF(static_cast<float>(1.0 - age * 0.07));
      QPen pen(c, std::max(2.0, r * 0.18), Qt::SolidLine, Qt::RoundCap);
      p.setPen(pen);
      p.drawLine(QPointF(0, -r * 0.45), QPointF(0, -r * 0.85));
      p.rotate(360.0 / kSpokes);
    }
  }

 private:
  static constexpr int kSpokes = 12;
  int style_;
  int step_ = 0;
  QTimer timer_;
};

}  // namespace

RemoteImageView::RemoteImageView(QWidget* parent)
    : QWidget(parent), loader_(&ImageLoader::sharedLoader()), showActivityIndicator_(true) {}

RemoteImageView::RemoteImageView(const QImage& image, QWidget* parent)
    : QWidget(parent), loader_(&ImageLoader::sharedLoader()), showActivityIndicator_(image.isNull()) {
  image_ = image;
  pixmap_ = QPixmap::fromImage(image);
}

RemoteImageView::~RemoteImageView() {
  if (const auto url = imageURL()) loader_->cancelLoadingURL(*url, this);
}

void RemoteImageView::setImageURL(const QUrl& url) {
  loader_->loadImage(url, this, ImageLoadAction{kSetImageAction, [this](const QImage& image, const QUrl&) {
                                                  setImage(image);
                                                }});
  if (showActivityIndicator_ && image_.isNull() && !url.isEmpty() && imageURL()) startSpinner();
}

std::optional<QUrl> RemoteImageView::imageURL() const { return loader_->URLForTarget(this, kSetImageAction); }

void RemoteImageView::setImage(const QImage& image) {
  if (crossfadeImages_ && crossfadeDuration_ > 0 && isVisible()) {
    previous_ = pixmap_;
    if (!fade_) {
      fade_ = new QVariantAnimation(this);
      fade_->setStartValue(0.0);
      fade_->setEndValue(1.0);
      connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        fadeProgress_ = value.toDouble();
        update();
      });
      connect(fade_, &QVariantAnimation::finished, this, [this] {
        fadeProgress_ = 1.0;
        previous_ = QPixmap();
        update();
      });
    }
    fade_->stop();
    fade_->setDuration(static_cast<int>(crossfadeDuration_ * 1000.0));
    fadeProgress_ = 0.0;
    fade_->start();
  } else {
    previous_ = QPixmap();
    fadeProgress_ = 1.0;
  }
  image_ = image;
  pixmap_ = QPixmap::fromImage(image);
  stopSpinner();
  update();
  emit imageChanged();
}

bool RemoteImageView::isCrossfading() const {
  return fade_ && fade_->state() == QAbstractAnimation::Running;
}

void RemoteImageView::setContentMode(ContentMode mode) {
  contentMode_ = mode;
  update();
}

QSize RemoteImageView::sizeHint() const { return image_.isNull() ? QSize(64, 64) : image_.size(); }

void RemoteImageView::startSpinner() {
  if (!activityView_) {
    activityView_ = new ActivitySpinner(activityIndicatorStyle_, this);
  }
  centreSpinner();
  static_cast<ActivitySpinner*>(activityView_)->start();
}

void RemoteImageView::stopSpinner() {
  if (activityView_) static_cast<ActivitySpinner*>(activityView_)->stop();
}

void RemoteImageView::centreSpinner() {
  if (!activityView_) return;
  activityView_->move((width() - activityView_->width()) / 2, (height() - activityView_->height()) / 2);
}

void RemoteImageView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  centreSpinner();
}

QRectF RemoteImageView::targetRect(QSizeF imageSize) const {
  const QRectF bounds = rect();
  if (contentMode_ == ContentMode::ScaleToFill || imageSize.isEmpty()) return bounds;
  const QSizeF scaled = imageSize.scaled(bounds.size(), contentMode_ == ContentMode::AspectFit
                                                            ? Qt::KeepAspectRatio
                                                            : Qt::KeepAspectRatioByExpanding);
  return QRectF(bounds.center() - QPointF(scaled.width() / 2, scaled.height() / 2), scaled);
}

void RemoteImageView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.setClipRect(rect());
  // The placeholder while nothing has arrived, and under a first fade-in.
  if (previous_.isNull() && (pixmap_.isNull() || fadeProgress_ < 1.0)) p.fillRect(rect(), QColor(0xEE, 0xEF, 0xF2));
  if (!previous_.isNull() && fadeProgress_ < 1.0) {
    p.setOpacity(1.0 - fadeProgress_);
    p.drawPixmap(targetRect(previous_.deviceIndependentSize()), previous_, previous_.rect());
  }
  if (!pixmap_.isNull()) {
    p.setOpacity(fadeProgress_);
    p.drawPixmap(targetRect(pixmap_.deviceIndependentSize()), pixmap_, pixmap_.rect());
  }
}

}  // namespace orv::toolkit
