#include "store/records/DetailParameters.h"

#include <charconv>
#include <cmath>

#include "platform/SettingsStore.h"

namespace orv::store {

std::string DetailParameters::formatInt(int32_t value) { return std::to_string(value); }

std::string DetailParameters::formatRating(double value) {
  if (!std::isfinite(value)) value = 0.0;
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return "0.000000";
  return std::string(buffer, result.ptr);
}

int32_t DetailParameters::parseInt(std::string_view text) {
  int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

double DetailParameters::parseDouble(std::string_view text) {
  double value = 0.0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

std::vector<std::pair<std::string, std::string>> DetailParameters::entries(const Game& game) {
  return {{"id", formatInt(game.id())},
          {"pri", formatInt(game.price())},
          {"tl", game.name()},
          {"par", game.partner()},
          {"sms", game.code()},
          {"ico", game.icon()},
          {"dlc", formatInt(game.downloadCount())},
          {"rat", formatRating(game.ratingTotal())}};
}

void DetailParameters::write(const Game& game, SettingsStore& store) {
  for (const auto& [key, value] : entries(game)) store.set(key, value);
}

void DetailParameters::write(const Game& game) { write(game, *SettingsStore::standard()); }

Game DetailParameters::read(const SettingsStore& store) {
  Game game;
  game.setId(parseInt(store.value("id")));
  game.setPrice(parseInt(store.value("pri")));
  game.setName(store.value("tl"));
  game.setPartner(store.value("par"));
  game.setCode(store.value("sms"));
  game.setIcon(store.value("ico"));
  game.setDownloadCount(parseInt(store.value("dlc")));
  game.setRatingTotal(parseDouble(store.value("rat")));
  return game;
}

Game DetailParameters::read() { return read(*SettingsStore::standard()); }

}  // namespace orv::store
