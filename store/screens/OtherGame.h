#pragma once
// A related-game card of the detail page, 106 x 152 points: `vContent` (the
// white card with corner radius 2, which takes the taps), the picture, the
// name, the provider line and "TẢI VỀ".

#include <QWidget>

class QLabel;

namespace orv::toolkit {
class RemoteImageView;
}

namespace orv::store {

class Game;

class OtherGame : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 106;
  static constexpr int kHeight = 152;

  explicit OtherGame(QWidget* parent = nullptr);
  void setGame(const Game& game, int tag);
  int tag() const { return tag_; }

  QWidget* vContent() const { return vContent_; }
  orv::toolkit::RemoteImageView* ivAvatar() const { return avatar_; }
  QLabel* lbTitle() const { return title_; }
  QLabel* lbProvider() const { return provider_; }
  QLabel* lbPrice() const { return price_; }

 signals:
  void selected(int tag);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int tag_ = 0;
  QWidget* vContent_ = nullptr;
  orv::toolkit::RemoteImageView* avatar_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* provider_ = nullptr;
  QLabel* price_ = nullptr;
};

}  // namespace orv::store
