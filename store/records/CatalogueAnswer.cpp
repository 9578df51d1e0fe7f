#include "store/records/CatalogueAnswer.h"

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace orv::store {
namespace {

std::vector<Game> gamesOf(const ORVDataArrayPtr& list) {
  std::vector<Game> out;
  if (!list) return out;
  out.reserve(list->count());
  for (size_t i = 0; i < list->count(); ++i) {
    if (ORVDataObjectPtr entry = list->dataObjectAtIndex(i)) out.push_back(Game::initWithORVData(*entry));
  }
  return out;
}

}  // namespace

bool CatalogueAnswer::isFailure(const ORVDataObject& content) { return content.containsKey("ec"); }

int32_t CatalogueAnswer::code(const ORVDataObject& content) { return content.int32ForKey("ec"); }

std::string CatalogueAnswer::message(const ORVDataObject& content) { return content.stringForKey("em").value_or(""); }

std::vector<Game> CatalogueAnswer::games(const ORVDataObject& content) { return gamesOf(content.dataArrayForKey("rs")); }

std::vector<Game> CatalogueAnswer::listGames(const ORVDataObject& content) {
  if (isFailure(content)) return {};
  return games(content);
}

std::vector<HomeSection> CatalogueAnswer::homeSections(const ORVDataObject& content) {
  std::vector<HomeSection> out;
  if (isFailure(content)) return out;
  ORVDataArrayPtr rs = content.dataArrayForKey("rs");
  if (!rs) return out;
  for (size_t i = 0; i < rs->count(); ++i) {
    ORVDataObjectPtr entry = rs->dataObjectAtIndex(i);
    if (!entry) continue;
    HomeSection section;
    section.header = GameHeader(entry->stringForKey("tl").value_or(""), entry->stringForKey("id").value_or(""));
    section.games = gamesOf(entry->dataArrayForKey("lt"));
    out.push_back(std::move(section));
  }
  return out;
}

std::vector<GameCategory> CatalogueAnswer::categories(const ORVDataObject& content) {
  std::vector<GameCategory> out;
  ORVDataArrayPtr rs = content.dataArrayForKey("rs");
  if (!rs) return out;
  for (size_t i = 0; i < rs->count(); ++i) {
    ORVDataObjectPtr entry = rs->dataObjectAtIndex(i);
    if (!entry) continue;
    GameCategory category;
    category.setCatId(entry->int32ForKey("id"));
    category.setCatName(entry->stringForKey("tl").value_or(""));
    category.setAvatar(entry->stringForKey("ico").value_or(""));
    out.push_back(std::move(category));
  }
  return out;
}

bool CatalogueAnswer::readDetail(const ORVDataObject& content, Game& game) {
  if (isFailure(content)) return false;
  game.setGallery(content.stringForKey("gll").value_or(""));
  game.setBody(content.stringForKey("des").value_or(""));
  return true;
}

}  // namespace orv::store
