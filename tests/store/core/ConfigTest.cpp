#include "store/Config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "client/ORVClient.h"
#include "tests/support/LogCapture.h"

namespace {

using orv::store::Config;

// Its own process: no earlier test has created the client.
TEST(ConfigTest, SharedClientIsCreatedOnceWhicheverThreadsAskWithOneLogLine) {
  orv::test::LogCapture log;
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::shared_ptr<ORVClient>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (!go) std::this_thread::yield();
      seen[i] = Config::sharedClient();
    });
  }
  while (ready < kThreads) std::this_thread::yield();
  go = true;
  for (auto& t : threads) t.join();
  ASSERT_NE(seen[0], nullptr);
  for (const auto& c : seen) EXPECT_EQ(c, seen[0]);
  EXPECT_EQ(Config::sharedClient(), seen[0]);
  const auto texts = log.texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "CONFIG info: sharedClient"), 1);
  EXPECT_EQ(log.lines()[0], "MyUtils::log : CONFIG info: sharedClient");
}

}  // namespace
