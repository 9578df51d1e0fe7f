#pragma once
// The main queue of the Qt application: tasks posted from any thread run on
// the GUI thread, in the order they were posted (one queued call each on the
// application object).

#include "platform/MainQueue.h"

namespace orv::store {

class GuiMainQueue : public orv::MainQueue {
 public:
  void post(Task task) override;
  bool isCurrent() const override;

  // Makes a GuiMainQueue the process-wide main queue unless one is set.
  // Needs the QApplication to exist.
  static void installIfNone();
};

}  // namespace orv::store
