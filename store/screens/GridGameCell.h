#pragma once
// One game card of the home sections grid, 100 x 188 points: the picture, the
// name (two lines at most), the provider line and five rating stars. Empty
// stars are drawn behind the five star views, so a hidden star reads as an
// empty one.

#include <QString>
#include <QWidget>
#include <array>

class QLabel;

namespace orv::toolkit {
class RemoteImageView;
}

namespace orv::store {

class Game;

class GridGameCell : public QWidget {
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

  orv::toolkit::RemoteImageView* thumb() const { return thumb_; }
  QLabel* title() const { return title_; }
  QLabel* subtitle() const { return subtitle_; }
  // star(1) ... star(5).
  QLabel* star(int k) const { return stars_.at(static_cast<size_t>(k - 1)); }
  int visibleStarCount() const;

 signals:
  void tapped();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  orv::toolkit::RemoteImageView* thumb_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  QLabel* emptyStars_ = nullptr;
  std::array<QLabel*, 5> stars_{};
};

}  // namespace orv::store
