#include "store/models/HomeModel.h"

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace orv::store {
namespace {

std::vector<Game> gamesOf(const ORVDataArray* list) {
  std::vector<Game> games;
  if (!list) return games;
  games.reserve(list->count());
  for (size_t i = 0; i < list->count(); ++i) {
    if (const auto entry = list->dataObjectAtIndex(i)) games.push_back(Game::initWithORVData(*entry));
  }
  return games;
}

}  // namespace

HomeModel::Change HomeModel::addAnswer(std::string_view command, const ORVDataObject* content) {
  if (!content || content->containsKey("ec")) return Change::None;
  const auto rs = content->dataArrayForKey("rs");
  if (!rs || rs->isEmpty()) return Change::None;

  if (command == "hm") {
    auto games = gamesOf(rs.get());
    slider_.insert(slider_.end(), games.begin(), games.end());
    return Change::Slider;
  }
  for (size_t i = 0; i < rs->count(); ++i) {
    const auto section = rs->dataObjectAtIndex(i);
    if (!section) continue;
    headers_.emplace_back(section->stringForKey("tl").value_or(""), section->stringForKey("id").value_or(""));
    const auto lt = section->dataArrayForKey("lt");
    mainHeight_ += kSectionHeight;
    sections_.push_back(gamesOf(lt.get()));
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
