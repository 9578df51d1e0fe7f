#pragma once
// Fills an empty catalogue with a fixed, believable Vietnamese catalogue and
// draws its pictures into the media folder. The data is the same on every run
// (fixed random seed), so tests and demos can rely on its shape: 64 games in 8
// categories, the first category ("Hành động") holding exactly 23.

#include <filesystem>

namespace orv::server {

class Catalogue;

class CatalogueSeeder {
 public:
  static constexpr int kGameCount = 64;
  static constexpr int kActionCategoryId = 1;  // the category of 23 games
  static constexpr int kActionGameCount = 23;
  static constexpr int kIconlessCategoryId = 8;  // answers the bare media base URL as "ico"

  // Seeds the catalogue when it holds no games, then draws every picture the
  // database names that is missing from `mediaDir`. Returns false when the
  // database or a picture could not be written.
  static bool seedIfEmpty(Catalogue& catalogue, const std::filesystem::path& mediaDir);

  // Draws the pictures named by the database that do not exist yet; returns
  // the number drawn, or -1 on a write failure.
  static int renderMissingPictures(const Catalogue& catalogue, const std::filesystem::path& mediaDir);
};

}  // namespace orv::server
