#pragma once
// What every connection of one server shares: the settings, the session
// table, the command router, the compressor, and the registry that finds a
// live connection by its number (for notices sent from other threads).

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "server/session/ExtensionRouter.h"
#include "server/session/ServerOptions.h"
#include "server/session/SessionTable.h"
#include "transport/ORVCompressor.h"

namespace orv::server {

class SessionConnection;

struct SessionServices {
  explicit SessionServices(ServerOptions serverOptions);

  const ServerOptions options;
  SessionTable table;
  ExtensionRouter router;
  const ORVCompressorPtr compressor;

  SessionTable::ConnectionId nextConnectionId() { return ++lastConnectionId_; }

  void registerConnection(SessionTable::ConnectionId id, const std::shared_ptr<SessionConnection>& connection);
  void unregisterConnection(SessionTable::ConnectionId id);
  std::shared_ptr<SessionConnection> connection(SessionTable::ConnectionId id) const;
  std::vector<std::shared_ptr<SessionConnection>> connections() const;
  size_t connectionCount() const;

 private:
  std::atomic<SessionTable::ConnectionId> lastConnectionId_{0};
  mutable std::mutex mutex_;
  std::unordered_map<SessionTable::ConnectionId, std::weak_ptr<SessionConnection>> connections_;
};

}  // namespace orv::server
