#include "toolkit/image/HttpImageFetcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QThreadPool>

#include <mutex>
#include <unordered_map>

#include "platform/HttpClient.h"

namespace orv::toolkit {

namespace {

// Runs a task on the GUI thread, later. Dropped when the application is gone.
void postToGui(std::function<void()> task) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
  }
}

// A local path for file: and qrc: URLs, empty for anything else.
QString localPathOf(const QUrl& url) {
  if (url.isLocalFile()) return url.toLocalFile();
  if (url.scheme() == QLatin1String("qrc")) return QLatin1Char(':') + url.path();
  return {};
}

ImageFetchResult readFile(const QString& path, std::size_t maxBytes) {
  ImageFetchResult result;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = QStringLiteral("cannot read %1").arg(path);
    return result;
  }
  const qint64 size = file.size();
  if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes) {
    result.error = QStringLiteral("body too large");
    return result;
  }
  const QByteArray bytes = file.read(static_cast<qint64>(maxBytes) + 1);
  if (static_cast<std::size_t>(bytes.size()) > maxBytes) {
    result.error = QStringLiteral("body too large");
    return result;
  }
  result.ok = true;
  result.status = 200;
  result.body.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return result;
}

}  // namespace

// Tickets of running fetches. Only the GUI thread touches the maps; pool
// threads only post back to it.
struct HttpImageFetcher::State {
  std::shared_ptr<orv::HttpClient> client;
  std::size_t maxBytes = 0;
  Ticket nextTicket = 1;
  std::unordered_map<Ticket, orv::HttpClient::RequestId> http;
  std::unordered_map<Ticket, Completion> files;
};

HttpImageFetcher::HttpImageFetcher(std::shared_ptr<orv::HttpClient> client, std::size_t maxBytes)
    : state_(std::make_shared<State>()) {
  state_->client = client ? std::move(client) : orv::HttpClient::shared();
  state_->maxBytes = maxBytes;
}

HttpImageFetcher::~HttpImageFetcher() {
  for (const auto& [ticket, id] : state_->http) state_->client->cancel(id);
  state_->http.clear();
  state_->files.clear();
}

ImageFetcher::Ticket HttpImageFetcher::fetch(const QUrl& url, std::chrono::milliseconds timeout,
                                             Completion completion) {
  const Ticket ticket = state_->nextTicket++;
  std::weak_ptr<State> weak = state_;
  const QString localPath = localPathOf(url);
  if (!localPath.isEmpty()) {
    state_->files.emplace(ticket, std::move(completion));
    const std::size_t maxBytes = state_->maxBytes;
    QThreadPool::globalInstance()->start([weak, ticket, localPath, maxBytes] {
      auto result = std::make_shared<ImageFetchResult>(readFile(localPath, maxBytes));
      postToGui([weak, ticket, result] {
        const auto state = weak.lock();
        if (!state) return;
        const auto it = state->files.find(ticket);
        if (it == state->files.end()) return;  // cancelled
        Completion done = std::move(it->second);
        state->files.erase(it);
        done(std::move(*result));
      });
    });
    return ticket;
  }

  orv::HttpRequest request;
  request.url = url.toString(QUrl::FullyEncoded).toStdString();
  request.timeout = timeout;
  request.maxBodyBytes = state_->maxBytes;
  const auto id = state_->client->send(
      std::move(request), [](std::function<void()> task) { postToGui(std::move(task)); },
      [weak, ticket, done = std::move(completion)](const orv::HttpResult& answer) {
        const auto state = weak.lock();
        if (!state || state->http.erase(ticket) == 0) return;  // cancelled
        ImageFetchResult result;
        result.ok = answer.ok;
        result.status = answer.status;
        result.body = answer.body;
        result.error = QString::fromStdString(answer.error);
        done(std::move(result));
      });
  state_->http.emplace(ticket, id);
  return ticket;
}

void HttpImageFetcher::cancel(Ticket ticket) {
  if (const auto it = state_->http.find(ticket); it != state_->http.end()) {
    state_->client->cancel(it->second);
    state_->http.erase(it);
    return;
  }
  state_->files.erase(ticket);
}

}  // namespace orv::toolkit
