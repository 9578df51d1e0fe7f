#pragma once
// The paging state of a list screen. The current page is -1 before the first
// answer; every request asks page current + 1 with 10 entries; every answer
// received, whatever it holds, moves the current page on by one; an answer that
// failed ("ec") or brought no entries ends the list, after which no further
// page is asked.
//
// One request at a time: `begin()` marks a page as asked and refuses a second
// one until its answer is taken, so a scroll that reaches the bottom twice
// does not ask the same page twice.

#include <cstdint>
#include <vector>

#include "store/records/Game.h"

class ORVDataObject;

namespace orv::store {

class ListPaging {
 public:
  int32_t currentPage() const { return currentPage_; }
  bool isEnded() const { return ended_; }
  bool isLoading() const { return loading_; }
  // The page the next request asks ("pi").
  int32_t nextPage() const { return currentPage_ + 1; }
  // Whether a further page may be asked now (not ended, none outstanding).
  bool canRequest() const { return !ended_ && !loading_; }

  // Marks the next page as asked; false when the list has ended or a page is
  // already outstanding.
  bool begin();
  // Takes a page answer: current page + 1; ends the list on failure or no
  // entries; returns the games to append, in the order of "rs".
  std::vector<Game> receive(const ORVDataObject& answer);
  // Back to the first page.
  void reset();

 private:
  int32_t currentPage_ = -1;
  bool ended_ = false;
  bool loading_ = false;
};

}  // namespace orv::store
