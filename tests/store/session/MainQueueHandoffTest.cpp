// Events and messages from several library threads reach the screen on the
// main queue in the order they were handed over; detach drops the rest.

#include "store/session/MainQueueHandoff.h"

#include <gtest/gtest.h>

#include <thread>

#include "client/ORVEvent.h"
#include "platform/RunLoopMainQueue.h"

namespace {

using orv::store::MainQueueHandoff;

struct Screen : MainQueueHandoff::Receiver {
  std::vector<std::string> seen;
  std::thread::id thread;
  bool offMain = false;
  void dispatchORVEvent(const ORVEventPtr& event) override {
    offMain |= std::this_thread::get_id() != thread;
    seen.push_back("event " + std::to_string(event->type()));
  }
  void dispatchORVMessage(const ORVMessagePtr& message) override {
    offMain |= std::this_thread::get_id() != thread;
    seen.push_back(message->command());
  }
};

TEST(MainQueueHandoffTest, HandsOverInCallOrderOnTheMainThreadAndDetachDropsTheRest) {
  auto queue = std::make_shared<orv::RunLoopMainQueue>();
  Screen screen;
  screen.thread = std::this_thread::get_id();
  auto handoff = MainQueueHandoff::create(screen, queue);

  std::vector<std::string> sent;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      if (i % 3 == 0) {
        handoff->handleEvent(ORVEvent::eventWithType(i % 7));
        sent.push_back("event " + std::to_string(i % 7));
      } else {
        std::string command = "cmd." + std::to_string(i);
        handoff->handleMessage(std::make_shared<ORVMessage>(5, command));
        sent.push_back(command);
      }
    }
  });
  worker.join();
  EXPECT_TRUE(screen.seen.empty()) << "handed over before the main queue ran";
  queue->runUntilIdle();
  EXPECT_EQ(screen.seen, sent);
  EXPECT_FALSE(screen.offMain);

  handoff->handleMessage(std::make_shared<ORVMessage>(5, std::string("late")));
  handoff->detach();
  handoff->handleEvent(ORVEvent::eventWithType(1));
  queue->runUntilIdle();
  EXPECT_EQ(screen.seen.size(), sent.size());
}

}  // namespace
