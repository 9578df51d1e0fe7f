#include "store/screens/GuiMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace orv::store {

void GuiMainQueue::post(Task task) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

bool GuiMainQueue::isCurrent() const {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void GuiMainQueue::installIfNone() {
  if (!orv::mainQueue()) orv::setMainQueue(std::make_shared<GuiMainQueue>());
}

}  // namespace orv::store
