#pragma once
// Five rating stars drawn by us: an empty outline behind each, and a gold
// star K shown unless the rating is at most K - 1 (so 2.5 shows three and 0
// none). star(k) is the gold star view, hidden when not earned.

#include <QWidget>
#include <array>

namespace orv::store {

class RatingStars : public QWidget {
  Q_OBJECT
 public:
  // `size`: one star's side; `step`: distance between stars.
  RatingStars(int size, int step, QWidget* parent = nullptr);

  void setRating(double rating);
  QWidget* star(int k) const { return stars_.at(static_cast<size_t>(k - 1)); }
  int visibleStarCount() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int size_;
  int step_;
  std::array<QWidget*, 5> stars_{};
};

}  // namespace orv::store
