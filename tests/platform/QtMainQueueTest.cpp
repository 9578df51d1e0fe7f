#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

TEST(QtMainQueueTest, TasksFromAnyThreadRunOnTheGuiThreadInPostingOrderWithoutWaiting) {
  auto queue = std::make_shared<orv::QtMainQueue>();
  EXPECT_TRUE(queue->isCurrent());

  // From the GUI thread itself: queued, never run inline.
  std::vector<int> ran;
  queue->post([&] { ran.push_back(0); });
  queue->post([&] { ran.push_back(1); });
  EXPECT_TRUE(ran.empty());

  // From other threads: each thread's tasks keep their order.
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::mutex m;
  std::vector<std::vector<int>> perThread(kThreads);
  std::atomic<int> offGui{0};
  std::atomic<bool> workerSawCurrent{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      if (queue->isCurrent()) workerSawCurrent = true;
      for (int i = 0; i < kPerThread; ++i) {
        queue->post([&, t, i] {
          if (!queue->isCurrent()) ++offGui;
          std::lock_guard lock(m);
          perThread[t].push_back(i);
        });
      }
    });
  }
  for (auto& th : threads) th.join();
  ASSERT_TRUE(QTest::qWaitFor([&] {
    std::lock_guard lock(m);
    size_t n = 0;
    for (const auto& v : perThread) n += v.size();
    return n == kThreads * kPerThread;
  }));
  EXPECT_EQ(ran, (std::vector<int>{0, 1}));
  EXPECT_EQ(offGui.load(), 0);
  EXPECT_FALSE(workerSawCurrent.load());
  for (const auto& v : perThread) {
    ASSERT_EQ(v.size(), size_t(kPerThread));
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  }
}

TEST(QtMainQueueTest, TasksPostedAfterTheContextIsGoneAreDropped) {
  auto* context = new QObject;
  orv::QtMainQueue queue(context);
  bool ran = false;
  queue.post([&] { ran = true; });
  delete context;  // the pending call goes with it
  queue.post([&] { ran = true; });
  QCoreApplication::processEvents();
  QTest::qWait(20);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(queue.isCurrent());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
