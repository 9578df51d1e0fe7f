#include "store/lists/GameListModel.h"

#include <algorithm>

#include "store/records/CatalogueAnswer.h"
#include "store/records/CatalogueRequests.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::store {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

GameListModel::GameListModel(Kind kind, const NavigationParameters& navigation)
    : kind_(kind), mode_(navigation.command), title_(navigation.title) {
  if (startsWith(mode_, CatalogueRequests::kCategoryList) || mode_ == CatalogueRequests::kRelated) {
    catId_ = navigation.numericId();
  }
}

bool GameListModel::isLoading() const {
  return searchHeld_ || std::find(outstanding_.begin(), outstanding_.end(), generation_) != outstanding_.end();
}

std::vector<ORVRequestPtr> GameListModel::firstRequests() {
  std::vector<ORVRequestPtr> out;
  if (!firstLoad_) return out;
  if (isSearch()) return out;  // nothing until the user searches
  firstLoad_ = false;
  if (isHomeTable()) {
    for (const char* command : {CatalogueRequests::kHome, CatalogueRequests::kHomeNew}) {
      if (auto r = doRequest(command)) out.push_back(std::move(r));
    }
  } else if (auto r = doRequest(mode_)) {
    out.push_back(std::move(r));
  }
  return out;
}

ORVRequestPtr GameListModel::doRequest(const std::string& command) {
  ORVRequestPtr request;
  const int32_t page = currentPage_ + 1;
  if (kind_ == Kind::Grid) {
    if (startsWith(command, CatalogueRequests::kHome)) {
      request = CatalogueRequests::homeList(command, page);
    } else if (startsWith(command, CatalogueRequests::kCategoryList)) {
      request = CatalogueRequests::categoryList(catId_, page, command);
    } else if (startsWith(command, CatalogueRequests::kSearch)) {
      request = ORVRequest::extensionRequestWithCommand(command, ORVDataObject::builder()
                                                                     .putString(CatalogueRequests::kPlatform, "pf")
                                                                     .putInt32(CatalogueRequests::kListPageSize, "ps")
                                                                     .putInt32(page, "pi")
                                                                     .putString(key_, "sh")
                                                                     .build());
    }
  } else {
    if (command == CatalogueRequests::kHome) {
      currentPage_ = 0;
      request = CatalogueRequests::homeList(command, 0, kTableHomeBannerCount);
    } else if (command == CatalogueRequests::kHomeNew) {
      currentPage_ = 0;
      request = CatalogueRequests::homeList(command, 0, CatalogueRequests::kListPageSize);
    } else if (startsWith(command, CatalogueRequests::kCategoryList)) {
      request = CatalogueRequests::categoryList(catId_, page, command);
    } else if (command == CatalogueRequests::kRelated) {
      request = CatalogueRequests::relatedList(catId_, page);
    }
  }
  if (request) outstanding_.push_back(generation_);
  return request;
}

bool GameListModel::wantsPageAtItem(int item) const {
  return kind_ == Kind::Grid && item == static_cast<int>(games_.size()) - 1 && !isLoading() && !endPage_;
}

int GameListModel::rowCount() const {
  const int entries = static_cast<int>(games_.size());
  if (isHomeTable() || endPage_) return entries;
  return entries + 1;
}

bool GameListModel::wantsPageAtLoadingRow() const {
  return kind_ == Kind::Table && !isHomeTable() && !games_.empty() && !endPage_ && !isLoading();
}

ORVRequestPtr GameListModel::requestNextPage() {
  const bool allowed = kind_ == Kind::Grid ? (!games_.empty() && !isLoading() && !endPage_) : wantsPageAtLoadingRow();
  if (!allowed) return nullptr;
  return doRequest(mode_);
}

ORVRequestPtr GameListModel::search(const std::string& text) {
  ++generation_;
  currentPage_ = -1;
  endPage_ = false;
  games_.clear();
  key_ = text;
  firstLoad_ = false;
  if (!outstanding_.empty()) {
    searchHeld_ = true;  // sent when the earlier answer is in
    return nullptr;
  }
  return doRequest(kSearchMode);
}

ORVRequestPtr GameListModel::resumeHeldSearch() {
  if (!searchHeld_ || !outstanding_.empty()) return nullptr;
  searchHeld_ = false;
  return doRequest(kSearchMode);
}

bool GameListModel::endsAfterFirstPage(const std::string& command) const {
  return kind_ == Kind::Table && command == CatalogueRequests::kHomeNew && !isHomeTable();
}

GameListModel::Update GameListModel::receive(const std::string& command, const ORVDataObject& content) {
  Update update;
  // Match the answer to the oldest request outstanding. With none (an answer
  // nobody here asked for), it counts as the current list's, as every
  // answer the screen receives does.
  if (!outstanding_.empty()) {
    const uint64_t owner = outstanding_.front();
    outstanding_.pop_front();
    if (owner != generation_) {
      update.stale = true;
      if (searchHeld_ && outstanding_.empty()) {
        searchHeld_ = false;
        update.followUp = doRequest(kSearchMode);
      }
      return update;
    }
  }
  ++currentPage_;
  const bool homeTable = isHomeTable();
  if (CatalogueAnswer::isFailure(content)) {
    update.failed = true;
    if (kind_ == Kind::Table) update.showNoData = true;
    if (currentPage_ >= 0 && !homeTable) endPage_ = true;
    return update;
  }
  std::vector<Game> games = CatalogueAnswer::games(content);
  if (!games.empty()) {
    if (kind_ == Kind::Table && command == CatalogueRequests::kHome) {
      update.bannersAppended = games.size();
      banners_.insert(banners_.end(), std::make_move_iterator(games.begin()), std::make_move_iterator(games.end()));
    } else {
      update.firstNew = games_.size();
      update.appended = games.size();
      games_.insert(games_.end(), std::make_move_iterator(games.begin()), std::make_move_iterator(games.end()));
    }
    if (endsAfterFirstPage(command)) endPage_ = true;
    return update;
  }
  if (currentPage_ >= 0 && !homeTable) endPage_ = true;
  if (kind_ == Kind::Table && currentPage_ == 0) update.showNoData = true;
  return update;
}

}  // namespace orv::store
