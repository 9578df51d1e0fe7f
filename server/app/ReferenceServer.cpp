#include "server/app/ReferenceServer.h"

#include "server/app/SessionAdminAdapter.h"
#include "server/session/SessionServer.h"
#include "server/store/Catalogue.h"
#include "server/store/CatalogueSeeder.h"
#include "server/store/OtpService.h"
#include "server/store/StoreCommands.h"
#include "server/store/StoreHttpServer.h"

namespace orv::server {

ReferenceServer::ReferenceServer(ReferenceServerOptions options)
    : options_(std::move(options)), session_(std::make_unique<SessionServer>(options_.session)) {}

ReferenceServer::~ReferenceServer() { stop(); }

bool ReferenceServer::start(std::string& error) {
  if (options_.store) {
    std::error_code ec;
    const auto parent = options_.database.parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    catalogue_ = Catalogue::open(options_.database);
    if (!catalogue_) {
      error = "cannot open the database " + options_.database.string();
      return false;
    }
    const auto media = options_.mediaFolder();
    if (!CatalogueSeeder::seedIfEmpty(*catalogue_, media)) {
      error = "cannot seed the database " + options_.database.string() + " or draw its pictures into " +
              media.string();
      return false;
    }
    otp_ = std::make_unique<OtpService>();
    commands_ = std::make_shared<StoreCommands>(*catalogue_);
    session_->router().addFallback(
        [commands = commands_](std::string_view command, const ORVDataObjectPtr& content, std::string_view peer) {
          return commands->handle(command, content, peer);
        });
    StoreHttpConfig http = options_.http;
    http.mediaDir = media;
    http_ = std::make_unique<StoreHttpServer>(*catalogue_, *otp_, std::move(http));
  }
  // The HTTP side first: starting it fixes the catalogue's picture and
  // download URLs, before the first store command is answered with them.
  if (http_ && !http_->start()) {
    error = "cannot listen on " + options_.http.bindHost + ":" + std::to_string(options_.http.port) + " for HTTP";
    stop();
    return false;
  }
  if (!session_->start(error)) {
    stop();
    return false;
  }
  if (http_) http_->setSessionAdmin(std::make_shared<SessionAdminAdapter>(*session_));
  return true;
}

void ReferenceServer::stop() {
  if (http_) {
    http_->stop();
    http_->setSessionAdmin(nullptr);
  }
  session_->stop();
}

std::string ReferenceServer::sessionAddress() const { return session_->listeningAddress(); }

std::string ReferenceServer::httpAddress() const {
  if (!http_) return "";
  const std::string& host = options_.http.bindHost;
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(http_->port());
}

uint16_t ReferenceServer::sessionPort() const { return session_->port(); }
int ReferenceServer::httpPort() const { return http_ ? http_->port() : 0; }

}  // namespace orv::server
