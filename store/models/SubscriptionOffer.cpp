#include "store/models/SubscriptionOffer.h"

#include <utility>

namespace orv::store {

std::optional<SubscriptionOffer> SubscriptionOffer::forStatus(int32_t status, std::string text) {
  if (status != kNotRegistered && status != kRenewalDue) return std::nullopt;
  SubscriptionOffer offer;
  offer.text = std::move(text);
  offer.button0 = "Bỏ qua";
  offer.button1 = status == kNotRegistered ? "Đăng ký" : "Gia hạn";
  return offer;
}

std::optional<SubscriptionOffer> SubscriptionOffer::takeOnce(bool& alreadyDecided, int32_t status,
                                                             std::string notify) {
  if (alreadyDecided) return std::nullopt;
  alreadyDecided = true;
  return forStatus(status, std::move(notify));
}

}  // namespace orv::store
