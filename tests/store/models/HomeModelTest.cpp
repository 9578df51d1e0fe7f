#include "store/models/HomeModel.h"

#include <gtest/gtest.h>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

using orv::store::HomeModel;

namespace {

ORVDataArrayPtr games(int first, int count) {
  auto list = ORVDataArray::builder();
  for (int i = first; i < first + count; ++i) {
    list.addDataObject(ORVDataObject::builder()
                           .putInt32(i, "id")
                           .putString("Game " + std::to_string(i), "tl")
                           .putDouble(i / 2.0, "rat")
                           .build());
  }
  return list.build();
}

ORVDataObjectPtr withList(ORVDataArrayPtr rs) { return ORVDataObject::builder().putDataArray(rs, "rs").build(); }

ORVDataObjectPtr sections(std::initializer_list<std::pair<const char*, const char*>> heads) {
  auto rs = ORVDataArray::builder();
  int first = 100;
  for (const auto& [command, title] : heads) {
    rs.addDataObject(
        ORVDataObject::builder().putString(title, "tl").putString(command, "id").putDataArray(games(first, 6), "lt").build());
    first += 100;
  }
  return withList(rs.build());
}

}  // namespace

TEST(HomeModelTest, BannersAndSectionsAppend) {
  HomeModel m;
  EXPECT_EQ(m.addAnswer("hm", withList(games(1, 3)).get()), HomeModel::Change::Slider);
  ASSERT_EQ(m.slider().size(), 3u);
  EXPECT_EQ(m.slider()[2].name(), "Game 3");
  EXPECT_EQ(m.bannerAt(2)->id(), 3);
  EXPECT_EQ(m.bannerAt(3), nullptr);

  const auto vip = sections({{"hm.new", "Mới nhất"}, {"hm.rcm", "Đề cử"}});
  EXPECT_EQ(m.addAnswer("hm.vip", vip.get()), HomeModel::Change::Sections);
  ASSERT_EQ(m.headers().size(), 2u);
  EXPECT_EQ(m.headers()[1].title(), "Đề cử");
  EXPECT_EQ(m.headers()[1].command(), "hm.rcm");
  EXPECT_DOUBLE_EQ(m.mainHeight(), 864.0);
  ASSERT_EQ(m.sections().size(), 2u);
  EXPECT_EQ(m.gameAt(1, 5)->id(), 205);
  EXPECT_EQ(m.gameAt(1, 6), nullptr);
  EXPECT_EQ(m.moreParameters(0),
            (std::vector<std::pair<std::string, std::string>>{{"cmd", "hm.new"}, {"id", "0"}, {"tl", "Mới nhất"}}));
  EXPECT_TRUE(m.moreParameters(2).empty());

  // A second answer appends: nothing is cleared.
  m.addAnswer("hm.vip", sections({{"hm.fre", "Miễn phí"}}).get());
  m.addAnswer("hm", withList(games(10, 2)).get());
  EXPECT_DOUBLE_EQ(m.mainHeight(), 3 * 432.0);
  EXPECT_EQ(m.headers()[2].command(), "hm.fre");
  EXPECT_EQ(m.slider().size(), 5u);
}

TEST(HomeModelTest, FailuresAndEmptyAnswersChangeNothing) {
  HomeModel m;
  auto failed = ORVDataObject::builder().putInt32(2, "ec").putString("lỗi", "em").putDataArray(games(1, 3), "rs").build();
  EXPECT_EQ(m.addAnswer("hm", failed.get()), HomeModel::Change::None);
  EXPECT_EQ(m.addAnswer("hm.vip", withList(ORVDataArray::dataArray()).get()), HomeModel::Change::None);
  EXPECT_EQ(m.addAnswer("hm", ORVDataObject::dataObject().get()), HomeModel::Change::None);
  EXPECT_EQ(m.addAnswer("hm", nullptr), HomeModel::Change::None);
  EXPECT_TRUE(m.slider().empty());
  EXPECT_DOUBLE_EQ(m.mainHeight(), 0.0);
}

TEST(HomeModelTest, StatusChangeIsNoticedOnce) {
  HomeModel m;
  m.setCurrentStatus(99);
  EXPECT_FALSE(m.noticeStatus(99));
  EXPECT_TRUE(m.noticeStatus(1));
  EXPECT_FALSE(m.noticeStatus(1));
  EXPECT_EQ(m.currentStatus(), 1);
}
