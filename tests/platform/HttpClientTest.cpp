#include "platform/HttpClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/DispatchQueue.h"
#include "platform/RunLoopMainQueue.h"
#include "tests/support/LocalReferenceServer.h"

namespace {

using namespace std::chrono_literals;

// A loopback TCP listener driven by the test: `silent` accepts nothing (the
// kernel completes the handshake, no answer ever comes); otherwise each
// connection gets `answer` written after the request is read, then closed.
class RawServer {
 public:
  explicit RawServer(std::string answer = {}, bool silent = true) : answer_(std::move(answer)) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd_, 16);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (!silent) {
      thread_ = std::thread([this] {
        const int c = accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        char buf[4096];
        (void)!read(c, buf, sizeof buf);
        size_t done = 0;
        while (done < answer_.size()) {
          const ssize_t n = write(c, answer_.data() + done, answer_.size() - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        close(c);
      });
    }
  }
  ~RawServer() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    if (thread_.joinable()) thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::string answer_;
  std::thread thread_;
};

// Collects results and waits for a count of them.
struct Results {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<int, orv::HttpResult>> items;
  std::vector<bool> onQueue;

  void add(int tag, const orv::HttpResult& r, bool queued) {
    std::lock_guard lock(mutex);
    items.emplace_back(tag, r);
    onQueue.push_back(queued);
    changed.notify_all();
  }
  bool waitFor(size_t count, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return items.size() >= count; });
  }
  size_t size() {
    std::lock_guard lock(mutex);
    return items.size();
  }
};

class HttpClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = orv::test::LocalReferenceServer::start().release();
    ASSERT_NE(server, nullptr) << orv::test::LocalReferenceServer::lastError();
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  static orv::test::LocalReferenceServer* server;

  std::shared_ptr<orv::HttpClient> client = orv::HttpClient::create();
  std::shared_ptr<orv::DispatchQueue> queue = orv::DispatchQueue::serial("http.test");
  Results results;
};
orv::test::LocalReferenceServer* HttpClientTest::server = nullptr;

TEST_F(HttpClientTest, AnswersRunOnTheChosenQueueInTheOrderTheyComplete) {
  // The order the client hands completions over is recorded before the
  // queue runs them: the queue must run them in that same order.
  std::mutex handMutex;
  std::vector<int> handedOver;
  const std::vector<std::string> paths = {"/api.ashx?type=getmsisdn", "/mobile/share/share.html?id=1",
                                          "/media/no-such-picture.png", "/api.ashx?type=nothing"};
  constexpr int kRequests = 12;
  for (int i = 0; i < kRequests; ++i) {
    auto inner = orv::executorFor(queue);
    orv::HttpExecutor recording = [&, i, inner](std::function<void()> task) {
      {
        std::lock_guard lock(handMutex);
        handedOver.push_back(i);
      }
      inner(std::move(task));
    };
    client->get(server->httpBase() + paths[i % paths.size()], recording,
                [this, i](const orv::HttpResult& r) { results.add(i, r, queue->isCurrent()); });
  }
  ASSERT_TRUE(results.waitFor(kRequests));
  queue->sync([] {});
  std::vector<int> ran;
  for (const auto& [tag, r] : results.items) ran.push_back(tag);
  EXPECT_EQ(ran, handedOver);
  for (size_t k = 0; k < results.items.size(); ++k) {
    EXPECT_TRUE(results.onQueue[k]);
    const auto& [tag, r] = results.items[k];
    ASSERT_TRUE(r.ok) << r.error;
    switch (tag % paths.size()) {
      case 0:
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, "1|");
        break;
      case 1: {
        EXPECT_EQ(r.status, 200);
        EXPECT_NE(r.body.find("<html"), std::string::npos);
        bool html = false;
        for (const auto& [name, value] : r.headers)
          if (name == "Content-Type") html = value.starts_with("text/html");
        EXPECT_TRUE(html);
        break;
      }
      case 2:
        EXPECT_EQ(r.status, 404);
        break;
      case 3:
        EXPECT_EQ(r.body, "1|unknown type");
        break;
    }
  }
}

TEST_F(HttpClientTest, MainQueueDeliveryAndPost) {
  auto main = std::make_shared<orv::RunLoopMainQueue>();
  bool onMain = false;
  orv::HttpResult got;
  orv::HttpRequest post;
  post.method = "POST";
  post.url = server->httpBase() + "/register/default.aspx";
  post.headers = {{"Content-Type", "text/plain"}};
  post.body = "x=1";
  int calls = 0;
  client->send(post, orv::executorFor(main), [&](const orv::HttpResult& r) {
    onMain = main->isCurrent();
    got = r;
    ++calls;
  });
  ASSERT_TRUE(main->runUntil([&] { return calls == 1; }, 10s));
  EXPECT_TRUE(onMain);
  ASSERT_TRUE(got.ok) << got.error;
  EXPECT_EQ(got.status, 415);  // the endpoint wants a form: it read our header
  main->runFor(50ms);
  EXPECT_EQ(calls, 1);
}

TEST_F(HttpClientTest, TimeOutAndRefusedConnectionAreErrors) {
  RawServer silent;
  orv::HttpRequest request;
  request.url = silent.url();
  request.timeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  client->send(request, orv::executorFor(queue), [this](const orv::HttpResult& r) { results.add(0, r, true); });
  ASSERT_TRUE(results.waitFor(1));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(results.items[0].second.ok);
  EXPECT_EQ(results.items[0].second.error, "timed out");
  EXPECT_GE(elapsed, 290ms);
  EXPECT_LT(elapsed, 3s);

  // Nobody listening on a port just freed.
  std::string closedUrl;
  { closedUrl = RawServer().url(); }
  client->get(closedUrl, orv::executorFor(queue), [this](const orv::HttpResult& r) { results.add(1, r, true); });
  ASSERT_TRUE(results.waitFor(2));
  EXPECT_FALSE(results.items[1].second.ok);
  EXPECT_FALSE(results.items[1].second.error.empty());
}

TEST_F(HttpClientTest, CancelledRequestsNeverCallBack) {
  // In flight: the transfer is dropped; nothing arrives, not even its time-out.
  RawServer silent;
  orv::HttpRequest request;
  request.url = silent.url();
  request.timeout = 200ms;
  const auto id = client->send(request, orv::executorFor(queue), [this](const orv::HttpResult& r) { results.add(0, r, true); });
  client->cancel(id);

  // Finished and handed to the executor, but not yet run: the completion
  // checks the cancel when it comes to run.
  std::mutex heldMutex;
  std::vector<std::function<void()>> held;
  orv::HttpExecutor holding = [&](std::function<void()> task) {
    std::lock_guard lock(heldMutex);
    held.push_back(std::move(task));
  };
  std::atomic<int> finishedCalls{0};
  const auto finished = client->get(server->httpBase() + "/api.ashx?type=getmsisdn", holding,
                                    [&](const orv::HttpResult&) { ++finishedCalls; });
  for (int i = 0; i < 1000; ++i) {
    {
      std::lock_guard lock(heldMutex);
      if (!held.empty()) break;
    }
    std::this_thread::sleep_for(5ms);
  }
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard lock(heldMutex);
    tasks = held;
  }
  ASSERT_EQ(tasks.size(), 1u);
  client->cancel(finished);
  tasks[0]();
  EXPECT_EQ(finishedCalls.load(), 0);

  // A later request on the same queue completes after the first one's
  // time-out would have passed: still no late callback from the cancelled one.
  std::this_thread::sleep_for(400ms);
  client->get(server->httpBase() + "/api.ashx?type=getmsisdn", orv::executorFor(queue),
              [this](const orv::HttpResult& r) { results.add(1, r, true); });
  ASSERT_TRUE(results.waitFor(1));
  queue->sync([] {});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results.items[0].first, 1);

  // Destroying the client cancels what is still running.
  auto doomed = orv::HttpClient::create();
  std::atomic<int> doomedCalls{0};
  doomed->get(silent.url(), orv::executorFor(queue), [&](const orv::HttpResult&) { ++doomedCalls; });
  doomed.reset();
  queue->sync([] {});
  EXPECT_EQ(doomedCalls.load(), 0);
}

TEST_F(HttpClientTest, BodyOverTheCapIsAnErrorAtAndJustPastTheLimit) {
  const std::string url = server->httpBase() + "/mobile/share/share.html?id=1";
  client->get(url, orv::executorFor(queue), [this](const orv::HttpResult& r) { results.add(0, r, true); });
  ASSERT_TRUE(results.waitFor(1));
  const size_t size = results.items[0].second.body.size();
  ASSERT_GT(size, 100u);

  for (const size_t cap : {size, size - 1}) {
    orv::HttpRequest request;
    request.url = url;
    request.maxBodyBytes = cap;
    client->send(request, orv::executorFor(queue), [this, cap](const orv::HttpResult& r) { results.add(int(cap), r, true); });
  }
  ASSERT_TRUE(results.waitFor(3));
  for (size_t k = 1; k < 3; ++k) {
    const auto& [cap, r] = results.items[k];
    if (size_t(cap) == size) {
      EXPECT_TRUE(r.ok);
      EXPECT_EQ(r.body.size(), size);
    } else {
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.error, "body too large");
      EXPECT_TRUE(r.body.empty());
    }
  }

  // A body without a declared length (read until the peer closes) is cut
  // off at the cap while it streams in, not buffered whole.
  RawServer streaming("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(8u << 20, 'z'), false);
  orv::HttpRequest request;
  request.url = streaming.url();
  request.maxBodyBytes = 64 * 1024;
  client->send(request, orv::executorFor(queue), [this](const orv::HttpResult& r) { results.add(9, r, true); });
  ASSERT_TRUE(results.waitFor(4));
  EXPECT_FALSE(results.items[3].second.ok);
  EXPECT_EQ(results.items[3].second.error, "body too large");
}

TEST(PercentEncodeTest, OnlyUnreservedBytesStayAsTheyAre) {
  EXPECT_EQ(orv::percentEncode("AZaz09-_.~"), "AZaz09-_.~");
  EXPECT_EQ(orv::percentEncode("1.0 & b=c/d+é"), "1.0%20%26%20b%3Dc%2Fd%2B%C3%A9");
  EXPECT_EQ(orv::percentEncode(std::string("\x00\x7f\xff", 3)), "%00%7F%FF");
}

}  // namespace
