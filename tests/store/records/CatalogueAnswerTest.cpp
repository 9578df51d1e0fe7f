// Answers into records, the failure rule and the paging of the lists.

#include "store/records/CatalogueAnswer.h"

#include <gtest/gtest.h>

#include "store/records/ListPaging.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace {

using orv::store::CatalogueAnswer;
using orv::store::Game;
using orv::store::ListPaging;

ORVDataObjectPtr entry(int32_t id, const std::string& name) {
  return ORVDataObject::builder()
      .putInt32(id, "id")
      .putString(name, "tl")
      .putString("vnp", "par")
      .putString("Studio " + name, "sms")
      .putInt32(3000, "pri")
      .putString("http://m/" + name + ".png", "ico")
      .putInt32(1200, "dlc")
      .putInt32(8, "rtc")
      .putDouble(3.5, "rat")
      .putString("1.2", "ver")
      .putInt32(1, "stt")
      .build();
}

ORVDataArrayPtr list(std::initializer_list<ORVDataObjectPtr> entries) {
  auto b = ORVDataArray::builder();
  for (const auto& e : entries) b.addDataObject(e);
  return b.build();
}

TEST(CatalogueAnswerTest, AGameEntryFillsEveryFieldAndMissingKeysReadAsDefaults) {
  Game game = Game::initWithORVData(*entry(7, "Rắn săn mồi"));
  EXPECT_EQ(game.id(), 7);
  EXPECT_EQ(game.name(), "Rắn săn mồi");
  EXPECT_EQ(game.partner(), "vnp");
  EXPECT_EQ(game.code(), "Studio Rắn săn mồi");
  EXPECT_EQ(game.price(), 3000);
  EXPECT_EQ(game.icon(), "http://m/Rắn săn mồi.png");
  EXPECT_EQ(game.downloadCount(), 1200);
  EXPECT_EQ(game.ratingCount(), 8);
  EXPECT_DOUBLE_EQ(game.ratingTotal(), 3.5);
  EXPECT_EQ(game.version(), "1.2");
  EXPECT_EQ(game.status(), 1);

  EXPECT_EQ(Game::initWithORVData(*ORVDataObject::builder().putInt32(3, "id").build()), [] {
    Game g;
    g.setId(3);
    return g;
  }());
}

TEST(CatalogueAnswerTest, TheFailureRuleIsThePresenceOfEc) {
  auto withEc = ORVDataObject::builder().putInt32(0, "ec").putDataArray(list({entry(1, "a")}), "rs").build();
  EXPECT_TRUE(CatalogueAnswer::isFailure(*withEc));
  EXPECT_TRUE(CatalogueAnswer::listGames(*withEc).empty());
  EXPECT_EQ(CatalogueAnswer::games(*withEc).size(), 1u);  // "cnt.cat" style reading ignores "ec"
  EXPECT_TRUE(CatalogueAnswer::homeSections(*withEc).empty());
  Game kept;
  kept.setBody("old");
  EXPECT_FALSE(CatalogueAnswer::readDetail(*withEc, kept));
  EXPECT_EQ(kept.body(), "old");

  auto ok = ORVDataObject::builder().putString("<p>x</p>", "des").putString("http://a,http://b,", "gll").build();
  EXPECT_FALSE(CatalogueAnswer::isFailure(*ok));
  ASSERT_TRUE(CatalogueAnswer::readDetail(*ok, kept));
  EXPECT_EQ(kept.body(), "<p>x</p>");
  EXPECT_EQ(kept.gallery(), "http://a,http://b,");
  EXPECT_EQ(CatalogueAnswer::code(*ok), 0);
  EXPECT_EQ(CatalogueAnswer::message(*ok), "");
}

TEST(CatalogueAnswerTest, ListsSectionsAndCategoriesKeepTheOrderOfTheAnswer) {
  auto answer = ORVDataObject::builder()
                    .putDataArray(ORVDataArray::builder()
                                      .addDataObject(entry(2, "b"))
                                      .addInt32(5)  // not an entry: skipped
                                      .addDataObject(entry(1, "a"))
                                      .build(),
                                  "rs")
                    .build();
  auto games = CatalogueAnswer::listGames(*answer);
  ASSERT_EQ(games.size(), 2u);
  EXPECT_EQ(games[0].id(), 2);
  EXPECT_EQ(games[1].id(), 1);

  auto section = [](const std::string& title, const std::string& command, ORVDataArrayPtr lt) {
    return ORVDataObject::builder().putString(title, "tl").putString(command, "id").putDataArray(lt, "lt").build();
  };
  auto vip = ORVDataObject::builder()
                 .putDataArray(list({section("Mới nhất", "hm.new", list({entry(1, "a"), entry(2, "b")})),
                                     section("Miễn phí", "hm.fre", list({}))}),
                               "rs")
                 .build();
  auto sections = CatalogueAnswer::homeSections(*vip);
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].header.title(), "Mới nhất");
  EXPECT_EQ(sections[0].header.command(), "hm.new");
  ASSERT_EQ(sections[0].games.size(), 2u);
  EXPECT_EQ(sections[0].games[1].id(), 2);
  EXPECT_EQ(sections[1].header.command(), "hm.fre");
  EXPECT_TRUE(sections[1].games.empty());

  auto cats = ORVDataObject::builder()
                  .putInt32(1, "ec")
                  .putDataArray(list({ORVDataObject::builder()
                                          .putInt32(12, "id")
                                          .putString("Hành động", "tl")
                                          .putString("http://m/c.png", "ico")
                                          .build()}),
                                "rs")
                  .build();
  auto categories = CatalogueAnswer::categories(*cats);
  ASSERT_EQ(categories.size(), 1u);
  EXPECT_EQ(categories[0].catId(), 12);
  EXPECT_EQ(categories[0].catName(), "Hành động");
  EXPECT_EQ(categories[0].avatar(), "http://m/c.png");
}

TEST(ListPagingTest, PagesCountFromMinusOneAndEndOnFailureOrEmpty) {
  ListPaging paging;
  EXPECT_EQ(paging.currentPage(), -1);
  EXPECT_EQ(paging.nextPage(), 0);
  ASSERT_TRUE(paging.begin());
  EXPECT_FALSE(paging.begin());  // one page outstanding at a time

  auto full = ORVDataObject::builder().putDataArray(list({entry(1, "a"), entry(2, "b")}), "rs").build();
  EXPECT_EQ(paging.receive(*full).size(), 2u);
  EXPECT_EQ(paging.currentPage(), 0);
  EXPECT_EQ(paging.nextPage(), 1);
  EXPECT_FALSE(paging.isEnded());

  // A failure with entries still ends the list and adds nothing; the page still counts.
  ASSERT_TRUE(paging.begin());
  auto failed = ORVDataObject::builder().putInt32(4, "ec").putDataArray(list({entry(3, "c")}), "rs").build();
  EXPECT_TRUE(paging.receive(*failed).empty());
  EXPECT_EQ(paging.currentPage(), 1);
  EXPECT_TRUE(paging.isEnded());
  EXPECT_FALSE(paging.begin());

  for (auto answer : {ORVDataObject::builder().build(),
                      ORVDataObject::builder().putDataArray(ORVDataArray::builder().build(), "rs").build()}) {
    ListPaging other;
    ASSERT_TRUE(other.begin());
    EXPECT_TRUE(other.receive(*answer).empty());
    EXPECT_TRUE(other.isEnded());
    EXPECT_EQ(other.currentPage(), 0);
  }
  paging.reset();
  EXPECT_EQ(paging.nextPage(), 0);
  EXPECT_TRUE(paging.canRequest());
}

}  // namespace
