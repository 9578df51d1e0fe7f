#include "server/store/CatalogueSeeder.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "server/store/Catalogue.h"
#include "server/store/PictureRenderer.h"
#include "tests/server/store/SeededStore.h"

namespace orv::server {
namespace {

using test::SeededStore;

// Decodes a PNG with Cairo; {0, 0} when it does not decode.
std::pair<int, int> pngSize(const std::filesystem::path& file) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(file.c_str());
  std::pair<int, int> size{0, 0};
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    size = {cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
  }
  cairo_surface_destroy(s);
  return size;
}

TEST(CatalogueSeeder, DrawsEveryPictureAsADecodablePng) {
  SeededStore& store = SeededStore::shared();
  std::printf("seed with pictures took %.2f s\n", store.seedSeconds);
  const auto paths = store.catalogue->picturePaths();
  ASSERT_GT(paths.size(), 64u * 4);
  for (const auto& p : paths) ASSERT_TRUE(std::filesystem::exists(store.media / p)) << p;

  std::ifstream in(store.media / "icons/1.png", std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(std::string(signature, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(pngSize(store.media / "icons/1.png"), std::make_pair(128, 128));
  EXPECT_EQ(pngSize(store.media / "banners/1.png"), std::make_pair(640, 240));
  EXPECT_EQ(pngSize(store.media / "gallery/1-1.png"), std::make_pair(360, 640));
  EXPECT_EQ(pngSize(store.media / "categories/2.png"), std::make_pair(128, 128));
}

TEST(CatalogueSeeder, SecondRunKeepsDataAndRedrawsOnlyMissingPictures) {
  SeededStore& store = SeededStore::shared();
  const auto before = store.catalogue->categoryGames(1, Page{50, 0}).size();
  std::filesystem::remove(store.media / "gallery/2-2.png");
  ASSERT_TRUE(CatalogueSeeder::seedIfEmpty(*store.catalogue, store.media));
  EXPECT_EQ(store.catalogue->categoryGames(1, Page{50, 0}).size(), before);
  EXPECT_EQ(pngSize(store.media / "gallery/2-2.png"), std::make_pair(360, 640));
  EXPECT_EQ(CatalogueSeeder::renderMissingPictures(*store.catalogue, store.media), 0);
}

TEST(PictureRenderer, InitialsKeepVietnameseCapitals) {
  EXPECT_EQ(PictureRenderer::initials("Đua Xe Tốc Độ"), "ĐX");
  EXPECT_EQ(PictureRenderer::initials("  ninja"), "N");
  EXPECT_EQ(PictureRenderer::initials(""), "");
}

}  // namespace
}  // namespace orv::server
