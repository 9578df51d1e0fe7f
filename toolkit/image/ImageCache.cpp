#include "toolkit/image/ImageCache.h"

namespace orv::toolkit {

namespace {
qsizetype costOf(const QImage& image) { return std::max<qsizetype>(1, image.sizeInBytes()); }
}  // namespace

ImageCache::ImageCache(std::size_t maxBytes) : images_(static_cast<qsizetype>(maxBytes)) {}

std::shared_ptr<ImageCache> ImageCache::defaultCache() {
  static const std::shared_ptr<ImageCache> cache = std::make_shared<ImageCache>();
  return cache;
}

QImage ImageCache::object(const QString& url) const {
  std::lock_guard lock(mutex_);
  const QImage* image = images_.object(url);  // moves the entry to the front
  return image ? *image : QImage();
}

bool ImageCache::contains(const QString& url) const {
  std::lock_guard lock(mutex_);
  return images_.contains(url);
}

bool ImageCache::insert(const QString& url, const QImage& image) {
  if (image.isNull()) return false;
  std::lock_guard lock(mutex_);
  const qsizetype cost = costOf(image);
  if (cost > images_.maxCost()) {
    images_.remove(url);  // a stale smaller entry must not outlive its replacement
    return false;
  }
  return images_.insert(url, new QImage(image), cost);
}

void ImageCache::remove(const QString& url) {
  std::lock_guard lock(mutex_);
  images_.remove(url);
}

void ImageCache::clear() {
  std::lock_guard lock(mutex_);
  images_.clear();
}

std::size_t ImageCache::totalBytes() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(images_.totalCost());
}

std::size_t ImageCache::maxBytes() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(images_.maxCost());
}

std::size_t ImageCache::count() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(images_.count());
}

void ImageCache::setMaxBytes(std::size_t maxBytes) {
  std::lock_guard lock(mutex_);
  images_.setMaxCost(static_cast<qsizetype>(maxBytes));
}

}  // namespace orv::toolkit
