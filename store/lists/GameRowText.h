#pragma once
// The texts of a list row: the price ("%d VNĐ" from the strings table for a
// price of at least 1, "MIỄN PHÍ" otherwise) and the download count ("Xem :
// %d lượt"), the same on the table rows and the grid cells.

#include <cstdint>
#include <string>

namespace orv::store {

class GameRowText {
 public:
  GameRowText() = delete;

  static constexpr const char* kPriceFormat = "%d VNĐ";
  static constexpr const char* kFree = "MIỄN PHÍ";
  static constexpr const char* kViewsFormat = "Xem : %d lượt";
  static constexpr const char* kNoData = "-- Không có dữ liệu --";

  static std::string price(int32_t price);
  static std::string views(int32_t downloadCount);
};

}  // namespace orv::store
