#include "store/lists/GameRowText.h"

#include "platform/StringsTable.h"

namespace orv::store {

std::string GameRowText::price(int32_t price) {
  return price >= 1 ? orv::localizedFormat(kPriceFormat, price) : std::string(kFree);
}

std::string GameRowText::views(int32_t downloadCount) { return orv::localizedFormat(kViewsFormat, downloadCount); }

}  // namespace orv::store
