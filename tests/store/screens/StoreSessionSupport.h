#pragma once
// What every store screen suite sets up: the offscreen application with
// animations at speed 0 (their completions still run) and session traffic
// handed to the GUI thread, the store's texts and screens, and the shared
// client connected and logged into the zone of a reference server on
// loopback, with the settings store in the server's folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <functional>
#include <string>

#include "client/ORVClient.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/Config.h"
#include "store/screens/GuiMainQueue.h"
#include "store/screens/StoreScreens.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/LocalReferenceServer.h"
#include "toolkit/AnimationSettings.h"
#include "wire/ORVRequest.h"

namespace orv::test {

// Runs a screen suite's `tests` (RUN_ALL_TESTS and what the suite does around
// it) in the offscreen application, with gtest initialised; with a
// `sourceDir`, the store's Vietnamese texts are loaded from the source tree
// and its screens registered by name first.
inline int runScreenSuite(int argc, char** argv, const char* sourceDir, const std::function<int()>& tests) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  orv::toolkit::AnimationSettings::setSpeed(0);
  orv::store::GuiMainQueue::installIfNone();
  if (sourceDir) {
    orv::loadLocalizedStrings(std::filesystem::path(sourceDir) / "store/resources/strings.vi.json");
    orv::store::registerStoreScreens();
  }
  ::testing::InitGoogleTest(&argc, argv);
  return tests();
}

// Points the store at `server` and logs the shared client in; "" or why not.
inline std::string connectStore(LocalReferenceServer& server) {
  orv::store::StoreDeployment deployment;
  deployment.sessionHost = "127.0.0.1";
  deployment.sessionPort = server.sessionPort();
  deployment.apiBase = server.httpBase();
  deployment.mediaBase = server.httpBase() + "/media/";
  deployment.registerBase = server.httpBase();
  deployment.shareBase = server.httpBase();
  orv::store::Config::setDeployment(deployment);
  orv::SettingsStore::useStandardFile(server.folder() / "settings.json");
  auto client = orv::store::Config::sharedClient();
  auto events = EventRecorder::attach(*client);
  client->connect("127.0.0.1", server.sessionPort(), 5);
  auto connected = events->waitFor(ORVEventTypeConnection);
  const bool* success = connected ? connected->parameter<bool>("success") : nullptr;
  if (!success || !*success) return "no connection";
  client->sendRequest(ORVRequest::loginRequestWithZone(orv::store::Config::kZone, "", ""));
  if (!events->waitFor(ORVEventTypeLogin)) return "no login";
  for (int32_t type : {0, 1, 2, 3, 5, 6, 7}) client->removeEventHandler(events, type);
  return {};
}

}  // namespace orv::test
