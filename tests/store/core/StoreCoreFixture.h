#pragma once
// A fresh settings file, device file and strings table for each store-core
// test, in a temporary folder removed afterwards.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/Application.h"
#include "platform/MainQueue.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "tests/support/LocalReferenceServer.h"

namespace orv::test {

class StoreCoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-store-core-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    settingsFile = dir / "settings.json";
    orv::SettingsStore::useStandardFile(settingsFile);
    orv::Application::shared().resetForTesting();
    orv::Application::shared().useDeviceFile(dir / "device.json");
    ASSERT_TRUE(orv::loadLocalizedStrings(ORV_SOURCE_DIR "/store/resources/strings.vi.json"));
  }
  void TearDown() override {
    orv::Application::shared().resetForTesting();
    orv::Application::overrideBuildInfoForTesting(std::nullopt, std::nullopt);
    orv::setMainQueue(nullptr);
    std::filesystem::remove_all(dir);
  }

  // One reference server for the whole process (starting one seeds a
  // catalogue and takes seconds); null when it cannot start.
  static orv::test::LocalReferenceServer* sharedServer() {
    static std::unique_ptr<orv::test::LocalReferenceServer> server = orv::test::LocalReferenceServer::start();
    return server.get();
  }
  // A loopback port that nothing listens on (just bound and released).
  static uint16_t freedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
  }

  std::filesystem::path dir;
  std::filesystem::path settingsFile;
};

}  // namespace orv::test
