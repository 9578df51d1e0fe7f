#pragma once
// A small spinner: twelve spokes whose brightness turns around the centre.
// Styles: WhiteLarge (37 points, white), White (20, white), Gray (20, grey).
// Hidden when stopped unless hidesWhenStopped is cleared.

#include <QColor>
#include <QWidget>

class QPainter;

namespace orv::toolkit {

class ActivityIndicatorView : public QWidget {
  Q_OBJECT
 public:
  enum class Style { WhiteLarge, White, Gray };

  explicit ActivityIndicatorView(Style style = Style::Gray, QWidget* parent = nullptr);

  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return timerId_ != 0; }
  void setHidesWhenStopped(bool hides);
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setColor(const QColor& color);
  QColor color() const { return color_; }
  Style style() const { return style_; }
  QSize sizeHint() const override;

  // Draws a spinner in `rect` at animation step `phase` (0..11); shared
  // with the progress overlay, which paints its own.
  static void paintSpinner(QPainter& painter, const QRectF& rect, const QColor& color, int phase);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  Style style_;
  QColor color_;
  bool hidesWhenStopped_ = true;
  int timerId_ = 0;
  int phase_ = 0;
};

}  // namespace orv::toolkit
