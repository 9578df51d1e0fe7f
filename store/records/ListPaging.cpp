#include "store/records/ListPaging.h"

#include "store/records/CatalogueAnswer.h"
#include "wire/ORVDataObject.h"

namespace orv::store {

bool ListPaging::begin() {
  if (!canRequest()) return false;
  loading_ = true;
  return true;
}

std::vector<Game> ListPaging::receive(const ORVDataObject& answer) {
  loading_ = false;
  ++currentPage_;
  std::vector<Game> games = CatalogueAnswer::listGames(answer);
  if (games.empty()) ended_ = true;
  return games;
}

void ListPaging::reset() {
  currentPage_ = -1;
  ended_ = false;
  loading_ = false;
}

}  // namespace orv::store
