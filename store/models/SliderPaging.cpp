#include "store/models/SliderPaging.h"

#include <cmath>

namespace orv::store {

int32_t SliderPaging::pageForOffset(double offset, double width) {
  if (!(width > 0.0) || !std::isfinite(offset)) return 0;
  return static_cast<int32_t>(std::floor((2.0 * offset + width) / (2.0 * width)));
}

double SliderPaging::nextOffset(double offset, double contentWidth, double width) {
  if (!std::isfinite(offset) || offset >= contentWidth - width) return 0.0;
  return std::trunc(offset + width);
}

}  // namespace orv::store
