#pragma once
// The subscription offer (alert tag 996): its text and buttons by status, and
// the once-per-run rule of the home and list screens. The first of those
// screens that loads decides for the whole run: it sets the run's flag
// whether or not it shows the offer.

#include <cstdint>
#include <optional>
#include <string>

namespace orv::store {

class SubscriptionOffer {
 public:
  static constexpr int32_t kTag = 996;
  static constexpr int32_t kSubscribed = 1;
  static constexpr int32_t kRenewalDue = 98;
  static constexpr int32_t kNotRegistered = 99;

  std::string text;
  std::string button0;  // "Bỏ qua": nothing is sent
  std::string button1;  // "Đăng ký" (99) or "Gia hạn" (98): sends "a.reg"
  int32_t tag = kTag;

  // The offer for `status` with `text`; none unless the status is 98 or 99.
  static std::optional<SubscriptionOffer> forStatus(int32_t status, std::string text);

  // The once-per-run decision of a loading screen. When `alreadyDecided` is
  // false it becomes true and the offer for `status` (with `notify` as its
  // text) is returned, if any; when it was already true nothing is returned.
  static std::optional<SubscriptionOffer> takeOnce(bool& alreadyDecided, int32_t status, std::string notify);
};

}  // namespace orv::store
