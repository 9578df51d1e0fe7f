#include "store/models/StarRating.h"

#include <cmath>

namespace orv::store {

bool StarRating::isStarVisible(int k, double rating) {
  if (std::isnan(rating) || k < 1 || k > kStars) return false;
  return rating > static_cast<double>(k - 1);
}

int StarRating::visibleStars(double rating) {
  int shown = 0;
  for (int k = 1; k <= kStars; ++k) {
    if (isStarVisible(k, rating)) ++shown;
  }
  return shown;
}

}  // namespace orv::store
