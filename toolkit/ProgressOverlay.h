#pragma once
// The waiting overlay: a translucent rounded panel with a spinner (or a
// progress indicator, a custom widget, or text only) and up to two lines of
// text, in the middle of the view it covers. It covers the whole view and
// follows its size, is transparent except for its panel, and starts
// invisible (alpha 0). While visible it takes the mouse so the covered view
// cannot be used; while invisible it lets every event through.
//
// Showing: with a grace time the overlay appears only when the grace timer
// fires and a task is still in progress; otherwise at once, faded (or
// zoomed) in over 0.3 s when animated. Hiding: a minimum show time keeps a
// visible overlay up for at least that long (the rest is waited by a timer);
// then it fades (or zooms) out over 0.3 s when animated and shown, else at
// once. When hidden ("done"): alpha 0, removed from the view when
// removeFromSuperViewOnHide is set, the completion callback runs once, the
// delegate hears hudWasHidden. Durations scale with AnimationSettings;
// grace and minimum times do not (they are about users, not looks).
// Main thread only.

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QTimer;
class QVariantAnimation;

namespace orv::toolkit {

class ProgressOverlay;

class ProgressOverlayDelegate {
 public:
  virtual ~ProgressOverlayDelegate() = default;
  virtual void hudWasHidden(ProgressOverlay& overlay) { (void)overlay; }
};

class ProgressOverlay : public QWidget {
  Q_OBJECT
 public:
  enum class Mode { Indeterminate = 0, Determinate = 1, DeterminateHorizontalBar = 2,
                    AnnularDeterminate = 3, CustomView = 4, Text = 5 };
  enum class AnimationType { Fade = 0, ZoomOut = 1, ZoomIn = 2 };
  static constexpr double kAnimationDuration = 0.3;

  // Covers `view` (added as its child, on top, not yet shown).
  explicit ProgressOverlay(QWidget* view);
  // Covers a whole window (the same as initWithView on the window).
  static ProgressOverlay* forWindow(QWidget* window);
  ~ProgressOverlay() override;

  // --- showing and hiding (these hide QWidget::show/hide on purpose).
  void show(bool animated = true);
  void hide(bool animated = true);
  void hide(bool animated, double delaySeconds);
  // Sets taskInProgress, shows, runs `work` on a worker thread and hides
  // when it returns (on the main thread); `completion` then runs after the
  // overlay is hidden.
  void showWhileExecuting(std::function<void()> work, bool animated,
                          std::function<void()> completion = {});

  // --- class conveniences.
  static ProgressOverlay* showHUDAddedTo(QWidget* view, bool animated);
  static bool hideHUDForView(QWidget* view, bool animated);
  static int hideAllHUDsForView(QWidget* view, bool animated);
  static ProgressOverlay* HUDForView(QWidget* view);
  static QList<ProgressOverlay*> allHUDsForView(QWidget* view);

  // --- settings (defaults in brackets).
  Mode mode() const { return mode_; }                       // Indeterminate
  void setMode(Mode mode);
  AnimationType animationType() const { return animationType_; }  // Fade
  void setAnimationType(AnimationType type) { animationType_ = type; }
  QString labelText() const { return labelText_; }          // none
  void setLabelText(const QString& text);
  QString detailsLabelText() const { return detailsLabelText_; }
  void setDetailsLabelText(const QString& text);
  QFont labelFont() const { return labelFont_; }            // bold 16
  void setLabelFont(const QFont& font);
  QFont detailsLabelFont() const { return detailsLabelFont_; }  // bold 12
  void setDetailsLabelFont(const QFont& font);
  QColor labelColor() const { return labelColor_; }         // white
  void setLabelColor(const QColor& color);
  QColor detailsLabelColor() const { return detailsLabelColor_; }
  void setDetailsLabelColor(const QColor& color);
  double opacity() const { return opacity_; }               // 0.8
  void setOpacity(double opacity);
  std::optional<QColor> color() const { return color_; }    // none (black)
  void setColor(std::optional<QColor> color);
  double xOffset() const { return xOffset_; }               // 0
  double yOffset() const { return yOffset_; }               // 0
  void setXOffset(double x);
  void setYOffset(double y);
  double margin() const { return margin_; }                 // 20
  void setMargin(double margin);
  double cornerRadius() const { return cornerRadius_; }     // 10
  void setCornerRadius(double radius);
  bool dimBackground() const { return dimBackground_; }     // false
  void setDimBackground(bool dim);
  double graceTime() const { return graceTime_; }           // 0 s
  void setGraceTime(double seconds) { graceTime_ = seconds; }
  double minShowTime() const { return minShowTime_; }       // 0 s
  void setMinShowTime(double seconds) { minShowTime_ = seconds; }
  bool removeFromSuperViewOnHide() const { return removeOnHide_; }  // false
  void setRemoveFromSuperViewOnHide(bool remove) { removeOnHide_ = remove; }
  QSizeF minSize() const { return minSize_; }               // 0 x 0
  void setMinSize(QSizeF size);
  bool isSquare() const { return square_; }                 // false
  void setSquare(bool square);
  double progress() const { return progress_; }             // 0
  void setProgress(double progress);
  bool taskInProgress() const { return taskInProgress_; }   // false
  void setTaskInProgress(bool inProgress) { taskInProgress_ = inProgress; }
  // The widget shown in CustomView mode (owned by the overlay).
  QWidget* customView() const { return customView_; }
  void setCustomView(QWidget* view);
  // Runs once after the next hide, then is cleared.
  void setCompletionBlock(std::function<void()> block) { completion_ = std::move(block); }
  ProgressOverlayDelegate* delegate() const { return delegate_; }
  void setDelegate(ProgressOverlayDelegate* delegate) { delegate_ = delegate; }

  // --- state.
  // Current alpha, 0 (invisible) to 1.
  double alpha() const { return alpha_; }
  // True from a show that became visible until the next "done".
  bool isShowing() const { return showStarted_.isValid() || alpha_ > 0.0; }
  bool isFinished() const { return finished_; }
  // The panel's rectangle in the overlay's coordinates (at scale 1).
  QRectF panelRect() const;
  // Current scale of the panel (zoom types animate it).
  double panelScale() const { return scale_; }

 signals:
  // The overlay became visible (the grace timer passed, or shown at once).
  void becameVisible();
  // The overlay was hidden ("done").
  void wasHidden();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void showUsingAnimation(bool animated);
  void hideUsingAnimation(bool animated);
  void done();
  void setAlpha(double alpha);
  void updateInPlace();
  void cancelTimers();
  void startSpinner(bool on);

  Mode mode_ = Mode::Indeterminate;
  AnimationType animationType_ = AnimationType::Fade;
  QString labelText_;
  QString detailsLabelText_;
  QFont labelFont_;
  QFont detailsLabelFont_;
  QColor labelColor_{Qt::white};
  QColor detailsLabelColor_{Qt::white};
  double opacity_ = 0.8;
  std::optional<QColor> color_;
  double xOffset_ = 0;
  double yOffset_ = 0;
  double margin_ = 20;
  double cornerRadius_ = 10;
  bool dimBackground_ = false;
  double graceTime_ = 0;
  double minShowTime_ = 0;
  bool removeOnHide_ = false;
  QSizeF minSize_{0, 0};
  bool square_ = false;
  double progress_ = 0;
  bool taskInProgress_ = false;
  QPointer<QWidget> customView_;
  std::function<void()> completion_;
  ProgressOverlayDelegate* delegate_ = nullptr;

  bool useAnimation_ = true;
  double alpha_ = 0;
  double scale_ = 1;
  bool finished_ = false;
  QElapsedTimer showStarted_;
  QTimer* graceTimer_ = nullptr;
  QTimer* minShowTimer_ = nullptr;
  QTimer* delayedHideTimer_ = nullptr;
  QPointer<QVariantAnimation> animation_;
  quint64 animationGeneration_ = 0;
  int spinnerTimer_ = 0;
  int spinnerPhase_ = 0;
};

}  // namespace orv::toolkit
