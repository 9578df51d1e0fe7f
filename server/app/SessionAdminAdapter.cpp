#include "server/app/SessionAdminAdapter.h"

#include "server/session/SessionServer.h"

namespace orv::server {

std::vector<SessionSummary> SessionAdminAdapter::listSessions() {
  std::vector<SessionSummary> out;
  for (const SessionInfo& info : server_.listSessions()) {
    // A detached session (waiting for a resume) is still listed: it can be
    // kicked or banned before its owner comes back.
    out.push_back({info.sessionId, info.peerAddress, info.zone, info.userName, info.openedAtMillis});
  }
  return out;
}

bool SessionAdminAdapter::kick(std::string_view sessionId) { return server_.kick(sessionId); }
bool SessionAdminAdapter::ban(std::string_view sessionId) { return server_.ban(sessionId); }
bool SessionAdminAdapter::forceLogout(std::string_view sessionId) { return server_.forceLogout(sessionId); }

}  // namespace orv::server
