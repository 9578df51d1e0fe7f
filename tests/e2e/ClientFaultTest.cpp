#include "client/ORVClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/ORVEventHandler.h"
#include "client/ORVEventType.h"
#include "client/ORVMessageHandler.h"
#include "server/session/SessionServer.h"
#include "tests/support/FaultProxy.h"
#include "tests/support/LogCapture.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

// The client against the session server with a FaultProxy between them: cut
// connections (in the middle of a frame, either way), byte-by-byte delivery,
// delays, resets and refused reconnections. After each fault the client must
// reconnect by itself and resume the session within the reconnection
// time-out (event 3, same session and user, handlers still registered), or
// open a fresh one after it (event 0); echoes must never arrive twice or
// altered.

namespace orv::test {
namespace {

using namespace std::chrono_literals;
using Dir = FaultProxy::Direction;
using Clock = std::chrono::steady_clock;

// Every event the client posts, in order.
class EventLog : public ORVEventHandler {
 public:
  void handleEvent(const ORVEventPtr& event) override {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  size_t size() const {
    std::lock_guard lock(mutex_);
    return events_.size();
  }
  // The first event of `type` at or after index `from`, waiting for it.
  ORVEventPtr waitFor(int32_t type, size_t from, std::chrono::milliseconds timeout = 10s) {
    return waitForAny({type}, from, timeout);
  }
  ORVEventPtr waitForAny(std::initializer_list<int32_t> types, size_t from, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    ORVEventPtr found;
    changed_.wait_for(lock, timeout, [&] {
      for (size_t i = from; i < events_.size(); ++i) {
        if (std::find(types.begin(), types.end(), events_[i]->type()) != types.end()) {
          found = events_[i];
          return true;
        }
      }
      return false;
    });
    return found;
  }
  std::vector<int32_t> typesFrom(size_t from) const {
    std::lock_guard lock(mutex_);
    std::vector<int32_t> types;
    for (size_t i = from; i < events_.size(); ++i) types.push_back(events_[i]->type());
    return types;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ORVEventPtr> events_;
};

// The payload of echo number n: its bytes depend on n and the size, so an
// answer that was cut, shifted or mixed with another one does not match.
std::vector<uint8_t> payloadOf(int32_t n, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((n * 131 + i * 7 + i / 251) & 0xFF);
  return bytes;
}

// Receives the "echo" answers; counts each number and checks its payload.
class EchoLog : public ORVMessageHandler {
 public:
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override {
    const int32_t n = message->int32ForKey("n");
    const auto size = static_cast<size_t>(message->int32ForKey("s"));
    const auto bytes = message->byteArrayForKey("b");
    std::lock_guard lock(mutex_);
    counts_[n]++;
    if (message->containsKey("ec") || !bytes || *bytes != payloadOf(n, size)) corrupted_++;
    changed_.notify_all();
  }
  bool waitFor(int32_t n, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return counts_.count(n) > 0; });
  }
  int count(int32_t n) const {
    std::lock_guard lock(mutex_);
    auto it = counts_.find(n);
    return it == counts_.end() ? 0 : it->second;
  }
  int duplicates() const {
    std::lock_guard lock(mutex_);
    int d = 0;
    for (const auto& [n, c] : counts_) d += c > 1 ? c - 1 : 0;
    return d;
  }
  int corrupted() const {
    std::lock_guard lock(mutex_);
    return corrupted_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int32_t, int> counts_;
  int corrupted_ = 0;
};

class ClientFaultTest : public ::testing::Test {
 protected:
  // Starts the server (with the given resume window), the proxy in front of
  // it, and a client connected through the proxy and logged in.
  void start(uint32_t reconnectionTimeoutSeconds = 60) {
    server::ServerOptions options;
    options.reconnectionTimeoutSeconds = reconnectionTimeoutSeconds;
    server_ = std::make_unique<server::SessionServer>(options);
    std::string error;
    ASSERT_TRUE(server_->start(error)) << error;
    proxy_ = std::make_unique<FaultProxy>(server_->port());

    client_ = ORVClient::client();
    client_->setReconnectionDelay(1);
    for (int32_t type : {0, 1, 2, 3, 5, 6, 7}) client_->addEventHandler(events_, type);
    client_->addMessageHandler(echoes_, "echo");
    client_->connect("127.0.0.1", proxy_->port(), 5);
    ORVEventPtr connected = events_->waitFor(ORVEventTypeConnection, 0);
    ASSERT_TRUE(connected);
    ASSERT_TRUE(*connected->parameter<bool>("success"));
    client_->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "tester", ""));
    ORVEventPtr login = events_->waitFor(ORVEventTypeLogin, 0);
    ASSERT_TRUE(login);
    user_ = *login->parameter<ORVUserPtr>("user");
    sessionId_ = client_->sessionId();
    ASSERT_TRUE(sessionId_.has_value());
    ASSERT_GT(client_->reconnectionTimeout(), 0u);
  }

  void TearDown() override {
    if (client_) client_->disconnect();
    client_.reset();
    proxy_.reset();
    if (server_) server_->stop();
  }

  void sendEcho(int32_t n, size_t size = 100) {
    auto content = ORVDataObject::builder()
                       .putInt32(n, "n")
                       .putInt32(static_cast<int32_t>(size), "s")
                       .putByteArray(payloadOf(n, size), "b")
                       .build();
    client_->sendRequest(ORVRequest::extensionRequestWithCommand("echo", content));
  }
  // Sends echo n and waits for its answer.
  bool roundTrip(int32_t n, size_t size = 100) {
    sendEcho(n, size);
    return echoes_->waitFor(n);
  }

  // After a fault: the loss is reported, the client retries and the session
  // comes back as a resume: same session id, same user, no fresh connection.
  void expectResumedAfter(size_t mark) {
    EXPECT_TRUE(events_->waitFor(ORVEventTypeConnectionLost, mark));
    EXPECT_TRUE(events_->waitFor(ORVEventTypeConnectionRetry, mark));
    EXPECT_TRUE(events_->waitFor(ORVEventTypeConnectionResume, mark));
    const std::vector<int32_t> types = events_->typesFrom(mark);
    for (int32_t t : types) EXPECT_NE(t, ORVEventTypeConnection) << "fresh session instead of a resume";
    EXPECT_EQ(client_->sessionId(), sessionId_);
    EXPECT_EQ(client_->currentUser(), user_);
    EXPECT_TRUE(client_->isConnected());
  }

  void expectEchoesClean() {
    EXPECT_EQ(echoes_->duplicates(), 0);
    EXPECT_EQ(echoes_->corrupted(), 0);
  }

  std::unique_ptr<server::SessionServer> server_;
  std::unique_ptr<FaultProxy> proxy_;
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<EventLog> events_ = std::make_shared<EventLog>();
  std::shared_ptr<EchoLog> echoes_ = std::make_shared<EchoLog>();
  ORVUserPtr user_;
  std::optional<std::string> sessionId_;
};

TEST_F(ClientFaultTest, CutInsideAnAnswerFrameThenResumes) {
  start();
  ASSERT_TRUE(roundTrip(1));
  // The answer to a 150-byte echo has a two-byte length. Cut after the first
  // length byte, right after the length, and inside the payload; the rest of
  // that frame never comes.
  int32_t n = 2;
  for (uint64_t cutAt : {2u, 3u, 10u}) {
    SCOPED_TRACE("cut after " + std::to_string(cutAt) + " bytes of the answer");
    const size_t mark = events_->size();
    proxy_->cutAfter(Dir::ServerToClient, cutAt);
    const int32_t lost = n++;
    sendEcho(lost, 150);
    expectResumedAfter(mark);
    // The half frame of the old connection must not spoil the new stream.
    for (int i = 0; i < 3; ++i, ++n) EXPECT_TRUE(roundTrip(n, 50 + 40 * size_t(n)));
    EXPECT_EQ(echoes_->count(lost), 0);
  }
  expectEchoesClean();
}

TEST_F(ClientFaultTest, CutInsideARequestFrameThenResumes) {
  start();
  ASSERT_TRUE(roundTrip(1));
  const size_t mark = events_->size();
  proxy_->cutAfter(Dir::ClientToServer, 40);  // inside the next request
  sendEcho(2, 900);
  expectResumedAfter(mark);
  EXPECT_TRUE(roundTrip(3, 900));
  EXPECT_EQ(echoes_->count(2), 0);
  expectEchoesClean();
}

TEST_F(ClientFaultTest, ByteByByteDeliveryBothWaysLosesNothing) {
  start();
  proxy_->setSplit(1);
  const size_t mark = events_->size();
  // Small frames, a frame with a two-byte length, and one above the
  // compression threshold (sent compressed, answered compressed).
  const size_t sizes[] = {1, 100, 200, 3000};
  for (int32_t n = 0; n < 8; ++n) EXPECT_TRUE(roundTrip(n, sizes[n % 4]));
  EXPECT_EQ(events_->typesFrom(mark), std::vector<int32_t>{});  // no loss, no retry
  expectEchoesClean();
}

TEST_F(ClientFaultTest, DelayedBytesArriveLateButWhole) {
  start();
  proxy_->setDelay(150ms);
  const size_t mark = events_->size();
  const auto began = Clock::now();
  for (int32_t n = 0; n < 10; ++n) sendEcho(n, 300);
  for (int32_t n = 0; n < 10; ++n) EXPECT_TRUE(echoes_->waitFor(n));
  EXPECT_GE(Clock::now() - began, 300ms);
  EXPECT_EQ(events_->typesFrom(mark), std::vector<int32_t>{});
  expectEchoesClean();
}

TEST_F(ClientFaultTest, ResetConnectionResumesWithHandlersIntact) {
  start();
  ASSERT_TRUE(roundTrip(1));
  const size_t mark = events_->size();
  proxy_->resetAll();
  expectResumedAfter(mark);
  EXPECT_TRUE(roundTrip(2));  // the "echo" handler is still registered
  EXPECT_EQ(proxy_->connectionsSeen(), 2u);
  expectEchoesClean();
}

TEST_F(ClientFaultTest, ReconnectionsClosedAtOnceForAWhileThenResume) {
  start();
  ASSERT_TRUE(roundTrip(1));
  const size_t mark = events_->size();
  proxy_->refuse(FaultProxy::RefuseMode::AcceptAndClose, 1500ms);
  proxy_->resetAll();
  expectResumedAfter(mark);
  EXPECT_GE(proxy_->connectionsRefused(), 1u);
  EXPECT_TRUE(roundTrip(2));
  expectEchoesClean();
}

TEST_F(ClientFaultTest, RefusedPastTheResumeWindowGivesAFreshSession) {
  start(1);  // the server keeps a lost session for 1 s and says so in "r"
  ASSERT_EQ(client_->reconnectionTimeout(), 1u);
  ASSERT_TRUE(roundTrip(1));
  const size_t mark = events_->size();
  proxy_->refuse(FaultProxy::RefuseMode::StopListening, 2500ms);
  proxy_->resetAll();
  ORVEventPtr fresh = events_->waitFor(ORVEventTypeConnection, mark, 15s);
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(*fresh->parameter<bool>("success"));
  const std::vector<int32_t> types = events_->typesFrom(mark);
  EXPECT_EQ(types.front(), ORVEventTypeConnectionLost);
  for (int32_t t : types) EXPECT_NE(t, ORVEventTypeConnectionResume);
  EXPECT_GE(std::count(types.begin(), types.end(), ORVEventTypeConnectionRetry), 2);
  EXPECT_NE(client_->sessionId(), sessionId_);
  EXPECT_TRUE(roundTrip(2));  // a fresh session still reaches the same handlers
  expectEchoesClean();
}

// The client offers its session in time, but the server has already dropped
// it and answers with a new id: that is a fresh session, never a resume.
TEST_F(ClientFaultTest, ResumeTooLateForTheServerIsReportedAsAFreshSession) {
  start(2);
  ASSERT_TRUE(roundTrip(1));
  const size_t mark = events_->size();
  // The client reconnects 1 s after the loss, within its 2 s window, and
  // offers its session; but its handshake is held back until the server has
  // dropped that session (kept 2 s, swept every second). The server then
  // opens a new session; the client must not call that a resume: the user
  // is no longer logged in on the server.
  proxy_->setDelay(4000ms);
  proxy_->resetAll();
  ORVEventPtr back = events_->waitForAny({ORVEventTypeConnection, ORVEventTypeConnectionResume}, mark, 20s);
  ASSERT_TRUE(back);
  proxy_->setDelay(0ms);
  EXPECT_EQ(back->type(), ORVEventTypeConnection);
  EXPECT_NE(client_->sessionId(), sessionId_);
  EXPECT_TRUE(roundTrip(2, 100));
  expectEchoesClean();
}

}  // namespace
}  // namespace orv::test
