#include "server/store/PictureRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "platform/Log.h"

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig keeps a few allocations for the life of the process (its default
// language and configuration state) that only FcFini() frees, and FcFini()
// cannot be called while another part of the process (the Qt screens in
// in-process tests) may still use fontconfig. The leak checker is told that
// these are expected.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace orv::server {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb rgb(uint32_t colour, double scale = 1.0) {
  auto channel = [&](int shift) {
    const double v = ((colour >> shift) & 0xFF) / 255.0 * scale;
    return v > 1.0 ? 1.0 : v;
  };
  return {channel(16), channel(8), channel(0)};
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Fills the picture with a vertical gradient of the colour.
void paintBackground(cairo_t* cr, int width, int height, uint32_t colour) {
  const Rgb top = rgb(colour, 1.15), bottom = rgb(colour, 0.55);
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(pattern, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(pattern, 1, bottom.r, bottom.g, bottom.b);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_set_source(cr, pattern);
  cairo_fill(cr);
  cairo_pattern_destroy(pattern);
}

// Draws `text` centred on (cx, baseline), shrinking the font until it fits
// `maxWidth`.
void centredText(cairo_t* cr, std::string_view text, double cx, double baseline, double size, double maxWidth,
                 bool bold = true) {
  const std::string s(text);
  cairo_select_font_face(cr, "Noto Sans", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_text_extents_t ext;
  for (;;) {
    cairo_set_font_size(cr, size);
    cairo_text_extents(cr, s.c_str(), &ext);
    if (ext.x_advance <= maxWidth || size <= 8) break;
    size *= 0.9;
  }
  cairo_move_to(cr, cx - ext.x_advance / 2, baseline);
  cairo_show_text(cr, s.c_str());
}

bool save(cairo_surface_t* surface, const std::filesystem::path& file, const char* operation) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const cairo_status_t status = cairo_surface_write_to_png(surface, file.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    orv::log(operation, "cannot write " + file.string() + ": " + cairo_status_to_string(status));
    return false;
  }
  return true;
}

// Length of the UTF-8 sequence that starts with byte b.
size_t sequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  if ((b & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

std::string PictureRenderer::initials(std::string_view title) {
  std::string out;
  bool atWordStart = true;
  for (size_t i = 0; i < title.size() && out.size() < 8;) {
    const auto b = static_cast<unsigned char>(title[i]);
    const size_t n = std::min(sequenceLength(b), title.size() - i);
    if (b == ' ') {
      atWordStart = true;
    } else if (atWordStart) {
      if (b < 0x80) {
        out.push_back(static_cast<char>((b >= 'a' && b <= 'z') ? b - 32 : b));
      } else {
        out.append(title.substr(i, n));
      }
      atWordStart = false;
      // Two letters are enough for a 128-pixel icon.
      size_t letters = 0;
      for (size_t k = 0; k < out.size(); k += sequenceLength(static_cast<unsigned char>(out[k]))) ++letters;
      if (letters == 2) break;
    }
    i += n;
  }
  return out;
}

bool PictureRenderer::renderIcon(const std::filesystem::path& file, std::string_view title, uint32_t colour) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kIconSize, kIconSize), cairo_surface_destroy);
  Context cr(cairo_create(surface.get()), cairo_destroy);
  paintBackground(cr.get(), kIconSize, kIconSize, colour);
  cairo_set_source_rgba(cr.get(), 1, 1, 1, 0.18);
  cairo_arc(cr.get(), kIconSize / 2.0, kIconSize / 2.0, kIconSize * 0.40, 0, 6.2832);
  cairo_fill(cr.get());
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  centredText(cr.get(), initials(title), kIconSize / 2.0, kIconSize * 0.64, 52, kIconSize * 0.8);
  return save(surface.get(), file, "PictureRenderer::renderIcon");
}

bool PictureRenderer::renderBanner(const std::filesystem::path& file, std::string_view title,
                                   std::string_view provider, uint32_t colour) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBannerWidth, kBannerHeight), cairo_surface_destroy);
  Context cr(cairo_create(surface.get()), cairo_destroy);
  paintBackground(cr.get(), kBannerWidth, kBannerHeight, colour);
  cairo_set_source_rgba(cr.get(), 1, 1, 1, 0.12);
  for (int i = 0; i < 5; ++i) {
    cairo_arc(cr.get(), 80 + i * 130, 60 + (i % 2) * 120, 50 + i * 6, 0, 6.2832);
    cairo_fill(cr.get());
  }
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  centredText(cr.get(), title, kBannerWidth / 2.0, kBannerHeight * 0.52, 48, kBannerWidth * 0.9);
  cairo_set_source_rgba(cr.get(), 1, 1, 1, 0.85);
  centredText(cr.get(), provider, kBannerWidth / 2.0, kBannerHeight * 0.78, 24, kBannerWidth * 0.8, false);
  return save(surface.get(), file, "PictureRenderer::renderBanner");
}

bool PictureRenderer::renderGalleryPicture(const std::filesystem::path& file, std::string_view title, int index,
                                           int count, uint32_t colour) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kGalleryWidth, kGalleryHeight),
                  cairo_surface_destroy);
  Context cr(cairo_create(surface.get()), cairo_destroy);
  // Each picture of a game turns the hue a little so the pages differ.
  const uint32_t shifted = ((colour << (8 * (index % 3))) | (colour >> (24 - 8 * (index % 3)))) & 0xFFFFFF;
  paintBackground(cr.get(), kGalleryWidth, kGalleryHeight, index == 0 ? colour : shifted);
  // A mock play field: a ground band, a few blocks and a score bar.
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 0.25);
  cairo_rectangle(cr.get(), 0, kGalleryHeight - 140, kGalleryWidth, 140);
  cairo_fill(cr.get());
  cairo_set_source_rgba(cr.get(), 1, 1, 1, 0.3);
  for (int i = 0; i < 4; ++i) {
    cairo_rectangle(cr.get(), 30 + i * 80, kGalleryHeight - 200 - ((i + index) % 3) * 60, 56, 56);
    cairo_fill(cr.get());
  }
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 0.35);
  cairo_rectangle(cr.get(), 0, 0, kGalleryWidth, 56);
  cairo_fill(cr.get());
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  centredText(cr.get(), title, kGalleryWidth / 2.0, 38, 24, kGalleryWidth * 0.9);
  const std::string caption = "Ảnh " + std::to_string(index + 1) + "/" + std::to_string(count);
  centredText(cr.get(), caption, kGalleryWidth / 2.0, kGalleryHeight / 2.0, 30, kGalleryWidth * 0.8, false);
  return save(surface.get(), file, "PictureRenderer::renderGalleryPicture");
}

}  // namespace orv::server
