#include "toolkit/image/ImageLoadConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>
#include <QVariantMap>

#include <mutex>

#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageDecoder.h"
#include "toolkit/image/ImageLoadNotificationCenter.h"

namespace orv::toolkit {

namespace {

void postToGui(std::function<void()> task) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
  }
}

QString& resourceDirectoryText() {
  static QString directory;
  return directory;
}

}  // namespace

ImageLoadConnection::ImageLoadConnection(QUrl url, std::shared_ptr<ImageCache> cache, QObject* target,
                                         ImageLoadAction success, ImageLoadFailure failure)
    : url_(std::move(url)),
      cache_(std::move(cache)),
      target_(target),
      targetId_(target),
      success_(std::move(success)),
      failure_(std::move(failure)) {}

ImageLoadConnection::~ImageLoadConnection() {
  if (ticket_ != 0 && fetcher_) fetcher_->cancel(ticket_);
}

QString ImageLoadConnection::key() const { return url_.toString(QUrl::FullyEncoded); }

void ImageLoadConnection::setResourceDirectory(const QString& directory) {
  resourceDirectoryText() = directory.isEmpty() ? QString() : QDir(directory).canonicalPath();
}

QString ImageLoadConnection::resourceDirectory() { return resourceDirectoryText(); }

bool ImageLoadConnection::isResourceURL(const QUrl& url) {
  if (url.scheme() == QLatin1String("qrc")) return true;
  if (!url.isLocalFile() || resourceDirectoryText().isEmpty()) return false;
  // Compared after resolving "..", "." and symbolic links, so a path cannot
  // name a file outside the folder and still count as a resource.
  const QString path = QFileInfo(url.toLocalFile()).canonicalFilePath();
  return !path.isEmpty() && path.startsWith(resourceDirectoryText() + QLatin1Char('/'));
}

void ImageLoadConnection::start(const std::shared_ptr<ImageFetcher>& fetcher, double timeoutSeconds) {
  if (loading_ && !cancelled_) return;
  loading_ = true;
  cancelled_ = false;
  fetching_ = false;
  const unsigned generation = ++generation_;

  if (url_.isEmpty()) {
    finishLater(QImage(), generation);
    return;
  }
  if (!isResourceURL(url_) && cache_) {
    const QImage cached = cache_->object(key());
    if (!cached.isNull()) {
      finishLater(cached, generation);
      return;
    }
  }
  fetcher_ = fetcher;
  fetching_ = true;
  const auto timeout = std::chrono::milliseconds(static_cast<std::int64_t>(std::max(0.0, timeoutSeconds) * 1000.0));
  std::weak_ptr<ImageLoadConnection> weak = weak_from_this();
  ticket_ = fetcher_->fetch(url_, timeout, [weak, generation](ImageFetchResult result) {
    if (const auto self = weak.lock()) self->fetched(std::move(result), generation);
  });
}

void ImageLoadConnection::fetched(ImageFetchResult result, unsigned generation) {
  if (generation != generation_) return;
  ticket_ = 0;
  if (!result.ok) {
    fetching_ = false;
    loadFailedWithError({QStringLiteral("HttpClient"), -1, result.error});
    return;
  }
  if (result.status < 200 || result.status > 299) {
    fetching_ = false;
    loadFailedWithError({QStringLiteral("HttpClient"), static_cast<int>(result.status),
                         QStringLiteral("HTTP status %1").arg(result.status)});
    return;
  }
  decodeInBackground(std::move(result.body), generation);
}

void ImageLoadConnection::decodeInBackground(std::string bytes, unsigned generation) {
  auto self = shared_from_this();
  auto data = std::make_shared<std::string>(std::move(bytes));
  QThreadPool::globalInstance()->start([self, data, generation]() mutable {
    // One decode at a time in the whole process. Results are posted under
    // the lock, so they reach the GUI thread in decode order. The reference
    // to the connection moves into the posted task, so the connection is
    // always released on the GUI thread.
    std::lock_guard lock(ImageDecoder::decodeLock());
    if (self->cancelled_) {
      postToGui([self = std::move(self), generation] {
        if (generation == self->generation_) self->cacheImage(QImage());
      });
      return;
    }
    const QImage image = ImageDecoder::decode(
        QByteArray::fromRawData(data->data(), static_cast<qsizetype>(data->size())));
    data.reset();
    if (image.isNull()) {
      postToGui([self = std::move(self), generation] {
        if (generation != self->generation_) return;
        self->fetching_ = false;
        self->loadFailedWithError({QStringLiteral("ImageLoader"), 0, ImageLoadError::kInvalidImageData});
      });
      return;
    }
    postToGui([self = std::move(self), image, generation] {
      if (generation == self->generation_) self->cacheImage(image);
    });
  });
}

void ImageLoadConnection::finishLater(const QImage& image, unsigned generation) {
  std::weak_ptr<ImageLoadConnection> weak = weak_from_this();
  postToGui([weak, image, generation] {
    const auto self = weak.lock();
    if (self && generation == self->generation_) self->cacheImage(image);
  });
}

void ImageLoadConnection::cancel() {
  cancelled_ = true;
  if (ticket_ != 0 && fetcher_) fetcher_->cancel(ticket_);
  ticket_ = 0;
}

void ImageLoadConnection::cacheImage(const QImage& image) {
  fetching_ = false;
  if (cancelled_) {
    loading_ = false;
    cancelled_ = false;
    return;
  }
  if (!image.isNull() && !url_.isEmpty() && cache_ && !isResourceURL(url_)) cache_->insert(key(), image);
  loading_ = false;
  QVariantMap info{{QStringLiteral("image"), image}, {QStringLiteral("URL"), url_}};
  if (cache_) info.insert(QStringLiteral("cache"), QVariant::fromValue(cache_));
  ImageLoadNotificationCenter::defaultCenter().post(ImageLoadNotificationCenter::kDidFinish, target_.data(), info);
}

void ImageLoadConnection::loadFailedWithError(const ImageLoadError& error) {
  fetching_ = false;
  loading_ = false;
  cancelled_ = false;
  ImageLoadNotificationCenter::defaultCenter().post(
      ImageLoadNotificationCenter::kDidFail, target_.data(),
      {{QStringLiteral("URL"), url_}, {QStringLiteral("error"), QVariant::fromValue(error)}});
}

void ImageLoadConnection::invokeSuccess(const QImage& image, const QUrl& url) const {
  if (!success_.call || (hasTarget() && target_.isNull())) return;
  success_.call(image, url);
}

void ImageLoadConnection::invokeFailure(const ImageLoadError& error, const QUrl& url) const {
  if (!failure_ || (hasTarget() && target_.isNull())) return;
  failure_(error, url);
}

}  // namespace orv::toolkit
