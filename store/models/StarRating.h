#pragma once
// Which of a game's five rating stars are shown: star k (1 to 5) is hidden
// when the rating is k - 1 or less, so 4.5 shows five stars, 3.2 four, 3.0
// three and 0 none. A rating that is not a number shows none.

namespace orv::store {

class StarRating {
 public:
  static constexpr int kStars = 5;

  // True when star `k` (1-based) is shown for `rating`.
  static bool isStarVisible(int k, double rating);
  // How many stars are shown (the visible ones are always the first ones).
  static int visibleStars(double rating);
};

}  // namespace orv::store
