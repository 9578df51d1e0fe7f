#pragma once
// The whole reference server (sessions, store commands, HTTP services) started
// in-process on free loopback ports over a fresh seeded catalogue in a
// temporary folder, for suites that need real servers. The folder is removed
// when the object goes.
//
//   auto server = orv::test::LocalReferenceServer::start({"--msisdn-for", "127.0.0.1=84912000001"});
//   ASSERT_TRUE(server) << orv::test::LocalReferenceServer::lastError();
//   server->sessionPort(); server->httpBase();   // "http://127.0.0.1:PORT"

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "server/app/ReferenceServer.h"
#include "server/app/ReferenceServerOptions.h"

namespace orv::test {

class LocalReferenceServer {
 public:
  // Extra command-line options are appended to the loopback ports and the
  // database path. Null (and lastError()) when the server does not start.
  static std::unique_ptr<LocalReferenceServer> start(const std::vector<std::string>& extraOptions = {}) {
    char pattern[] = "/tmp/orv-test-server-XXXXXX";
    if (!mkdtemp(pattern)) {
      error() = "mkdtemp failed";
      return nullptr;
    }
    std::unique_ptr<LocalReferenceServer> self(new LocalReferenceServer(pattern));
    std::vector<std::string> args{"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--db",
                                  (self->dir_ / "store.db").string()};
    args.insert(args.end(), extraOptions.begin(), extraOptions.end());
    orv::server::ReferenceServerOptions options;
    if (!orv::server::ReferenceServerOptions::parse(args, options, error())) return nullptr;
    self->server_ = std::make_unique<orv::server::ReferenceServer>(std::move(options));
    if (!self->server_->start(error())) return nullptr;
    return self;
  }
  static const std::string& lastError() { return error(); }

  ~LocalReferenceServer() {
    if (server_) server_->stop();
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  uint16_t sessionPort() const { return server_->sessionPort(); }
  int httpPort() const { return server_->httpPort(); }
  // "http://127.0.0.1:PORT", the base of every HTTP service (no trailing "/").
  std::string httpBase() const { return "http://127.0.0.1:" + std::to_string(server_->httpPort()); }
  orv::server::ReferenceServer& server() { return *server_; }
  const std::filesystem::path& folder() const { return dir_; }

 private:
  explicit LocalReferenceServer(std::filesystem::path dir) : dir_(std::move(dir)) {}
  static std::string& error() {
    static std::string text;
    return text;
  }

  std::filesystem::path dir_;
  std::unique_ptr<orv::server::ReferenceServer> server_;
};

}  // namespace orv::test
