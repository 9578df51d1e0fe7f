#pragma once
// The main queue of the Qt application: post() hands the task to the GUI
// thread's event loop as a queued call and returns at once (never waits, also
// from the GUI thread itself); tasks run in the order posted. Tasks posted
// after the queue's context object is gone are dropped.

#include <QObject>
#include <QPointer>

#include "platform/MainQueue.h"

namespace orv {

class QtMainQueue : public MainQueue {
 public:
  // Tasks run on the thread of `context` (the application object by default).
  explicit QtMainQueue(QObject* context = nullptr);
  ~QtMainQueue() override;

  void post(Task task) override;
  bool isCurrent() const override;

 private:
  QPointer<QObject> context_;
};

}  // namespace orv
