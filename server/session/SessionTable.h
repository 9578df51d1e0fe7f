#pragma once
// The server's table of sessions: who owns which session, which sessions may
// still be resumed, who is logged in where, and who is banned.
//
// The table knows nothing of sockets. A connection is named by a number that
// the server hands out; the table records which connection owns a session, and
// when a session lost its connection, so that a later handshake naming it can
// resume it within the reconnection time-out. Every method is thread-safe: the
// connections' strands and the administration calls use it concurrently.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <map>
#include <vector>

namespace orv::server {

// One session as the administration sees it.
struct SessionInfo {
  std::string sessionId;
  std::string peerAddress;  // address of the connection that opened or last resumed it
  bool connected = false;   // a connection owns it right now
  bool loggedIn = false;
  std::string zone;
  std::string userName;
  int32_t userId = 0;
  int64_t openedAtMillis = 0;  // wall-clock time the session was opened
};

// Error codes ("ec") of the server's refusals, with the texts ("em") of
// command errors. The values are this server's own.
enum class SessionError : int32_t {
  None = 0,
  MissingVersion = 1,     // handshake without "v"
  HandshakeRequired = 2,  // a request before a successful handshake
  AlreadyHandshaken = 3,  // a second handshake on one connection
  UnknownZone = 4,
  AlreadyLoggedIn = 5,
  NotLoggedIn = 6,
  Banned = 7,
  UnknownCommand = 8,
  ReplyTooLarge = 9,
  CommandFailed = 10,  // a command handler threw
};

class SessionTable {
 public:
  using Clock = std::chrono::steady_clock;
  using ConnectionId = uint64_t;  // 0 = no connection

  struct Opened {
    std::string sessionId;
    bool resumed = false;
    // The connection that owned the resumed session until now (the client came
    // back before the server noticed the old connection die); 0 if none.
    ConnectionId displaced = 0;
  };

  struct LoginResult {
    SessionError error = SessionError::None;
    int32_t userId = 0;
  };

  SessionTable(std::vector<std::string> zones, std::chrono::seconds reconnectionTimeout);

  // Resumes `requestedId` when that session exists and either lost its
  // connection at most the reconnection time-out ago or is still owned by a
  // connection (which is displaced); otherwise opens a new session with a new
  // random id. The connection becomes the owner.
  Opened open(std::string_view requestedId, ConnectionId connection, std::string_view peerAddress,
              Clock::time_point now);

  // Logs the session's user in. Refused for an unknown zone, a session already
  // logged in, a banned user name or a banned address.
  LoginResult login(std::string_view sessionId, std::string_view zone, std::string_view userName);
  // Ends the login; false when the session is not logged in.
  bool logout(std::string_view sessionId);

  // The connection lost its session's socket: the session waits to be resumed.
  // Does nothing when another connection owns the session by now.
  void detach(std::string_view sessionId, ConnectionId connection, Clock::time_point now);
  // Removes the session at once; false when it is unknown.
  bool forget(std::string_view sessionId);
  // Removes every detached session whose resume window has closed; returns how many.
  size_t sweep(Clock::time_point now);

  // Bans the session's user name (when not empty) and peer address, ends its
  // login and removes the session. Returns the owning connection (0 if none),
  // or nothing when the session is unknown.
  std::optional<ConnectionId> ban(std::string_view sessionId);
  // Ends the login and removes the session; same return as ban.
  std::optional<ConnectionId> remove(std::string_view sessionId);
  // Removes the session only while `connection` owns it (a connection that was
  // displaced by a resume must not remove the session it lost).
  bool forgetOwned(std::string_view sessionId, ConnectionId connection);

  bool isBanned(std::string_view userName, std::string_view peerAddress) const;
  std::optional<SessionInfo> find(std::string_view sessionId) const;
  std::vector<SessionInfo> list() const;
  size_t size() const;

  std::chrono::seconds reconnectionTimeout() const { return reconnectionTimeout_; }

  // 128 random bits from the system's cryptographic source, as 32 hex digits.
  static std::string newSessionId();

 private:
  struct Session {
    SessionInfo info;
    ConnectionId owner = 0;
    Clock::time_point lostAt{};
  };

  bool resumable(const Session& session, Clock::time_point now) const;
  bool isBannedLocked(std::string_view userName, std::string_view peerAddress) const;

  const std::vector<std::string> zones_;
  const std::chrono::seconds reconnectionTimeout_;
  mutable std::mutex mutex_;
  std::map<std::string, Session, std::less<>> sessions_;
  std::set<std::string, std::less<>> bannedNames_;
  std::set<std::string, std::less<>> bannedAddresses_;
  int32_t lastUserId_ = 0;
};

}  // namespace orv::server
