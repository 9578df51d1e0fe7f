#pragma once
// A game cell of the list grid, 140 x 227 points: a white card with the
// picture, the name, the provider line ("sms") and the rating stars.

#include "store/screens/GameCard.h"

namespace orv::store {

class RatingStars;

class GridGameCell2 : public GameCard {
  Q_OBJECT
 public:
  static constexpr int kWidth = 140;
  static constexpr int kHeight = 227;
  static constexpr const char* kReuseIdentifier = "GameCell2";

  explicit GridGameCell2(QWidget* parent = nullptr);
  void setGame(const Game& game);

  RatingStars* stars() const { return stars_; }

 private:
  RatingStars* stars_ = nullptr;
};

}  // namespace orv::store
