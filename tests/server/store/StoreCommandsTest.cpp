#include "server/store/StoreCommands.h"

#include <gtest/gtest.h>

#include <set>

#include "server/store/CatalogueSeeder.h"
#include "tests/server/store/SeededStore.h"
#include "wire/ORVDataArray.h"

namespace orv::server {
namespace {

using test::SeededStore;

ORVDataObjectBuilder request() { return ORVDataObject::builder(); }

ORVDataObjectPtr page(int32_t ps, int32_t pi) {
  return request().putString("android", "pf").putInt32(ps, "ps").putInt32(pi, "pi").build();
}

class StoreCommandsTest : public ::testing::Test {
 protected:
  ORVDataObjectPtr ask(std::string_view command, const ORVDataObjectPtr& content) {
    return commands_.handle(command, content, "127.0.0.1:40000");
  }
  StoreCommands commands_{*SeededStore::shared().catalogue};
};

// Every game entry carries the keys the screens read, with their types.
void expectGameEntry(const ORVDataObjectPtr& g) {
  ASSERT_TRUE(g);
  for (const char* key : {"id", "pri", "dlc", "rtc", "stt"}) {
    ASSERT_TRUE(g->elementForKey(key)) << key;
    EXPECT_EQ(g->elementForKey(key)->type(), ORVDataTypeInt32) << key;
  }
  for (const char* key : {"tl", "par", "sms", "ico", "ver"}) {
    ASSERT_TRUE(g->elementForKey(key)) << key;
    EXPECT_EQ(g->elementForKey(key)->type(), ORVDataTypeString) << key;
  }
  ASSERT_TRUE(g->elementForKey("rat"));
  EXPECT_EQ(g->elementForKey("rat")->type(), ORVDataTypeDouble);
}

TEST_F(StoreCommandsTest, CategoryListPagesTenTenThreeThenEmpty) {
  std::set<int32_t> ids;
  const size_t expected[] = {10, 10, 3, 0};
  for (int32_t pi = 0; pi < 4; ++pi) {
    const auto answer =
        ask("cnt.li", request().putString("android", "pf").putInt32(10, "ps").putInt32(pi, "pi").putInt32(1, "id").build());
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->containsKey("ec"));
    const auto rs = answer->dataArrayForKey("rs");
    ASSERT_TRUE(rs) << "page " << pi;
    ASSERT_EQ(rs->count(), expected[pi]) << "page " << pi;
    for (size_t i = 0; i < rs->count(); ++i) {
      expectGameEntry(rs->dataObjectAtIndex(i));
      ids.insert(rs->dataObjectAtIndex(i)->int32ForKey("id"));
    }
  }
  EXPECT_EQ(ids.size(), 23u);
}

TEST_F(StoreCommandsTest, HomeSectionsBannersSearchRelatedDetailAndCategories) {
  const auto vip = ask("hm.vip", page(5, 0));
  const auto sections = vip->dataArrayForKey("rs");
  ASSERT_TRUE(sections);
  ASSERT_EQ(sections->count(), 4u);
  for (size_t i = 0; i < sections->count(); ++i) {
    const auto s = sections->dataObjectAtIndex(i);
    EXPECT_EQ(s->elementForKey("id")->type(), ORVDataTypeString);
    EXPECT_FALSE(s->stringForKey("tl")->empty());
    ASSERT_TRUE(s->dataArrayForKey("lt"));
    expectGameEntry(s->dataArrayForKey("lt")->dataObjectAtIndex(0));
    // The section's "id" is a command that lists it.
    const auto full = ask(*s->stringForKey("id"), page(10, 0));
    ASSERT_TRUE(full) << *s->stringForKey("id");
    EXPECT_EQ(full->dataArrayForKey("rs")->count(), 10u);
  }
  EXPECT_EQ(*sections->dataObjectAtIndex(0)->stringForKey("id"), "hm.new");

  const auto banners = ask("hm", page(5, 0))->dataArrayForKey("rs");
  ASSERT_TRUE(banners);
  EXPECT_EQ(banners->count(), 5u);

  const auto found = ask("cnt.fin", request().putInt32(10, "ps").putInt32(0, "pi").putString("dua xe", "sh").build());
  std::set<std::string> titles;
  for (size_t i = 0; i < found->dataArrayForKey("rs")->count(); ++i) {
    titles.insert(*found->dataArrayForKey("rs")->dataObjectAtIndex(i)->stringForKey("tl"));
  }
  EXPECT_TRUE(titles.count("Đua Xe Tốc Độ") && titles.count("Đua xe Đường Phố"));

  const auto related = ask("cnt.rlt", request().putString("android", "pf").putInt32(0, "ord").putInt32(10, "ps")
                                          .putInt32(0, "pi").putInt32(30, "id").build());
  EXPECT_GT(related->dataArrayForKey("rs")->count(), 0u);

  const auto dt = ask("cnt.dt", request().putInt32(1, "id").build());
  const std::string gll = *dt->stringForKey("gll");
  const auto pictures = std::count(gll.begin(), gll.end(), ',');
  EXPECT_GE(pictures, 2);
  EXPECT_LE(pictures, 5);
  EXPECT_EQ(gll.back(), ',');
  EXPECT_NE(dt->stringForKey("des")->find("<p>"), std::string::npos);
  EXPECT_EQ(ask("cnt.dt", request().putInt32(99999, "id").build())->int32ForKey("ec"), StoreCommands::kNotFound);

  const auto cats = ask("cnt.cat", request().putString("android", "pf").build())->dataArrayForKey("rs");
  ASSERT_EQ(cats->count(), 8u);
  EXPECT_EQ(cats->dataObjectAtIndex(0)->elementForKey("id")->type(), ORVDataTypeInt32);
  EXPECT_EQ(*cats->dataObjectAtIndex(7)->stringForKey("ico"), "http://media.test:8080/");

  for (const char* other : {"hm.zzz", "cnt.zzz", "a.zzz", "hmx", "chat.send", "a"}) {
    EXPECT_EQ(ask(other, page(10, 0)), nullptr) << other;
  }
}

TEST_F(StoreCommandsTest, MissingOrMistypedKeysAnswerEcAndEm) {
  struct Case {
    const char* command;
    ORVDataObjectPtr content;
  };
  const Case cases[] = {
      {"hm.new", nullptr},
      {"hm", request().putInt32(5, "ps").build()},
      {"hm.vip", request().putString("5", "ps").putInt32(0, "pi").build()},
      {"cnt.li", page(10, 0)},
      {"cnt.li", request().putInt32(10, "ps").putInt64(0, "pi").putInt32(1, "id").build()},
      {"cnt.fin", page(10, 0)},
      {"cnt.fin", request().putInt32(10, "ps").putInt32(0, "pi").putInt32(7, "sh").build()},
      {"cnt.rlt", request().putInt32(10, "ps").putInt32(0, "pi").putString("1", "id").build()},
      {"cnt.rlt", request().putInt32(10, "ps").putInt32(0, "pi").putInt32(1, "id").putString("0", "ord").build()},
      {"cnt.dt", request().putDouble(1, "id").build()},
      {"cnt.cat", request().putInt32(1, "pf").build()},
      {"a.reg", nullptr},
      {"a.buy", request().putInt32(1, "id").putInt32(0, "pri").putString("x", "tl").putString("84912000001", "msi").build()},
  };
  for (const auto& c : cases) {
    const auto answer = ask(c.command, c.content);
    ASSERT_TRUE(answer) << c.command;
    EXPECT_EQ(answer->int32ForKey("ec"), StoreCommands::kBadRequest) << c.command << " " << (c.content ? c.content->description() : "null");
    EXPECT_FALSE(answer->stringForKey("em").value_or("").empty()) << c.command;
  }
  // For "a.stt" "ec" is the status: a request it cannot answer must not read
  // as subscribed.
  EXPECT_EQ(ask("a.stt", nullptr)->int32ForKey("ec"), kNotRegistered);
  EXPECT_EQ(ask("a.stt", request().putInt32(849, "msi").build())->int32ForKey("ec"), kNotRegistered);
  // Out-of-range pages are empty pages, not failures.
  const auto empty = ask("hm.new", page(-1, -1));
  EXPECT_FALSE(empty->containsKey("ec"));
  EXPECT_EQ(empty->dataArrayForKey("rs")->count(), 0u);
}

ORVDataObjectPtr purchase(int32_t id, int32_t price, const std::string& msisdn) {
  return request().putInt32(id, "id").putInt32(price, "pri").putString("Game", "tl").putString(msisdn, "msi")
      .putString("P100", "par").build();
}

TEST_F(StoreCommandsTest, SubscriptionStatusRegistrationAndPurchase) {
  Catalogue& catalogue = *SeededStore::shared().catalogue;
  const std::string number = "84912345098";
  catalogue.setSubscriberStatus(number, kRenewalDue);
  const auto paid = catalogue.categoryGames(1, Page{50, 0});
  const auto paidGame = *std::find_if(paid.begin(), paid.end(), [](const Game& g) { return g.price > 0; });
  const auto freeGame = *std::find_if(paid.begin(), paid.end(), [](const Game& g) { return g.price == 0; });

  const auto stt = ask("a.stt", request().putString(number, "msi").build());
  EXPECT_EQ(stt->int32ForKey("ec"), kRenewalDue);
  EXPECT_FALSE(stt->stringForKey("em")->empty());
  EXPECT_EQ(ask("a.buy", purchase(paidGame.id, paidGame.price, number))->int32ForKey("ec"), kRenewalDue);
  // A free game downloads whatever the status.
  EXPECT_EQ(*ask("a.buy", purchase(freeGame.id, 0, number))->stringForKey("rs"),
            "http://media.test:8080/download/" + std::to_string(freeGame.id));
  // The price the client shows must be the catalogue's.
  EXPECT_EQ(ask("a.buy", purchase(paidGame.id, 0, number))->int32ForKey("ec"), StoreCommands::kPriceChanged);
  EXPECT_EQ(ask("a.buy", purchase(99999, 0, number))->int32ForKey("ec"), StoreCommands::kNotFound);
  EXPECT_EQ(ask("a.buy", purchase(freeGame.id, 0, ""))->int32ForKey("ec"), kNotRegistered);

  const auto reg = ask("a.reg", request().putString(number, "msi").build());
  EXPECT_FALSE(reg->containsKey("ec"));
  EXPECT_FALSE(reg->stringForKey("em")->empty());
  EXPECT_EQ(ask("a.stt", request().putString(number, "msi").build())->int32ForKey("ec"), kSubscribed);
  const auto bought = ask("a.buy", purchase(paidGame.id, paidGame.price, number));
  EXPECT_FALSE(bought->containsKey("ec"));
  EXPECT_EQ(*bought->stringForKey("rs"), "http://media.test:8080/download/" + std::to_string(paidGame.id));
  EXPECT_EQ(ask("a.reg", request().putString("", "msi").build())->int32ForKey("ec"), StoreCommands::kBadRequest);
  EXPECT_EQ(ask("a.stt", request().putString("84900000555", "msi").build())->int32ForKey("ec"), kNotRegistered);
}

}  // namespace
}  // namespace orv::server
