#include "platform/Log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/support/LogCapture.h"

namespace orv {
namespace {

TEST(LogTest, SinkReceivesOperationAndTextAndIsRestored) {
  {
    test::LogCapture capture;
    log("ORVDataArray::parseDataArray", "Size limit exceeded: 4097");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "ORVDataArray::parseDataArray : Size limit exceeded: 4097");
    EXPECT_EQ(capture.texts()[0], "Size limit exceeded: 4097");
    {
      test::LogCapture inner;
      log("op", "inner");
      EXPECT_TRUE(inner.containsText("inner"));
    }
    log("op", "outer again");
    EXPECT_TRUE(capture.containsText("outer again"));
    EXPECT_FALSE(capture.containsText("inner"));
  }
}

TEST(LogTest, ConcurrentLoggingLosesNoLine) {
  test::LogCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 250; ++i) log("op", "line");
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(capture.lines().size(), 1000u);
}

}  // namespace
}  // namespace orv
