#pragma once
// What the HTTP admin endpoints ask of the session server: list its sessions
// and end one of them with a reason. The session server implements it; the
// HTTP server only routes to it, and only for loopback callers.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::server {

struct SessionSummary {
  std::string id;    // the session's id as the session server names it
  std::string peer;  // "address:port" of the client
  std::string zone;  // "" before login
  std::string user;  // "" before login or for a guest
  int64_t connectedAtMillis = 0;
};

class SessionAdmin {
 public:
  virtual ~SessionAdmin() = default;
  virtual std::vector<SessionSummary> listSessions() = 0;
  // Each returns false when no session has that id.
  virtual bool kick(std::string_view sessionId) = 0;
  virtual bool ban(std::string_view sessionId) = 0;
  virtual bool forceLogout(std::string_view sessionId) = 0;
};

}  // namespace orv::server
