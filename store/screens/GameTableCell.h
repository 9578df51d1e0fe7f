#pragma once
// A game row of the list table, 115 points high: a white card (`vContent`,
// corner radius 2) with the picture, the name, the provider line, the
// price ("%d VNĐ" or "MIỄN PHÍ"), the download count ("Xem : %d lượt"), the
// stars and a download button (`btnDown`, whose tag is the row).

#include <QPushButton>
#include <QWidget>

class QLabel;

namespace orv::toolkit {
class RemoteImageView;
}

namespace orv::store {

class Game;
class RatingStars;

class GameTableCell : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 115;
  static constexpr const char* kReuseIdentifier = "GameTableCell";
  static constexpr int kCornerRadius = 2;

  explicit GameTableCell(QWidget* parent = nullptr);
  void setGame(const Game& game, int row);

  int gameId() const { return gameId_; }
  int tag() const { return tag_; }
  QWidget* vContent() const { return vContent_; }
  orv::toolkit::RemoteImageView* thumbnailImageView() const { return thumb_; }
  QLabel* nameLabel() const { return name_; }
  QLabel* priceLabel() const { return price_; }
  QLabel* viewLabel() const { return views_; }
  QLabel* providerLabel() const { return provider_; }
  QPushButton* btnDown() const { return btnDown_; }
  RatingStars* rates() const { return stars_; }

 signals:
  void tapped(int row);
  void downClicked(int tag);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int gameId_ = 0;
  int tag_ = 0;
  QWidget* vContent_ = nullptr;
  orv::toolkit::RemoteImageView* thumb_ = nullptr;
  QLabel* name_ = nullptr;
  QLabel* price_ = nullptr;
  QLabel* views_ = nullptr;
  QLabel* provider_ = nullptr;
  QPushButton* btnDown_ = nullptr;
  RatingStars* stars_ = nullptr;
};

// The loading row: the list's grey with a spinning grey indicator; tag 999.
class LoadingCell : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTag = 999;
  explicit LoadingCell(QWidget* parent = nullptr);
  int tag() const { return kTag; }
};

// "-- Không có dữ liệu --": 320 x 30, centred grey text, bold rounded 12.
QWidget* makeEmptyCell(QWidget* parent = nullptr);

}  // namespace orv::store
