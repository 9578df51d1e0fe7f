#pragma once
// Internal: one animation of a progress value from 0 to 1 over a duration
// scaled by AnimationSettings. At speed 0 the last step runs at once and the
// completion on the next turn of the event loop, so completions always run
// after the call that started them returned.

#include <QEasingCurve>
#include <QObject>
#include <QPointer>
#include <QVariantAnimation>
#include <functional>

namespace orv::toolkit::detail {

// Runs `step(progress)` through the animation and `done()` at its end. The
// animation belongs to `owner` and dies with it (then nothing more runs).
// Returns the animation (nullptr when it ran instantly).
QVariantAnimation* animate(QObject* owner, double seconds, QEasingCurve curve,
                           std::function<void(double)> step, std::function<void()> done);

}  // namespace orv::toolkit::detail
