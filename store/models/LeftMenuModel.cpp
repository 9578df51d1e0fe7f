#include "store/models/LeftMenuModel.h"

#include "store/records/CatalogueAnswer.h"

namespace orv::store {
namespace {

constexpr const char* kSignIn = "ĐĂNG NHẬP";
constexpr const char* kRegisterNow = "ĐĂNG KÝ NGAY";
constexpr const char* kRenew = "GIA HẠN";
constexpr int32_t kSubscribed = 1;
constexpr int32_t kRenewalDue = 98;
constexpr int32_t kNotRegistered = 99;

// "scheme://authority/" of an absolute URL, or "" when it is not one.
std::string originOf(std::string_view url) {
  const auto scheme = url.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return {};
  const auto slash = url.find('/', scheme + 3);
  const auto authority = url.substr(0, slash == std::string_view::npos ? url.size() : slash);
  if (authority.size() == scheme + 3) return {};
  return std::string(authority) + "/";
}

}  // namespace

GameCategory LeftMenuModel::makeRow(int32_t id, std::string name, std::string icon) {
  GameCategory row;
  row.setCatId(id);
  row.setCatName(std::move(name));
  row.setIcon(std::move(icon));
  return row;
}

std::string LeftMenuModel::greeting(const std::string& msisdn) {
  return msisdn.empty() ? std::string("Xin chào khách") : "Xin chào " + msisdn;
}

bool LeftMenuModel::isBareMediaUrl(std::string_view url) const {
  if (url.empty()) return true;
  if (!mediaBase_.empty() && url == mediaBase_) return true;
  const auto origin = originOf(mediaBase_);
  return !origin.empty() && url == origin;
}

void LeftMenuModel::build(const ORVDataObject* content, const std::string& msisdn, int32_t status) {
  rows_.clear();
  rows_.push_back(makeRow(kGreetingId, greeting(msisdn), "no_avatar"));
  if (msisdn.empty()) {
    rows_.push_back(makeRow(kActionId, kSignIn, ""));
  } else if (status == kNotRegistered) {
    rows_.push_back(makeRow(kActionId, kRegisterNow, ""));
  } else if (status == kRenewalDue) {
    rows_.push_back(makeRow(kActionId, kRenew, ""));
  }
  rows_.push_back(makeRow(kStatusId, "Trạng thái thuê bao", "ic-status"));
  rows_.push_back(makeRow(kMostDownloadedId, "Tải nhiều", "ic-tainhieu"));
  rows_.push_back(makeRow(kNewestId, "Mới nhất", "ic-moinhat"));
  rows_.push_back(makeRow(kRecommendedId, "Đề cử", "ic-decu"));

  if (content) {
    for (auto& category : CatalogueAnswer::categories(*content)) {
      // Ids below zero are the menu's own rows (the action row sends
      // "a.reg"): a server entry must never take one of their places.
      if (category.catId() < 0) continue;
      if (isBareMediaUrl(category.avatar())) category.setAvatar("");
      rows_.push_back(std::move(category));
    }
  }
  rows_.push_back(makeRow(kSupportId, "Hỗ trợ", "ic-hotro"));
}

std::string LeftMenuModel::actionTextAfterUpdate(const std::string& msisdn, int32_t status) {
  // A guest is offered the sign-in, whatever the status says.
  if (msisdn.empty()) return kSignIn;
  return status == kNotRegistered ? kRegisterNow : kRenew;
}

bool LeftMenuModel::updateMenu(const std::string& msisdn, int32_t status) {
  if (rows_.empty()) return false;
  rows_[0].setCatName(greeting(msisdn));
  const bool hasActionRow = rows_.size() > 1 && rows_[1].catId() == kActionId;
  if (hasActionRow) {
    if (status != kSubscribed) {
      rows_[1].setCatName(actionTextAfterUpdate(msisdn, status));
    } else {
      rows_.erase(rows_.begin() + 1);
    }
  } else if (status != kSubscribed) {
    rows_.insert(rows_.begin() + 1, makeRow(kActionId, actionTextAfterUpdate(msisdn, status), ""));
  }
  return true;
}

LeftMenuModel::RowStyle LeftMenuModel::styleForRow(std::size_t row) const {
  if (row >= rows_.size()) return RowStyle::Plain;
  switch (rows_[row].catId()) {
    case kActionId: return RowStyle::Action;
    case kGreetingId: return RowStyle::Greeting;
    default: return RowStyle::Plain;
  }
}

LeftMenuModel::RowImage LeftMenuModel::imageForRow(std::size_t row) const {
  if (row >= rows_.size()) return {};
  const auto& r = rows_[row];
  if (r.catId() < 0) {
    if (r.icon().empty()) return {};
    return {RowImage::Kind::Local, r.icon()};
  }
  if (!r.avatar().empty()) return {RowImage::Kind::Remote, r.avatar()};
  return {RowImage::Kind::Local, kCategoryFallbackImage};
}

LeftMenuModel::RowAction LeftMenuModel::actionForRow(std::size_t row, const std::string& msisdn) const {
  using Kind = RowAction::Kind;
  if (row == 0 || row >= rows_.size()) return {};
  const auto& r = rows_[row];
  auto list = [](std::string cmd, std::string id, std::string title) {
    return RowAction{Kind::OpenList, {{"cmd", std::move(cmd)}, {"id", std::move(id)}, {"tl", std::move(title)}}};
  };
  switch (r.catId()) {
    case kActionId: return {msisdn.empty() ? Kind::OpenSecondSignIn : Kind::SendRegister, {}};
    case kStatusId: return {msisdn.empty() ? Kind::TellNoMsisdn : Kind::SendStatus, {}};
    case kMostDownloadedId: return list("hm.fre", "0", "Tải nhiều");
    case kNewestId: return list("hm.new", "0", "Mới nhất");
    case kRecommendedId: return list("hm.rcm", "0", "Đề cử");
    case kSupportId:
    case kGreetingId: return {};
    default: return list("cnt.li", std::to_string(r.catId()), r.catName());
  }
}

}  // namespace orv::store
