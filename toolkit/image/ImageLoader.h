#pragma once
// Loads pictures by URL for views: a queue of ImageLoadConnections, at most
// `concurrentLoads` transfers at a time, decoded images kept in a shared
// ImageCache, results delivered to the targets on the GUI thread.
//
// Queue rules:
// - a URL already cached is answered on the next turn of the main loop,
//   nothing queued (the target's earlier requests with the same action are
//   dropped first, so its newest request wins);
// - a new request goes in front of the first connection that is not loading
//   (it overtakes waiting requests, never running ones);
// - updateQueue() starts cached answers at once, and downloads while fewer
//   than `concurrentLoads` are running; a request whose URL is already being
//   downloaded waits for that download instead of starting another.
// - when a URL finishes, every connection waiting on it is served (one
//   download for all); a target's earlier requests with the same action,
//   whatever their URL, are cancelled and dropped (a later request of a view
//   supersedes its earlier ones).
// - a target that is destroyed is dropped from the queue before any callback
//   could reach it.
//
// Threads: GUI thread only (decoding runs on pool threads, see
// ImageLoadConnection). Callbacks may call back into the loader.

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

#include "toolkit/image/ImageLoadConnection.h"

namespace orv::toolkit {

class ImageCache;
class ImageFetcher;

class ImageLoader : public QObject {
  Q_OBJECT

 public:
  static constexpr unsigned kDefaultConcurrentLoads = 2;
  static constexpr double kDefaultLoadingTimeout = 60.0;

  // Null fetcher: an HttpImageFetcher on the process-wide HTTP client.
  explicit ImageLoader(std::shared_ptr<ImageFetcher> fetcher = nullptr, QObject* parent = nullptr);
  ~ImageLoader() override;

  // The loader of the application, created on first use (GUI thread).
  static ImageLoader& sharedLoader();

  const std::shared_ptr<ImageCache>& cache() const { return cache_; }
  void setCache(std::shared_ptr<ImageCache> cache) { cache_ = std::move(cache); }
  unsigned concurrentLoads() const { return concurrentLoads_; }
  void setConcurrentLoads(unsigned loads) { concurrentLoads_ = loads; }
  // Seconds a whole transfer may take.
  double loadingTimeout() const { return loadingTimeout_; }
  void setLoadingTimeout(double seconds) { loadingTimeout_ = seconds; }
  const std::shared_ptr<ImageFetcher>& fetcher() const { return fetcher_; }

  // The queue, front first.
  const std::vector<std::shared_ptr<ImageLoadConnection>>& connections() const { return connections_; }

  void loadImage(const QUrl& url, QObject* target, ImageLoadAction success, ImageLoadFailure failure);
  void loadImage(const QUrl& url, QObject* target, ImageLoadAction action);
  // Pre-loads into the cache.
  void loadImage(const QUrl& url);

  // Cancel and remove the matching connections.
  void cancelLoadingURL(const QUrl& url, const QObject* target, const QByteArray& action);
  void cancelLoadingURL(const QUrl& url, const QObject* target);
  void cancelLoadingURL(const QUrl& url);
  // Mark the matching connections cancelled; they stay in the queue (a
  // waiting one is started again by the next updateQueue).
  void cancelLoadingImagesForTarget(const QObject* target, const QByteArray& action);
  void cancelLoadingImagesForTarget(const QObject* target);

  // The URL of the target's last queued connection (with this action).
  std::optional<QUrl> URLForTarget(const QObject* target, const QByteArray& action) const;
  std::optional<QUrl> URLForTarget(const QObject* target) const;

  void updateQueue();

 private:
  void notified(const QString& name, QObject* object, const QVariantMap& userInfo);
  void imageLoaded(const QUrl& url, const QImage& image);
  void imageFailed(const QUrl& url, const ImageLoadError& error);
  void targetReleased(const void* target);
  template <class Match>
  void cancelAndRemove(Match match);
  // A download of this URL is running for another connection.
  bool downloadRunningFor(const ImageLoadConnection& waiting) const;

  std::shared_ptr<ImageFetcher> fetcher_;
  std::shared_ptr<ImageCache> cache_;
  unsigned concurrentLoads_ = kDefaultConcurrentLoads;
  double loadingTimeout_ = kDefaultLoadingTimeout;
  std::vector<std::shared_ptr<ImageLoadConnection>> connections_;
};

}  // namespace orv::toolkit
