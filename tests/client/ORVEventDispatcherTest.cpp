#include "client/ORVEventDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "client/ORVUser.h"
#include "wire/ORVExceptions.h"

namespace {

struct Counter : ORVEventHandler {
  std::atomic<int> calls{0};
  std::function<void(const ORVEventPtr&)> also;
  void handleEvent(const ORVEventPtr& e) override {
    calls.fetch_add(1);
    if (also) also(e);
  }
};

TEST(ORVEventDispatcherTest, HandlersAreHeldOncePerTypeAndOnlyTheirTypeIsCalled) {
  ORVEventDispatcher d;
  auto a = std::make_shared<Counter>();
  auto b = std::make_shared<Counter>();
  d.addEventHandler(a, ORVEventTypeLogin);
  d.addEventHandler(a, ORVEventTypeLogin);
  d.addEventHandler(b, ORVEventTypeLogout);
  d.postEvent(ORVEvent::eventWithType(ORVEventTypeLogin));
  EXPECT_EQ(a->calls, 1);
  EXPECT_EQ(b->calls, 0);
  d.postEvent(ORVEvent::eventWithType(ORVEventTypeConnectionRetry));  // nobody registered
  d.removeEventHandler(b, ORVEventTypeLogin);                          // never added there
  d.removeEventHandler(a, ORVEventTypeLogin);
  d.postEvent(ORVEvent::eventWithType(ORVEventTypeLogin));
  d.postEvent(ORVEvent::eventWithType(ORVEventTypeLogout));
  EXPECT_EQ(a->calls, 1);
  EXPECT_EQ(b->calls, 1);
  d.removeAllEventHandlers();
  d.postEvent(ORVEvent::eventWithType(ORVEventTypeLogout));
  EXPECT_EQ(b->calls, 1);
}

TEST(ORVEventDispatcherTest, MissingHandlerRaisesHandler) {
  ORVEventDispatcher d;
  try {
    d.addEventHandler(nullptr, 0);
    FAIL();
  } catch (const ORVInvalidArgumentException& e) {
    EXPECT_STREQ(e.what(), "handler");
  }
  EXPECT_THROW(d.removeEventHandler(nullptr, 0), ORVInvalidArgumentException);
}

TEST(ORVEventDispatcherTest, HandlerMayChangeRegistrationsFromInsideItsCallback) {
  ORVEventDispatcher d;
  auto late = std::make_shared<Counter>();
  auto self = std::make_shared<Counter>();
  self->also = [&](const ORVEventPtr&) {
    d.removeEventHandler(self, 1);  // would deadlock if the post held the lock
    d.addEventHandler(late, 1);
  };
  d.addEventHandler(self, 1);
  d.postEvent(ORVEvent::eventWithType(1));
  EXPECT_EQ(self->calls, 1);
  EXPECT_EQ(late->calls, 0);  // takes effect from the next post
  d.postEvent(ORVEvent::eventWithType(1));
  EXPECT_EQ(self->calls, 1);
  EXPECT_EQ(late->calls, 1);
}

TEST(ORVEventDispatcherTest, ConcurrentRegistrationAndPosting) {
  ORVEventDispatcher d;
  auto h = std::make_shared<Counter>();
  d.addEventHandler(h, 2);
  std::atomic<bool> stop{false};
  std::thread poster([&] {
    while (!stop) d.postEvent(ORVEvent::eventWithType(2));
  });
  for (int i = 0; i < 2000; ++i) {
    auto extra = std::make_shared<Counter>();
    d.addEventHandler(extra, 2);
    d.removeEventHandler(extra, 2);
  }
  while (h->calls.load() == 0) std::this_thread::yield();
  stop = true;
  poster.join();
  const int seen = h->calls.load();
  d.postEvent(ORVEvent::eventWithType(2));
  EXPECT_EQ(h->calls.load(), seen + 1);  // still registered exactly once
}

TEST(ORVEventTest, ParametersAndDescription) {
  auto plain = ORVEvent::eventWithType(ORVEventTypeConnectionResume);
  EXPECT_FALSE(plain->valueForParameter("success").has_value());
  EXPECT_TRUE(plain->params().empty());
  EXPECT_EQ(plain->description(), "Event{type=3}");
  auto user = ORVUser::userWithUserId(7, "an");
  auto login = ORVEvent::eventWithType(ORVEventTypeLogin, {{"user", user}});
  ASSERT_NE(login->parameter<ORVUserPtr>("user"), nullptr);
  EXPECT_EQ(*login->parameter<ORVUserPtr>("user"), user);
  EXPECT_EQ(login->parameter<int32_t>("user"), nullptr);  // wrong type: nothing, no exception
  EXPECT_EQ((*login->parameter<ORVUserPtr>("user"))->name(), "an");
}

}  // namespace
