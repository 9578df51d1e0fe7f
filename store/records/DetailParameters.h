#pragma once
// The settings-store entries through which a screen hands a game to the
// detail screen: "id", "pri", "tl", "par", "sms", "ico", "dlc", "rat".
// Numbers are written as "%d" and the rating as "%f" (six decimals, 3.5 ->
// "3.500000"), always with "." whatever the process locale. The entries stay
// in the store and are overwritten by the next opening; "id" and "tl" are
// shared with the navigation parameters.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/records/Game.h"

namespace orv {
class SettingsStore;
}

namespace orv::store {

class DetailParameters {
 public:
  DetailParameters() = delete;

  // The eight entries in the order they are written.
  static std::vector<std::pair<std::string, std::string>> entries(const Game& game);
  static void write(const Game& game, SettingsStore& store);
  // Into SettingsStore::standard().
  static void write(const Game& game);
  // The game the entries describe (the eight fields; text that is not a
  // number reads as 0).
  static Game read(const SettingsStore& store);
  static Game read();

  // "%d" and "%f" without the locale.
  static std::string formatInt(int32_t value);
  static std::string formatRating(double value);
  // Leading decimal number of the text, 0 when there is none.
  static int32_t parseInt(std::string_view text);
  static double parseDouble(std::string_view text);
};

}  // namespace orv::store
