#include "store/session/ServerNoticePolicy.h"

#include "platform/StringsTable.h"
#include "wire/ORVDataObject.h"

namespace orv::store {

std::optional<std::string> ServerNoticePolicy::noticeKey(int32_t reason) {
  switch (reason) {
    case 0:
    case 1: return std::nullopt;
    case 2: return "msg_idle";
    case 3: return "msg_kick";
    case 4: return "msg_ban";
    case 5: return "msg_force_logout";
    default: return "system_error";
  }
}

std::optional<AlertSpec> ServerNoticePolicy::disconnectionNotice(int32_t reason, bool& showingDialog) {
  std::optional<std::string> key = noticeKey(reason);
  if (!key || showingDialog) return std::nullopt;
  showingDialog = true;
  return AlertSpec{"Thông báo", orv::localizedString(*key), {"Thoát"}, AlertTag::kDisconnection};
}

int32_t ServerNoticePolicy::statusAfterRegistration(const ORVDataObject& answer, ScreenBase base) {
  if (!answer.containsKey("ec")) return 1;
  return base == ScreenBase::kPlain ? answer.int32ForKey("ec") : 99;
}

AlertSpec ServerNoticePolicy::registrationAlert(const ORVDataObject& answer) {
  return plainAlert(answer.stringForKey("em").value_or(""));
}

std::optional<AlertSpec> ServerNoticePolicy::subscriptionOffer(int32_t status, const std::string& message) {
  if (status != 98 && status != 99) return std::nullopt;
  return AlertSpec{"Thông báo", message, {"Bỏ qua", status == 99 ? "Đăng ký" : "Gia hạn"},
                   AlertTag::kSubscriptionOffer};
}

AlertSpec ServerNoticePolicy::statusAlert(const ORVDataObject& answer) {
  const std::string message = answer.stringForKey("em").value_or("");
  if (auto offer = subscriptionOffer(answer.int32ForKey("ec"), message)) return *offer;
  return plainAlert(message);
}

AlertSpec ServerNoticePolicy::plainAlert(const std::string& message) {
  return AlertSpec{"Thông báo", message, {"Ok"}, AlertTag::kPlain};
}

AlertSpec ServerNoticePolicy::connectionFailureAlert() {
  return AlertSpec{"Thông báo",
                   orv::localizedString("sys_noservices"),
                   {orv::localizedString("btn_retry"), orv::localizedString("btn_exit")},
                   AlertTag::kConnectionFailure};
}

AlertAction ServerNoticePolicy::actionFor(int tag, int buttonIndex, ScreenBase base) {
  switch (tag) {
    case AlertTag::kDisconnection: return buttonIndex == 0 ? AlertAction::kExit : AlertAction::kNone;
    case AlertTag::kConnectionFailure: return buttonIndex == 0 ? AlertAction::kReconnect : AlertAction::kExit;
    case AlertTag::kSubscriptionOffer: return buttonIndex == 1 ? AlertAction::kSubscribe : AlertAction::kNone;
    case AlertTag::kSignInNeeded:
      return base == ScreenBase::kPlain && buttonIndex == 1 ? AlertAction::kOpenSecondSignIn : AlertAction::kNone;
    default: return AlertAction::kNone;
  }
}

}  // namespace orv::store
