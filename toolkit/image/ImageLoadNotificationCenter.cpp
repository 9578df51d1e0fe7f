#include "toolkit/image/ImageLoadNotificationCenter.h"

namespace orv::toolkit {

ImageLoadNotificationCenter& ImageLoadNotificationCenter::defaultCenter() {
  // Never destroyed: loaders and targets may outlive any other owner.
  static auto* center = new ImageLoadNotificationCenter;
  return *center;
}

void ImageLoadNotificationCenter::post(const QString& name, const QObject* object, const QVariantMap& userInfo) {
  emit notified(name, const_cast<QObject*>(object), userInfo);
}

void ImageLoadNotificationCenter::watchTarget(QObject* target) {
  if (!target || watched_.contains(target)) return;
  watched_.insert(target);
  // Direct connection: the signal comes from the target's destructor, and
  // the loaders must drop the target before anything else can call it.
  connect(target, &QObject::destroyed, this, [this](QObject* gone) {
    watched_.remove(gone);
    post(kTargetReleased, gone);
  }, Qt::DirectConnection);
}

}  // namespace orv::toolkit
