#pragma once
// An image view that loads its picture by URL through an ImageLoader (the
// shared one unless told otherwise). While a picture loads and the view has
// none yet, a small spinner turns in its centre; the picture that arrives
// fades in over the previous one. The newest setImageURL() wins; destroying
// the view cancels its load, and no callback reaches it afterwards.
//
// The picture is drawn scaled as contentMode() says: fitted whole (default),
// filling the view (cropped), or stretched.

#include <QImage>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <optional>

class QVariantAnimation;

namespace orv::toolkit {

class ImageLoader;

class RemoteImageView : public QWidget {
  Q_OBJECT

 public:
  enum class ContentMode { ScaleToFill, AspectFit, AspectFill };
  // Spinner styles: large white, white, small grey.
  enum ActivityIndicatorStyle { kWhiteLarge = 0, kWhite = 1, kGray = 2 };
  // The action name under which the view asks the loader for pictures.
  static inline const QByteArray kSetImageAction = QByteArrayLiteral("setImage");

  explicit RemoteImageView(QWidget* parent = nullptr);
  explicit RemoteImageView(const QImage& image, QWidget* parent = nullptr);
  ~RemoteImageView() override;

  // Asks the loader for the picture; shows the spinner when the view has
  // no picture yet and the URL is not empty.
  void setImageURL(const QUrl& url);
  // The URL still being loaded for this view, if any.
  std::optional<QUrl> imageURL() const;

  // Shows the picture (cross-faded when crossfadeImages()) and stops the spinner.
  void setImage(const QImage& image);
  const QImage& image() const { return image_; }

  bool showActivityIndicator() const { return showActivityIndicator_; }
  void setShowActivityIndicator(bool show) { showActivityIndicator_ = show; }
  int activityIndicatorStyle() const { return activityIndicatorStyle_; }
  void setActivityIndicatorStyle(int style) { activityIndicatorStyle_ = style; }
  bool crossfadeImages() const { return crossfadeImages_; }
  void setCrossfadeImages(bool on) { crossfadeImages_ = on; }
  double crossfadeDuration() const { return crossfadeDuration_; }
  void setCrossfadeDuration(double seconds) { crossfadeDuration_ = seconds; }
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode mode);

  // The spinner; null until first needed.
  QWidget* activityView() const { return activityView_; }
  bool isCrossfading() const;

  // The loader this view asks (the shared one by default).
  ImageLoader& loader() const { return *loader_; }
  void setLoader(ImageLoader& loader) { loader_ = &loader; }

  QSize sizeHint() const override;

 signals:
  void imageChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void startSpinner();
  void stopSpinner();
  void centreSpinner();
  QRectF targetRect(QSizeF imageSize) const;

  ImageLoader* loader_;
  QImage image_;
  QPixmap pixmap_;
  QPixmap previous_;
  bool showActivityIndicator_;
  int activityIndicatorStyle_ = kGray;
  bool crossfadeImages_ = true;
  double crossfadeDuration_ = 0.4;
  ContentMode contentMode_ = ContentMode::AspectFit;
  QWidget* activityView_ = nullptr;
  QVariantAnimation* fade_ = nullptr;
  double fadeProgress_ = 1.0;
};

}  // namespace orv::toolkit
