// The bases' decisions: notices by reason, one at a time; "a.reg" and
// "a.stt" on both bases; the alert-tag table.

#include "store/session/ServerNoticePolicy.h"

#include <gtest/gtest.h>

#include "platform/StringsTable.h"
#include "wire/ORVDataObject.h"

namespace {

using namespace orv::store;

TEST(ServerNoticePolicyTest, NoticesByReasonAndOnlyOneAtATime) {
  ASSERT_TRUE(orv::loadLocalizedStringsFromText(
      R"({"msg_idle":"idle","msg_kick":"kick","msg_ban":"ban","msg_force_logout":"out","system_error":"err"})"));
  const std::vector<std::pair<int32_t, std::string>> shown{{2, "idle"}, {3, "kick"}, {4, "ban"},
                                                           {5, "out"},  {6, "err"},  {-1, "err"}};
  for (const auto& [reason, text] : shown) {
    bool showing = false;
    auto notice = ServerNoticePolicy::disconnectionNotice(reason, showing);
    ASSERT_TRUE(notice) << reason;
    EXPECT_EQ(*notice, (AlertSpec{"Thông báo", text, {"Thoát"}, 999}));
    EXPECT_TRUE(showing);
    EXPECT_FALSE(ServerNoticePolicy::disconnectionNotice(reason, showing)) << "a second notice stacked";
  }
  for (int32_t reason : {0, 1}) {
    bool showing = false;
    EXPECT_FALSE(ServerNoticePolicy::disconnectionNotice(reason, showing));
    EXPECT_FALSE(showing);
  }
}

TEST(ServerNoticePolicyTest, RegistrationAndStatusAnswersDifferByBase) {
  auto withEc = ORVDataObject::builder().putInt32(5, "ec").putString("Lỗi", "em").build();
  auto withoutEc = ORVDataObject::builder().putString("Thành công", "em").build();
  EXPECT_EQ(ServerNoticePolicy::statusAfterRegistration(*withEc, ScreenBase::kPlain), 5);
  EXPECT_EQ(ServerNoticePolicy::statusAfterRegistration(*withEc, ScreenBase::kTable), 99);
  EXPECT_EQ(ServerNoticePolicy::statusAfterRegistration(*withoutEc, ScreenBase::kPlain), 1);
  EXPECT_EQ(ServerNoticePolicy::statusAfterRegistration(*withoutEc, ScreenBase::kTable), 1);
  EXPECT_EQ(ServerNoticePolicy::registrationAlert(*withEc), ServerNoticePolicy::plainAlert("Lỗi"));

  auto status = [](int32_t ec) { return ORVDataObject::builder().putInt32(ec, "ec").putString("em", "em").build(); };
  EXPECT_EQ(ServerNoticePolicy::statusAlert(*status(98)), (AlertSpec{"Thông báo", "em", {"Bỏ qua", "Gia hạn"}, 996}));
  EXPECT_EQ(ServerNoticePolicy::statusAlert(*status(99)), (AlertSpec{"Thông báo", "em", {"Bỏ qua", "Đăng ký"}, 996}));
  EXPECT_EQ(ServerNoticePolicy::statusAlert(*status(1)), (AlertSpec{"Thông báo", "em", {"Ok"}, 0}));
  EXPECT_EQ(ServerNoticePolicy::statusAlert(*ORVDataObject::builder().build()), ServerNoticePolicy::plainAlert(""));
}

TEST(ServerNoticePolicyTest, TheAlertTagTable) {
  struct Row {
    int tag;
    int button;
    AlertAction plain;
    AlertAction table;
  };
  const Row rows[] = {
      {999, 0, AlertAction::kExit, AlertAction::kExit},
      {997, 0, AlertAction::kReconnect, AlertAction::kReconnect},
      {997, 1, AlertAction::kExit, AlertAction::kExit},
      {996, 0, AlertAction::kNone, AlertAction::kNone},
      {996, 1, AlertAction::kSubscribe, AlertAction::kSubscribe},
      {995, 0, AlertAction::kNone, AlertAction::kNone},
      {995, 1, AlertAction::kOpenSecondSignIn, AlertAction::kNone},
      {0, 0, AlertAction::kNone, AlertAction::kNone},
      {897, 0, AlertAction::kNone, AlertAction::kNone},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ServerNoticePolicy::actionFor(row.tag, row.button, ScreenBase::kPlain), row.plain) << row.tag;
    EXPECT_EQ(ServerNoticePolicy::actionFor(row.tag, row.button, ScreenBase::kTable), row.table) << row.tag;
  }
}

}  // namespace
