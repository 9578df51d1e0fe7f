#include "client/ORVClient.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include "client/ORVMessageHandler.h"
#include "platform/HopTrace.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedServer.h"
#include "transport/ORVConnector.h"
#include "transport/ORVSocketConnector.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVRequest.h"

namespace orv::test {
namespace {

struct Recording : ORVMessageHandler {
  std::mutex mutex;
  std::vector<ORVMessagePtr> seen;
  std::function<void(const ORVMessagePtr&)> also;
  void handleMessage(const ORVMessagePtr& m) override {
    {
      std::lock_guard lock(mutex);
      seen.push_back(m);
    }
    if (also) also(m);
  }
  size_t count() {
    std::lock_guard lock(mutex);
    return seen.size();
  }
};

// A port nobody listens on: bound once, then released.
uint16_t closedPort() {
  asio::io_context io;
  asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  return a.local_endpoint().port();
}

// Login answers: zone "kivmar", user "an", id 42, reconnection time-out given.
ScriptedServer::Responder loginScript(int32_t reconnectionTimeout) {
  return [reconnectionTimeout](ScriptedServer::Peer& peer, const ORVMessagePtr& m) {
    ScriptedServer::standardReply(peer, m);
    if (m->commandId() == ORVCommandIdLogin) peer.send(loginAnswer("kivmar", "an", 42, reconnectionTimeout));
    if (m->commandId() == ORVCommandIdLogout) peer.send(answer(ORVCommandIdLogout));
    if (m->commandId() == ORVCommandIdExtension && m->command() == "cnt.cat") {
      peer.send(extension("cnt.cat", ORVDataObject::builder().putInt32(m->int32ForKey("id") + 1, "id").build()));
    }
  };
}

class ORVClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reach = FakeReachability::install(true);
    client = ORVClient::client();
    client->setReconnectionDelay(1);
    events = EventRecorder::attach(*client);
  }
  void TearDown() override { FakeReachability::uninstall(); }

  // Connects, handshakes and logs in; answers the peer.
  ScriptedServer::PeerPtr loggedIn(int32_t reconnectionTimeout = 60) {
    server.setResponder(loginScript(reconnectionTimeout));
    client->connect("127.0.0.1", server.port());
    EXPECT_NE(events->waitFor(ORVEventTypeConnection), nullptr);
    client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
    EXPECT_NE(events->waitFor(ORVEventTypeLogin), nullptr);
    return server.waitForPeer();
  }

  ScriptedServer server;
  std::shared_ptr<FakeReachability::Flag> reach;
  std::shared_ptr<ORVClient> client;
  std::shared_ptr<EventRecorder> events;
};

TEST_F(ORVClientTest, ConnectHandshakeLoginRequestAnswerLogout) {
  auto handler = std::make_shared<Recording>();
  client->addMessageHandler(handler, "cnt.cat");
  auto peer = loggedIn(60);
  ASSERT_NE(peer, nullptr);

  // Handshake request: client type, system, version, and no session id.
  auto hs = peer->waitForMessage(ORVCommandIdHandshake);
  ASSERT_NE(hs, nullptr);
  EXPECT_EQ(hs->stringForKey("t"), "Cocoa");
  EXPECT_EQ(hs->stringForKey("o"), "iOS");
  EXPECT_EQ(hs->stringForKey("v"), "1.0.0");
  EXPECT_FALSE(hs->containsKey("s"));
  auto connected = events->waitFor(ORVEventTypeConnection);
  EXPECT_EQ(*connected->parameter<bool>("success"), true);
  EXPECT_EQ(client->sessionId(), "S1");
  EXPECT_FALSE(client->isConnecting());

  // Login: the event carries the very user object the client holds.
  auto login = events->waitFor(ORVEventTypeLogin);
  auto user = *login->parameter<ORVUserPtr>("user");
  EXPECT_EQ(user, client->currentUser());
  EXPECT_EQ(user->userId(), 42);
  EXPECT_EQ(user->name(), "an");
  EXPECT_EQ(client->currentZone(), "kivmar");
  EXPECT_EQ(client->reconnectionTimeout(), 60u);
  EXPECT_TRUE((*login->parameter<ORVDataObjectPtr>("loginParams"))->isEmpty());
  auto loginRequest = peer->waitForMessage(ORVCommandIdLogin);
  EXPECT_EQ(loginRequest->stringForKey("z"), "kivmar");

  // Extension request and its answer, dispatched by command name.
  client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat", ORVDataObject::builder().putInt32(300, "id").build()));
  ASSERT_TRUE(waitFor([&] { return handler->count() == 1; }));
  EXPECT_EQ(handler->seen[0]->int32ForKey("id"), 301);

  // Logout clears the user, keeps the session id.
  client->sendRequest(ORVRequest::logoutRequest());
  ASSERT_NE(events->waitFor(ORVEventTypeLogout), nullptr);
  EXPECT_EQ(client->currentUser(), nullptr);
  EXPECT_EQ(client->currentZone(), std::nullopt);
  EXPECT_EQ(client->sessionId(), "S1");
  EXPECT_EQ(events->types(), (std::vector<int32_t>{0, 5, 7}));

  // The statistics match what the server saw.
  auto stats = client->statistics();
  ASSERT_TRUE(waitFor([&] { return peer->bytes().size() == client->statistics().bytesSent; }));
  EXPECT_EQ(stats.messagesSent, 4u);      // handshake, login, cnt.cat, logout
  EXPECT_EQ(stats.messagesReceived, 4u);  // their answers
  EXPECT_GT(stats.bytesReceived, 0u);
}

TEST_F(ORVClientTest, ArgumentAndStateValidationTexts) {
  LogCapture log;
  auto expectThrow = [](auto f, const char* text) {
    try {
      f();
      ADD_FAILURE() << "no exception for " << text;
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), text);
    }
  };
  expectThrow([&] { client->connect("h", 65536); }, "Invalid port: 65536");
  expectThrow([&] { client->connect("h", -1); }, "Invalid port: -1");
  expectThrow([&] { client->connect("", 1); }, "Invalid host: ");
  EXPECT_THROW(client->initUdp("h", 1), ORVGenericException);
  EXPECT_FALSE(client->isUdpInited());
  expectThrow([&] { client->addMessageHandler(nullptr, ""); }, "cmd");
  expectThrow([&] { client->addMessageHandler(nullptr, "x"); }, "handler");
  client->addMessageHandler(std::make_shared<Recording>(), "x");
  expectThrow([&] { client->addMessageHandler(std::make_shared<Recording>(), "x"); },
              "Message handler with for: x already exists");
  expectThrow([&] { client->removeMessageHandlerForCommand(""); }, "cmd");
  client->removeMessageHandlerForCommand("absent");

  client->sendRequest(ORVRequest::extensionRequestWithCommand("a"));
  EXPECT_TRUE(log.containsText("Not connected, request can not be sent"));
  client->sendRequest(ORVRequest::logoutRequest());
  EXPECT_TRUE(log.containsText("Not logged in yet"));
  EXPECT_EQ(client->host(), std::nullopt);
  EXPECT_EQ(client->port(), 0);

  auto peer = loggedIn();
  log.clear();
  client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
  EXPECT_TRUE(log.containsText("Already logged in"));
  client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat"), ORVDeliveryUDP);
  EXPECT_TRUE(log.containsText("UDP is not initialized yet, send via TCP instead."));
  ASSERT_TRUE(waitFor([&] { return peer->count(ORVCommandIdExtension) == 1; }));  // went over TCP
  client->connect("", 5);  // connected: logged, not raised
  EXPECT_TRUE(log.containsText("Already connected"));
  EXPECT_EQ(peer->count(ORVCommandIdLogin), 1u);
  EXPECT_EQ(client->port(), server.port());
}

TEST_F(ORVClientTest, SecondConnectWhileTheFirstIsUnderWayIsRefused) {
  // A listener with a backlog of 0 that one connection already fills: the
  // kernel leaves further connection attempts pending.
  asio::io_context io;
  asio::ip::tcp::acceptor full(io);
  full.open(asio::ip::tcp::v4());
  full.bind({asio::ip::make_address("127.0.0.1"), 0});
  full.listen(0);
  asio::ip::tcp::socket filler(io);
  filler.connect(full.local_endpoint());
  LogCapture log;
  client->connect("127.0.0.1", full.local_endpoint().port());
  std::this_thread::sleep_for(200ms);
  ASSERT_FALSE(client->isConnected());
  EXPECT_TRUE(client->isConnecting());
  client->connect("127.0.0.1", server.port());
  EXPECT_TRUE(log.containsText("A connection attempt is already running"));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(server.peerCount(), 0u);
}

TEST_F(ORVClientTest, RefusedHandshakeAndLoginReportCodeAndParameters) {
  server.setResponder([](ScriptedServer::Peer& peer, const ORVMessagePtr& m) {
    if (m->commandId() == ORVCommandIdHandshake) peer.send(errorAnswer(ORVCommandIdHandshake, 3, "full"));
    if (m->commandId() == ORVCommandIdLogin) peer.send(errorAnswer(ORVCommandIdLogin, 28, "banned"));
  });
  LogCapture log;
  client->connect("127.0.0.1", server.port());
  auto refused = events->waitFor(ORVEventTypeConnection);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(*refused->parameter<bool>("success"), false);
  EXPECT_EQ(client->sessionId(), std::nullopt);
  EXPECT_TRUE(log.containsText("Handshake failure: 3 ([full])")) << log.texts().front();

  client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
  auto error = events->waitFor(ORVEventTypeLoginError);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(*error->parameter<int32_t>("errorCode"), 28);
  EXPECT_EQ((*error->parameter<ORVDataArrayPtr>("errorParams"))->stringAtIndex(0), "banned");
  EXPECT_TRUE(log.containsText("Login failure: 28 ([banned])"));
  EXPECT_EQ(client->currentUser(), nullptr);
}

TEST_F(ORVClientTest, DispatchFallsBackOnceToTheNameBeforeTheLastDot) {
  LogCapture log;
  auto full = std::make_shared<Recording>();
  auto group = std::make_shared<Recording>();
  auto top = std::make_shared<Recording>();
  client->addMessageHandler(full, "cnt.cat");
  client->addMessageHandler(group, "cnt");
  client->addMessageHandler(top, "a");
  client->dispatchMessage(extension("cnt.cat"));
  EXPECT_EQ(full->count(), 1u);
  EXPECT_EQ(group->count(), 0u);
  client->dispatchMessage(extension("cnt.new"));
  EXPECT_EQ(group->count(), 1u);
  client->dispatchMessage(extension("a.b.c"));  // only "a.b" is tried
  EXPECT_EQ(top->count(), 0u);
  EXPECT_TRUE(log.containsText("No handler for cmd: a.b.c"));
  client->removeMessageHandlerForCommand("cnt.cat");
  client->dispatchMessage(extension("cnt.cat"));
  EXPECT_EQ(group->count(), 2u);
}

TEST_F(ORVClientTest, HopStampsOfOneRoundTripComeInPathOrder) {
  auto peer = loggedIn();
  auto handler = std::make_shared<Recording>();
  std::array<orv::HopStamp, orv::kHopPointCount> inHandler{};
  std::atomic<bool> taken{false};
  handler->also = [&](const ORVMessagePtr&) {
    inHandler = orv::HopTrace::snapshot();
    taken = true;
  };
  client->addMessageHandler(handler, "cnt.cat");
  orv::HopTrace::setEnabled(true);
  client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat", ORVDataObject::builder().putInt32(1, "id").build()));
  const bool answered = waitFor([&] { return taken.load(); });
  orv::HopTrace::setEnabled(false);
  ASSERT_TRUE(answered);
  // Every point of the path was stamped for this request, each no earlier
  // than the one before it, and nothing after the handler was called.
  for (size_t i = 0; i < orv::kHopPointCount; ++i) {
    EXPECT_NE(inHandler[i].nanos, 0) << orv::HopTrace::name(static_cast<orv::HopPoint>(i));
    if (i > 0) {
      EXPECT_LE(inHandler[i - 1].nanos, inHandler[i].nanos) << orv::HopTrace::name(static_cast<orv::HopPoint>(i));
    }
  }
}

TEST_F(ORVClientTest, SystemIdsOtherThanTheSessionsAreLoggedAndReachNoHandler) {
  LogCapture log;
  auto handler = std::make_shared<Recording>();
  client->addMessageHandler(handler, "4");
  auto peer = loggedIn();
  peer->send(answer(4));
  peer->send(answer(9));
  ASSERT_TRUE(waitFor([&] { return log.containsText("No handler found for command id: 9"); }));
  EXPECT_TRUE(log.containsText("No handler found for command id: 4"));
  EXPECT_EQ(handler->count(), 0u);
}

TEST_F(ORVClientTest, FirstConnectFailingIsReportedOnceAndNeverRetried) {
  client->setReconnectionDelay(1);
  client->connect("127.0.0.1", closedPort());
  auto failed = events->waitFor(ORVEventTypeConnection);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(*failed->parameter<bool>("success"), false);
  EXPECT_FALSE(client->isConnecting());
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(events->types(), std::vector<int32_t>{0});
}

TEST_F(ORVClientTest, LossWithinTheTimeoutResumesTheSameSessionAndUser) {
  auto peer = loggedIn(60);
  auto user = client->currentUser();
  peer->close();
  auto lost = events->waitFor(ORVEventTypeConnectionLost);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(*lost->parameter<int32_t>("reason"), 0);
  ASSERT_NE(events->waitFor(ORVEventTypeConnectionRetry), nullptr);
  ASSERT_NE(events->waitFor(ORVEventTypeConnectionResume), nullptr);
  auto second = server.waitForPeer(2);
  EXPECT_EQ(second->waitForMessage(ORVCommandIdHandshake)->stringForKey("s"), "S1");
  EXPECT_EQ(client->currentUser(), user);
  EXPECT_FALSE(client->isReconnecting());
  EXPECT_EQ(events->count(ORVEventTypeConnection), 1u);
  auto stats = client->statistics();
  EXPECT_EQ(stats.reconnections, 1u);
  EXPECT_EQ(stats.resumes, 1u);
}

TEST_F(ORVClientTest, LossLongerThanTheTimeoutStartsAFreshSession) {
  client->setReconnectionDelay(2);
  auto peer = loggedIn(1);  // may resume for 1 second only
  peer->close();
  ASSERT_NE(events->waitFor(ORVEventTypeConnection, 2), nullptr);
  auto second = server.waitForPeer(2);
  EXPECT_FALSE(second->waitForMessage(ORVCommandIdHandshake)->containsKey("s"));
  EXPECT_EQ(events->count(ORVEventTypeConnectionResume), 0u);
  // The fresh session has no user: the client says so (logout, then the
  // connection) and the application may log in again.
  EXPECT_EQ(events->types(), (std::vector<int32_t>{0, 5, 1, 2, 7, 0}));
  EXPECT_EQ(client->currentUser(), nullptr);
  EXPECT_EQ(client->currentZone(), std::nullopt);
  client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
  EXPECT_NE(second->waitForMessage(ORVCommandIdLogin), nullptr);
  ASSERT_NE(events->waitFor(ORVEventTypeLogin, 2), nullptr);
  EXPECT_EQ(client->currentZone(), "kivmar");
}

TEST_F(ORVClientTest, ServerDisconnectionMessageMeansTheNextReconnectionNeverResumes) {
  auto peer = loggedIn(60);
  peer->send(answer(ORVCommandIdClientDisconnection, ORVDataObject::builder().putInt32(3, "r").build()));
  auto notice = events->waitFor(ORVEventTypeConnectionLost);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(*notice->parameter<int32_t>("reason"), 3);
  EXPECT_EQ(client->reconnectionTimeout(), 0u);
  peer->close();
  auto loss = events->waitFor(ORVEventTypeConnectionLost, 2);
  ASSERT_NE(loss, nullptr);
  EXPECT_EQ(*loss->parameter<int32_t>("reason"), 0);
  ASSERT_NE(events->waitFor(ORVEventTypeConnection, 2), nullptr);
  EXPECT_FALSE(server.waitForPeer(2)->waitForMessage(ORVCommandIdHandshake)->containsKey("s"));
  EXPECT_EQ(events->count(ORVEventTypeConnectionResume), 0u);
}

TEST_F(ORVClientTest, ManualDisconnectSendsTheNoticeAndClearsTheSession) {
  auto peer = loggedIn();
  client->disconnect();
  ASSERT_NE(peer->waitForMessage(ORVCommandIdManualDisconnection), nullptr);
  EXPECT_EQ(client->currentUser(), nullptr);
  EXPECT_EQ(client->sessionId(), std::nullopt);
}

TEST_F(ORVClientTest, HandlersMayReenterTheClientFromTheirCallbacks) {
  auto peer = loggedIn();
  auto second = std::make_shared<Recording>();
  auto first = std::make_shared<Recording>();
  first->also = [&](const ORVMessagePtr&) {
    client->removeMessageHandlerForCommand("cnt.cat");
    client->addMessageHandler(second, "cnt.cat");
    client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat"));
  };
  client->addMessageHandler(first, "cnt.cat");
  struct Quitter : ORVEventHandler {
    std::weak_ptr<ORVClient> client;
    void handleEvent(const ORVEventPtr&) override {
      if (auto c = client.lock()) c->disconnect();
    }
  };
  auto quitter = std::make_shared<Quitter>();
  quitter->client = client;
  client->addEventHandler(quitter, ORVEventTypeLogout);
  client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat"));
  ASSERT_TRUE(waitFor([&] { return second->count() == 1; }));
  EXPECT_EQ(first->count(), 1u);
  client->sendRequest(ORVRequest::logoutRequest());
  ASSERT_NE(peer->waitForMessage(ORVCommandIdManualDisconnection), nullptr);
}

TEST_F(ORVClientTest, ConnectStopsTheConnectorItReplaces) {
  auto peer = loggedIn();
  peer->close();
  ASSERT_NE(events->waitFor(ORVEventTypeConnectionRetry), nullptr);
  ScriptedServer other;
  auto oldConnector = client->connector();
  client->connect("127.0.0.1", other.port());
  auto fresh = events->waitFor(ORVEventTypeConnection, 2);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(*fresh->parameter<bool>("success"), true);
  EXPECT_EQ(events->count(ORVEventTypeConnectionResume), 0u);  // a new session, not a resume
  EXPECT_FALSE(oldConnector->isStarted());
  std::this_thread::sleep_for(1500ms);  // past the old retry delay
  EXPECT_EQ(server.peerCount(), 1u);
  EXPECT_EQ(other.peerCount(), 1u);
}

TEST_F(ORVClientTest, DestroyingAClientWhileItsConnectorRetriesIsSafe) {
  auto peer = loggedIn();
  reach->set(false);  // keep retrying without connecting
  peer->close();
  ASSERT_NE(events->waitFor(ORVEventTypeConnectionRetry, 2, 4s), nullptr);
  std::weak_ptr<ORVConnector> connector = client->connector();
  client.reset();
  ASSERT_TRUE(waitFor([&] { return connector.expired(); }));
  reach->set(true);
  const size_t seen = events->events().size();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(server.peerCount(), 1u);
  EXPECT_EQ(events->events().size(), seen);
}

TEST_F(ORVClientTest, ConcurrentRequestsAndRegistrationsWhileMessagesArrive) {
  auto peer = loggedIn();
  std::atomic<int> answers{0};
  struct Count : ORVMessageHandler {
    std::atomic<int>& n;
    explicit Count(std::atomic<int>& n) : n(n) {}
    void handleMessage(const ORVMessagePtr&) override { n.fetch_add(1); }
  };
  client->addMessageHandler(std::make_shared<Count>(answers), "cnt.cat");
  std::thread churn([&] {
    for (int i = 0; i < 300; ++i) {
      client->addMessageHandler(std::make_shared<Recording>(), "tmp");
      client->removeMessageHandlerForCommand("tmp");
      (void)client->statistics();
    }
  });
  std::vector<std::thread> senders;
  for (int t = 0; t < 2; ++t) {
    senders.emplace_back([&] {
      for (int i = 0; i < 50; ++i) client->sendRequest(ORVRequest::extensionRequestWithCommand("cnt.cat"));
    });
  }
  for (auto& s : senders) s.join();
  churn.join();
  ASSERT_TRUE(waitFor([&] { return answers.load() == 100; }));
}

}  // namespace
}  // namespace orv::test
