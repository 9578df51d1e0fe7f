#include "store/lists/GameDetailModel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"
#include "store/lists/GameRowText.h"
#include "store/records/DetailParameters.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

using Action = GameDetailModel::PurchaseOutcome::Action;

GameDetailModel modelFor(int id, int price, std::string name = "Ninja Bóng Đêm") {
  Game g;
  g.setId(id);
  g.setPrice(price);
  g.setName(std::move(name));
  g.setPartner("P103");
  g.setCode("Sao Mai Studio");
  g.setRatingTotal(3.5);
  return GameDetailModel(std::to_string(id), g);
}

TEST(GameDetailModelTest, ReadsTheDetailParametersAndAsksDetailThenRelatedOnce) {
  const auto file = std::filesystem::temp_directory_path() / ("detail-model-" + std::to_string(::getpid()) + ".json");
  auto store = SettingsStore::open(file);
  Game g;
  g.setId(42);
  g.setName("Đại Chiến Zombie");
  g.setPrice(5000);
  g.setRatingTotal(2.5);
  g.setIcon("http://h/i.png");
  g.setPartner("P1");
  g.setCode("Mekong Play");
  g.setDownloadCount(1200);
  DetailParameters::write(g, *store);
  auto model = GameDetailModel::fromSettings(*store);
  std::filesystem::remove(file);
  EXPECT_EQ(model.gameId(), "42");
  EXPECT_EQ(model.game(), g);

  const auto requests = model.firstRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0]->command(), "cnt.dt");
  EXPECT_EQ(requests[0]->content()->keyEnumerator(), std::vector<std::string>{"id"});
  EXPECT_EQ(requests[0]->int32ForKey("id"), 42);
  EXPECT_EQ(requests[1]->command(), "cnt.rlt");
  EXPECT_EQ(requests[1]->int32ForKey("pi"), 0);
  EXPECT_EQ(requests[1]->int32ForKey("ord"), 0);
  EXPECT_TRUE(model.firstRequests().empty());

  EXPECT_EQ(model.buyRequest(""), nullptr) << "a guest sends nothing";
  const auto buy = model.buyRequest("84912000001");
  EXPECT_EQ(buy->command(), "a.buy");
  EXPECT_EQ(buy->int32ForKey("id"), 42);
  EXPECT_EQ(buy->int32ForKey("pri"), 5000);
  EXPECT_EQ(buy->stringForKey("tl"), "Đại Chiến Zombie");
  EXPECT_EQ(buy->stringForKey("msi"), "84912000001");
  EXPECT_EQ(buy->stringForKey("par"), "P1");
}

TEST(GameDetailModelTest, DetailAnswerGalleryDescriptionAndStars) {
  auto model = modelFor(7, 0);
  EXPECT_FALSE(model.receiveDetail(*ORVDataObject::builder().putInt32(2, "ec").build()));
  EXPECT_FALSE(model.hasDetail());
  ASSERT_TRUE(model.receiveDetail(*ORVDataObject::builder()
                                       .putString("http://h/a.png,http://h/b.png,", "gll")
                                       .putString("&lt;p&gt;Hay &amp;amp; vui&lt;/p&gt;<br>", "des")
                                       .build()));
  EXPECT_EQ(model.galleryPictures(), (std::vector<std::string>{"http://h/a.png", "http://h/b.png"}));
  EXPECT_EQ(model.descriptionText(), "Hay &amp; vui");

  EXPECT_EQ(GameDetailModel::galleryPictures("http://h/a.png,http://h/b.png"),
            std::vector<std::string>{"http://h/a.png"});
  EXPECT_TRUE(GameDetailModel::galleryPictures("").empty());
  EXPECT_TRUE(GameDetailModel::galleryPictures("a.png,b.png,").empty()) << "first piece under 6 characters";
  EXPECT_TRUE(GameDetailModel::galleryPictures("http://h/only.png").empty()) << "no page left: the icon";

  // No "des": an empty text.
  auto bare = modelFor(8, 0);
  bare.receiveDetail(*ORVDataObject::builder().putString("", "gll").build());
  EXPECT_EQ(bare.descriptionText(), "");

  EXPECT_EQ(GameDetailModel::visibleStars(2.5), 3);
  EXPECT_EQ(GameDetailModel::visibleStars(5), 5);
  EXPECT_EQ(GameDetailModel::visibleStars(3.0), 3);
  EXPECT_EQ(GameDetailModel::visibleStars(0), 0);
}

TEST(GameDetailModelTest, RelatedStripGeometry) {
  auto model = modelFor(7, 0);
  auto rs = ORVDataArray::builder();
  for (int i = 0; i < 3; ++i) rs.addDataObject(ORVDataObject::builder().putInt32(10 + i, "id").build());
  EXPECT_EQ(model.receiveRelated(*ORVDataObject::builder().putDataArray(rs.build(), "rs").build()), 3u);
  EXPECT_EQ(model.otherGames()[1].id(), 11);
  EXPECT_EQ(GameDetailModel::cardFrame(0), (Rect{0, 0, 106, 152}));
  EXPECT_EQ(GameDetailModel::cardFrame(1).x, 104);
  EXPECT_EQ(GameDetailModel::cardFrame(2).x, 208);
  EXPECT_EQ(GameDetailModel::stripContent(3), (Rect{0, 0, 318, 152}));
  EXPECT_EQ(model.receiveRelated(*ORVDataObject::builder().putInt32(1, "ec").build()), 0u);
}

TEST(GameDetailModelTest, PurchaseAnswersAndShare) {
  auto outcome = [](ORVDataObjectPtr content) { return GameDetailModel::purchaseOutcome(*content); };
  auto link = outcome(ORVDataObject::builder().putString("http://h/download/7", "rs").build());
  EXPECT_EQ(link.action, Action::OpenLink);
  EXPECT_EQ(link.text, "http://h/download/7");
  EXPECT_EQ(outcome(ORVDataObject::builder().putString("HTTPS://h/x", "rs").build()).action, Action::OpenLink);
  for (const char* bad : {"", "file:///etc/passwd", "javascript:alert(1)", "http:/", "ftp://h/x"}) {
    const auto o = outcome(ORVDataObject::builder().putString(bad, "rs").build());
    EXPECT_EQ(o.action, Action::BrokenLink) << bad;
    EXPECT_EQ(o.text, "Đường dẫn tải file cài đặt bị lỗi. Hãy thử lại!");
  }
  const auto renew = outcome(ORVDataObject::builder().putInt32(98, "ec").putString("Gia hạn đi", "em").build());
  EXPECT_EQ(renew.action, Action::Offer);
  EXPECT_EQ(renew.button1, "Gia hạn");
  EXPECT_EQ(renew.text, "Gia hạn đi");
  EXPECT_EQ(outcome(ORVDataObject::builder().putInt32(99, "ec").build()).button1, "Đăng ký");
  const auto other = outcome(ORVDataObject::builder().putInt32(3, "ec").putString("Giá đổi", "em").build());
  EXPECT_EQ(other.action, Action::Alert);
  EXPECT_EQ(other.text, "Giá đổi");
  EXPECT_EQ(outcome(ORVDataObject::builder().build()).action, Action::None);

  const auto free = modelFor(7, 0).share("http://share.example.vn/");
  EXPECT_TRUE(free.allowed);
  EXPECT_EQ(free.name, "Ninja Bóng Đêm");
  EXPECT_EQ(free.link, "http://share.example.vn/mobile/share/share.html?id=7");
  EXPECT_FALSE(modelFor(7, 1000).share("http://share.example.vn").allowed);
}

TEST(GameDetailModelTest, RowTexts) {
  ASSERT_TRUE(orv::loadLocalizedStringsFromText(R"({"%d VNĐ": "%d VNĐ", "Xem : %d lượt": "Xem : %d lượt"})"));
  EXPECT_EQ(GameRowText::price(5000), "5000 VNĐ");
  EXPECT_EQ(GameRowText::price(0), "MIỄN PHÍ");
  EXPECT_EQ(GameRowText::price(-3), "MIỄN PHÍ");
  EXPECT_EQ(GameRowText::views(1200), "Xem : 1200 lượt");
}

}  // namespace
}  // namespace orv::store
