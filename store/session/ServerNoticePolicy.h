#pragma once
// What the two screen bases do with session traffic, without any widget:
// the disconnection notice by reason, the answers of "a.reg" and "a.stt",
// and the alert-tag table (which buttons an alert has and what each does).
//
// Disconnection reasons: 2 idle, 3 kicked, 4 banned, 5 forced logout; 0 and 1
// (none, manual) show nothing; any other value, negative included, shows the
// generic system error. One notice at a time: the shared "showing" flag is
// set by the first and stops the next.
//
// "a.reg": the plain base stores the answer's "ec" when present, the table
// base stores 99 when "ec" is present; both store 1 without "ec".
// "a.stt": "ec" is the status itself; 98 and 99 bring the subscription offer
// (996) with "Gia hạn" / "Đăng ký", anything else a plain alert with "em".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ORVDataObject;

namespace orv::store {

enum class ScreenBase { kPlain, kTable };

// Tags of the store's alerts; the tag selects what the buttons do.
namespace AlertTag {
inline constexpr int kPlain = 0;
inline constexpr int kDisconnection = 999;
inline constexpr int kConnectionFailure = 997;
inline constexpr int kSubscriptionOffer = 996;
inline constexpr int kSignInNeeded = 995;
inline constexpr int kLookupFailure = 897;
inline constexpr int kOtpRequestFailure = 898;
inline constexpr int kOtpCheckFailure = 899;
// The sign-in screen's own, for waits that would otherwise never end.
inline constexpr int kLoginFailure = 896;
inline constexpr int kStatusUnanswered = 895;
}  // namespace AlertTag

// What pressing a button leads to.
enum class AlertAction {
  kNone,
  kExit,              // disconnect, then end the process
  kReconnect,         // clear the dialog flag, show the overlay, connect again
  kSubscribe,         // show the overlay, send "a.reg" with the number
  kOpenSecondSignIn,  // push the second sign-in screen
  kEnterAsGuest,      // the sign-in screen's "btn_no": into the store without a number
  kRetryLogin,        // log into the zone again (connecting first when needed)
  kRetryStatus,       // ask "a.stt" again
  kContinue,          // into the store with the number, status unknown
};

struct AlertSpec {
  std::string title = "Thông báo";
  std::string message;
  std::vector<std::string> buttons;  // index 0 is the cancel button
  int tag = AlertTag::kPlain;
  bool operator==(const AlertSpec&) const = default;
};

class ServerNoticePolicy {
 public:
  ServerNoticePolicy() = delete;

  // The strings-table key of the notice for a reason; none for 0 and 1.
  static std::optional<std::string> noticeKey(int32_t reason);
  // The notice to show for a lost connection, or none (reason 0/1, or a
  // notice already showing). Sets `showingDialog` when it returns one.
  static std::optional<AlertSpec> disconnectionNotice(int32_t reason, bool& showingDialog);

  // The status stored after an "a.reg" answer on the given base.
  static int32_t statusAfterRegistration(const ORVDataObject& answer, ScreenBase base);
  // The alert for an "a.reg" answer: "em" with "Ok".
  static AlertSpec registrationAlert(const ORVDataObject& answer);
  // The alert for an "a.stt" answer: the offer (996) for 98/99, else "em" with "Ok".
  static AlertSpec statusAlert(const ORVDataObject& answer);
  // The subscription offer for a status (98 "Gia hạn", 99 "Đăng ký"); none otherwise.
  static std::optional<AlertSpec> subscriptionOffer(int32_t status, const std::string& message);

  // `showAlert:`: "Ok", tag 0.
  static AlertSpec plainAlert(const std::string& message);
  // The connection-failure alert of the sign-in screen (997).
  static AlertSpec connectionFailureAlert();

  // What a button of a tagged alert does on a base (the sign-in screens add
  // their own tags on top: 897-899, 896, 895).
  static AlertAction actionFor(int tag, int buttonIndex, ScreenBase base);
};

}  // namespace orv::store
