#include "store/lists/GameDetailModel.h"

#include <cctype>

#include "platform/SettingsStore.h"
#include "store/lists/HtmlText.h"
#include "store/records/CatalogueAnswer.h"
#include "store/records/CatalogueRequests.h"
#include "store/records/DetailParameters.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::store {

GameDetailModel GameDetailModel::fromSettings(const SettingsStore& store) {
  return GameDetailModel(store.value("id"), DetailParameters::read(store));
}

GameDetailModel::GameDetailModel(std::string gameId, Game game) : gameId_(std::move(gameId)), game_(std::move(game)) {}

std::vector<ORVRequestPtr> GameDetailModel::firstRequests() {
  if (!firstLoad_) return {};
  firstLoad_ = false;
  const int32_t id = DetailParameters::parseInt(gameId_);
  return {CatalogueRequests::detail(id), CatalogueRequests::relatedToGame(id)};
}

ORVRequestPtr GameDetailModel::buyRequest(const std::string& msisdn) const {
  if (msisdn.empty()) return nullptr;
  return CatalogueRequests::buy(DetailParameters::parseInt(gameId_), game_.price(), game_.name(), msisdn,
                                game_.partner());
}

bool GameDetailModel::receiveDetail(const ORVDataObject& content) {
  if (!CatalogueAnswer::readDetail(content, game_)) return false;
  hasDetail_ = true;
  return true;
}

size_t GameDetailModel::receiveRelated(const ORVDataObject& content) {
  if (CatalogueAnswer::isFailure(content)) return 0;
  auto games = CatalogueAnswer::games(content);
  otherGames_.insert(otherGames_.end(), games.begin(), games.end());
  return games.size();
}

std::string GameDetailModel::descriptionText() const {
  return HtmlText::stringByStrippingHTML(std::string_view(game_.body()));
}

std::vector<std::string> GameDetailModel::galleryPictures(const std::string& gallery) {
  std::vector<std::string> pieces;
  size_t from = 0;
  for (;;) {
    const size_t comma = gallery.find(',', from);
    if (comma == std::string::npos) {
      pieces.push_back(gallery.substr(from));
      break;
    }
    pieces.push_back(gallery.substr(from, comma - from));
    from = comma + 1;
  }
  // The piece after the last "," is never a page.
  pieces.pop_back();
  if (pieces.empty() || pieces.front().size() < 6) return {};
  return pieces;
}

int GameDetailModel::visibleStars(double rating) {
  int count = 0;
  for (int star = 1; star <= 5; ++star) count += starVisible(rating, star) ? 1 : 0;
  return count;
}

bool GameDetailModel::isOpenableLink(const std::string& link) {
  auto hasScheme = [&](std::string_view scheme) {
    if (link.size() <= scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(link[i])) != scheme[i]) return false;
    }
    return true;
  };
  return hasScheme("http://") || hasScheme("https://");
}

GameDetailModel::PurchaseOutcome GameDetailModel::purchaseOutcome(const ORVDataObject& content) {
  PurchaseOutcome out;
  if (CatalogueAnswer::isFailure(content)) {
    out.code = CatalogueAnswer::code(content);
    out.text = CatalogueAnswer::message(content);
    if (out.code == 98 || out.code == 99) {
      out.action = PurchaseOutcome::Action::Offer;
      out.button1 = out.code == 99 ? "Đăng ký" : "Gia hạn";
    } else {
      out.action = PurchaseOutcome::Action::Alert;
    }
    return out;
  }
  const auto link = content.stringForKey("rs");
  if (!link) return out;
  if (isOpenableLink(*link)) {
    out.action = PurchaseOutcome::Action::OpenLink;
    out.text = *link;
  } else {
    out.action = PurchaseOutcome::Action::BrokenLink;
    out.text = kBrokenLinkText;
  }
  return out;
}

GameDetailModel::ShareOutcome GameDetailModel::share(const std::string& shareBase) const {
  ShareOutcome out;
  if (game_.price() != 0) return out;
  out.allowed = true;
  out.name = game_.name();
  std::string base = shareBase;
  while (!base.empty() && base.back() == '/') base.pop_back();
  out.link = base + kSharePath + std::to_string(game_.id());
  return out;
}

}  // namespace orv::store
