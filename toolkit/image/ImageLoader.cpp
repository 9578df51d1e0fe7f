#include "toolkit/image/ImageLoader.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>

#include "toolkit/image/HttpImageFetcher.h"
#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageLoadNotificationCenter.h"

namespace orv::toolkit {

namespace {
bool sameTargetAndAction(const ImageLoadConnection& a, const ImageLoadConnection& b) {
  return a.targetId() == b.targetId() && a.success().name == b.success().name;
}
}  // namespace

ImageLoader::ImageLoader(std::shared_ptr<ImageFetcher> fetcher, QObject* parent)
    : QObject(parent),
      fetcher_(fetcher ? std::move(fetcher) : std::make_shared<HttpImageFetcher>()),
      cache_(ImageCache::defaultCache()) {
  connect(&ImageLoadNotificationCenter::defaultCenter(), &ImageLoadNotificationCenter::notified, this,
          &ImageLoader::notified, Qt::DirectConnection);
}

ImageLoader::~ImageLoader() {
  // QObject drops the observation; the transfers still running stop here.
  for (const auto& connection : connections_) connection->cancel();
}

ImageLoader& ImageLoader::sharedLoader() {
  // Lives as long as the process: views may be destroyed after main() ends.
  static auto* loader = new ImageLoader;
  return *loader;
}

void ImageLoader::loadImage(const QUrl& url, QObject* target, ImageLoadAction success, ImageLoadFailure failure) {
  const QString key = url.toString(QUrl::FullyEncoded);
  if (!url.isEmpty() && cache_ && !ImageLoadConnection::isResourceURL(url)) {
    const QImage cached = cache_->object(key);
    if (!cached.isNull()) {
      if (target) {
        // The newest request of a target wins: its earlier ones still queued
        // would otherwise arrive later and replace this picture.
        const QByteArray action = success.name;
        cancelAndRemove([&](const ImageLoadConnection& c) {
          return c.targetId() == target && c.success().name == action;
        });
      }
      if (success.call) {
        QPointer<QObject> guard(target);
        const bool hadTarget = target != nullptr;
        QMetaObject::invokeMethod(
            this,
            [guard, hadTarget, call = std::move(success.call), cached, url] {
              if (hadTarget && guard.isNull()) return;
              call(cached, url);
            },
            Qt::QueuedConnection);
      }
      updateQueue();
      return;
    }
  }

  auto connection = std::make_shared<ImageLoadConnection>(url, cache_, target, std::move(success), std::move(failure));
  ImageLoadNotificationCenter::defaultCenter().watchTarget(target);
  const auto firstWaiting = std::find_if(connections_.begin(), connections_.end(),
                                         [](const auto& c) { return !c->isLoading(); });
  connections_.insert(firstWaiting, std::move(connection));
  updateQueue();
}

void ImageLoader::loadImage(const QUrl& url, QObject* target, ImageLoadAction action) {
  loadImage(url, target, std::move(action), nullptr);
}

void ImageLoader::loadImage(const QUrl& url) { loadImage(url, nullptr, ImageLoadAction{}, nullptr); }

template <class Match>
void ImageLoader::cancelAndRemove(Match match) {
  std::vector<std::shared_ptr<ImageLoadConnection>> removed;
  std::erase_if(connections_, [&](const std::shared_ptr<ImageLoadConnection>& c) {
    if (!match(*c)) return false;
    removed.push_back(c);
    return true;
  });
  for (const auto& c : removed) c->cancel();
}

void ImageLoader::cancelLoadingURL(const QUrl& url, const QObject* target, const QByteArray& action) {
  cancelAndRemove([&](const ImageLoadConnection& c) {
    return c.URL() == url && c.targetId() == target && c.success().name == action;
  });
}

void ImageLoader::cancelLoadingURL(const QUrl& url, const QObject* target) {
  cancelAndRemove([&](const ImageLoadConnection& c) { return c.URL() == url && c.targetId() == target; });
}

void ImageLoader::cancelLoadingURL(const QUrl& url) {
  cancelAndRemove([&](const ImageLoadConnection& c) { return c.URL() == url; });
}

void ImageLoader::cancelLoadingImagesForTarget(const QObject* target, const QByteArray& action) {
  for (const auto& c : connections_) {
    if (c->targetId() == target && c->success().name == action) c->cancel();
  }
}

void ImageLoader::cancelLoadingImagesForTarget(const QObject* target) {
  for (const auto& c : connections_) {
    if (c->targetId() == target) c->cancel();
  }
}

std::optional<QUrl> ImageLoader::URLForTarget(const QObject* target, const QByteArray& action) const {
  for (auto it = connections_.rbegin(); it != connections_.rend(); ++it) {
    if ((*it)->targetId() == target && (*it)->success().name == action) return (*it)->URL();
  }
  return std::nullopt;
}

std::optional<QUrl> ImageLoader::URLForTarget(const QObject* target) const {
  for (auto it = connections_.rbegin(); it != connections_.rend(); ++it) {
    if ((*it)->targetId() == target) return (*it)->URL();
  }
  return std::nullopt;
}

bool ImageLoader::downloadRunningFor(const ImageLoadConnection& waiting) const {
  return std::any_of(connections_.begin(), connections_.end(), [&](const auto& c) {
    return c.get() != &waiting && c->isFetching() && !c->isCancelled() && c->URL() == waiting.URL();
  });
}

void ImageLoader::updateQueue() {
  // Transfers (and their decodes) still running count against the limit, so
  // that requests made one after another never run more than
  // `concurrentLoads` downloads at once.
  unsigned running = static_cast<unsigned>(std::count_if(connections_.begin(), connections_.end(), [](const auto& c) {
    return c->isLoading() && c->isFetching() && !c->isCancelled();
  }));
  const auto snapshot = connections_;  // start() never changes the queue; stay safe anyway
  for (const auto& c : snapshot) {
    if (c->isLoading()) continue;
    const bool cached = cache_ && !c->URL().isEmpty() && !ImageLoadConnection::isResourceURL(c->URL()) &&
                        cache_->contains(c->key());
    if (cached || c->URL().isEmpty()) {
      c->start(fetcher_, loadingTimeout_);
      continue;
    }
    if (downloadRunningFor(*c)) continue;  // served by that download
    if (running >= concurrentLoads_) continue;
    c->start(fetcher_, loadingTimeout_);
    ++running;
  }
}

void ImageLoader::notified(const QString& name, QObject* object, const QVariantMap& userInfo) {
  if (name == ImageLoadNotificationCenter::kDidFinish) {
    imageLoaded(userInfo.value(QStringLiteral("URL")).toUrl(), userInfo.value(QStringLiteral("image")).value<QImage>());
  } else if (name == ImageLoadNotificationCenter::kDidFail) {
    imageFailed(userInfo.value(QStringLiteral("URL")).toUrl(),
                userInfo.value(QStringLiteral("error")).value<ImageLoadError>());
  } else if (name == ImageLoadNotificationCenter::kTargetReleased) {
    targetReleased(object);
  }
}

void ImageLoader::imageLoaded(const QUrl& url, const QImage& image) {
  // Settle the queue first, then call back: a callback may queue new requests.
  std::vector<std::shared_ptr<ImageLoadConnection>> served;
  for (std::size_t i = connections_.size(); i-- > 0;) {
    if (i >= connections_.size()) continue;
    const auto c = connections_[i];
    if (c->URL() != url) continue;
    if (c->hasTarget()) {
      // Earlier requests of the same target and action are superseded.
      for (std::size_t j = i; j-- > 0;) {
        if (!sameTargetAndAction(*connections_[j], *c)) continue;
        connections_[j]->cancel();
        connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(j));
        --i;
      }
    }
    c->cancel();
    connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(i));
    served.push_back(c);
  }
  for (const auto& c : served) c->invokeSuccess(image, c->URL());
  updateQueue();
}

void ImageLoader::imageFailed(const QUrl& url, const ImageLoadError& error) {
  std::vector<std::shared_ptr<ImageLoadConnection>> failed;
  for (std::size_t i = connections_.size(); i-- > 0;) {
    const auto c = connections_[i];
    if (c->URL() != url) continue;
    c->cancel();
    connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(i));
    failed.push_back(c);
  }
  for (const auto& c : failed) c->invokeFailure(error, url);
  updateQueue();
}

void ImageLoader::targetReleased(const void* target) {
  if (!target) return;
  cancelAndRemove([&](const ImageLoadConnection& c) { return c.targetId() == target; });
  updateQueue();
}

}  // namespace orv::toolkit
