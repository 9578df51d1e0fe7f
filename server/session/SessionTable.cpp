#include "server/session/SessionTable.h"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>

namespace orv::server {

SessionTable::SessionTable(std::vector<std::string> zones, std::chrono::seconds reconnectionTimeout)
    : zones_(std::move(zones)), reconnectionTimeout_(reconnectionTimeout) {}

std::string SessionTable::newSessionId() {
  std::array<uint8_t, 16> bytes{};
  size_t filled = 0;
  while (filled < bytes.size()) {
    ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // Without a random source a session id would be guessable: refuse to go on.
      throw std::runtime_error("getrandom failed");
    }
    filled += static_cast<size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    id.push_back(kHex[b >> 4]);
    id.push_back(kHex[b & 0x0F]);
  }
  return id;
}

bool SessionTable::resumable(const Session& session, Clock::time_point now) const {
  // Owned sessions can be taken over; detached ones only inside the window.
  return session.owner != 0 || now - session.lostAt < reconnectionTimeout_;
}

SessionTable::Opened SessionTable::open(std::string_view requestedId, ConnectionId connection,
                                        std::string_view peerAddress, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  Opened result;
  if (!requestedId.empty()) {
    auto it = sessions_.find(requestedId);
    if (it != sessions_.end()) {
      if (resumable(it->second, now)) {
        result.sessionId = it->first;
        result.resumed = true;
        result.displaced = it->second.owner == connection ? 0 : it->second.owner;
        it->second.owner = connection;
        it->second.info.connected = true;
        it->second.info.peerAddress = std::string(peerAddress);
        return result;
      }
      sessions_.erase(it);  // its window closed before the sweep came by
    }
  }
  std::string id = newSessionId();
  while (sessions_.count(id) != 0) id = newSessionId();
  Session session;
  session.info.sessionId = id;
  session.info.peerAddress = std::string(peerAddress);
  session.info.connected = true;
  session.info.openedAtMillis = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
  session.owner = connection;
  sessions_.emplace(id, std::move(session));
  result.sessionId = std::move(id);
  return result;
}

SessionTable::LoginResult SessionTable::login(std::string_view sessionId, std::string_view zone,
                                              std::string_view userName) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end()) return {SessionError::HandshakeRequired, 0};
  SessionInfo& info = it->second.info;
  if (info.loggedIn) return {SessionError::AlreadyLoggedIn, 0};
  if (std::find(zones_.begin(), zones_.end(), zone) == zones_.end()) return {SessionError::UnknownZone, 0};
  if (isBannedLocked(userName, info.peerAddress)) return {SessionError::Banned, 0};
  info.loggedIn = true;
  info.zone = std::string(zone);
  info.userName = std::string(userName);
  info.userId = ++lastUserId_;
  return {SessionError::None, info.userId};
}

bool SessionTable::logout(std::string_view sessionId) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || !it->second.info.loggedIn) return false;
  SessionInfo& info = it->second.info;
  info.loggedIn = false;
  info.zone.clear();
  info.userName.clear();
  info.userId = 0;
  return true;
}

void SessionTable::detach(std::string_view sessionId, ConnectionId connection, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || it->second.owner != connection) return;
  it->second.owner = 0;
  it->second.info.connected = false;
  it->second.lostAt = now;
}

bool SessionTable::forget(std::string_view sessionId) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end()) return false;
  sessions_.erase(it);
  return true;
}

size_t SessionTable::sweep(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  return std::erase_if(sessions_, [&](const auto& entry) { return !resumable(entry.second, now); });
}

std::optional<SessionTable::ConnectionId> SessionTable::ban(std::string_view sessionId) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end()) return std::nullopt;
  const SessionInfo& info = it->second.info;
  // The empty name is every guest's: banning it would lock out all guests,
  // so an anonymous session is banned by its address alone.
  if (!info.userName.empty()) bannedNames_.insert(info.userName);
  if (!info.peerAddress.empty()) bannedAddresses_.insert(info.peerAddress);
  ConnectionId owner = it->second.owner;
  sessions_.erase(it);
  return owner;
}

std::optional<SessionTable::ConnectionId> SessionTable::remove(std::string_view sessionId) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end()) return std::nullopt;
  ConnectionId owner = it->second.owner;
  sessions_.erase(it);
  return owner;
}

bool SessionTable::forgetOwned(std::string_view sessionId, ConnectionId connection) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || it->second.owner != connection) return false;
  sessions_.erase(it);
  return true;
}

bool SessionTable::isBannedLocked(std::string_view userName, std::string_view peerAddress) const {
  return (!userName.empty() && bannedNames_.count(userName) != 0) || bannedAddresses_.count(peerAddress) != 0;
}

bool SessionTable::isBanned(std::string_view userName, std::string_view peerAddress) const {
  std::lock_guard lock(mutex_);
  return isBannedLocked(userName, peerAddress);
}

std::optional<SessionInfo> SessionTable::find(std::string_view sessionId) const {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end()) return std::nullopt;
  return it->second.info;
}

std::vector<SessionInfo> SessionTable::list() const {
  std::lock_guard lock(mutex_);
  std::vector<SessionInfo> out;
  out.reserve(sessions_.size());
  for (const auto& [id, session] : sessions_) out.push_back(session.info);
  return out;
}

size_t SessionTable::size() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

}  // namespace orv::server
