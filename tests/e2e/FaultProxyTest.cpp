#include "tests/support/FaultProxy.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {
namespace {

using namespace std::chrono_literals;
using Dir = FaultProxy::Direction;
using Clock = std::chrono::steady_clock;

// Blocking echo server, one thread per connection. Counts what it received
// and how its connections ended, so tests can see the server side of a fault.
class EchoServer {
 public:
  EchoServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listenFd_, 64) != 0) std::abort();
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
  }
  ~EchoServer() {
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptor_.join();
    {
      std::lock_guard lock(mutex_);
      for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : workers_) t.join();
    for (int fd : fds_) ::close(fd);
    ::close(listenFd_);
  }
  uint16_t port() const { return port_; }
  uint64_t received() const { return received_.load(); }
  int accepted() const { return accepted_.load(); }
  int resets() const { return resets_.load(); }

 private:
  void acceptLoop() {
    for (;;) {
      int fd = ::accept(listenFd_, nullptr, nullptr);
      if (fd < 0) return;
      accepted_++;
      std::lock_guard lock(mutex_);
      fds_.push_back(fd);
      workers_.emplace_back([this, fd] { serve(fd); });
    }
  }
  void serve(int fd) {
    char buf[4096];
    for (;;) {
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) {
        if (n < 0 && errno == ECONNRESET) resets_++;
        ::shutdown(fd, SHUT_WR);  // answer the peer's close; the fd is closed at the end
        return;
      }
      received_ += static_cast<uint64_t>(n);
      if (::send(fd, buf, static_cast<size_t>(n), MSG_NOSIGNAL) != n) return;
    }
  }
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> fds_;
  std::vector<std::thread> workers_;
  std::atomic<uint64_t> received_{0};
  std::atomic<int> accepted_{0};
  std::atomic<int> resets_{0};
};

// How a read of everything up to the end of the connection finished.
enum class End { Eof, Reset, Timeout };

class Client {
 public:
  // Connects to 127.0.0.1:port; error() is the errno when that failed.
  explicit Client(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) error_ = errno;
  }
  ~Client() { ::close(fd_); }
  int error() const { return error_; }
  void send(const std::string& s) { ASSERT_EQ(::send(fd_, s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size())); }
  // Reads until `n` bytes arrived, the connection ended or the time ran out.
  std::string read(size_t n, std::chrono::milliseconds timeout = 5s) {
    std::string out;
    end_ = End::Timeout;
    const auto deadline = Clock::now() + timeout;
    while (out.size() < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return out;
      char buf[65536];
      ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
      if (got <= 0) {
        end_ = got == 0 ? End::Eof : (errno == ECONNRESET ? End::Reset : End::Timeout);
        return out;
      }
      reads_++;
      out.append(buf, size_t(got));
    }
    return out;
  }
  std::string readToEnd(std::chrono::milliseconds timeout = 5s) { return read(SIZE_MAX, timeout); }
  End end() const { return end_; }
  int reads() const { return reads_; }

 private:
  int fd_ = -1;
  int error_ = 0;
  End end_ = End::Timeout;
  int reads_ = 0;
};

template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char('a' + (i * 7 + i / 26) % 26);
  return s;
}

class FaultProxyTest : public ::testing::Test {
 protected:
  EchoServer server;
  FaultProxy proxy{server.port()};
};

TEST_F(FaultProxyTest, ForwardsBothWaysIntactAndCounts) {
  const std::string data = pattern(300000);
  {
    Client c(proxy.port());
    ASSERT_EQ(c.error(), 0);
    std::thread writer([&] { c.send(data); });
    const std::string back = c.read(data.size());
    writer.join();
    EXPECT_TRUE(back == data);
    // A chunk is counted when its write completes, which may be just after
    // the peer has already read it.
    eventually([&] {
      return proxy.bytesForwarded(Dir::ClientToServer) == data.size() &&
             proxy.bytesForwarded(Dir::ServerToClient) == data.size();
    });
    EXPECT_EQ(proxy.bytesForwarded(Dir::ClientToServer), data.size());
    EXPECT_EQ(proxy.bytesForwarded(Dir::ServerToClient), data.size());
    EXPECT_EQ(proxy.connectionsSeen(), 1u);
    EXPECT_EQ(proxy.liveConnections(), 1u);
  }
  // The client's close travels through; the proxy lets go of the connection.
  EXPECT_TRUE(eventually([&] { return proxy.liveConnections() == 0; }));
  EXPECT_EQ(server.received(), data.size());
}

TEST_F(FaultProxyTest, CutTowardClientStopsAfterExactlyNMoreBytes) {
  for (auto mode : {FaultProxy::CloseMode::Fin, FaultProxy::CloseMode::Reset}) {
    Client c(proxy.port());
    c.send("warm-up!");
    ASSERT_EQ(c.read(8), "warm-up!");
    proxy.cutAfter(Dir::ServerToClient, 37, mode);
    const std::string data = pattern(100);
    c.send(data);
    EXPECT_EQ(c.readToEnd(), data.substr(0, 37));
    EXPECT_EQ(c.end(), mode == FaultProxy::CloseMode::Fin ? End::Eof : End::Reset);
    EXPECT_TRUE(eventually([&] { return proxy.liveConnections() == 0; }));
  }
  EXPECT_EQ(proxy.connectionsCut(), 2u);
  // The cut is one-shot: the next connection is forwarded whole.
  Client again(proxy.port());
  again.send(pattern(500));
  EXPECT_EQ(again.read(500), pattern(500));
}

TEST_F(FaultProxyTest, CutTowardServerLetsOnlyNBytesReachIt) {
  Client c(proxy.port());
  c.send("abc");
  ASSERT_EQ(c.read(3), "abc");
  proxy.cutAfter(Dir::ClientToServer, 5);
  c.send("0123456789012345");
  const std::string got = c.readToEnd();
  EXPECT_NE(c.end(), End::Timeout);
  EXPECT_EQ(got, std::string("01234").substr(0, got.size()));  // at most the echo of what passed
  EXPECT_TRUE(eventually([&] { return server.received() == 3 + 5; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server.received(), 3u + 5u);
  EXPECT_EQ(proxy.bytesForwarded(Dir::ClientToServer), 3u + 5u);
}

TEST_F(FaultProxyTest, DelayHoldsChunksBackInOrderUntilTurnedOff) {
  proxy.setDelay(150ms);
  Client c(proxy.port());
  auto start = Clock::now();
  std::string sent;
  for (int i = 0; i < 20; ++i) {
    const std::string piece = "m" + std::to_string(i) + ";";
    c.send(piece);
    sent += piece;
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(c.read(sent.size()), sent);
  EXPECT_GE(Clock::now() - start, 300ms);  // held back once each way
  proxy.setDelay(0ms);
  start = Clock::now();
  c.send("fast");
  EXPECT_EQ(c.read(4), "fast");
  EXPECT_LT(Clock::now() - start, 300ms);
}

TEST_F(FaultProxyTest, SplitWritesArriveInSmallPiecesIntact) {
  proxy.setSplit(1, 3ms);
  Client c(proxy.port());
  const std::string data = pattern(30);
  const auto start = Clock::now();
  c.send(data);
  EXPECT_EQ(c.read(data.size()), data);
  EXPECT_GE(Clock::now() - start, 29 * 3ms);
  EXPECT_GE(c.reads(), 3);  // one write toward us would have been one read
  // Large pieces without a pause keep a big transfer intact.
  proxy.setSplit(1000);
  const std::string big = pattern(70000);
  std::thread writer([&] { c.send(big); });
  EXPECT_TRUE(c.read(big.size()) == big);
  writer.join();
}

TEST_F(FaultProxyTest, ResetAllSendsRstToBothPeers) {
  Client c(proxy.port());
  c.send("hello");
  ASSERT_EQ(c.read(5), "hello");
  proxy.resetAll();
  EXPECT_EQ(c.readToEnd(), "");
  EXPECT_EQ(c.end(), End::Reset);
  EXPECT_TRUE(eventually([&] { return server.resets() == 1; }));
  EXPECT_EQ(proxy.liveConnections(), 0u);
}

TEST_F(FaultProxyTest, RefusesByClosingAcceptedConnectionsUntilToldOtherwise) {
  proxy.refuse(FaultProxy::RefuseMode::AcceptAndClose);
  {
    Client c(proxy.port());
    EXPECT_EQ(c.error(), 0);
    EXPECT_EQ(c.readToEnd(), "");
    EXPECT_EQ(c.end(), End::Eof);
  }
  EXPECT_EQ(proxy.connectionsRefused(), 1u);
  EXPECT_EQ(proxy.connectionsSeen(), 0u);
  EXPECT_EQ(server.accepted(), 0);
  proxy.acceptAgain();
  Client c(proxy.port());
  c.send("back");
  EXPECT_EQ(c.read(4), "back");
  EXPECT_EQ(server.accepted(), 1);
}

TEST_F(FaultProxyTest, StopsListeningForAPeriodThenListensOnTheSamePort) {
  const uint16_t port = proxy.port();
  const auto start = Clock::now();
  proxy.refuse(FaultProxy::RefuseMode::StopListening, 200ms);
  EXPECT_EQ(Client(port).error(), ECONNREFUSED);
  bool connected = false;
  while (!connected && Clock::now() - start < 5s) {
    auto c = std::make_unique<Client>(port);
    if (c->error() == 0) {
      connected = true;
      EXPECT_GE(Clock::now() - start, 200ms);
      c->send("again");
      EXPECT_EQ(c->read(5), "again");
    } else {
      std::this_thread::sleep_for(10ms);
    }
  }
  EXPECT_TRUE(connected);
  EXPECT_EQ(proxy.port(), port);
}

TEST(FaultProxyLifetimeTest, DestroyedWithDelayedBytesAndLiveConnections) {
  EchoServer server;
  auto proxy = std::make_unique<FaultProxy>(server.port());
  proxy->setDelay(2000ms);
  Client a(proxy->port()), b(proxy->port());
  a.send(pattern(1000));
  b.send(pattern(1000));
  EXPECT_TRUE(eventually([&] { return proxy->liveConnections() == 2; }));
  const auto start = Clock::now();
  proxy.reset();
  EXPECT_LT(Clock::now() - start, 1000ms);  // pending delays do not hold the shutdown
  EXPECT_EQ(a.readToEnd(), "");
  EXPECT_EQ(server.received(), 0u);
}

}  // namespace
}  // namespace orv::test
