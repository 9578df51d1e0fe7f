#pragma once
// The HTTP admin endpoints' view of the session server: lists its sessions
// and passes kick, ban and forced logout through.

#include "server/store/SessionAdmin.h"

namespace orv::server {

class SessionServer;

class SessionAdminAdapter : public SessionAdmin {
 public:
  // The session server must outlive every call; detach the adapter (or stop
  // the HTTP side) before the session server goes.
  explicit SessionAdminAdapter(SessionServer& server) : server_(server) {}

  std::vector<SessionSummary> listSessions() override;
  bool kick(std::string_view sessionId) override;
  bool ban(std::string_view sessionId) override;
  bool forceLogout(std::string_view sessionId) override;

 private:
  SessionServer& server_;
};

}  // namespace orv::server
