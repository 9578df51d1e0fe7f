#include "server/session/SessionServices.h"

#include "transport/ORVSnappyCompressor.h"

namespace orv::server {

SessionServices::SessionServices(ServerOptions serverOptions)
    : options(std::move(serverOptions)),
      table(options.effectiveZones(), std::chrono::seconds(options.reconnectionTimeoutSeconds)),
      compressor(std::make_shared<ORVSnappyCompressor>()) {}

void SessionServices::registerConnection(SessionTable::ConnectionId id,
                                         const std::shared_ptr<SessionConnection>& connection) {
  std::lock_guard lock(mutex_);
  connections_[id] = connection;
}

void SessionServices::unregisterConnection(SessionTable::ConnectionId id) {
  std::lock_guard lock(mutex_);
  connections_.erase(id);
}

std::shared_ptr<SessionConnection> SessionServices::connection(SessionTable::ConnectionId id) const {
  std::lock_guard lock(mutex_);
  auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.lock();
}

std::vector<std::shared_ptr<SessionConnection>> SessionServices::connections() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<SessionConnection>> out;
  out.reserve(connections_.size());
  for (const auto& [id, weak] : connections_) {
    if (auto strong = weak.lock()) out.push_back(std::move(strong));
  }
  return out;
}

size_t SessionServices::connectionCount() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

}  // namespace orv::server
