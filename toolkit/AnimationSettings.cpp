#include "toolkit/AnimationSettings.h"

#include <QTimer>
#include <cmath>

#include "toolkit/detail/Animate.h"

namespace orv::toolkit {

namespace {
double gSpeed = 1.0;
}

double AnimationSettings::speed() { return gSpeed; }

void AnimationSettings::setSpeed(double factor) { gSpeed = factor > 0 ? factor : 0.0; }

int AnimationSettings::durationMs(double seconds) {
  if (gSpeed <= 0 || seconds <= 0) return 0;
  return static_cast<int>(std::lround(seconds * 1000.0 / gSpeed));
}

namespace detail {

QVariantAnimation* animate(QObject* owner, double seconds, QEasingCurve curve,
                           std::function<void(double)> step, std::function<void()> done) {
  const int ms = AnimationSettings::durationMs(seconds);
  if (ms == 0) {
    step(1.0);
    QTimer::singleShot(0, owner, [done = std::move(done)] {
      if (done) done();
    });
    return nullptr;
  }
  auto* animation = new QVariantAnimation(owner);
  animation->setStartValue(0.0);
  animation->setEndValue(1.0);
  animation->setDuration(ms);
  animation->setEasingCurve(curve);
  QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
                   [step](const QVariant& value) { step(value.toDouble()); });
  QObject::connect(animation, &QVariantAnimation::finished, owner, [step, done = std::move(done)] {
    step(1.0);
    if (done) done();
  });
  animation->start(QAbstractAnimation::DeleteWhenStopped);
  return animation;
}

}  // namespace detail
}  // namespace orv::toolkit
