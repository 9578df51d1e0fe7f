#include "server/store/Catalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>

#include "server/store/CatalogueSeeder.h"
#include "tests/server/store/SeededStore.h"
#include "tests/support/LogCapture.h"

namespace orv::server {
namespace {

using test::SeededStore;

constexpr const char* kBase = "http://media.test:8080/";

std::vector<Game> allGames(const Catalogue& c) {
  std::vector<Game> out;
  for (const auto& cat : c.categories()) {
    for (int page = 0;; ++page) {
      auto list = c.categoryGames(cat.id, Page{Catalogue::kMaxPageSize, page});
      if (list.empty()) break;
      out.insert(out.end(), list.begin(), list.end());
    }
  }
  return out;
}

std::vector<std::string> titles(const std::vector<Game>& games) {
  std::vector<std::string> out;
  for (const auto& g : games) out.push_back(g.title);
  return out;
}

TEST(Catalogue, SeedHasTheAdvertisedShape) {
  const Catalogue& c = *SeededStore::shared().catalogue;
  const auto games = allGames(c);
  ASSERT_GE(games.size(), 60u);
  const auto freeCount = std::count_if(games.begin(), games.end(), [](const Game& g) { return g.price == 0; });
  EXPECT_EQ(freeCount, static_cast<long>(games.size() / 3));
  std::set<int32_t> ids;
  for (const auto& g : games) {
    ids.insert(g.id);
    EXPECT_GE(g.rating, 0.0);
    EXPECT_LE(g.rating, 5.0);
    EXPECT_FALSE(g.provider.empty());
    EXPECT_EQ(g.icon, std::string(kBase) + "media/icons/" + std::to_string(g.id) + ".png");
  }
  EXPECT_EQ(ids.size(), games.size());

  const auto cats = c.categories();
  ASSERT_EQ(cats.size(), 8u);
  for (const auto& cat : cats) {
    if (cat.id == CatalogueSeeder::kIconlessCategoryId) {
      EXPECT_EQ(cat.icon, kBase);  // the bare base URL: the store shows its local icon
    } else {
      EXPECT_EQ(cat.icon.rfind(std::string(kBase) + "media/categories/", 0), 0u) << cat.icon;
    }
  }

  const auto detail = c.gameDetail(games.front().id);
  ASSERT_TRUE(detail);
  EXPECT_GE(detail->gallery.size(), 2u);
  EXPECT_LE(detail->gallery.size(), 5u);
  EXPECT_NE(detail->description.find("<p>"), std::string::npos);
  EXPECT_NE(detail->description.find("&amp;"), std::string::npos);
  EXPECT_FALSE(c.gameDetail(99999));
  EXPECT_FALSE(c.bannerGames(Page{5, 0}).empty());
}

TEST(Catalogue, CategoryOf23PagesAsTenTenThreeThenEmpty) {
  const Catalogue& c = *SeededStore::shared().catalogue;
  std::set<int32_t> seen;
  const size_t expected[] = {10, 10, 3, 0};
  for (int page = 0; page < 4; ++page) {
    const auto list = c.categoryGames(CatalogueSeeder::kActionCategoryId, Page{10, page});
    EXPECT_EQ(list.size(), expected[page]) << "page " << page;
    for (const auto& g : list) {
      EXPECT_EQ(g.categoryId, CatalogueSeeder::kActionCategoryId);
      EXPECT_TRUE(seen.insert(g.id).second) << "game " << g.id << " on two pages";
    }
  }
  // Out-of-range pages are empty, oversized ones capped.
  EXPECT_TRUE(c.categoryGames(1, Page{10, -1}).empty());
  EXPECT_TRUE(c.categoryGames(1, Page{0, 0}).empty());
  EXPECT_TRUE(c.categoryGames(1, Page{10, INT32_MAX}).empty());
  EXPECT_EQ(c.sectionGames("hm.new", Page{1000, 0})->size(), static_cast<size_t>(Catalogue::kMaxPageSize));
}

TEST(Catalogue, SearchIgnoresCaseAndDiacriticsAndEscapesWildcards) {
  const Catalogue& c = *SeededStore::shared().catalogue;
  const auto tien = titles(c.search("tiến", Page{10, 0}));
  EXPECT_NE(std::find(tien.begin(), tien.end(), "Tiên Kiếm Kỳ Hiệp"), tien.end());
  EXPECT_NE(std::find(tien.begin(), tien.end(), "Tiến Lên Miền Nam"), tien.end());
  const auto dua = titles(c.search("dua xe", Page{10, 0}));
  EXPECT_NE(std::find(dua.begin(), dua.end(), "Đua Xe Tốc Độ"), dua.end());
  EXPECT_NE(std::find(dua.begin(), dua.end(), "Đua xe Đường Phố"), dua.end());
  EXPECT_EQ(c.search("ĐUA XE", Page{10, 0}).size(), dua.size());
  EXPECT_TRUE(c.search("%", Page{10, 0}).empty());
  EXPECT_TRUE(c.search("_", Page{10, 0}).empty());
  EXPECT_TRUE(c.search("  ", Page{10, 0}).empty());
  EXPECT_TRUE(c.search("zzzz", Page{10, 0}).empty());
}

TEST(Catalogue, SectionsRelatedGamesAndSubscribers) {
  Catalogue& c = *SeededStore::shared().catalogue;
  const auto sections = c.homeSections(Page{5, 0});
  std::vector<std::string> commands;
  for (const auto& s : sections) {
    commands.push_back(s.command);
    EXPECT_EQ(s.games.size(), static_cast<size_t>(Catalogue::kSectionGames));
    if (s.command == "hm.fre") {
      for (const auto& g : s.games) EXPECT_EQ(g.price, 0) << g.title;
    }
  }
  EXPECT_EQ(commands, (std::vector<std::string>{"hm.new", "hm.rcm", "hm.fre", "hm.hot"}));
  EXPECT_EQ(c.sectionCommands(), commands);
  EXPECT_FALSE(c.sectionGames("hm.nope", Page{10, 0}));

  const auto related = c.relatedGames(1, Page{50, 0});
  EXPECT_EQ(related.size(), static_cast<size_t>(CatalogueSeeder::kActionGameCount - 1));
  for (const auto& g : related) {
    EXPECT_NE(g.id, 1);
    EXPECT_EQ(g.categoryId, 1);
  }
  EXPECT_TRUE(c.relatedGames(99999, Page{10, 0}).empty());

  EXPECT_EQ(c.subscriberStatus("84912000001"), kSubscribed);
  EXPECT_EQ(c.subscriberStatus("84912000098"), kRenewalDue);
  EXPECT_EQ(c.subscriberStatus("84900000777"), kNotRegistered);
  EXPECT_TRUE(c.registerSubscription("84900000777", 1000));
  EXPECT_EQ(c.subscriberStatus("84900000777"), kSubscribed);
  EXPECT_EQ(c.subscriptionRequestCount("84900000777"), 1);
  EXPECT_GT(c.recordPurchase("84900000777", 3, 5000, 2000), 0);
}

TEST(Catalogue, SchemaIsMigratedAndNewerSchemasAreRefused) {
  const auto dir = SeededStore::makeTempDir("schema");
  const auto path = dir / "c.db";
  {
    // A version-1 file: what an older build left behind.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE subscribers (msisdn TEXT PRIMARY KEY, status INTEGER NOT NULL);"
                           "INSERT INTO subscribers VALUES('84911111111', 98); PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  {
    auto c = Catalogue::open(path);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->schemaVersion(), Catalogue::kSchemaVersion);
    EXPECT_EQ(c->subscriberStatus("84911111111"), kRenewalDue);  // data kept
    EXPECT_GT(c->recordPurchase("84911111111", 1, 0, 1), 0);      // table added by 1 -> 2
  }
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=99;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  orv::test::LogCapture log;
  EXPECT_FALSE(Catalogue::open(path));
  EXPECT_TRUE(log.containsText("schema version 99 is newer than 2"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orv::server
