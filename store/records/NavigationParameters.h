#pragma once
// The settings-store entries through which a screen tells the next list
// screen what to ask and what title to show: "cmd" (the command), "id" (the
// category or game id as decimal text, "0" where none) and "tl" (the title).

#include <cstdint>
#include <string>

namespace orv {
class SettingsStore;
}

namespace orv::store {

struct NavigationParameters {
  std::string command;  // "cmd"
  std::string id;       // "id"
  std::string title;    // "tl"

  bool operator==(const NavigationParameters&) const = default;

  // The id as a number (0 when absent or not a number).
  int32_t numericId() const;

  // Reads the three entries ("" for an absent one).
  static NavigationParameters read(const SettingsStore& store);
  static NavigationParameters read();
  // Writes "cmd", "id", "tl".
  void write(SettingsStore& store) const;
  void write() const;

  // Start-up values, written in this order: "id" = "0", "tl" = "", "cmd" = "hm".
  static void writeStartValues(SettingsStore& store);
  // The search button: clears the whole store, then "cmd" = "cnt.fin" alone.
  static void writeSearch(SettingsStore& store);
};

}  // namespace orv::store
