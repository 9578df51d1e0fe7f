#pragma once
// The base of the store's grid cells: a white card with rounded corners and a
// thin border, the game's picture, its name (centred, wrapping) and its
// provider line (centred), tapped as a whole. The card that derives from it
// places and styles the pieces and adds its stars.

#include <QColor>
#include <QWidget>

class QLabel;

namespace orv::toolkit {
class RemoteImageView;
}

namespace orv::store {

class Game;

class GameCard : public QWidget {
  Q_OBJECT
 public:
  orv::toolkit::RemoteImageView* thumb() const { return thumb_; }
  QLabel* title() const { return title_; }
  QLabel* subtitle() const { return subtitle_; }

 signals:
  void tapped();

 protected:
  GameCard(QSize size, qreal cornerRadius, QColor border, QWidget* parent);

  // Shows `game`'s name, provider ("sms") and picture.
  void showGame(const Game& game);

  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const qreal cornerRadius_;
  const QColor border_;
  orv::toolkit::RemoteImageView* thumb_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
};

}  // namespace orv::store
