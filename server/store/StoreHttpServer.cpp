#include "server/store/StoreHttpServer.h"

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <nlohmann/json.hpp>

#include "platform/Log.h"
#include "server/store/Catalogue.h"
#include "server/store/DeviceRegistrationForm.h"
#include "server/store/OtpService.h"
#include "server/store/SessionAdmin.h"
#include "server/store/SharePage.h"

namespace orv::server {
namespace {

constexpr const char* kText = "text/plain; charset=utf-8";

// The address a peer is known by in the lookup table: IPv4-mapped IPv6
// addresses are written as plain IPv4.
std::string_view plainAddress(std::string_view address) {
  constexpr std::string_view kMapped = "::ffff:";
  if (address.substr(0, kMapped.size()) == kMapped && address.find('.') != std::string_view::npos) {
    address.remove_prefix(kMapped.size());
  }
  return address;
}

bool parseInt32(std::string_view text, int32_t& out) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

int64_t nowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool StoreHttpConfig::parseAddressTable(std::string_view text) {
  std::map<std::string, std::string, std::less<>> table;
  size_t i = 0;
  while (i < text.size()) {
    const size_t end = std::min(text.find_first_of(", \t\r\n", i), text.size());
    const std::string_view entry = text.substr(i, end - i);
    i = end + 1;
    if (entry.empty()) continue;
    const size_t eq = entry.find('=');
    if (eq == 0 || eq == std::string_view::npos || !OtpService::isValidMsisdn(entry.substr(eq + 1))) return false;
    table[std::string(plainAddress(entry.substr(0, eq)))] = std::string(entry.substr(eq + 1));
  }
  for (auto& [address, number] : table) msisdnByAddress[address] = number;
  return true;
}

StoreHttpServer::StoreHttpServer(Catalogue& catalogue, OtpService& otp, StoreHttpConfig config)
    : catalogue_(catalogue),
      otp_(otp),
      config_(std::move(config)),
      media_(config_.mediaDir),
      server_(std::make_unique<httplib::Server>()) {
  const int threads = std::max(1, config_.threads);
  server_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  server_->set_payload_max_length(64 * 1024);
  server_->set_keep_alive_timeout(5);
  routes();
}

StoreHttpServer::~StoreHttpServer() { stop(); }

bool StoreHttpServer::isLoopback(std::string_view host) {
  host = plainAddress(host);
  if (host == "localhost" || host == "::1" || host == "[::1]") return true;
  return host.substr(0, 4) == "127.";
}

bool StoreHttpServer::adminAvailable() const { return config_.adminEnabled && isLoopback(config_.bindHost); }

std::string StoreHttpServer::baseUrl() const {
  const bool v6 = config_.bindHost.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + config_.bindHost + "]" : config_.bindHost) + ":" + std::to_string(port_.load()) +
         "/";
}

bool StoreHttpServer::start() {
  if (thread_.joinable()) return true;
  int port = config_.port;
  if (port == 0) {
    port = server_->bind_to_any_port(config_.bindHost);
    if (port <= 0) port = -1;
  } else if (!server_->bind_to_port(config_.bindHost, port)) {
    port = -1;
  }
  if (port < 0) {
    orv::log("StoreHttpServer::start",
             "cannot bind " + config_.bindHost + ":" + std::to_string(config_.port));
    return false;
  }
  port_ = port;
  catalogue_.setMediaBaseUrl(config_.publicBaseUrl.empty() ? baseUrl() : config_.publicBaseUrl);
  listenEnded_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  // stop() only reaches a server that has entered its accept loop; a loop
  // that ended at once must not keep us waiting.
  while (!server_->is_running() && !listenEnded_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  orv::log("StoreHttpServer::start", "serving on " + baseUrl());
  return true;
}

void StoreHttpServer::stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

void StoreHttpServer::setSessionAdmin(std::shared_ptr<SessionAdmin> admin) {
  std::lock_guard lock(adminMutex_);
  admin_ = std::move(admin);
}

std::shared_ptr<SessionAdmin> StoreHttpServer::sessionAdmin() const {
  std::lock_guard lock(adminMutex_);
  return admin_;
}

void StoreHttpServer::routes() {
  using httplib::Request;
  using httplib::Response;
  auto bindTo = [this](void (StoreHttpServer::*handler)(const Request&, Response&)) {
    return [this, handler](const Request& req, Response& res) { (this->*handler)(req, res); };
  };
  server_->Get("/api.ashx", bindTo(&StoreHttpServer::signIn));
  server_->Get("/dev/otp", bindTo(&StoreHttpServer::devOtp));
  server_->Get("/media/(.*)", bindTo(&StoreHttpServer::media));
  server_->Post("/register/default.aspx", bindTo(&StoreHttpServer::registerDevice));
  server_->Get("/mobile/share/share.html", bindTo(&StoreHttpServer::share));
  server_->Get(R"(/download/(\d{1,9}))", bindTo(&StoreHttpServer::download));
  server_->Get("/admin/sessions", bindTo(&StoreHttpServer::adminList));
  server_->Post(R"(/admin/sessions/([A-Za-z0-9_.:-]{1,128})/(kick|ban|logout))",
                bindTo(&StoreHttpServer::adminAction));
  server_->set_exception_handler([](const Request&, Response& res, std::exception_ptr ep) {
    try {
      if (ep) std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      orv::log("StoreHttpServer::handler", std::string("exception: ") + e.what());
    } catch (...) {
      orv::log("StoreHttpServer::handler", "unknown exception");
    }
    res.status = 500;
    res.set_content("internal error", kText);
  });
}

// The sign-in API. Every answer is 200 with one line "code|value": the client
// reads only the body.
void StoreHttpServer::signIn(const httplib::Request& req, httplib::Response& res) {
  const std::string type = req.get_param_value("type");
  // The store puts the typed number into the query without escaping, so a
  // leading '+' arrives decoded as a blank: read it back as '+'.
  std::string msisdn = req.get_param_value("msisdn");
  if (!msisdn.empty() && msisdn.front() == ' ') msisdn.front() = '+';
  std::string answer;
  if (type == "getmsisdn") {
    const auto it = config_.msisdnByAddress.find(plainAddress(req.remote_addr));
    answer = it == config_.msisdnByAddress.end() ? "1|" : "0|" + it->second;
  } else if (type == "getotp") {
    const auto result = otp_.issue(msisdn);
    answer = result == OtpService::IssueResult::kIssued ? "0|" : "1|" + std::string(OtpService::reason(result));
  } else if (type == "checkotp") {
    const auto result = otp_.check(msisdn, req.get_param_value("otp"));
    answer = result == OtpService::CheckResult::kAccepted ? "0|" + msisdn
                                                          : "1|" + std::string(OtpService::reason(result));
  } else {
    answer = "1|unknown type";
  }
  orv::log("StoreHttpServer::signIn", req.remote_addr + " " + type + " -> " + answer);
  res.set_content(answer, kText);
}

void StoreHttpServer::devOtp(const httplib::Request& req, httplib::Response& res) {
  if (!config_.devOtpPage || !isLoopback(req.remote_addr)) {
    res.status = 403;
    res.set_content("forbidden", kText);
    return;
  }
  const auto password = otp_.current(req.get_param_value("msisdn"));
  if (!password) {
    res.status = 404;
    res.set_content("no live password", kText);
    return;
  }
  res.set_content(*password, kText);
}

void StoreHttpServer::media(const httplib::Request& req, httplib::Response& res) {
  const auto file = media_.read(req.matches[1].str());
  if (!file) {
    res.status = 404;
    res.set_content("not found", kText);
    return;
  }
  res.set_header("Cache-Control", "public, max-age=86400");
  res.set_header("ETag", file->etag);
  res.set_header("Last-Modified", file->lastModified);
  if (req.get_header_value("If-None-Match") == file->etag) {
    res.status = 304;
    return;
  }
  res.set_content(file->body, file->contentType.c_str());
}

void StoreHttpServer::registerDevice(const httplib::Request& req, httplib::Response& res) {
  const std::string type = req.get_header_value("Content-Type");
  if (type.substr(0, type.find(';')) != "application/x-www-form-urlencoded") {
    res.status = 415;
    res.set_content("expected application/x-www-form-urlencoded", kText);
    return;
  }
  std::string error;
  const auto registration = DeviceRegistrationForm::parse(req.body, error);
  if (!registration) {
    orv::log("StoreHttpServer::registerDevice", "refused from " + req.remote_addr + ": " + error);
    res.status = 400;
    res.set_content(error, kText);
    return;
  }
  if (!catalogue_.storeDeviceRegistration(*registration, nowMillis())) {
    res.status = 500;
    res.set_content("not stored", kText);
    return;
  }
  res.set_content("OK", kText);
}

void StoreHttpServer::share(const httplib::Request& req, httplib::Response& res) {
  int32_t id = 0;
  const auto detail = parseInt32(req.get_param_value("id"), id) ? catalogue_.gameDetail(id) : std::nullopt;
  if (!detail) {
    res.status = 404;
    res.set_content("<!DOCTYPE html><html><body><p>Không tìm thấy trò chơi.</p></body></html>",
                    "text/html; charset=utf-8");
    return;
  }
  res.set_content(SharePage::render(*detail), "text/html; charset=utf-8");
}

void StoreHttpServer::download(const httplib::Request& req, httplib::Response& res) {
  int32_t id = 0;
  const auto detail = parseInt32(req.matches[1].str(), id) ? catalogue_.gameDetail(id) : std::nullopt;
  if (!detail) {
    res.status = 404;
    res.set_content("not found", kText);
    return;
  }
  // The reference store has no real packages: the file names the game and
  // its version so a demo can show what was "installed".
  res.set_header("Content-Disposition", "attachment; filename=\"game-" + std::to_string(id) + ".pkg\"");
  res.set_content("orvik package\nid=" + std::to_string(id) + "\ntitle=" + detail->game.title +
                      "\nversion=" + detail->game.version + "\n",
                  "application/octet-stream");
}

std::shared_ptr<SessionAdmin> StoreHttpServer::adminFor(const httplib::Request& req, httplib::Response& res) {
  if (!adminAvailable() || !isLoopback(req.remote_addr)) {
    res.status = 403;
    res.set_content("admin endpoints answer only on loopback", kText);
    return nullptr;
  }
  auto admin = sessionAdmin();
  if (!admin) {
    res.status = 503;
    res.set_content("no session server attached", kText);
  }
  return admin;
}

void StoreHttpServer::adminList(const httplib::Request& req, httplib::Response& res) {
  const auto admin = adminFor(req, res);
  if (!admin) return;
  nlohmann::json list = nlohmann::json::array();
  for (const auto& s : admin->listSessions()) {
    list.push_back({{"id", s.id}, {"peer", s.peer}, {"zone", s.zone}, {"user", s.user},
                    {"connectedAt", s.connectedAtMillis}});
  }
  res.set_content(list.dump(), "application/json");
}

void StoreHttpServer::adminAction(const httplib::Request& req, httplib::Response& res) {
  const auto admin = adminFor(req, res);
  if (!admin) return;
  const std::string id = req.matches[1].str();
  const std::string action = req.matches[2].str();
  bool found = false;
  if (action == "kick") {
    found = admin->kick(id);
  } else if (action == "ban") {
    found = admin->ban(id);
  } else {
    found = admin->forceLogout(id);
  }
  orv::log("StoreHttpServer::adminAction", action + " " + id + (found ? " done" : " unknown session"));
  res.status = found ? 200 : 404;
  res.set_content(found ? "OK" : "unknown session", kText);
}

}  // namespace orv::server
