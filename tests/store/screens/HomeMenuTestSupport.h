#pragma once
// Shared set-up of the home and menu suites: a reference server on loopback
// (optionally over a catalogue the suite built), the shared client connected
// and logged into the zone, the settings store in a temporary file, and a
// phone-sized window holding the sliding navigation stack.

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "store/Config.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/LocalReferenceServer.h"
#include "wire/ORVRequest.h"

namespace orv::test {

// Starts the server (extra options as for LocalReferenceServer), points the
// store at it and logs the shared client in. Empty string on success, else why not.
inline std::string connectStore(std::unique_ptr<LocalReferenceServer>& server,
                                const std::vector<std::string>& options = {}) {
  server = LocalReferenceServer::start(options);
  if (!server) return "server: " + LocalReferenceServer::lastError();
  orv::store::StoreDeployment deployment;
  deployment.sessionHost = "127.0.0.1";
  deployment.sessionPort = server->sessionPort();
  deployment.apiBase = server->httpBase();
  deployment.mediaBase = server->httpBase() + "/media/";
  deployment.registerBase = server->httpBase();
  deployment.shareBase = server->httpBase();
  orv::store::Config::setDeployment(deployment);
  orv::SettingsStore::useStandardFile(server->folder() / "settings.json");

  auto client = orv::store::Config::sharedClient();
  auto events = EventRecorder::attach(*client);
  client->connect("127.0.0.1", server->sessionPort(), 5);
  auto connected = events->waitFor(ORVEventTypeConnection);
  const bool* success = connected ? connected->parameter<bool>("success") : nullptr;
  if (!success || !*success) return "no connection";
  client->sendRequest(ORVRequest::loginRequestWithZone(orv::store::Config::kZone, "", ""));
  if (!events->waitFor(ORVEventTypeLogin)) return "no login";
  for (int32_t type : {0, 1, 2, 3, 5, 6, 7}) client->removeEventHandler(events, type);
  return {};
}

}  // namespace orv::test
