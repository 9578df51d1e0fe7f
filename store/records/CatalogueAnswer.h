#pragma once
// Reading the answers of the store's commands. An answer fails exactly when
// its content holds "ec"; "em" is only ever shown, never compared. Missing
// keys are not errors: a list answer without "rs" is an empty page. Entries
// of "rs"/"lt" that are not data objects are skipped rather than read as
// empty games.

#include <cstdint>
#include <string>
#include <vector>

#include "store/records/Game.h"
#include "store/records/GameCategory.h"
#include "store/records/GameHeader.h"

class ORVDataObject;

namespace orv::store {

// One section of the "hm.vip" answer: its heading and its games.
struct HomeSection {
  GameHeader header;
  std::vector<Game> games;
  bool operator==(const HomeSection&) const = default;
};

class CatalogueAnswer {
 public:
  CatalogueAnswer() = delete;

  // True exactly when the content holds "ec".
  static bool isFailure(const ORVDataObject& content);
  // "ec" (0 when absent): the subscription status of "a.stt", a failure code elsewhere.
  static int32_t code(const ORVDataObject& content);
  // "em", "" when absent.
  static std::string message(const ORVDataObject& content);

  // The game entries of "rs", in order, whatever "ec" says.
  static std::vector<Game> games(const ORVDataObject& content);
  // The games of a list answer: none when it failed, else those of "rs".
  static std::vector<Game> listGames(const ORVDataObject& content);
  // The sections of "hm.vip" ("tl", "id" as string, "lt"); none on failure.
  static std::vector<HomeSection> homeSections(const ORVDataObject& content);
  // One category per entry of "rs" ("id", "tl", "ico"); "ec" is not looked at.
  static std::vector<GameCategory> categories(const ORVDataObject& content);
  // "gll" and "des" of "cnt.dt" into the game's gallery and body; false (game
  // untouched) when the answer failed.
  static bool readDetail(const ORVDataObject& content, Game& game);
};

}  // namespace orv::store
