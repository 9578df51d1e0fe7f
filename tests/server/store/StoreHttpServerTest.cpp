#include "server/store/StoreHttpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "server/store/Catalogue.h"
#include "server/store/CatalogueSeeder.h"
#include "server/store/OtpService.h"
#include "server/store/SessionAdmin.h"
#include "tests/server/store/SeededStore.h"
#include "tests/support/LogCapture.h"

namespace orv::server {
namespace {

using test::SeededStore;
using namespace std::chrono_literals;

// Sends one request exactly as written (no client-side normalisation of the
// path) and returns the status code of the answer, 0 if none.
int rawStatus(int port, const std::string& target) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return 0;
  }
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) answer.append(buf, static_cast<size_t>(n));
  ::close(fd);
  // "HTTP/1.1 404 Not Found"
  if (answer.rfind("HTTP/1.", 0) != 0 || answer.size() < 12) return 0;
  return std::atoi(answer.substr(9, 3).c_str());
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

class FakeAdmin : public SessionAdmin {
 public:
  std::vector<SessionSummary> listSessions() override { return {{"s1", "127.0.0.1:5000", "kivmar", "", 42}}; }
  bool kick(std::string_view id) override { return record("kick", id); }
  bool ban(std::string_view id) override { return record("ban", id); }
  bool forceLogout(std::string_view id) override { return record("logout", id); }
  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  // Each request may be served on another of the server's threads.
  bool record(const char* what, std::string_view id) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::string(what) + " " + std::string(id));
    return id == "s1";
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

class StoreHttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The one-time passwords follow a clock the test moves by hand.
    otp_ = std::make_unique<OtpService>(
        [this] { return std::chrono::system_clock::time_point(std::chrono::seconds(now_.load())); },
                                        [this] { return nextRandom_++; });
    StoreHttpConfig config;
    config.mediaDir = store().media;
    ASSERT_TRUE(config.parseAddressTable("127.0.0.1=84912000001"));
    server_ = std::make_unique<StoreHttpServer>(*store().catalogue, *otp_, config);
    ASSERT_TRUE(server_->start());
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
  }
  static SeededStore& store() { return SeededStore::shared(); }
  std::string get(const std::string& path) {
    auto res = client_->Get(path.c_str());
    return res ? res->body : "<no answer>";
  }
  void advance(std::chrono::seconds s) { now_ += s.count(); }

  std::atomic<int64_t> now_{1'800'000'000};  // seconds since the epoch
  std::atomic<uint32_t> nextRandom_{123456};
  std::unique_ptr<OtpService> otp_;
  std::unique_ptr<StoreHttpServer> server_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(StoreHttpServerTest, NumberLookupByRequestingAddress) {
  EXPECT_EQ(get("/api.ashx?type=getmsisdn"), "0|84912000001");
  OtpService otp;
  StoreHttpConfig config;  // empty table
  StoreHttpServer other(*store().catalogue, otp, config);
  ASSERT_TRUE(other.start());
  httplib::Client c("127.0.0.1", other.port());
  EXPECT_EQ(c.Get("/api.ashx?type=getmsisdn")->body, "1|");
  EXPECT_EQ(get("/api.ashx?type=nothing"), "1|unknown type");
  StoreHttpConfig bad;
  EXPECT_FALSE(bad.parseAddressTable("10.0.0.1=84912000001,10.0.0.2"));
  EXPECT_TRUE(bad.msisdnByAddress.empty());
}

TEST_F(StoreHttpServerTest, PasswordRoundTripIsLoggedAndOneTime) {
  orv::test::LogCapture log;
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|");
  const std::string password = get("/dev/otp?msisdn=84987654321");
  ASSERT_EQ(password.size(), 6u);
  EXPECT_TRUE(log.containsText("password for 84987654321: " + password));
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + password), "0|84987654321");
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + password), "1|no password requested");
  EXPECT_EQ(client_->Get("/dev/otp?msisdn=84987654321")->status, 404);
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=12ab"), "1|invalid msisdn");
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84911111111&otp=123456"), "1|no password requested");
}

TEST_F(StoreHttpServerTest, FifthWrongTryKillsThePassword) {
  ASSERT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|");
  const std::string password = get("/dev/otp?msisdn=84987654321");
  const std::string wrong = password == "000000" ? "000001" : "000000";
  for (int i = 1; i < OtpService::kMaxTries; ++i) {
    EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + wrong), "1|wrong password") << i;
  }
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + wrong), "1|too many tries");
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + password), "1|no password requested");
}

TEST_F(StoreHttpServerTest, PasswordExpiresAfterFiveMinutes) {
  ASSERT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|");
  const std::string password = get("/dev/otp?msisdn=84987654321");
  advance(299s);
  EXPECT_EQ(get("/dev/otp?msisdn=84987654321"), password);
  advance(1s);
  EXPECT_EQ(get("/api.ashx?type=checkotp&msisdn=84987654321&otp=" + password), "1|password expired");
}

TEST_F(StoreHttpServerTest, IssuingIsLimitedPerNumber) {
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|");
  advance(29s);
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "1|too soon, try again later");
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84900000002"), "0|");  // other numbers unaffected
  advance(1s);
  for (int i = 2; i <= OtpService::kMaxPerHour; ++i) {
    EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|") << i;
    advance(30s);
  }
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "1|too many requests this hour");
  advance(3600s - 30s * OtpService::kMaxPerHour);  // the first one leaves the hour window
  EXPECT_EQ(get("/api.ashx?type=getotp&msisdn=84987654321"), "0|");
}

TEST_F(StoreHttpServerTest, MediaServesPicturesWithCachingAndRefusesEscapes) {
  auto res = client_->Get("/media/icons/1.png");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(res->body.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(res->get_header_value("Cache-Control"), "public, max-age=86400");
  EXPECT_FALSE(res->get_header_value("Last-Modified").empty());
  const std::string etag = res->get_header_value("ETag");
  ASSERT_FALSE(etag.empty());
  auto again = client_->Get("/media/icons/1.png", {{"If-None-Match", etag}});
  EXPECT_EQ(again->status, 304);
  EXPECT_TRUE(again->body.empty());

  // Icon URLs in the catalogue point at this server and load.
  const auto game = store().catalogue->categoryGames(1, Page{1, 0}).at(0);
  EXPECT_EQ(game.icon.rfind(server_->baseUrl() + "media/icons/", 0), 0u) << game.icon;
  EXPECT_EQ(client_->Get(game.icon.substr(server_->baseUrl().size() - 1).c_str())->status, 200);

  // A secret beside the media folder, and a symlink to it inside.
  std::ofstream(store().dir / "secret.txt") << "secret";
  std::filesystem::create_symlink(store().dir / "secret.txt", store().media / "link.png");
  const int port = server_->port();
  EXPECT_EQ(rawStatus(port, "/media/icons/1.png"), 200);
  for (const char* target : {"/media/icons/999.png", "/media/", "/media/../secret.txt", "/media/icons/../../secret.txt",
                             "/media/%2e%2e/secret.txt", "/media/icons/..%2f..%2fsecret.txt",
                             "/media/%252e%252e/secret.txt", "/media//etc/passwd", "/media/%2fetc%2fpasswd",
                             "/media/link.png", "/media/.hidden", "/media/icons/1.png%00.txt"}) {
    const int status = rawStatus(port, target);
    EXPECT_TRUE(status == 404 || status == 400) << target << " -> " << status;
  }
  std::filesystem::remove(store().media / "link.png");
}

TEST_F(StoreHttpServerTest, RegistrationFormIsStoredAndMalformedBodiesRefused) {
  const std::string body =
      "packageName=vn.orvik.store&versionName=1.0.3&versionCode=12&msisdn=&imei=6F9619FF-8B86-D011-B42D-00CF4FC964FF"
      "&regId=0aff&os=ios&email=";
  const auto before = store().catalogue->deviceRegistrations().size();
  auto res = client_->Post("/register/default.aspx", body, "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  const auto all = store().catalogue->deviceRegistrations();
  ASSERT_EQ(all.size(), before + 1);
  EXPECT_EQ(all.back().packageName, "vn.orvik.store");
  EXPECT_EQ(all.back().versionCode, 12);
  EXPECT_EQ(all.back().imei, "6F9619FF-8B86-D011-B42D-00CF4FC964FF");
  EXPECT_EQ(all.back().regId, "0aff");
  EXPECT_EQ(all.back().os, "ios");

  for (const std::string& bad : {std::string("packageName=x"), body + "&regId=again", body + "&x=%zz",
                                 std::string("garbage"), std::string(""),
                                 replaced(body, "versionCode=12", "versionCode=twelve"),
                                 replaced(body, "regId=0aff", "regId=")}) {
    auto r = client_->Post("/register/default.aspx", bad, "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 400) << bad;
  }
  EXPECT_EQ(client_->Post("/register/default.aspx", body, "application/json")->status, 415);
  EXPECT_EQ(store().catalogue->deviceRegistrations().size(), before + 1);
}

TEST_F(StoreHttpServerTest, SharePageAndDownloadsAnswerForKnownGamesOnly) {
  auto res = client_->Get("/mobile/share/share.html?id=1");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const auto detail = store().catalogue->gameDetail(1);
  EXPECT_NE(res->body.find("<h1>" + detail->game.title + "</h1>"), std::string::npos);
  EXPECT_NE(res->body.find(detail->banner), std::string::npos);
  // The description arrives as text: its tags are gone and its entities,
  // decoded to "<mới>", are escaped again.
  EXPECT_EQ(res->body.find("<li>"), std::string::npos);
  EXPECT_NE(res->body.find("&quot;Thử thách&quot; &lt;mới&gt;"), std::string::npos);
  for (const char* path : {"/mobile/share/share.html?id=99999", "/mobile/share/share.html?id=abc",
                           "/mobile/share/share.html", "/mobile/share/share.html?id=1x", "/download/99999",
                           "/download/abc"}) {
    EXPECT_EQ(client_->Get(path)->status, 404) << path;
  }
  auto package = client_->Get("/download/1");
  EXPECT_EQ(package->status, 200);
  EXPECT_NE(package->body.find("title=" + detail->game.title), std::string::npos);
}

TEST_F(StoreHttpServerTest, AdminEndpointsRouteToTheSessionServerOnLoopbackOnly) {
  EXPECT_EQ(client_->Get("/admin/sessions")->status, 503);  // nothing attached yet
  auto admin = std::make_shared<FakeAdmin>();
  server_->setSessionAdmin(admin);
  auto list = client_->Get("/admin/sessions");
  EXPECT_EQ(list->status, 200);
  EXPECT_EQ(list->body, R"([{"connectedAt":42,"id":"s1","peer":"127.0.0.1:5000","user":"","zone":"kivmar"}])");
  EXPECT_EQ(client_->Post("/admin/sessions/s1/kick")->status, 200);
  EXPECT_EQ(client_->Post("/admin/sessions/s1/ban")->status, 200);
  EXPECT_EQ(client_->Post("/admin/sessions/s1/logout")->status, 200);
  EXPECT_EQ(client_->Post("/admin/sessions/s9/kick")->status, 404);
  EXPECT_EQ(admin->calls(), (std::vector<std::string>{"kick s1", "ban s1", "logout s1", "kick s9"}));

  // A server configured for a public address keeps them shut; so does one
  // with admin switched off (which really serves, on loopback).
  StoreHttpConfig publicConfig;
  publicConfig.bindHost = "0.0.0.0";
  EXPECT_FALSE(StoreHttpServer(*store().catalogue, *otp_, publicConfig).adminAvailable());
  StoreHttpConfig off;
  off.adminEnabled = false;
  StoreHttpServer closed(*store().catalogue, *otp_, off);
  closed.setSessionAdmin(admin);
  ASSERT_TRUE(closed.start());
  httplib::Client c("127.0.0.1", closed.port());
  EXPECT_EQ(c.Get("/admin/sessions")->status, 403);
  EXPECT_EQ(c.Post("/admin/sessions/s1/kick")->status, 403);
  EXPECT_EQ(admin->calls().size(), 4u);

  for (const char* host : {"127.0.0.1", "127.8.9.10", "::1", "::ffff:127.0.0.1", "localhost"}) {
    EXPECT_TRUE(StoreHttpServer::isLoopback(host)) << host;
  }
  for (const char* host : {"0.0.0.0", "::", "10.1.2.3", "::ffff:10.0.0.1", "128.0.0.1", "1127.0.0.1"}) {
    EXPECT_FALSE(StoreHttpServer::isLoopback(host)) << host;
  }
}

TEST_F(StoreHttpServerTest, ParallelClientsGetTheirOwnAnswers) {
  orv::test::LogCapture quiet;
  const auto before = store().catalogue->deviceRegistrations().size();
  constexpr int kClients = 6, kRounds = 5;
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", server_->port());
      for (int r = 0; r < kRounds; ++r) {
        // One number per round: the clock stands still, so the per-number
        // interval would refuse a second password.
        const std::string number = "849000000" + std::to_string(c) + std::to_string(r);
        bool ok = client.Get(("/api.ashx?type=getotp&msisdn=" + number).c_str())->body == "0|";
        const std::string password = client.Get(("/dev/otp?msisdn=" + number).c_str())->body;
        ok = ok && client.Get(("/api.ashx?type=checkotp&msisdn=" + number + "&otp=" + password).c_str())->body ==
                       "0|" + number;
        ok = ok && client.Get(("/mobile/share/share.html?id=" + std::to_string(1 + c)).c_str())->status == 200;
        ok = ok && client.Get(("/media/icons/" + std::to_string(1 + r) + ".png").c_str())->status == 200;
        const std::string form = "packageName=p" + std::to_string(c) +
                                 "&versionName=1&versionCode=12&msisdn=&imei=I&regId=ab&os=ios&email=";
        ok = ok && client.Post("/register/default.aspx", form, "application/x-www-form-urlencoded")->status == 200;
        if (ok) ++good;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(good.load(), kClients * kRounds);
  EXPECT_EQ(store().catalogue->deviceRegistrations().size(), before + kClients * kRounds);
}

}  // namespace
}  // namespace orv::server
