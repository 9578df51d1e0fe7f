#include "transport/ORVDatagramSocket.h"

#include <gtest/gtest.h>

#include <future>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "wire/ORVExceptions.h"

namespace {

using namespace std::chrono_literals;

struct UdpEvent {
  enum Kind { Connected, NotConnected, Sent, NotSent, Received, Closed } kind;
  explicit UdpEvent(Kind k) : kind(k) {}
  long tag = 0;
  std::optional<ORVError> error;
  std::string data;
  ORVDatagramAddress address;
  std::string context;
  bool onDelegateQueue = false;
};

class UdpRecorder : public ORVDatagramSocketDelegate {
 public:
  explicit UdpRecorder(orv::DispatchQueuePtr q) : queue_(std::move(q)) {}
  void udpSocket(ORVDatagramSocket&, const ORVDatagramAddress& address) override {
    UdpEvent e(UdpEvent::Connected);
    e.address = address;
    add(std::move(e));
  }
  void udpSocket(ORVDatagramSocket&, const ORVError& error) override {
    UdpEvent e(UdpEvent::NotConnected);
    e.error = error;
    add(std::move(e));
  }
  void udpSocket(ORVDatagramSocket&, long tag) override {
    UdpEvent e(UdpEvent::Sent);
    e.tag = tag;
    add(std::move(e));
  }
  void udpSocket(ORVDatagramSocket&, long tag, const ORVError& error) override {
    UdpEvent e(UdpEvent::NotSent);
    e.tag = tag;
    e.error = error;
    add(std::move(e));
  }
  void udpSocket(ORVDatagramSocket&, std::span<const uint8_t> data, const ORVDatagramAddress& from,
                 const std::any& context) override {
    UdpEvent e(UdpEvent::Received);
    e.data.assign(data.begin(), data.end());
    e.address = from;
    if (context.has_value()) e.context = std::any_cast<std::string>(context);
    add(std::move(e));
  }
  void udpSocketDidClose(ORVDatagramSocket&, const std::optional<ORVError>& error) override {
    UdpEvent e(UdpEvent::Closed);
    e.error = error;
    add(std::move(e));
  }

  // The events of that kind once `count` of them arrived (or the time ran out).
  std::vector<UdpEvent> waitFor(UdpEvent::Kind kind, std::size_t count = 1, std::chrono::milliseconds limit = 3000ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return ofKind(kind).size() >= count; });
    return ofKind(kind);
  }

 private:
  std::vector<UdpEvent> ofKind(UdpEvent::Kind kind) const {
    std::vector<UdpEvent> out;
    for (const auto& e : events_) {
      if (e.kind == kind) out.push_back(e);
    }
    return out;
  }
  void add(UdpEvent e) {
    e.onDelegateQueue = queue_->isCurrent();
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(e));
    changed_.notify_all();
  }
  orv::DispatchQueuePtr queue_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<UdpEvent> events_;
};

ORVDatagramSocket::DataPtr text(const std::string& s) {
  return std::make_shared<const std::vector<uint8_t>>(s.begin(), s.end());
}

class DatagramSocketTest : public ::testing::Test {
 protected:
  orv::DispatchQueuePtr queue = orv::DispatchQueue::serial("test.udp.delegate");
  std::shared_ptr<UdpRecorder> a = std::make_shared<UdpRecorder>(queue);
  std::shared_ptr<UdpRecorder> b = std::make_shared<UdpRecorder>(queue);
  ORVDatagramSocketPtr sockA = ORVDatagramSocket::create(a, queue);
  ORVDatagramSocketPtr sockB = ORVDatagramSocket::create(b, queue);
  ORVError error;
};

TEST_F(DatagramSocketTest, SendsAndReceivesOnLoopback) {
  ASSERT_TRUE(sockB->bindToPort(0, "127.0.0.1", error)) << error.message;
  ASSERT_TRUE(sockB->beginReceiving(error));
  const uint16_t portB = sockB->localPort();
  ASSERT_NE(portB, 0);

  sockA->sendData(text("ping"), "127.0.0.1", portB, 1, 1);  // binds A implicitly
  sockA->sendData(text("pong"), ORVDatagramAddress(asio::ip::make_address("127.0.0.1"), portB), -1, 2);
  auto sent = a->waitFor(UdpEvent::Sent, 2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].tag, 1);
  EXPECT_EQ(sent[1].tag, 2);
  auto got = b->waitFor(UdpEvent::Received, 2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].data, "ping");
  EXPECT_EQ(got[1].data, "pong");
  EXPECT_EQ(got[0].address.port(), sockA->localPort());
  EXPECT_TRUE(got[0].onDelegateQueue);

  // receiveOnce takes exactly one datagram; the next waits for the next call.
  ASSERT_TRUE(sockA->receiveOnce(error));
  sockB->sendData(text("one"), got[0].address, -1, 10);
  sockB->sendData(text("two"), got[0].address, -1, 11);
  b->waitFor(UdpEvent::Sent, 2);
  EXPECT_EQ(a->waitFor(UdpEvent::Received).at(0).data, "one");
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(a->waitFor(UdpEvent::Received, 1, 0ms).size(), 1u);
  ASSERT_TRUE(sockA->receiveOnce(error));
  auto both = a->waitFor(UdpEvent::Received, 2);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].data, "two");
}

TEST_F(DatagramSocketTest, BindAndConnectRules) {
  EXPECT_FALSE(sockA->receiveOnce(error));  // nothing bound yet
  EXPECT_EQ(error.code, ORVDatagramSocketBadConfigError);
  EXPECT_EQ(error.message.rfind("Must bind socket before you can receive data.", 0), 0u);
  EXPECT_FALSE(sockA->bindToPort(0, "not-an-interface", error));
  EXPECT_EQ(error.code, ORVDatagramSocketBadParamError);

  ASSERT_TRUE(sockA->bindToPort(0, "127.0.0.1", error));
  EXPECT_FALSE(sockA->bindToPort(0, error));
  EXPECT_EQ(error, (ORVError{kORVDatagramSocketErrorDomain, ORVDatagramSocketBadConfigError,
                             "Cannot bind a socket more than once.", ""}));
  EXPECT_TRUE(sockA->isIPv4());
  EXPECT_FALSE(sockA->isClosed());

  // Connecting before binding binds implicitly; the second connect is refused.
  ASSERT_TRUE(sockB->bindToPort(0, "127.0.0.1", error));
  ASSERT_FALSE(sockA->isConnected());
  EXPECT_FALSE(sockA->connectToHost("", 1, error));
  EXPECT_EQ(error.message, "The host param is nil. Should be domain name or IP address string.");
  auto fresh = ORVDatagramSocket::create(a, queue);
  fresh->setPreferIPv4();
  ASSERT_TRUE(fresh->connectToHost("localhost", sockB->localPort(), error));
  auto connected = a->waitFor(UdpEvent::Connected);
  ASSERT_EQ(connected.size(), 1u);
  EXPECT_EQ(connected[0].address.address().to_string(), "127.0.0.1");
  EXPECT_TRUE(fresh->isConnected());
  EXPECT_NE(fresh->localPort(), 0);
  EXPECT_EQ(fresh->connectedPort(), sockB->localPort());
  EXPECT_FALSE(fresh->connectToHost("127.0.0.1", sockB->localPort(), error));
  EXPECT_EQ(error.message, "Cannot connect a socket more than once.");
  EXPECT_FALSE(fresh->bindToPort(0, error));
  EXPECT_EQ(error.message, "Cannot bind after connecting. If needed, bind first, then connect.");

  // Connected sockets send without a destination, and only so.
  ASSERT_TRUE(sockB->beginReceiving(error));
  fresh->sendData(text("via connect"), -1, 5);
  fresh->sendData(text("to host"), "127.0.0.1", sockB->localPort(), -1, 6);
  sockA->sendData(text("no destination"), -1, 7);
  EXPECT_EQ(b->waitFor(UdpEvent::Received).at(0).data, "via connect");
  auto refused = a->waitFor(UdpEvent::NotSent, 2);
  ASSERT_EQ(refused.size(), 2u);
  // Two sockets, two socket queues: their reports may come in either order.
  std::sort(refused.begin(), refused.end(), [](const UdpEvent& x, const UdpEvent& y) { return x.tag < y.tag; });
  EXPECT_EQ(refused[0].tag, 6);
  EXPECT_EQ(refused[1].tag, 7);
  EXPECT_EQ(refused[0].error->code, ORVDatagramSocketBadConfigError);

  EXPECT_THROW(ORVDatagramSocket::create(a, queue, orv::DispatchQueue::concurrent("test.c")),
               ORVInvalidArgumentException);
}

TEST_F(DatagramSocketTest, PauseFiltersAndCloseAfterSending) {
  ASSERT_TRUE(sockB->bindToPort(0, "localhost", error));
  const ORVDatagramAddress toB(asio::ip::make_address("127.0.0.1"), sockB->localPort());
  auto filterQueue = orv::DispatchQueue::serial("test.udp.filter");
  sockB->setReceiveFilter(
      [](std::span<const uint8_t> data, const ORVDatagramAddress&, std::any& context) {
        if (!data.empty() && data[0] == 'x') return false;
        context = std::string("seen:") + std::to_string(data.size());
        return true;
      },
      filterQueue);
  ASSERT_TRUE(sockB->beginReceiving(error));
  sockB->pauseReceiving();
  sockA->sendData(text("xdrop"), toB, -1, 1);
  sockA->sendData(text("keep"), toB, -1, 2);
  a->waitFor(UdpEvent::Sent, 2);
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(b->waitFor(UdpEvent::Received, 1, 0ms).empty());  // paused
  ASSERT_TRUE(sockB->beginReceiving(error));
  auto got = b->waitFor(UdpEvent::Received);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, "keep");
  EXPECT_EQ(got[0].context, "seen:4");

  // The filter holds the first packet until the late send has been queued,
  // so that send meets a socket still closing (the queued sends could
  // otherwise all be out, and the socket closed, before it comes).
  std::promise<void> lateQueued;
  auto lateGate = lateQueued.get_future().share();
  sockA->setSendFilter(
      [lateGate](std::span<const uint8_t> data, const ORVDatagramAddress&, long) {
        if (data.size() == 3) lateGate.wait_for(2s);
        return data.size() != 3;
      },
      filterQueue);
  sockA->sendData(text("abc"), toB, -1, 3);
  for (long tag = 4; tag <= 6; ++tag) sockA->sendData(text("queued"), toB, -1, tag);
  sockA->closeAfterSending();
  sockA->sendData(text("late"), toB, -1, 7);
  sockA->performBlock([] {});  // the late send has been handled by the socket queue
  lateQueued.set_value();
  auto closed = a->waitFor(UdpEvent::Closed);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_FALSE(closed[0].error);
  auto sent = a->waitFor(UdpEvent::Sent, 5);
  ASSERT_EQ(sent.size(), 5u);
  for (long i = 0; i < 3; ++i) EXPECT_EQ(sent[2 + i].tag, 4 + i);
  auto notSent = a->waitFor(UdpEvent::NotSent, 2);
  ASSERT_EQ(notSent.size(), 2u);
  // The refusal of the late send is immediate; the filter answers later.
  std::sort(notSent.begin(), notSent.end(), [](const UdpEvent& x, const UdpEvent& y) { return x.tag < y.tag; });
  EXPECT_EQ(notSent[0].tag, 3);
  EXPECT_EQ(notSent[0].error->message, "Packet dropped by the send filter.");
  EXPECT_EQ(notSent[1].tag, 7);
  EXPECT_EQ(notSent[1].error->message, "Socket closed");
  EXPECT_EQ(b->waitFor(UdpEvent::Received, 4).size(), 4u);
  EXPECT_TRUE(sockA->isClosed());

  sockB->close();
  sockB->close();  // already closed: reported once
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(b->waitFor(UdpEvent::Closed, 2, 0ms).size(), 1u);
  ASSERT_TRUE(sockB->bindToPort(0, "127.0.0.1", error));  // usable again after close
}

TEST_F(DatagramSocketTest, RefusedDatagramsNeitherUseUpReceiveOnceNorCloseTheSocket) {
  ASSERT_TRUE(sockB->bindToPort(0, "127.0.0.1", error));
  sockB->setReceiveFilter([](std::span<const uint8_t> data, const ORVDatagramAddress&,
                             std::any&) { return data[0] != 'x'; },
                          orv::DispatchQueue::serial("test.udp.filter"));
  ASSERT_TRUE(sockB->receiveOnce(error));
  const ORVDatagramAddress toB(asio::ip::make_address("127.0.0.1"), sockB->localPort());
  sockA->sendData(text("xno"), toB, -1, 1);
  sockA->sendData(text("yes"), toB, -1, 2);
  auto got = b->waitFor(UdpEvent::Received);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, "yes");

  // A connected socket whose peer is gone gets an ICMP refusal: the datagram
  // is lost, the socket stays open.
  uint16_t deadPort;
  {
    auto gone = ORVDatagramSocket::create(b, queue);
    ASSERT_TRUE(gone->bindToPort(0, "127.0.0.1", error));
    deadPort = gone->localPort();
  }
  auto lonely = ORVDatagramSocket::create(a, queue);
  ASSERT_TRUE(lonely->connectToHost("127.0.0.1", deadPort, error));
  ASSERT_EQ(a->waitFor(UdpEvent::Connected).size(), 1u);
  ASSERT_TRUE(lonely->beginReceiving(error));
  lonely->sendData(text("anyone?"), -1, 3);
  ASSERT_EQ(a->waitFor(UdpEvent::Sent, 3).size(), 3u);
  std::this_thread::sleep_for(20ms);  // let the ICMP refusal arrive
  lonely->sendData(text("still?"), -1, 4);
  // The kernel hands the pending refusal to whichever call comes next: the
  // receive (ignored) or this send (reported for it).
  std::this_thread::sleep_for(30ms);
  const auto sent = a->waitFor(UdpEvent::Sent, 4, 0ms);
  const auto notSent = a->waitFor(UdpEvent::NotSent, 1, 0ms);
  EXPECT_EQ(sent.size() + notSent.size(), 4u);
  for (const auto& e : notSent) EXPECT_EQ(e.error->code, ECONNREFUSED);
  EXPECT_TRUE(a->waitFor(UdpEvent::Closed, 1, 0ms).empty());
  EXPECT_FALSE(lonely->isClosed());
}

TEST_F(DatagramSocketTest, WorksOverIPv6Loopback) {
  if (!sockB->bindToPort(0, "::1", error)) GTEST_SKIP() << "::1 is not available here: " << error.message;
  ASSERT_TRUE(sockB->beginReceiving(error));
  EXPECT_TRUE(sockB->isIPv6());
  EXPECT_FALSE(sockB->isIPv4());
  sockA->sendData(text("six"), "::1", sockB->localPort(), -1, 1);
  auto got = b->waitFor(UdpEvent::Received);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, "six");
  EXPECT_TRUE(got[0].address.address().is_v6());
}

TEST_F(DatagramSocketTest, DestroyingWithPendingSendsIsSilent) {
  ASSERT_TRUE(sockB->bindToPort(0, "127.0.0.1", error));
  for (long tag = 0; tag < 50; ++tag) sockA->sendData(text("burst"), "127.0.0.1", sockB->localPort(), 1, tag);
  ASSERT_TRUE(sockB->beginReceiving(error));
  sockA.reset();
  sockB.reset();
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(a->waitFor(UdpEvent::Closed, 1, 0ms).empty());  // destruction reports nothing
}

}  // namespace
