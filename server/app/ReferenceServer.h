#pragma once
// The whole reference server in one object: the session server, and unless
// the store is turned off, the catalogue (opened, migrated, seeded), the
// store's extension commands on the session server's router, the HTTP
// services and the admin endpoints wired to the session server.
//
//   ReferenceServer server(options);
//   if (!server.start(error)) ...
//   server.sessionAddress(), server.httpAddress()
//   server.stop();   // or let the destructor do it

#include <memory>
#include <string>

#include "server/app/ReferenceServerOptions.h"

namespace orv::server {

class Catalogue;
class OtpService;
class SessionServer;
class StoreCommands;
class StoreHttpServer;

class ReferenceServer {
 public:
  explicit ReferenceServer(ReferenceServerOptions options);
  ~ReferenceServer();
  ReferenceServer(const ReferenceServer&) = delete;
  ReferenceServer& operator=(const ReferenceServer&) = delete;

  // Opens and seeds the catalogue, then starts the HTTP side, then the
  // session side. False with a reason when any of it fails; what was started is
  // stopped again.
  bool start(std::string& error);
  // Stops the HTTP side first (its admin endpoints call the session server),
  // then the session side. Idempotent.
  void stop();

  // "HOST:PORT" with the bound ports; httpAddress() is "" with --no-store.
  std::string sessionAddress() const;
  std::string httpAddress() const;
  uint16_t sessionPort() const;
  int httpPort() const;

  SessionServer& sessionServer() { return *session_; }
  // Null with --no-store or before start().
  Catalogue* catalogue() { return catalogue_.get(); }
  OtpService* otp() { return otp_.get(); }

 private:
  ReferenceServerOptions options_;
  std::unique_ptr<Catalogue> catalogue_;
  std::unique_ptr<OtpService> otp_;
  std::shared_ptr<StoreCommands> commands_;
  std::unique_ptr<SessionServer> session_;
  std::unique_ptr<StoreHttpServer> http_;
};

}  // namespace orv::server
