#pragma once
// One process-wide speed for every animation of the toolkit (slides, menu
// reveals, overlay fades, alert pops). 1 is normal speed; 0 makes every
// animation take no time while still running its completion and emitting its
// "finished" signal, which is what widget tests use so they never wait out a
// real animation. Main thread only.

namespace orv::toolkit {

class AnimationSettings {
 public:
  // Current factor (default 1). Negative values are treated as 0.
  static double speed();
  static void setSpeed(double factor);
  // A duration given in seconds turned into the milliseconds an animation
  // should run at the current speed.
  static int durationMs(double seconds);
};

}  // namespace orv::toolkit
