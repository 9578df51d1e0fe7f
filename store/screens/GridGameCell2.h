#pragma once
// A game cell of the list grid, 140 x 227 points: a white card with the
// picture, the name, the provider line ("sms") and the rating stars.

#include <QWidget>

class QLabel;

namespace orv::toolkit {
class RemoteImageView;
}

namespace orv::store {

class Game;
class RatingStars;

class GridGameCell2 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 140;
  static constexpr int kHeight = 227;
  static constexpr const char* kReuseIdentifier = "GameCell2";

  explicit GridGameCell2(QWidget* parent = nullptr);
  void setGame(const Game& game);

  orv::toolkit::RemoteImageView* thumb() const { return thumb_; }
  QLabel* title() const { return title_; }
  QLabel* subtitle() const { return subtitle_; }
  RatingStars* stars() const { return stars_; }

 signals:
  void tapped();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  orv::toolkit::RemoteImageView* thumb_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  RatingStars* stars_ = nullptr;
};

}  // namespace orv::store
