// The detail and navigation parameters as they land in the settings file.

#include "store/records/DetailParameters.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/SettingsStore.h"
#include "store/records/NavigationParameters.h"

namespace {

using orv::SettingsStore;
using orv::store::DetailParameters;
using orv::store::Game;
using orv::store::NavigationParameters;

class DetailParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-detail-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    SettingsStore::useStandardFile(dir_ / "settings.json");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(DetailParametersTest, TheEightEntriesUseDecimalAndSixDecimalText) {
  Game game;
  game.setId(42);
  game.setPrice(0);
  game.setName("Đua xe");
  game.setPartner("vnp");
  game.setCode("Studio A");
  game.setIcon("http://m/i.png");
  game.setDownloadCount(1200);
  game.setRatingTotal(3.5);
  DetailParameters::write(game);

  // What another process reads from the file.
  auto reread = SettingsStore::open(SettingsStore::standard()->file());
  std::map<std::string, std::string, std::less<>> expected{{"id", "42"},    {"pri", "0"},     {"tl", "Đua xe"},
                                                           {"par", "vnp"},  {"sms", "Studio A"},
                                                           {"ico", "http://m/i.png"}, {"dlc", "1200"},
                                                           {"rat", "3.500000"}};
  EXPECT_EQ(reread->all(), expected);
  EXPECT_EQ(DetailParameters::read(*reread), game);

  EXPECT_EQ(DetailParameters::formatRating(0.0), "0.000000");
  EXPECT_EQ(DetailParameters::formatRating(4.1234567), "4.123457");
  EXPECT_EQ(DetailParameters::formatInt(-7), "-7");
  EXPECT_EQ(DetailParameters::parseInt("abc"), 0);
  EXPECT_DOUBLE_EQ(DetailParameters::parseDouble("2.25"), 2.25);
}

TEST_F(DetailParametersTest, NavigationStartValuesSearchAndADetailSharingIdAndTitle) {
  auto store = SettingsStore::standard();
  store->set("leftover", "x");
  NavigationParameters{"cnt.li", "12", "Hành động"}.write(*store);
  NavigationParameters::writeStartValues(*store);
  EXPECT_EQ(NavigationParameters::read(*store), (NavigationParameters{"hm", "0", ""}));
  EXPECT_EQ(store->value("leftover"), "x");

  NavigationParameters{"cnt.li", "12", "Hành động"}.write(*store);
  EXPECT_EQ(NavigationParameters::read(*store).numericId(), 12);
  Game game;
  game.setId(5);
  game.setName("Cờ vua");
  DetailParameters::write(game, *store);
  EXPECT_EQ(NavigationParameters::read(*store), (NavigationParameters{"cnt.li", "5", "Cờ vua"}));

  NavigationParameters::writeSearch(*store);
  EXPECT_EQ(SettingsStore::open(store->file())->all(), (std::map<std::string, std::string, std::less<>>{{"cmd", "cnt.fin"}}));
}

}  // namespace
