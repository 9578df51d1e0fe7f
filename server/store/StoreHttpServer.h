#pragma once
// The store's HTTP services on one port, each on its own path:
//   /api.ashx?type=getmsisdn | getotp&msisdn=N | checkotp&msisdn=N&otp=P
//                                  sign-in API, one-line "code|value" answers
//   /dev/otp?msisdn=N              the live password, for demos (loopback only)
//   /media/<path>                  pictures of the media folder
//   /register/default.aspx         device registration form (POST)
//   /mobile/share/share.html?id=N  the page of a shared game
//   /download/N                    the install package of a game (a stand-in
//                                  file; the purchase command answers its URL)
//   /admin/sessions, /admin/sessions/<id>/{kick,ban,logout}
//                                  session administration (loopback only)
// It runs on its own threads from start() to stop().

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "server/store/MediaFolder.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace orv::server {

class Catalogue;
class OtpService;
class SessionAdmin;

struct StoreHttpConfig {
  std::string bindHost = "127.0.0.1";
  int port = 0;  // 0: any free port, see StoreHttpServer::port()
  std::filesystem::path mediaDir;
  // Base URL of the media server as clients reach it ("http://host:port/").
  // Empty: the address the server is bound to.
  std::string publicBaseUrl;
  // Requesting address -> phone number, for the number lookup.
  std::map<std::string, std::string, std::less<>> msisdnByAddress;
  // Admin endpoints; they answer only when this is set, the server is bound to
  // a loopback address and the caller is on loopback.
  bool adminEnabled = true;
  // /dev/otp shows live passwords to loopback callers; off for a real
  // deployment.
  bool devOtpPage = true;
  int threads = 8;

  // Parses "ADDRESS=NUMBER" entries separated by commas, blanks or line
  // breaks into msisdnByAddress; false (table unchanged) on a malformed entry.
  bool parseAddressTable(std::string_view text);
};

class StoreHttpServer {
 public:
  // The catalogue and password service must outlive the server.
  StoreHttpServer(Catalogue& catalogue, OtpService& otp, StoreHttpConfig config);
  ~StoreHttpServer();
  StoreHttpServer(const StoreHttpServer&) = delete;
  StoreHttpServer& operator=(const StoreHttpServer&) = delete;

  // Binds, points the catalogue's picture URLs at this server (unless a public
  // base URL is configured) and starts serving. False, with a log line, when
  // the address cannot be bound.
  bool start();
  // Stops serving and joins the threads; also done by the destructor.
  void stop();

  int port() const { return port_; }
  // "http://host:port/"
  std::string baseUrl() const;
  // Whether the admin endpoints answer at all (configuration and bind address).
  bool adminAvailable() const;

  void setSessionAdmin(std::shared_ptr<SessionAdmin> admin);

  // 127.0.0.0/8, ::1, their IPv4-mapped forms and "localhost".
  static bool isLoopback(std::string_view host);

 private:
  void routes();
  void signIn(const httplib::Request& req, httplib::Response& res);
  void devOtp(const httplib::Request& req, httplib::Response& res);
  void media(const httplib::Request& req, httplib::Response& res);
  void registerDevice(const httplib::Request& req, httplib::Response& res);
  void share(const httplib::Request& req, httplib::Response& res);
  void download(const httplib::Request& req, httplib::Response& res);
  void adminList(const httplib::Request& req, httplib::Response& res);
  void adminAction(const httplib::Request& req, httplib::Response& res);
  // The attached session admin when this request may use it; otherwise
  // answers 403 (not loopback) or 503 (none attached) and gives nullptr.
  std::shared_ptr<SessionAdmin> adminFor(const httplib::Request& req, httplib::Response& res);
  std::shared_ptr<SessionAdmin> sessionAdmin() const;

  Catalogue& catalogue_;
  OtpService& otp_;
  StoreHttpConfig config_;
  MediaFolder media_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<int> port_{0};
  std::atomic<bool> listenEnded_{false};
  mutable std::mutex adminMutex_;
  std::shared_ptr<SessionAdmin> admin_;
};

}  // namespace orv::server
