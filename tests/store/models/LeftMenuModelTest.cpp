#include "store/models/LeftMenuModel.h"

#include <gtest/gtest.h>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

using orv::store::LeftMenuModel;
using Kind = LeftMenuModel::RowAction::Kind;
using ImageKind = LeftMenuModel::RowImage::Kind;

namespace {

const std::string kMedia = "http://media.test:8080/media/";

ORVDataObjectPtr categories(std::initializer_list<std::tuple<int, const char*, std::string>> entries) {
  auto rs = ORVDataArray::builder();
  for (const auto& [id, title, icon] : entries) {
    rs.addDataObject(ORVDataObject::builder().putInt32(id, "id").putString(title, "tl").putString(icon, "ico").build());
  }
  return ORVDataObject::builder().putDataArray(rs.build(), "rs").build();
}

std::vector<std::string> texts(const LeftMenuModel& m) {
  std::vector<std::string> out;
  for (const auto& r : m.rows()) out.push_back(r.catName());
  return out;
}

std::vector<int> ids(const LeftMenuModel& m) {
  std::vector<int> out;
  for (const auto& r : m.rows()) out.push_back(r.catId());
  return out;
}

}  // namespace

TEST(LeftMenuModelTest, RowsByNumberAndStatus) {
  const auto answer = categories({{1, "Hành động", kMedia + "categories/1.png"}, {8, "Âm nhạc", "http://media.test:8080/"}});
  LeftMenuModel guest(kMedia);
  guest.build(answer.get(), "", 0);
  EXPECT_EQ(texts(guest), (std::vector<std::string>{"Xin chào khách", "ĐĂNG NHẬP", "Trạng thái thuê bao", "Tải nhiều",
                                                    "Mới nhất", "Đề cử", "Hành động", "Âm nhạc", "Hỗ trợ"}));
  EXPECT_EQ(ids(guest), (std::vector<int>{-1, -99, -2, -3, -4, -5, 1, 8, -6}));
  EXPECT_EQ(guest.styleForRow(0), LeftMenuModel::RowStyle::Greeting);
  EXPECT_EQ(guest.styleForRow(1), LeftMenuModel::RowStyle::Action);
  EXPECT_EQ(guest.styleForRow(2), LeftMenuModel::RowStyle::Plain);
  EXPECT_FALSE(LeftMenuModel::showsSelection(0));
  EXPECT_TRUE(LeftMenuModel::showsSelection(1));

  LeftMenuModel subscribed(kMedia);
  subscribed.build(answer.get(), "84912000001", 1);
  EXPECT_EQ(texts(subscribed)[0], "Xin chào 84912000001");
  EXPECT_EQ(texts(subscribed)[1], "Trạng thái thuê bao");
  EXPECT_EQ(subscribed.count(), 8u);

  for (auto [status, text] : {std::pair{98, "GIA HẠN"}, std::pair{99, "ĐĂNG KÝ NGAY"}}) {
    LeftMenuModel m(kMedia);
    m.build(answer.get(), "84912000099", status);
    EXPECT_EQ(m.rows()[1].catId(), LeftMenuModel::kActionId);
    EXPECT_EQ(m.rows()[1].catName(), text);
  }
  // Status 0 with a number (no answer yet): no action row on the first build.
  LeftMenuModel unknown(kMedia);
  unknown.build(answer.get(), "84912000001", 0);
  EXPECT_EQ(unknown.rows()[1].catId(), LeftMenuModel::kStatusId);
}

TEST(LeftMenuModelTest, ImagesAndBareMediaUrl) {
  const auto answer = categories({{1, "Hành động", kMedia + "categories/1.png"},
                                  {7, "Bài & Cờ", kMedia},
                                  {8, "Âm nhạc", "http://media.test:8080/"},
                                  {9, "Khác", "http://other.test/"}});
  LeftMenuModel m(kMedia);
  m.build(answer.get(), "", 0);
  EXPECT_EQ(m.imageForRow(0).source, "no_avatar");
  EXPECT_EQ(m.imageForRow(1).kind, ImageKind::None);  // the action row has no image
  EXPECT_EQ(m.imageForRow(2).source, "ic-status");
  EXPECT_EQ(m.imageForRow(6).kind, ImageKind::Remote);
  EXPECT_EQ(m.imageForRow(6).source, kMedia + "categories/1.png");
  for (size_t row : {7u, 8u}) {
    EXPECT_EQ(m.rows()[row].avatar(), "");
    EXPECT_EQ(m.imageForRow(row).kind, ImageKind::Local);
    EXPECT_EQ(m.imageForRow(row).source, "ic_support");
  }
  // Another server's root is a picture URL like any other.
  EXPECT_EQ(m.imageForRow(9).kind, ImageKind::Remote);
  EXPECT_EQ(m.imageForRow(10).source, "ic-hotro");
}

TEST(LeftMenuModelTest, AnswerWithoutListOrWithBadEntries) {
  LeftMenuModel m(kMedia);
  const auto empty = ORVDataObject::builder().putInt32(3, "ec").build();
  m.build(empty.get(), "", 0);
  EXPECT_EQ(m.count(), 7u);
  m.build(nullptr, "84912000001", 1);
  EXPECT_EQ(m.count(), 6u);
  EXPECT_EQ(m.rows().back().catName(), "Hỗ trợ");

  // A server id below zero must not become one of the menu's own rows.
  const auto hostile = categories({{-99, "Giả mạo", ""}, {-6, "Giả", ""}, {4, "Thể thao", ""}});
  m.build(hostile.get(), "84912000001", 1);
  EXPECT_EQ(ids(m), (std::vector<int>{-1, -2, -3, -4, -5, 4, -6}));
}

TEST(LeftMenuModelTest, UpdateMenuAfterStatusChanges) {
  LeftMenuModel m(kMedia);
  EXPECT_FALSE(m.updateMenu("84912000001", 1));
  EXPECT_TRUE(m.isEmpty());

  m.build(nullptr, "84912000099", 99);
  ASSERT_EQ(m.rows()[1].catName(), "ĐĂNG KÝ NGAY");
  EXPECT_TRUE(m.updateMenu("84912000099", 1));  // 99 -> 1 removes the action row
  EXPECT_EQ(ids(m), (std::vector<int>{-1, -2, -3, -4, -5, -6}));
  m.updateMenu("84912000099", 98);  // 1 -> 98 inserts "GIA HẠN" at 1
  EXPECT_EQ(ids(m), (std::vector<int>{-1, -99, -2, -3, -4, -5, -6}));
  EXPECT_EQ(m.rows()[1].catName(), "GIA HẠN");
  m.updateMenu("84912000099", 99);  // renamed in place, not added twice
  EXPECT_EQ(m.count(), 7u);
  EXPECT_EQ(m.rows()[1].catName(), "ĐĂNG KÝ NGAY");
  m.updateMenu("84912000099", 5);  // any other status: renew
  EXPECT_EQ(m.rows()[1].catName(), "GIA HẠN");

  // A guest who signs in on the second screen: greeting and action row follow.
  LeftMenuModel guest(kMedia);
  guest.build(nullptr, "", 0);
  guest.updateMenu("84912000098", 98);
  EXPECT_EQ(guest.rows()[0].catName(), "Xin chào 84912000098");
  EXPECT_EQ(guest.rows()[1].catName(), "GIA HẠN");
  // Still a guest: the action row keeps offering the sign-in.
  LeftMenuModel stillGuest(kMedia);
  stillGuest.build(nullptr, "", 0);
  stillGuest.updateMenu("", 99);
  EXPECT_EQ(stillGuest.rows()[1].catName(), "ĐĂNG NHẬP");
}

TEST(LeftMenuModelTest, RowActions) {
  const auto answer = categories({{12, "Phiêu lưu", ""}});
  LeftMenuModel m(kMedia);
  m.build(answer.get(), "", 0);
  const auto row = [&](int id) {
    for (size_t i = 0; i < m.count(); ++i)
      if (m.rows()[i].catId() == id) return i;
    return size_t{999};
  };
  EXPECT_EQ(m.actionForRow(0, "").kind, Kind::Nothing);
  EXPECT_EQ(m.actionForRow(row(-99), "").kind, Kind::OpenSecondSignIn);
  EXPECT_EQ(m.actionForRow(row(-99), "84912000099").kind, Kind::SendRegister);
  EXPECT_EQ(m.actionForRow(row(-2), "").kind, Kind::TellNoMsisdn);
  EXPECT_EQ(m.actionForRow(row(-2), "84912000099").kind, Kind::SendStatus);
  EXPECT_EQ(m.actionForRow(row(-6), "").kind, Kind::Nothing);

  using P = LeftMenuModel::Parameters;
  EXPECT_EQ(m.actionForRow(row(12), "").parameters, (P{{"cmd", "cnt.li"}, {"id", "12"}, {"tl", "Phiêu lưu"}}));
  EXPECT_EQ(m.actionForRow(row(-3), "").parameters, (P{{"cmd", "hm.fre"}, {"id", "0"}, {"tl", "Tải nhiều"}}));
  EXPECT_EQ(m.actionForRow(row(-4), "").parameters, (P{{"cmd", "hm.new"}, {"id", "0"}, {"tl", "Mới nhất"}}));
  EXPECT_EQ(m.actionForRow(row(-5), "").parameters, (P{{"cmd", "hm.rcm"}, {"id", "0"}, {"tl", "Đề cử"}}));
  EXPECT_EQ(m.actionForRow(row(-5), "").kind, Kind::OpenList);
}
