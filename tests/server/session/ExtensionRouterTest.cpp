#include "server/session/ExtensionRouter.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

TEST(ExtensionRouterTest, ExactHandlersFirstThenFallbacksInOrder) {
  ExtensionRouter router;
  std::vector<std::string> asked;
  auto answer = [](std::string text) { return ORVDataObject::builder().putString(std::move(text), "by").build(); };
  router.addFallback([&](std::string_view command, const ORVDataObjectPtr&, std::string_view) -> ORVDataObjectPtr {
    asked.push_back("first:" + std::string(command));
    return command == "a.one" ? answer("first") : nullptr;
  });
  router.addFallback([&](std::string_view command, const ORVDataObjectPtr&, std::string_view peer) -> ORVDataObjectPtr {
    asked.push_back("second:" + std::string(command));
    return command == "a.two" ? answer(std::string(peer)) : nullptr;
  });
  router.addCommand("a.one", [&](std::string_view, const ORVDataObjectPtr&, std::string_view) {
    return answer("exact");
  });

  auto empty = ORVDataObject::dataObject();
  EXPECT_EQ(router.route("a.one", empty, "p")->stringForKey("by"), "exact");
  EXPECT_EQ(router.route("a.two", empty, "10.1.1.1")->stringForKey("by"), "10.1.1.1");
  EXPECT_EQ(router.route("a.three", empty, "p"), nullptr);
  EXPECT_EQ(asked, (std::vector<std::string>{"first:a.two", "second:a.two", "first:a.three", "second:a.three"}));

  auto content = ORVDataObject::builder().putInt32(5, "n").build();
  EXPECT_EQ(router.route("echo", content, "p"), content);
  EXPECT_TRUE(router.route("echo", nullptr, "p")->isEmpty());
}

}  // namespace
}  // namespace orv::server
