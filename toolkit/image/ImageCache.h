#pragma once
// The in-memory picture cache: URL -> decoded image, bounded by the bytes the
// images occupy (QImage::sizeInBytes), least recently used evicted first.
//
// The process-wide cache (defaultCache) holds at most kDefaultMaxBytes: about
// 260 icons of 128x128 or a few dozen screen-wide banners, enough for a
// catalogue screen and the one before it, small enough for a phone.
// An image larger than the whole bound is never stored.
//
// Threads: every call takes the cache's own lock, so loaders on any thread
// may share one cache; QImage copies are implicitly shared and cheap.

#include <QCache>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>

namespace orv::toolkit {

class ImageCache {
 public:
  static constexpr std::size_t kDefaultMaxBytes = 64u << 20;

  explicit ImageCache(std::size_t maxBytes = kDefaultMaxBytes);

  // The cache shared by every loader unless given another, created on first use.
  static std::shared_ptr<ImageCache> defaultCache();

  // A null image when the URL is not cached. A hit makes the entry the most
  // recently used.
  QImage object(const QString& url) const;
  bool contains(const QString& url) const;
  // Stores (or replaces) the image; evicts the least recently used entries
  // until the total fits. False when the image alone exceeds the bound or is null.
  bool insert(const QString& url, const QImage& image);
  void remove(const QString& url);
  void clear();

  std::size_t totalBytes() const;
  std::size_t maxBytes() const;
  std::size_t count() const;
  // Shrinking evicts at once.
  void setMaxBytes(std::size_t maxBytes);

 private:
  mutable std::mutex mutex_;
  mutable QCache<QString, QImage> images_;
};

}  // namespace orv::toolkit
