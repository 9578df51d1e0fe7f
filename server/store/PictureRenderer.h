#pragma once
// Draws the catalogue's pictures as PNG files with Cairo: square icons with a
// game's initials, wide banners with its title and tall gallery pictures that
// stand in for screenshots. Small sizes keep a full seed within a few seconds.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orv::server {

class PictureRenderer {
 public:
  static constexpr int kIconSize = 128;
  static constexpr int kBannerWidth = 640;
  static constexpr int kBannerHeight = 240;
  static constexpr int kGalleryWidth = 360;
  static constexpr int kGalleryHeight = 640;

  // `colour` is 0xRRGGBB. Each call creates the parent folders and returns
  // false, with a log line, when the file cannot be written.
  static bool renderIcon(const std::filesystem::path& file, std::string_view title, uint32_t colour);
  static bool renderBanner(const std::filesystem::path& file, std::string_view title, std::string_view provider,
                           uint32_t colour);
  static bool renderGalleryPicture(const std::filesystem::path& file, std::string_view title, int index, int count,
                                   uint32_t colour);

  // Up to two initials of a title, upper-cased ASCII when the letter folds to
  // ASCII: "Đua Xe Tốc Độ" -> "ĐX" keeps the Vietnamese capital.
  static std::string initials(std::string_view title);
};

}  // namespace orv::server
