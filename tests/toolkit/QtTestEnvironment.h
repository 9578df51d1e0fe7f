#pragma once
// One QApplication for a toolkit test program, on the offscreen platform,
// with animations made instant (their completions still run on the next
// turn of the event loop). Tests that want real durations set the speed
// themselves and restore it.

#include <QWidget>

namespace orv::toolkit::test {

// A phone-sized window (320 x 568) shown on screen, to host screens.
QWidget* makePhoneWindow();

}  // namespace orv::toolkit::test
