#pragma once
// What a list screen lists and how it pages, without Qt: the grid
// (`GameGridViewController`) and the table (`GameTableViewController`) both
// keep one of these and render what it holds.
//
// The mode is the navigation parameter "cmd"; the category (or game) id is
// read only for modes beginning with "cnt.li" and for "cnt.rlt". Requests:
//
//   grid   "hm..."        pf, ps=10, pi=current+1
//   grid   "cnt.li..."    the same and id
//   grid   "cnt.fin..."   the same and sh = the search text
//   table  "hm"           ps=5,  pi=0 (current page set to 0 first)
//   table  "hm.new"       ps=10, pi=0 (current page set to 0 first)
//   table  "cnt.li..."    pf, ps=10, pi=current+1, id
//   table  "cnt.rlt"      the same and ord=0
//   anything else         nothing is sent
//
// Every page answer moves the current page on by one; a failure ("ec") or an
// answer without entries ends the list (the table in mode "hm" never ends and
// never pages: it asks "hm" and "hm.new" once each).
//
// An answer does not say which search it belongs to, and the server may
// answer two requests of one connection in either order. So a list has at
// most one page request in flight: a new search empties the list at once,
// but while an earlier request is still out its first page is held back
// until that answer comes (and is dropped as belonging to an older search),
// then sent (`Update::followUp`). Every answer is then matched to the one
// request outstanding; a stale one neither adds games nor moves the paging of
// the new search. `isLoading` is true while a request of the current search
// is outstanding or held back, so the same page is never asked twice. The
// table in mode "hm" sends its two requests at once; their answers are told
// apart by their command names.
//
// The table's "hm.new" in a mode of its own always asks page 0: its answer
// ends the list, or the loading row would ask page 0 again and again and
// repeat the same games.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "store/records/Game.h"
#include "store/records/NavigationParameters.h"

class ORVDataObject;
class ORVRequest;
using ORVRequestPtr = std::shared_ptr<ORVRequest>;

namespace orv::store {

class GameListModel {
 public:
  enum class Kind { Grid, Table };

  static constexpr int32_t kTableHomeBannerCount = 5;
  static constexpr const char* kSearchMode = "cnt.fin";
  static constexpr const char* kHomeMode = "hm";

  GameListModel(Kind kind, const NavigationParameters& navigation);

  Kind kind() const { return kind_; }
  const std::string& mode() const { return mode_; }
  int32_t catId() const { return catId_; }
  const std::string& title() const { return title_; }
  // The grid in mode "cnt.fin": a search bar instead of the title, nothing
  // sent until a search.
  bool isSearch() const { return kind_ == Kind::Grid && mode_ == kSearchMode; }
  // The table in mode "hm": banners above the rows, no paging.
  bool isHomeTable() const { return kind_ == Kind::Table && mode_ == kHomeMode; }

  bool isFirstLoad() const { return firstLoad_; }
  bool isLoading() const;
  bool isEndPage() const { return endPage_; }
  int32_t currentPage() const { return currentPage_; }
  const std::string& searchText() const { return key_; }
  uint64_t searchGeneration() const { return generation_; }

  const std::vector<Game>& games() const { return games_; }
  const std::vector<Game>& banners() const { return banners_; }

  // The requests of the first appearance, in order (none in search mode or
  // for a mode that sends nothing); clears isFirstLoad. Empty when already
  // done.
  std::vector<ORVRequestPtr> firstRequests();
  // `doRequest:` — the page request for `command` per the table above, or
  // null when that command sends nothing. A non-null request counts as sent.
  ORVRequestPtr doRequest(const std::string& command);

  // Grid: the further-page rule when the cell of `item` is asked for.
  bool wantsPageAtItem(int item) const;
  // Table: rows = games, plus a loading row unless ended (never in mode "hm").
  int rowCount() const;
  bool isLoadingRow(int row) const { return row >= static_cast<int>(games_.size()); }
  // Table: the further-page rule when the loading row is about to be shown.
  bool wantsPageAtLoadingRow() const;
  // The next page of the mode, when the rules above allow it (else null).
  ORVRequestPtr requestNextPage();

  // The screen left the stack's top: the client drops answers it can no
  // longer deliver, so the requests outstanding are forgotten rather than
  // left to block every further page (the same page is asked again later).
  void abandonOutstanding() { outstanding_.clear(); }
  // A search page held back for an answer that will now never come (after
  // abandonOutstanding): the request to send, else null.
  ORVRequestPtr resumeHeldSearch();

  // A new search (grid, mode "cnt.fin"): empties the list at once, resets
  // the paging and returns the first page request of `text`.
  ORVRequestPtr search(const std::string& text);

  struct Update {
    bool stale = false;          // an older search's answer: nothing changed
    bool failed = false;         // the answer held "ec"
    size_t firstNew = 0;         // index of the first game appended ...
    size_t appended = 0;         // ... and how many
    size_t bannersAppended = 0;  // table "hm": banner games appended
    bool showNoData = false;     // table: the footer becomes "-- Không có dữ liệu --"
    ORVRequestPtr followUp;      // a held-back search page, to send now
  };
  // A page answer for `command` (not "a.reg"/"a.stt", which the screens hand
  // to the base behaviour).
  Update receive(const std::string& command, const ORVDataObject& content);

 private:
  bool endsAfterFirstPage(const std::string& command) const;

  Kind kind_;
  std::string mode_;
  int32_t catId_ = 0;
  std::string title_;
  std::string key_;
  bool firstLoad_ = true;
  bool endPage_ = false;
  int32_t currentPage_ = -1;
  uint64_t generation_ = 0;
  std::deque<uint64_t> outstanding_;  // generation of each request sent, oldest first
  bool searchHeld_ = false;           // the current search's first page waits
  std::vector<Game> games_;
  std::vector<Game> banners_;
};

}  // namespace orv::store
