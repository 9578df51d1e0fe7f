#include "transport/ORVSocketConnector.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include "tests/support/FakeReachability.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedServer.h"
#include "transport/ORVConnectorFactory.h"
#include "transport/ORVDatagramConnector.h"
#include "wire/ORVRequest.h"

namespace orv::test {
namespace {

// Records the connector's callbacks as short words, and plays the client's
// part for the session settings.
class Recorder : public ORVConnectorDelegate, public ORVSessionSettings {
 public:
  void connectorDidConnect(ORVConnector&) override { add("connect"); }
  void connectorDidDisconnect(ORVConnector&) override { add("disconnect"); }
  void connectorDidRetry(ORVConnector&) override { add("retry"); }
  void connectorDidIOError(ORVConnector&, const std::string&) override { add("ioerror"); }
  void connectorDidReceiveMessage(ORVConnector&, const std::shared_ptr<const ORVMessage>& m) override {
    add("message " + m->command());
  }
  int32_t pingInterval() const override { return ping.load(); }
  uint32_t compressionThreshold() const override { return 1024; }
  uint32_t maxMessageSize() const override { return 4096; }

  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  size_t count(const std::string& word) const {
    std::lock_guard lock(mutex_);
    return std::count(calls_.begin(), calls_.end(), word);
  }
  bool waitCount(const std::string& word, size_t n, std::chrono::milliseconds timeout = 5s) const {
    return waitFor([&] { return count(word) >= n; }, timeout);
  }

  std::atomic<int32_t> ping{0};

 private:
  void add(std::string word) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(word));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

uint16_t closedPort() {
  asio::io_context io;
  asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  return a.local_endpoint().port();
}

class ORVSocketConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reach = FakeReachability::install(true);
    recorder = std::make_shared<Recorder>();
    connector = ORVConnectorFactory::factory()->socketConnector();
    connector->setHost("127.0.0.1");
    connector->setPort(server.port());
    connector->setConnectionTimeout(5);
    connector->setReconnectionDelay(1);
    connector->setDelegate(recorder);
    connector->setClient(recorder);
  }
  void TearDown() override {
    connector.reset();
    FakeReachability::uninstall();
  }
  ScriptedServer::PeerPtr started() {
    connector->start();
    EXPECT_TRUE(recorder->waitCount("connect", 1));
    return server.waitForPeer();
  }

  ScriptedServer server;
  std::shared_ptr<FakeReachability::Flag> reach;
  std::shared_ptr<Recorder> recorder;
  std::shared_ptr<ORVSocketConnector> connector;
};

TEST(ORVConnectorTest, NamesAndTheInertDatagramConnector) {
  auto factory = ORVConnectorFactory::factory();
  auto datagram = factory->datagramConnector();
  EXPECT_EQ(datagram->name(), "0.0.0.0:0");
  EXPECT_EQ(datagram->description(), "0@0.0.0.0:0");
  datagram->start();
  EXPECT_TRUE(datagram->isStarted());
  EXPECT_FALSE(datagram->isConnected());
  datagram->write(ORVRequest::pingRequest());  // goes nowhere
  EXPECT_EQ(datagram->bytesSent(), 0u);
  auto socket = factory->socketConnector();
  socket->setHost("example.org");
  socket->setPort(443);
  EXPECT_EQ(socket->description(), "0@example.org:443");
  EXPECT_EQ(socket->delegateQueue(), datagram->delegateQueue());  // one queue per factory
  EXPECT_EQ(socket->compressor(), datagram->compressor());        // one compressor per factory
}

TEST_F(ORVSocketConnectorTest, StartTwiceOpensOnceAndFramesGoOutAsBuilt) {
  connector->stop();  // not started: nothing
  auto peer = started();
  connector->start();
  EXPECT_EQ(server.peerCount(), 1u);
  ASSERT_TRUE(connector->isConnected());
  connector->write(ORVMessage::messageWithCommandId(
      5, std::string("cnt.cat"), ORVDataObject::builder().putInt32(300, "id").build()));
  ASSERT_TRUE(waitFor([&] { return peer->bytes().size() == 22; }));
  const std::vector<uint8_t> frame = {0x00, 0x14, 0x03, 0x03, 0x05, 0x07, 0x07, 0x63, 0x6E, 0x74, 0x2E,
                                      0x63, 0x61, 0x74, 0x08, 0x01, 0x02, 0x69, 0x64, 0x03, 0xAC, 0x02};
  EXPECT_EQ(peer->bytes(), frame);
  EXPECT_EQ(connector->bytesSent(), 22u);
  peer->send(extension("hm.new"));
  ASSERT_TRUE(recorder->waitCount("message hm.new", 1));
}

TEST_F(ORVSocketConnectorTest, FirstAttemptFailingReportsOneIOErrorAndNeverRetries) {
  LogCapture log;
  connector->setReconnectionDelay(10);
  const uint16_t port = closedPort();
  connector->setPort(port);
  connector->start();
  ASSERT_TRUE(recorder->waitCount("ioerror", 1));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(recorder->calls(), std::vector<std::string>{"ioerror"});
  EXPECT_FALSE(connector->hasRetryTimer());
  EXPECT_TRUE(connector->isStarted());  // failed, still started
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines()[0].rfind("ORVSocketConnector::handleIOError : 0@127.0.0.1:" + std::to_string(port) + ": IO error: ", 0), 0u)
      << log.lines()[0];
}

TEST_F(ORVSocketConnectorTest, LossWithoutReconnectionDelayIsNotRetried) {
  connector->setReconnectionDelay(0);
  started()->close();
  ASSERT_TRUE(recorder->waitCount("disconnect", 1));
  std::this_thread::sleep_for(1300ms);
  EXPECT_EQ(recorder->calls(), (std::vector<std::string>{"connect", "disconnect"}));
  EXPECT_EQ(server.peerCount(), 1u);
}

TEST_F(ORVSocketConnectorTest, LossIsRetriedUntilReconnected) {
  started()->close();
  ASSERT_TRUE(recorder->waitCount("connect", 2));
  EXPECT_EQ(recorder->calls(), (std::vector<std::string>{"connect", "disconnect", "retry", "connect"}));
  EXPECT_TRUE(waitFor([&] { return server.peerCount() == 2u; }));  // the accept may trail the connect
  EXPECT_FALSE(connector->isRetrying());
  EXPECT_FALSE(connector->hasRetryTimer());
}

TEST_F(ORVSocketConnectorTest, WhileTheNetworkIsUnreachableEachFireRetriesWithoutConnecting) {
  auto peer = started();
  reach->set(false);  // the monitor's unreachable block drops the live connection
  ASSERT_TRUE(recorder->waitCount("disconnect", 1));
  ASSERT_TRUE(recorder->waitCount("retry", 3, 5s));
  EXPECT_EQ(server.peerCount(), 1u);
  EXPECT_TRUE(connector->isRetrying());
  reach->set(true);
  ASSERT_TRUE(recorder->waitCount("connect", 2, 3s));
  EXPECT_TRUE(waitFor([&] { return server.peerCount() == 2u; }));
  EXPECT_EQ(recorder->count("disconnect"), 1u);
}

// Reachability is judged for the server's own address, not for "any route":
// a loopback or LAN server needs no default route, and a change of the
// default route does not drop it.
TEST_F(ORVSocketConnectorTest, ReachabilityIsJudgedForTheServersOwnAddress) {
  connector->setHost("localhost");
  started()->close();
  ASSERT_TRUE(recorder->waitCount("connect", 2));  // the retry asked the monitor too
  const auto targets = reach->targets();
  ASSERT_GE(targets.size(), 2u);
  for (const auto& target : targets) {
    EXPECT_EQ(target.kind, ORVReachabilityTarget::Address);
    EXPECT_EQ(target.name, "127.0.0.1");
  }
}

TEST_F(ORVSocketConnectorTest, ServerPingIsAnsweredAndPongsGoNowhere) {
  auto peer = started();
  peer->send(answer(ORVCommandIdPing));
  peer->send(answer(ORVCommandIdPong));
  peer->send(extension("after"));
  ASSERT_TRUE(recorder->waitCount("message after", 1));
  ASSERT_NE(peer->waitForMessage(ORVCommandIdPong), nullptr);
  EXPECT_EQ(recorder->calls(), (std::vector<std::string>{"connect", "message after"}));
}

TEST_F(ORVSocketConnectorTest, NoPingTimerWithIntervalZero) {
  auto peer = started();
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(connector->hasPingTimer());
  EXPECT_EQ(peer->count(ORVCommandIdPing), 0u);
}

TEST_F(ORVSocketConnectorTest, IdleLineIsPingedAfterTheIntervalAndTheRoundTripMeasured) {
  recorder->ping = 1;
  const auto begin = std::chrono::steady_clock::now();
  auto peer = started();
  ASSERT_NE(peer->waitForMessage(ORVCommandIdPing, 3s), nullptr);
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 1s);
  ASSERT_TRUE(waitFor([&] { return connector->lastPingRoundTrip().has_value(); }));
  EXPECT_LT(*connector->lastPingRoundTrip(), 1s);
}

TEST_F(ORVSocketConnectorTest, TrafficPostponesPings) {
  recorder->ping = 1;
  auto peer = started();
  for (int i = 0; i < 8; ++i) {  // 2 seconds of traffic, every quarter second
    peer->send(extension("tick"));
    std::this_thread::sleep_for(250ms);
  }
  EXPECT_EQ(peer->count(ORVCommandIdPing), 0u);
  ASSERT_NE(peer->waitForMessage(ORVCommandIdPing, 3s), nullptr);  // idle again: pinged
}

TEST_F(ORVSocketConnectorTest, ReestablishedConnectionKeepsPinging) {
  recorder->ping = 1;
  connector->setReconnectionDelay(2);
  started()->close();  // the ping timer fires while the line is down
  auto second = server.waitForPeer(2, 5s);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->waitForMessage(ORVCommandIdPing, 3s), nullptr);
}

TEST_F(ORVSocketConnectorTest, CorruptFrameDropsTheConnection) {
  LogCapture log;
  connector->setReconnectionDelay(0);
  auto peer = started();
  peer->sendRaw({0x00, 0x02, 0x03, 0xFF});  // a one-element array with a bad element
  ASSERT_TRUE(recorder->waitCount("disconnect", 1));
  EXPECT_TRUE(log.containsText("Handled data error, connector will be disconnected"));
}

TEST_F(ORVSocketConnectorTest, StopCancelsRetriesAndReportsNothingMore) {
  auto peer = started();
  peer->close();
  ASSERT_TRUE(recorder->waitCount("retry", 1));
  connector->stop();
  EXPECT_FALSE(connector->hasRetryTimer());
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(server.peerCount(), 1u);
  EXPECT_EQ(recorder->calls(), (std::vector<std::string>{"connect", "disconnect", "retry"}));
}

TEST_F(ORVSocketConnectorTest, DestroyingARetryingConnectorIsSafe) {
  started();
  reach->set(false);
  ASSERT_TRUE(recorder->waitCount("retry", 2));
  std::weak_ptr<ORVSocketConnector> weak = connector;
  connector.reset();
  ASSERT_TRUE(waitFor([&] { return weak.expired(); }));
  const size_t seen = recorder->calls().size();
  reach->set(true);
  std::this_thread::sleep_for(1300ms);
  EXPECT_EQ(recorder->calls().size(), seen);
  EXPECT_EQ(server.peerCount(), 1u);
}

}  // namespace
}  // namespace orv::test
