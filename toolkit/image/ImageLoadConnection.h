#pragma once
// One queued or running picture load of the ImageLoader: its URL, the cache
// it writes to, the target to call back and the callbacks, and the transfer.
//
//   waiting --start--> loading --finish / failure--> delivered (removed by the loader)
//
// start() fetches (or takes the cached image), decodes on a pool thread under
// ImageDecoder::decodeLock(), and hands the result back to the GUI thread:
// the finish path (cacheImage) stores the picture and posts
// "ImageLoadDidFinish", the failure path posts "ImageLoadDidFail"; the loader
// delivers both to every connection waiting on the URL.
// cancel() stops the transfer; a cancelled load posts nothing. A cancelled
// connection that was loading stays loading until the loader removes it.
//
// Threads: everything on the GUI thread except the decode, which reads only
// the bytes and the cancelled flag (atomic).
// Lifetime: shared; the decode step keeps the connection alive until it has
// handed its result back. The target is held weakly and compared by address.

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageFetcher.h"

namespace orv::toolkit {


// Domain "ImageLoader", code 0, "Invalid image data" for undecodable bytes;
// domain "HttpClient" for failed transfers (code: the HTTP status, or -1).
struct ImageLoadError {
  QString domain;
  int code = 0;
  QString description;

  static inline const QString kInvalidImageData = QStringLiteral("Invalid image data");
};

// A success callback with the name by which later calls recognise it: two
// requests of one target with the same action name belong together, the
// later superseding the earlier (a view's "setImage").
struct ImageLoadAction {
  QByteArray name;
  std::function<void(const QImage& image, const QUrl& url)> call;
};

using ImageLoadFailure = std::function<void(const ImageLoadError& error, const QUrl& url)>;

class ImageLoadConnection : public std::enable_shared_from_this<ImageLoadConnection> {
 public:
  ImageLoadConnection(QUrl url, std::shared_ptr<ImageCache> cache, QObject* target, ImageLoadAction success,
                      ImageLoadFailure failure);
  ~ImageLoadConnection();
  ImageLoadConnection(const ImageLoadConnection&) = delete;
  ImageLoadConnection& operator=(const ImageLoadConnection&) = delete;

  const QUrl& URL() const { return url_; }
  // The cache key of the URL (its fully encoded text).
  QString key() const;
  const std::shared_ptr<ImageCache>& cache() const { return cache_; }
  // The target while it lives; null when there was none or it is gone.
  QObject* target() const { return target_.data(); }
  // The target's address, for comparisons only (never dereferenced).
  const void* targetId() const { return targetId_; }
  bool hasTarget() const { return targetId_ != nullptr; }
  const ImageLoadAction& success() const { return success_; }
  const ImageLoadFailure& failure() const { return failure_; }

  bool isLoading() const { return loading_; }
  bool isCancelled() const { return cancelled_.load(); }
  // True from a start that went to the network (or disk) until the result
  // is back, whether or not the transfer is still running.
  bool isFetching() const { return fetching_; }
  bool hasTransfer() const { return ticket_ != 0; }

  // Starts the load unless it is already loading and not cancelled.
  void start(const std::shared_ptr<ImageFetcher>& fetcher, double timeoutSeconds);
  // Marks the load cancelled, stops and drops the transfer; `loading` stays.
  void cancel();

  // The finish path (GUI thread): stores the image and posts
  // "ImageLoadDidFinish", or, when cancelled, only clears the flags.
  void cacheImage(const QImage& image);
  // The failure path (GUI thread): posts "ImageLoadDidFail".
  void loadFailedWithError(const ImageLoadError& error);

  // Calls the success / failure callback when the target (if there was one)
  // is still alive.
  void invokeSuccess(const QImage& image, const QUrl& url) const;
  void invokeFailure(const ImageLoadError& error, const QUrl& url) const;

  // Application resources: qrc: URLs, and file URLs whose path lies inside
  // the resource directory (none by default). They are read as they are and
  // never cached.
  static void setResourceDirectory(const QString& directory);
  static QString resourceDirectory();
  static bool isResourceURL(const QUrl& url);

 private:
  void fetched(ImageFetchResult result, unsigned generation);
  void decodeInBackground(std::string bytes, unsigned generation);
  void finishLater(const QImage& image, unsigned generation);

  QUrl url_;
  std::shared_ptr<ImageCache> cache_;
  QPointer<QObject> target_;
  const void* targetId_ = nullptr;
  ImageLoadAction success_;
  ImageLoadFailure failure_;

  std::shared_ptr<ImageFetcher> fetcher_;
  ImageFetcher::Ticket ticket_ = 0;
  bool loading_ = false;
  bool fetching_ = false;
  std::atomic<bool> cancelled_{false};
  // Bumped by every start: results of an earlier start are dropped.
  unsigned generation_ = 0;
};

}  // namespace orv::toolkit

Q_DECLARE_METATYPE(orv::toolkit::ImageLoadError)
Q_DECLARE_METATYPE(std::shared_ptr<orv::toolkit::ImageCache>)
