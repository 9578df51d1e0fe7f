#pragma once
// One game card of the home sections grid, 100 x 188 points: the picture, the
// name (two lines at most), the provider line and five rating stars. Empty
// stars are drawn behind the five star views, so a hidden star reads as an
// empty one.

#include <array>

#include "store/screens/GameCard.h"

namespace orv::store {

class GridGameCell : public GameCard {
  Q_OBJECT
 public:
  static constexpr int kWidth = 100;
  static constexpr int kHeight = 188;
  static constexpr const char* kReuseIdentifier = "GameCell";

  explicit GridGameCell(QWidget* parent = nullptr);

  // Shows `game`: name, provider ("sms"), picture and stars.
  void setGame(const Game& game);
  // Clears the texts before the cell shows another game.
  void prepareForReuse();

  // star(1) ... star(5).
  QLabel* star(int k) const { return stars_.at(static_cast<size_t>(k - 1)); }
  int visibleStarCount() const;

 private:
  QLabel* emptyStars_ = nullptr;
  std::array<QLabel*, 5> stars_{};
};

}  // namespace orv::store
