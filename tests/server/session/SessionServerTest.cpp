#include "server/session/SessionServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>
#include <thread>

#include "tests/support/BlockingFrameClient.h"
#include "tests/support/LogCapture.h"
#include "wire/ORVRequest.h"

namespace orv::server {
namespace {

using namespace std::chrono_literals;
using orv::test::BlockingFrameClient;

constexpr auto kWait = 3000ms;

class SessionServerTest : public ::testing::Test {
 protected:
  void startServer(ServerOptions options = {}) {
    options.host = "127.0.0.1";
    options.port = 0;
    if (options.zones.empty()) options.zones = {"kivmar", "test"};
    server_ = std::make_unique<SessionServer>(options);
    configure(*server_);
    std::string error;
    ASSERT_TRUE(server_->start(error)) << error;
  }
  virtual void configure(SessionServer&) {}

  // Connects and handshakes; returns the session id.
  std::string open(BlockingFrameClient& client, const std::string& resume = "",
                   const std::string& localAddress = "") {
    EXPECT_TRUE(client.connect(server_->port(), "127.0.0.1", localAddress));
    client.send(*ORVRequest::handshakeRequest(resume));
    ORVMessagePtr answer = client.receive(kWait);
    if (!answer) {
      ADD_FAILURE() << "no handshake answer";
      return {};
    }
    EXPECT_EQ(answer->commandId(), ORVCommandIdHandshake);
    EXPECT_FALSE(answer->containsKey("ec"));
    return answer->stringForKey("s").value_or("");
  }

  ORVMessagePtr login(BlockingFrameClient& client, const std::string& zone, const std::string& name,
                      ORVDataObjectPtr params = nullptr) {
    client.send(*ORVRequest::loginRequestWithZone(zone, name, "secret", params));
    return client.receive(kWait);
  }

  std::optional<SessionInfo> info(const std::string& sessionId) {
    for (const auto& s : server_->listSessions())
      if (s.sessionId == sessionId) return s;
    return std::nullopt;
  }

  // Polls until the condition holds or the wait runs out.
  template <typename F>
  bool eventually(F condition, std::chrono::milliseconds wait = kWait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition()) return true;
      std::this_thread::sleep_for(10ms);
    }
    return condition();
  }

  orv::test::LogCapture logs_;
  std::unique_ptr<SessionServer> server_;
};

// ---- handshake and resume ---------------------------------------------------

TEST_F(SessionServerTest, HandshakeAnswersSessionAndLimitsAndRefusesMissingVersion) {
  ServerOptions options;
  options.compressionThreshold = 512;
  options.maxMessageSize = 8192;
  startServer(options);
  BlockingFrameClient client;
  ASSERT_TRUE(client.connect(server_->port()));
  client.send(*ORVRequest::handshakeRequest(std::nullopt));
  ORVMessagePtr answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->commandId(), 0);
  std::string id = answer->stringForKey("s").value_or("");
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(answer->int32ForKey("c"), 512);
  EXPECT_EQ(answer->int32ForKey("m"), 8192);
  EXPECT_EQ(answer->content()->count(), 3u);

  // A second handshake on the same connection is refused.
  client.send(*ORVRequest::handshakeRequest(std::nullopt));
  answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::AlreadyHandshaken));

  BlockingFrameClient noVersion;
  ASSERT_TRUE(noVersion.connect(server_->port()));
  auto content = ORVDataObject::builder().putString("Cocoa", "t").putString("iOS", "o").build();
  noVersion.send(*ORVMessage::messageWithCommandId(0, content));
  answer = noVersion.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::MissingVersion));
  ASSERT_TRUE(answer->dataArrayForKey("ep"));
  EXPECT_EQ(answer->dataArrayForKey("ep")->description(), "[v]");
  EXPECT_FALSE(answer->containsKey("s"));
  EXPECT_EQ(server_->listSessions().size(), 1u);
}

TEST_F(SessionServerTest, ResumeWithinTheTimeoutKeepsSessionAndUserButNotAfterIt) {
  ServerOptions options;
  options.reconnectionTimeoutSeconds = 1;
  startServer(options);
  BlockingFrameClient client;
  std::string id = open(client);
  ORVMessagePtr answer = login(client, "kivmar", "ann");
  ASSERT_TRUE(answer);
  int32_t userId = answer->int32ForKey("i");
  client.close();
  ASSERT_TRUE(eventually([&] { return info(id) && !info(id)->connected; }));

  EXPECT_EQ(open(client, id), id);
  auto resumed = info(id);
  ASSERT_TRUE(resumed);
  EXPECT_TRUE(resumed->connected);
  EXPECT_EQ(resumed->userName, "ann");
  EXPECT_EQ(resumed->zone, "kivmar");
  EXPECT_EQ(resumed->userId, userId);
  // Still logged in on the resumed session: a new login is refused.
  answer = login(client, "kivmar", "ann");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::AlreadyLoggedIn));

  client.close();
  ASSERT_TRUE(eventually([&] { return info(id) && !info(id)->connected; }));
  std::this_thread::sleep_for(1200ms);
  std::string fresh = open(client, id);
  EXPECT_NE(fresh, id);
  EXPECT_EQ(fresh.size(), 32u);
  EXPECT_FALSE(info(id));
  EXPECT_FALSE(info(fresh)->loggedIn);
}

TEST_F(SessionServerTest, ResumeBeforeTheOldConnectionDiesTakesTheSessionOver) {
  startServer();
  BlockingFrameClient first, second;
  std::string id = open(first);
  EXPECT_EQ(open(second, id), id);
  EXPECT_TRUE(first.waitForClose(kWait));
  second.send(*ORVRequest::pingRequest());
  ORVMessagePtr pong = second.receive(kWait);
  ASSERT_TRUE(pong);
  EXPECT_EQ(pong->commandId(), ORVCommandIdPong);
  EXPECT_TRUE(info(id)->connected);
}

// ---- login and logout ---------------------------------------------------------

TEST_F(SessionServerTest, LoginAnswersAndRefusals) {
  ServerOptions options;
  options.reconnectionTimeoutSeconds = 42;
  startServer(options);
  BlockingFrameClient a, b;
  open(a);
  open(b);

  ORVMessagePtr refused = login(a, "elsewhere", "ann");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->commandId(), ORVCommandIdLogin);
  EXPECT_EQ(refused->int32ForKey("ec"), static_cast<int32_t>(SessionError::UnknownZone));
  EXPECT_EQ(refused->dataArrayForKey("ep")->description(), "[elsewhere]");

  auto params = ORVDataObject::builder().putInt32(7, "lvl").build();
  ORVMessagePtr ok = login(a, "test", "ann", params);
  ASSERT_TRUE(ok);
  EXPECT_FALSE(ok->containsKey("ec"));
  EXPECT_EQ(ok->stringForKey("z"), "test");
  EXPECT_EQ(ok->stringForKey("u"), "ann");
  EXPECT_EQ(ok->dataObjectForKey("p")->description(), "{lvl=7}");
  EXPECT_EQ(ok->int32ForKey("r"), 42);

  ORVMessagePtr again = login(a, "test", "ann");
  EXPECT_EQ(again->int32ForKey("ec"), static_cast<int32_t>(SessionError::AlreadyLoggedIn));

  ORVMessagePtr other = login(b, "kivmar", "");
  ASSERT_TRUE(other);
  EXPECT_TRUE(other->dataObjectForKey("p"));
  EXPECT_TRUE(other->dataObjectForKey("p")->isEmpty());
  EXPECT_NE(other->int32ForKey("i"), ok->int32ForKey("i"));

  // Logout answers 11 and ends the login; a second one is refused.
  a.send(*ORVRequest::logoutRequest());
  ORVMessagePtr out = a.receive(kWait);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->commandId(), ORVCommandIdLogout);
  EXPECT_TRUE(out->content()->isEmpty());
  a.send(*ORVRequest::logoutRequest());
  out = a.receive(kWait);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->int32ForKey("ec"), static_cast<int32_t>(SessionError::NotLoggedIn));
  ORVMessagePtr relogin = login(a, "kivmar", "ann");
  EXPECT_FALSE(relogin->containsKey("ec"));
  EXPECT_NE(relogin->int32ForKey("i"), ok->int32ForKey("i"));
}

TEST_F(SessionServerTest, RequestsBeforeTheHandshakeAreRefused) {
  startServer();
  BlockingFrameClient client;
  ASSERT_TRUE(client.connect(server_->port()));
  ORVMessagePtr answer = login(client, "kivmar", "ann");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::HandshakeRequired));
  client.send(*ORVRequest::extensionRequestWithCommand("echo"));
  answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->command(), "echo");
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::HandshakeRequired));
}

// ---- keep-alive and notices ---------------------------------------------------

TEST_F(SessionServerTest, PingIsAnsweredAndSilenceEndsWithAnIdleNotice) {
  ServerOptions options;
  options.idleTimeoutSeconds = 1;
  startServer(options);
  BlockingFrameClient chatty, silent;
  open(chatty);
  std::string silentId = open(silent);

  // A client that pings every 300 ms for 1.8 s outlives the idle time-out.
  auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < 1800ms) {
    chatty.send(*ORVRequest::pingRequest());
    ORVMessagePtr pong = chatty.receive(kWait);
    ASSERT_TRUE(pong);
    ASSERT_EQ(pong->commandId(), ORVCommandIdPong);
    std::this_thread::sleep_for(300ms);
  }
  // The silent one got id 3 with reason 2 and was closed; its session is gone.
  ORVMessagePtr notice = silent.receive(100ms);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->commandId(), ORVCommandIdClientDisconnection);
  EXPECT_EQ(notice->int32ForKey("r"), 2);
  EXPECT_TRUE(silent.waitForClose(kWait));
  EXPECT_FALSE(info(silentId));
  EXPECT_TRUE(logs_.containsText("Connection from 127.0.0.1 idle for 1 s, disconnecting"));
}

TEST_F(SessionServerTest, KickBanAndForceLogoutSendTheirReasonsAndClose) {
  startServer();
  BlockingFrameClient kicked, banned, forced;
  std::string kickedId = open(kicked);
  std::string bannedId = open(banned, "", "127.0.0.2");
  std::string forcedId = open(forced);
  login(kicked, "kivmar", "kim");
  login(banned, "kivmar", "bob");
  login(forced, "kivmar", "fay");

  EXPECT_TRUE(server_->kick(kickedId));
  EXPECT_TRUE(server_->ban(bannedId));
  EXPECT_TRUE(server_->forceLogout(forcedId));
  EXPECT_FALSE(server_->kick("no-such-session"));

  struct Expect {
    BlockingFrameClient& client;
    int32_t reason;
  };
  for (Expect e : {Expect{kicked, 3}, Expect{banned, 4}, Expect{forced, 5}}) {
    ORVMessagePtr notice = e.client.receive(kWait);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->commandId(), ORVCommandIdClientDisconnection);
    EXPECT_EQ(notice->int32ForKey("r"), e.reason);
    EXPECT_TRUE(e.client.waitForClose(kWait));
  }
  EXPECT_TRUE(server_->listSessions().empty());

  // Kicked sessions cannot be resumed.
  EXPECT_NE(open(kicked, kickedId), kickedId);

  // The ban holds for the name from another address, and for the address.
  BlockingFrameClient sameName, sameAddress, unrelated;
  open(sameName);
  EXPECT_EQ(login(sameName, "kivmar", "bob")->int32ForKey("ec"), static_cast<int32_t>(SessionError::Banned));
  open(sameAddress, "", "127.0.0.2");
  EXPECT_EQ(login(sameAddress, "kivmar", "carol")->int32ForKey("ec"), static_cast<int32_t>(SessionError::Banned));
  open(unrelated);
  EXPECT_FALSE(login(unrelated, "kivmar", "carol")->containsKey("ec"));
}

TEST_F(SessionServerTest, ManualDisconnectionClosesAndForgetsTheSession) {
  startServer();
  BlockingFrameClient client;
  std::string id = open(client);
  client.send(*ORVRequest::manualDisconnectionRequest());
  int before = -1;
  EXPECT_TRUE(client.waitForClose(kWait, &before));
  EXPECT_EQ(before, 0);
  EXPECT_FALSE(info(id));
  EXPECT_NE(open(client, id), id);
}

// ---- bad input ----------------------------------------------------------------

TEST_F(SessionServerTest, OversizeAndGarbageCloseOnlyThatConnection) {
  ServerOptions options;
  options.maxMessageSize = 1024;
  startServer(options);
  BlockingFrameClient good, oversize, garbage;
  std::string goodId = open(good);
  open(oversize);
  open(garbage);

  // Header byte, then a length of 1025: one past the limit.
  const uint8_t tooLong[] = {0x00, 0x81, 0x08};
  oversize.sendRaw(tooLong);
  EXPECT_TRUE(oversize.waitForClose(kWait));
  EXPECT_TRUE(eventually([&] { return logs_.containsText("Received message size limit exceeded: 1025"); }));

  // A complete frame whose payload is not a data array.
  const uint8_t junk[] = {0x00, 0x03, 0xFF, 0xFF, 0xFF};
  garbage.sendRaw(junk);
  EXPECT_TRUE(garbage.waitForClose(kWait));
  EXPECT_TRUE(eventually([&] { return logs_.containsText("Closing connection from 127.0.0.1: invalid input"); }));

  // A payload of exactly the limit still passes.
  auto request = [](const std::string& text) {
    return ORVRequest::extensionRequestWithCommand("echo", ORVDataObject::builder().putString(text, "x").build());
  };
  // The string's length prefix grows with it: shorten until the payload fits.
  std::string filler(1024, 'a');
  while (request(filler)->dataArray()->serializedSize() > 1024) filler.pop_back();
  auto full = request(filler);
  ASSERT_EQ(full->dataArray()->serializedSize(), 1024u);
  ASSERT_TRUE(good.send(*full));
  ORVMessagePtr echoed = good.receive(kWait);
  ASSERT_TRUE(echoed);
  EXPECT_EQ(echoed->stringForKey("x"), filler);
  EXPECT_TRUE(info(goodId)->connected);
  // The server unregisters a connection just after its peer sees the close.
  EXPECT_TRUE(eventually([&] { return server_->connectionCount() == 1u; }));
}

TEST_F(SessionServerTest, APeerThatReadsLateGetsEveryAnswerInOrder) {
  startServer();  // answers queue up to 256 KiB, then the server stops reading
  BlockingFrameClient client;
  open(client);
  constexpr int kRequests = 3000;  // about 3 MB of answers
  const std::string filler(1000, 'q');
  std::thread sender([&] {
    for (int i = 0; i < kRequests; ++i) {
      auto content = ORVDataObject::builder().putInt32(i, "n").putString(filler, "f").build();
      if (!client.send(*ORVRequest::extensionRequestWithCommand("echo", content))) return;
    }
  });
  std::this_thread::sleep_for(300ms);  // let the answers pile up unread
  int inOrder = 0;
  for (int i = 0; i < kRequests; ++i) {
    ORVMessagePtr answer = client.receive(kWait);
    if (!answer || answer->int32ForKey("n") != i) break;
    ++inOrder;
  }
  sender.join();
  EXPECT_EQ(inOrder, kRequests);
}

// Hundreds of small requests arrive in one read; their answers leave in
// writes of many frames each, which must keep every frame whole and in order.
TEST_F(SessionServerTest, ABurstOfRequestsInOneWriteIsAnsweredInOrder) {
  startServer();
  BlockingFrameClient client;
  open(client);
  constexpr int kRequests = 500;
  std::vector<uint8_t> burst;
  for (int i = 0; i < kRequests; ++i) {
    auto content = ORVDataObject::builder().putInt32(i, "n").build();
    auto frame = ORVFrameWriter::buildFrame(*ORVRequest::extensionRequestWithCommand("echo", content), 1u << 20,
                                            1u << 20, nullptr);
    ASSERT_TRUE(frame);
    burst.insert(burst.end(), frame->bytes().begin(), frame->bytes().end());
  }
  ASSERT_TRUE(client.sendRaw(burst));
  int inOrder = 0;
  for (int i = 0; i < kRequests; ++i) {
    ORVMessagePtr answer = client.receive(kWait);
    if (!answer || answer->int32ForKey("n") != i) break;
    ++inOrder;
  }
  EXPECT_EQ(inOrder, kRequests);
}

// ---- extension commands --------------------------------------------------------

class SessionServerRouterTest : public SessionServerTest {
 protected:
  void configure(SessionServer& server) override {
    // A store-shaped handler: answers its own commands, nullptr for the rest.
    server.router().addFallback(
        [this](std::string_view command, const ORVDataObjectPtr& content, std::string_view peer) -> ORVDataObjectPtr {
          if (command == "store.peer") {
            return ORVDataObject::builder().putString(std::string(peer), "peer").build();
          }
          if (command == "store.big") {
            std::vector<uint8_t> bytes(content->int32ForKey("n"));
            std::mt19937 random(7);
            for (auto& b : bytes) b = static_cast<uint8_t>(random());
            return ORVDataObject::builder().putByteArray(std::move(bytes), "b").build();
          }
          if (command == "store.throw") throw std::runtime_error("database is locked");
          if (command == "store.stall") {  // holds the connection's loop up
            std::this_thread::sleep_for(std::chrono::milliseconds(content->int32ForKey("ms")));
            return ORVDataObject::builder().build();
          }
          return nullptr;
        });
  }
};

TEST_F(SessionServerRouterTest, CommandsReachTheirHandlersAndUnknownOnesGetAnErrorAnswer) {
  startServer();
  BlockingFrameClient client;
  open(client);
  client.send(*ORVRequest::extensionRequestWithCommand("store.peer"));
  ORVMessagePtr answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->commandId(), ORVCommandIdExtension);
  EXPECT_EQ(answer->command(), "store.peer");
  EXPECT_EQ(answer->stringForKey("peer"), "127.0.0.1");

  client.send(*ORVRequest::extensionRequestWithCommand("no.such", ORVDataObject::builder().putInt32(1, "a").build()));
  answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->command(), "no.such");
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::UnknownCommand));
  EXPECT_EQ(answer->stringForKey("em"), "Unknown command: no.such");

  client.send(*ORVRequest::extensionRequestWithCommand("store.throw"));
  answer = client.receive(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->int32ForKey("ec"), static_cast<int32_t>(SessionError::CommandFailed));
  EXPECT_TRUE(logs_.containsText("Command store.throw failed: database is locked"));
}

TEST_F(SessionServerRouterTest, AnswersAreCompressedAboveTheThresholdAndNeverExceedTheLimit) {
  ServerOptions options;
  options.compressionThreshold = 100;
  options.maxMessageSize = 2048;
  startServer(options);
  // The client accepts exactly what the server announced: a frame over it fails.
  BlockingFrameClient client(2048);
  open(client);

  auto small = ORVDataObject::builder().putString("hi", "x").build();
  client.send(*ORVRequest::extensionRequestWithCommand("echo", small));
  auto received = client.receiveFrame(kWait);
  ASSERT_TRUE(received.message);
  EXPECT_EQ(received.header, 0x00);
  EXPECT_EQ(received.message->stringForKey("x"), "hi");

  auto large = ORVDataObject::builder().putString(std::string(1500, 'z'), "x").build();
  client.send(*ORVRequest::extensionRequestWithCommand("echo", large));
  received = client.receiveFrame(kWait);
  ASSERT_TRUE(received.message);
  EXPECT_EQ(received.header, 0x20);
  EXPECT_EQ(received.message->stringForKey("x"), std::string(1500, 'z'));

  // 1800 random bytes do not compress below 2048 + overhead; 3000 cannot fit.
  client.send(*ORVRequest::extensionRequestWithCommand("store.big", ORVDataObject::builder().putInt32(1800, "n").build()));
  received = client.receiveFrame(kWait);
  ASSERT_TRUE(received.message);
  EXPECT_EQ(received.message->byteArrayForKey("b")->size(), 1800u);

  client.send(*ORVRequest::extensionRequestWithCommand("store.big", ORVDataObject::builder().putInt32(3000, "n").build()));
  received = client.receiveFrame(kWait);
  ASSERT_TRUE(received.message);
  EXPECT_FALSE(client.decodeFailed());
  EXPECT_EQ(received.message->command(), "store.big");
  EXPECT_EQ(received.message->int32ForKey("ec"), static_cast<int32_t>(SessionError::ReplyTooLarge));
  EXPECT_EQ(received.message->stringForKey("em"), "Reply too large");
  EXPECT_TRUE(logs_.containsText("Answer to store.big exceeds 2048 bytes, sent an error answer instead"));
}

// The first connection shares its loop with the acceptor and the session
// sweep. While its handler holds that loop up, stop() is called and the sweep
// falls due; the loop then finds the expired sweep before it runs the stop. A
// sweep that runs after the stop must not arm itself again, or the loop never
// runs out of work and stop() never returns.
TEST_F(SessionServerRouterTest, StopReturnsWhenTheSweepFellDueWhileTheLoopWasBusy) {
  startServer();
  BlockingFrameClient client;
  open(client);
  client.send(*ORVRequest::extensionRequestWithCommand("store.stall",
                                                       ORVDataObject::builder().putInt32(1200, "ms").build()));
  std::this_thread::sleep_for(100ms);  // the handler is stalling now
  auto stopped = std::async(std::launch::async, [this] { server_->stop(); });
  if (stopped.wait_for(8s) != std::future_status::ready) {
    // The stop can never finish: leave rather than hang the suite.
    std::fprintf(stderr, "SessionServer::stop() did not return within 8 s\n");
    std::_Exit(1);
  }
}

}  // namespace
}  // namespace orv::server
