#include "transport/ORVStreamSocket.h"

#include <gtest/gtest.h>

#include <asio/steady_timer.hpp>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/transport/LoopbackTcp.h"

namespace {

using namespace std::chrono_literals;
using orv::test::bytes;
using orv::test::LoopbackListener;

// One delegate callback as seen by the test.
struct Event {
  enum Kind { Connect, Read, Write, Disconnect } kind;
  explicit Event(Kind k) : kind(k) {}
  std::string host;
  uint16_t port = 0;
  std::vector<uint8_t> data;
  long tag = 0;
  std::optional<ORVError> error;
  bool onDelegateQueue = false;
};

class Recorder : public ORVStreamSocketDelegate {
 public:
  explicit Recorder(orv::DispatchQueuePtr queue) : queue_(std::move(queue)) {}

  void socket(ORVStreamSocket&, const std::string& host, uint16_t port) override {
    Event e{Event::Connect};
    e.host = host;
    e.port = port;
    add(std::move(e));
  }
  void socket(ORVStreamSocket& sock, std::span<const uint8_t> data, long tag) override {
    Event e{Event::Read};
    e.data.assign(data.begin(), data.end());
    e.tag = tag;
    add(std::move(e));
    if (readAgain) sock.readDataWithTimeout(-1, nullptr, 0, 0, tag);
  }
  void socket(ORVStreamSocket&, long tag) override {
    Event e{Event::Write};
    e.tag = tag;
    add(std::move(e));
  }
  void socketDidDisconnect(ORVStreamSocket&, const std::optional<ORVError>& error) override {
    Event e{Event::Disconnect};
    e.error = error;
    add(std::move(e));
  }

  // Waits until `count` events of that kind have arrived; returns all events.
  std::vector<Event> waitFor(Event::Kind kind, std::size_t count = 1, std::chrono::milliseconds limit = 5000ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return countLocked(kind) >= count; });
    return events_;
  }
  std::size_t count(Event::Kind kind) {
    std::lock_guard lock(mutex_);
    return countLocked(kind);
  }
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

  bool readAgain = false;  // issue the next read from the read callback, as the connector does

 private:
  void add(Event e) {
    e.onDelegateQueue = queue_->isCurrent();
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(e));
    changed_.notify_all();
  }
  std::size_t countLocked(Event::Kind kind) const {
    std::size_t n = 0;
    for (const auto& e : events_) n += e.kind == kind;
    return n;
  }

  orv::DispatchQueuePtr queue_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

class StreamSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    delegateQueue = orv::DispatchQueue::serial("test.delegate");
    recorder = std::make_shared<Recorder>(delegateQueue);
    sock = ORVStreamSocket::create(recorder, delegateQueue);
    sock->setPreferIPv4OverIPv6(true);
  }
  void connect(LoopbackListener& listener, const std::string& host = "127.0.0.1") {
    const std::size_t connects = recorder->count(Event::Connect);
    ORVError error;
    ASSERT_TRUE(sock->connectToHost(host, listener.port(), 5, error)) << error.message;
    peer = listener.accept(&peerIo);
    ASSERT_EQ(recorder->waitFor(Event::Connect, connects + 1).back().kind, Event::Connect);
  }
  static std::shared_ptr<const std::vector<uint8_t>> share(std::vector<uint8_t> v) {
    return std::make_shared<const std::vector<uint8_t>>(std::move(v));
  }

  orv::DispatchQueuePtr delegateQueue;
  std::shared_ptr<Recorder> recorder;
  ORVStreamSocketPtr sock;
  asio::io_context peerIo;  // outlives the test's listeners
  std::unique_ptr<asio::ip::tcp::socket> peer;
};

TEST_F(StreamSocketTest, ConnectsReadsAndWritesInOrderOnTheDelegateQueue) {
  LoopbackListener listener;
  connect(listener, "localhost");  // answered locally, IPv4 first
  auto events = recorder->events();
  EXPECT_EQ(events[0].host, "127.0.0.1");
  EXPECT_EQ(events[0].port, listener.port());
  EXPECT_TRUE(sock->isConnected());

  asio::write(*peer, asio::buffer(std::string("hello")));
  sock->readDataWithTimeout(-1, nullptr, 0, 65536, 7);
  sock->writeData(share(bytes("abc")), -1, 1);
  sock->writeData(share(bytes("xxdefxx")), 2, 3, -1, 2);
  sock->writeData(share(bytes("ignored")), 0, 0, -1, 3);  // zero length: nothing queued

  std::string got(6, '\0');
  asio::read(*peer, asio::buffer(got));
  EXPECT_EQ(got, "abcdef");
  events = recorder->waitFor(Event::Write, 2);
  recorder->waitFor(Event::Read);
  events = recorder->events();
  std::vector<long> writeTags;
  for (const auto& e : events) {
    EXPECT_TRUE(e.onDelegateQueue);
    if (e.kind == Event::Write) writeTags.push_back(e.tag);
    if (e.kind == Event::Read) {
      EXPECT_EQ(e.data, bytes("hello"));
      EXPECT_EQ(e.tag, 7);
    }
  }
  EXPECT_EQ(writeTags, (std::vector<long>{1, 2}));
  EXPECT_THROW(sock->writeData(share(bytes("abc")), 2, 2, -1, 0), std::out_of_range);
}

TEST_F(StreamSocketTest, ReadsCompleteWithWhatIsAvailableIntoACallerBuffer) {
  LoopbackListener listener;
  connect(listener);
  auto buffer = std::make_shared<std::vector<uint8_t>>(bytes("ab"));
  sock->readDataWithTimeout(-1, buffer, 5, 0, 1);  // offset past the end: ignored
  sock->readDataWithTimeout(-1, buffer, 2, 3, 2);  // at most 3 bytes after "ab"
  asio::write(*peer, asio::buffer(std::string("cdefg")));
  auto events = recorder->waitFor(Event::Read);
  ASSERT_EQ(recorder->count(Event::Read), 1u);
  EXPECT_EQ(events.back().tag, 2);
  EXPECT_EQ(events.back().data, bytes("cde"));
  EXPECT_EQ(*buffer, bytes("abcde"));
  sock->readDataWithTimeout(-1, nullptr, 0, 100, 3);
  events = recorder->waitFor(Event::Read, 2);
  EXPECT_EQ(events.back().data, bytes("fg"));  // the rest, though 100 were allowed
}

TEST_F(StreamSocketTest, ReadsWithoutABufferDeliverABulkTransferIntactInGrowingChunks) {
  LoopbackListener listener;
  connect(listener);
  std::vector<uint8_t> sent(4 << 20);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i * 131 + i / 251);
  recorder->readAgain = true;
  sock->readDataWithTimeout(-1, nullptr, 0, 0, 0);
  std::thread writer([&] { asio::write(*peer, asio::buffer(sent)); });
  std::vector<uint8_t> received;
  std::size_t largest = 0;
  for (std::size_t seen = 0; received.size() < sent.size();) {
    const auto events = recorder->waitFor(Event::Read, seen + 1);
    if (events.size() == seen) break;  // nothing more within the limit
    for (; seen < events.size(); ++seen) {
      received.insert(received.end(), events[seen].data.begin(), events[seen].data.end());
      largest = std::max(largest, events[seen].data.size());
    }
  }
  writer.join();
  EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
  // The first reads take at most the small initial buffer; a bulk transfer
  // makes it grow up to the default read length and never beyond.
  EXPECT_GT(largest, ORVStreamSocket::kInitialReceiveLength);
  EXPECT_LE(largest, ORVStreamSocket::kDefaultReadLength);
  EXPECT_LE(recorder->events().front().data.size(), ORVStreamSocket::kInitialReceiveLength);
}

TEST_F(StreamSocketTest, OtherNamesGoThroughTheResolver) {
  // Only the exact "localhost" is answered locally; the system resolver
  // answers this spelling from the hosts file, still on loopback.
  LoopbackListener listener;
  connect(listener, "LOCALHOST");
  EXPECT_EQ(recorder->events()[0].host, "127.0.0.1");
}

TEST_F(StreamSocketTest, ConnectsOverIPv6Loopback) {
  std::unique_ptr<LoopbackListener> listener;
  try {
    listener = std::make_unique<LoopbackListener>(asio::ip::address_v6::loopback());
  } catch (const std::exception& e) {
    GTEST_SKIP() << "::1 is not available on this machine: " << e.what();
  }
  connect(*listener, "::1");
  EXPECT_EQ(recorder->events()[0].host, "::1");
  EXPECT_EQ(sock->connectedHost(), "::1");
  sock->disconnect();
  // With IPv4 disabled, "localhost" means ::1.
  sock->setIPv4Enabled(false);
  connect(*listener, "localhost");
  EXPECT_EQ(recorder->waitFor(Event::Connect, 2).back().host, "::1");
}

TEST_F(StreamSocketTest, RefusedConnectionIsReportedOnce) {
  uint16_t port;
  {
    LoopbackListener closed;
    port = closed.port();
  }
  ORVError error;
  ASSERT_TRUE(sock->connectToHost("127.0.0.1", port, 5, error));
  auto events = recorder->waitFor(Event::Disconnect);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_TRUE(events[0].error);
  EXPECT_EQ(events[0].error->domain, kORVPOSIXErrorDomain);
  EXPECT_EQ(events[0].error->code, ECONNREFUSED);
  EXPECT_EQ(events[0].error->reason, "Error in connect() function");
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(recorder->count(Event::Disconnect), 1u);
}

TEST_F(StreamSocketTest, ConnectTimesOutAgainstAFullAcceptQueue) {
  // A listener that never accepts, backlog 0: once its accept queue holds a
  // connection the kernel drops further SYNs, so a connect hangs.
  LoopbackListener listener(asio::ip::address_v4::loopback(), 0);
  asio::io_context io;
  std::vector<std::unique_ptr<asio::ip::tcp::socket>> fillers;
  for (int i = 0; i < 8; ++i) {
    auto s = std::make_unique<asio::ip::tcp::socket>(io);
    bool done = false;
    s->async_connect({asio::ip::address_v4::loopback(), listener.port()}, [&](const std::error_code&) { done = true; });
    io.restart();
    io.run_for(200ms);
    fillers.push_back(std::move(s));
    if (!done) break;  // this one hangs: the queue is full
  }
  ORVError error;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(sock->connectToHost("127.0.0.1", listener.port(), 0.2, error));
  auto events = recorder->waitFor(Event::Disconnect);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_TRUE(events[0].error);
  EXPECT_EQ(*events[0].error, (ORVError{kORVStreamSocketErrorDomain, ORVStreamSocketConnectTimeoutError,
                                        "Attempt to connect to host timed out", ""}));
}

TEST_F(StreamSocketTest, ReadAndWriteTimeOutsCloseTheConnection) {
  LoopbackListener listener;
  connect(listener);
  sock->readDataWithTimeout(0.1, nullptr, 0, 0, 0);
  auto events = recorder->waitFor(Event::Disconnect);
  ASSERT_TRUE(events.back().error);
  EXPECT_EQ(events.back().error->code, ORVStreamSocketReadTimeoutError);
  EXPECT_EQ(events.back().error->message, "Read operation timed out");

  // A peer that never reads: 32 MiB cannot fit in the loopback buffers.
  connect(listener);
  sock->writeData(share(std::vector<uint8_t>(32 << 20, 'w')), 0.2, 9);
  events = recorder->waitFor(Event::Disconnect, 2);
  ASSERT_TRUE(events.back().error);
  EXPECT_EQ(events.back().error->code, ORVStreamSocketWriteTimeoutError);
  EXPECT_EQ(events.back().error->message, "Write operation timed out");
  EXPECT_EQ(recorder->count(Event::Write), 0u);
}

TEST_F(StreamSocketTest, PeerCloseIsReportedAsClosedByRemotePeer) {
  LoopbackListener listener;
  connect(listener);
  recorder->readAgain = true;
  sock->readDataWithTimeout(-1, nullptr, 0, 0, 0);
  asio::write(*peer, asio::buffer(std::string("last")));
  peer->close();
  auto events = recorder->waitFor(Event::Disconnect);
  ASSERT_TRUE(events.back().error);
  EXPECT_EQ(*events.back().error,
            (ORVError{kORVStreamSocketErrorDomain, ORVStreamSocketClosedError, "Socket closed by remote peer", ""}));
  EXPECT_EQ(recorder->count(Event::Read), 1u);
  EXPECT_TRUE(sock->isDisconnected());
}

TEST_F(StreamSocketTest, DisconnectDropsQueuedWritesAndReportsOnceWithoutError) {
  LoopbackListener listener;
  connect(listener);
  const std::size_t piece = 8 << 20;
  for (long tag = 1; tag <= 4; ++tag) sock->writeData(share(std::vector<uint8_t>(piece, 'q')), -1, tag);
  sock->disconnect();
  sock->disconnect();  // already closed: no second callback
  sock->writeData(share(bytes("late")), -1, 5);  // ignored once closed
  const auto received = LoopbackListener::readToEnd(*peer);
  EXPECT_LT(received.size(), 4 * piece);
  auto events = recorder->waitFor(Event::Disconnect);
  std::this_thread::sleep_for(20ms);
  events = recorder->events();
  EXPECT_EQ(recorder->count(Event::Disconnect), 1u);
  EXPECT_FALSE(events.back().error);
  EXPECT_EQ(events.back().kind, Event::Disconnect);
  EXPECT_LT(recorder->count(Event::Write), 4u);

  // The socket can connect again after a disconnect.
  connect(listener);
  EXPECT_EQ(recorder->count(Event::Connect), 2u);
}

TEST_F(StreamSocketTest, DisconnectAfterWritingDeliversOneMiBInOrder) {
  LoopbackListener listener;
  connect(listener);
  std::vector<uint8_t> expected;
  std::size_t pieces = 0;
  for (std::size_t size = 1; expected.size() < (1u << 20); size = size * 3 % 65521 + 1, ++pieces) {
    std::vector<uint8_t> chunk(size);
    for (auto& b : chunk) b = static_cast<uint8_t>(expected.size() * 7 + (&b - chunk.data()) + pieces);
    expected.insert(expected.end(), chunk.begin(), chunk.end());
    sock->writeData(share(std::move(chunk)), -1, static_cast<long>(pieces));
  }
  sock->disconnectAfterWriting();
  sock->readDataWithTimeout(-1, nullptr, 0, 0, 0);     // refused while shutting down
  sock->writeData(share(bytes("more")), -1, 100000);  // likewise
  const auto received = LoopbackListener::readToEnd(*peer);
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
  auto events = recorder->waitFor(Event::Disconnect);
  ASSERT_EQ(recorder->count(Event::Write), pieces);
  long next = 0;
  for (const auto& e : events) {
    if (e.kind == Event::Write) {
      EXPECT_EQ(e.tag, next++);
    }
  }
  EXPECT_EQ(events.back().kind, Event::Disconnect);
  EXPECT_FALSE(events.back().error);
  EXPECT_EQ(recorder->count(Event::Read), 0u);
}

TEST_F(StreamSocketTest, RefusesUnusableConnectCalls) {
  ORVError error;
  EXPECT_FALSE(sock->connectToHost("", 80, -1, error));
  EXPECT_EQ(error.code, ORVStreamSocketBadParamError);
  EXPECT_EQ(error.message.rfind("Invalid host parameter", 0), 0u);

  sock->setIPv4Enabled(false);
  sock->setIPv6Enabled(false);
  EXPECT_FALSE(sock->connectToHost("127.0.0.1", 80, -1, error));
  EXPECT_EQ(error.code, ORVStreamSocketBadConfigError);
  sock->setIPv4Enabled(true);

  LoopbackListener listener;
  ASSERT_TRUE(sock->connectToHost("127.0.0.1", listener.port(), -1, error));
  EXPECT_FALSE(sock->connectToHost("127.0.0.1", listener.port(), -1, error));
  EXPECT_EQ(error.message, "Attempting to connect while connected or accepting connections. Disconnect first.");

  auto noQueue = ORVStreamSocket::create(recorder, nullptr);
  EXPECT_FALSE(noQueue->connectToHost("127.0.0.1", listener.port(), -1, error));
  EXPECT_EQ(error.message, "Attempting to connect without a delegate queue. Set a delegate queue first.");
  auto noDelegate = ORVStreamSocket::create(std::weak_ptr<ORVStreamSocketDelegate>(), delegateQueue);
  EXPECT_FALSE(noDelegate->connectToHost("127.0.0.1", listener.port(), -1, error));
  EXPECT_EQ(error.domain, kORVStreamSocketErrorDomain);
  EXPECT_EQ(error.message, "Attempting to connect without a delegate. Set a delegate first.");
}

TEST_F(StreamSocketTest, KeepAliveOnlyOnTheSocketQueue) {
  LoopbackListener listener;
  connect(listener);
  EXPECT_FALSE(sock->enableBackgroundingOnSocket());
  bool enabled = false;
  sock->performBlock([&] { enabled = sock->enableBackgroundingOnSocket(); });
  EXPECT_TRUE(enabled);
}

TEST_F(StreamSocketTest, DestroyingWithPendingWorkIsSafeAndSilent) {
  LoopbackListener listener;
  connect(listener);
  for (int i = 0; i < 3; ++i) sock->writeData(share(std::vector<uint8_t>(8 << 20, 'd')), 1, i);
  sock->readDataWithTimeout(1, nullptr, 0, 0, 0);
  const auto before = recorder->events().size();
  sock.reset();
  const auto received = LoopbackListener::readToEnd(*peer);  // the connection is closed
  EXPECT_LT(received.size(), 24u << 20);
  std::this_thread::sleep_for(30ms);
  EXPECT_LE(recorder->events().size(), before + 1);  // at most a write that had already completed

  // Released by the delegate's own callback, on the delegate queue.
  auto holder = std::make_shared<ORVStreamSocketPtr>(ORVStreamSocket::create(recorder, delegateQueue));
  ORVError error;
  ASSERT_TRUE((*holder)->connectToHost("127.0.0.1", listener.port(), 5, error));
  auto accepted = listener.accept();
  recorder->waitFor(Event::Connect, 2);
  delegateQueue->sync([holder] { holder->reset(); });
  EXPECT_TRUE(LoopbackListener::readToEnd(*accepted).empty());  // closed: the peer reads end of stream
}

}  // namespace
