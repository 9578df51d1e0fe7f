#include "server/session/SessionServer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/support/BlockingFrameClient.h"
#include "wire/ORVRequest.h"

namespace orv::server {
namespace {

using namespace std::chrono_literals;
using orv::test::BlockingFrameClient;

constexpr int kClients = 1000;
constexpr int kDrivers = 4;
constexpr int kEchoes = 20;

// Each connection needs a descriptor on both ends, in this one process.
bool raiseDescriptorLimit(rlim_t wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur >= wanted) return true;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  return setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

// 1000 connections open at once, every one doing the handshake, a login and
// 20 echo requests; each driver thread moves its 250 clients in lock-step, so
// all of them have requests in flight together.
TEST(SessionLoadTest, ThousandConcurrentConnectionsAreAllAnsweredCorrectly) {
  ASSERT_TRUE(raiseDescriptorLimit(2 * kClients + 256));
  ServerOptions options;
  options.host = "127.0.0.1";
  options.port = 0;
  options.threads = 2;
  SessionServer server(options);
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;

  std::atomic<int> answered{0};
  std::atomic<int> wrong{0};
  auto started = std::chrono::steady_clock::now();
  std::vector<std::thread> drivers;
  for (int d = 0; d < kDrivers; ++d) {
    drivers.emplace_back([&, d] {
      const int count = kClients / kDrivers;
      std::vector<std::unique_ptr<BlockingFrameClient>> clients;
      for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<BlockingFrameClient>());
        if (!clients.back()->connect(server.port())) ++wrong;
      }
      auto check = [&](BlockingFrameClient& c, auto&& valid) {
        ORVMessagePtr m = c.receive(10s);
        if (m && valid(*m)) ++answered; else ++wrong;
      };
      for (auto& c : clients) c->send(*ORVRequest::handshakeRequest(std::nullopt));
      for (auto& c : clients) check(*c, [](const ORVMessage& m) { return m.commandId() == 0 && !m.containsKey("ec"); });
      for (int i = 0; i < count; ++i)
        clients[i]->send(*ORVRequest::loginRequestWithZone("kivmar", "u" + std::to_string(d * count + i), ""));
      for (int i = 0; i < count; ++i)
        check(*clients[i], [&](const ORVMessage& m) {
          return m.commandId() == 10 && m.stringForKey("u") == "u" + std::to_string(d * count + i);
        });
      for (int e = 0; e < kEchoes; ++e) {
        for (int i = 0; i < count; ++i) {
          auto content = ORVDataObject::builder().putInt32(d * count + i, "c").putInt32(e, "e").build();
          clients[i]->send(*ORVRequest::extensionRequestWithCommand("echo", content));
        }
        for (int i = 0; i < count; ++i)
          check(*clients[i], [&](const ORVMessage& m) {
            return m.command() == "echo" && m.int32ForKey("c") == d * count + i && m.int32ForKey("e") == e;
          });
      }
    });
  }
  for (auto& t : drivers) t.join();
  auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("load: %d connections, %d answers in %.2f s\n", kClients, answered.load(), elapsed);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(answered.load(), kClients * (2 + kEchoes));
  EXPECT_EQ(server.listSessions().size(), static_cast<size_t>(kClients));
  server.stop();
}

}  // namespace
}  // namespace orv::server
