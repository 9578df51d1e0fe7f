#pragma once
// The three notifications of image loading, posted on the GUI thread:
//   "ImageLoadDidFinish"  userInfo "image" (QImage), "URL" (QUrl), "cache"
//                         (std::shared_ptr<ImageCache>, when the load had one)
//   "ImageLoadDidFail"    userInfo "URL", "error" (ImageLoadError)
//   "ImageTargetReleased" no userInfo; the object is the released target
// The object of the first two is the load's target (null when it had none or
// is gone). Every ImageLoader observes all three for its whole life.
//
// The centre also watches the targets of loads: when one is destroyed it posts
// "ImageTargetReleased" once with the target's address (compared, never used).

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

namespace orv::toolkit {

class ImageLoadNotificationCenter : public QObject {
  Q_OBJECT

 public:
  static inline const QString kDidFinish = QStringLiteral("ImageLoadDidFinish");
  static inline const QString kDidFail = QStringLiteral("ImageLoadDidFail");
  static inline const QString kTargetReleased = QStringLiteral("ImageTargetReleased");

  // The process-wide centre, created on first use (on the GUI thread).
  static ImageLoadNotificationCenter& defaultCenter();

  void post(const QString& name, const QObject* object, const QVariantMap& userInfo = {});
  // Posts "ImageTargetReleased" when `target` is destroyed. Idempotent.
  void watchTarget(QObject* target);

 signals:
  // `object` of "ImageTargetReleased" is being destroyed: compare it, never use it.
  void notified(const QString& name, QObject* object, const QVariantMap& userInfo);

 private:
  ImageLoadNotificationCenter() = default;
  QSet<const QObject*> watched_;
};

}  // namespace orv::toolkit
