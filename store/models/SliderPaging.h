#pragma once
// The page arithmetic of the home screen's banner slider: which page the
// indicator shows for a scroll offset, and where the repeating timer moves the
// slider next (one page on, or back to the first page from the last).

#include <cstdint>

namespace orv::store {

class SliderPaging {
 public:
  // Slider size in points.
  static constexpr double kWidth = 320.0;
  static constexpr double kHeight = 150.0;
  // The timer's period in milliseconds.
  static constexpr int kTimerIntervalMs = 5000;

  // The page nearest to `offset`: floor((2 * offset + width) / (2 * width)).
  // A width of 0 or less (a slider not laid out) gives page 0.
  static int32_t pageForOffset(double offset, double width = kWidth);

  // The offset the timer scrolls to from `offset`: 0 when the slider shows
  // its last page or is past it (offset >= contentWidth - width), otherwise
  // offset + width truncated to a whole number.
  static double nextOffset(double offset, double contentWidth, double width = kWidth);

  // Content width of a slider holding `pages` banners.
  static double contentWidth(int32_t pages, double width = kWidth) { return pages * width; }
};

}  // namespace orv::store
