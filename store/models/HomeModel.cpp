#include "store/models/HomeModel.h"

#include "store/records/CatalogueAnswer.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace orv::store {

HomeModel::Change HomeModel::addAnswer(std::string_view command, const ORVDataObject* content) {
  if (!content || content->containsKey("ec")) return Change::None;
  const auto rs = content->dataArrayForKey("rs");
  if (!rs || rs->isEmpty()) return Change::None;

  if (command == "hm") {
    auto games = CatalogueAnswer::listGames(*content);
    slider_.insert(slider_.end(), games.begin(), games.end());
    return Change::Slider;
  }
  for (auto& section : CatalogueAnswer::homeSections(*content)) {
    headers_.push_back(std::move(section.header));
    mainHeight_ += kSectionHeight;
    sections_.push_back(std::move(section.games));
  }
  return Change::Sections;
}

const Game* HomeModel::bannerAt(std::size_t index) const {
  return index < slider_.size() ? &slider_[index] : nullptr;
}

const Game* HomeModel::gameAt(std::size_t section, std::size_t row) const {
  if (section >= sections_.size() || row >= sections_[section].size()) return nullptr;
  return &sections_[section][row];
}

std::vector<std::pair<std::string, std::string>> HomeModel::moreParameters(std::size_t section) const {
  if (section >= headers_.size()) return {};
  const auto& h = headers_[section];
  return {{"cmd", h.command()}, {"id", "0"}, {"tl", h.title()}};
}

bool HomeModel::noticeStatus(int32_t status) {
  if (status == currentStatus_) return false;
  currentStatus_ = status;
  return true;
}

}  // namespace orv::store
