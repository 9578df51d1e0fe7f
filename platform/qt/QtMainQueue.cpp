#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace orv {

QtMainQueue::QtMainQueue(QObject* context) : context_(context ? context : QCoreApplication::instance()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task) {
  QObject* context = context_.data();
  if (!context) return;
  // Queued calls to one receiver are posted events of the same priority:
  // the event loop delivers them in the order they were posted.
  QMetaObject::invokeMethod(context, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

bool QtMainQueue::isCurrent() const {
  const QObject* context = context_.data();
  return context && QThread::currentThread() == context->thread();
}

}  // namespace orv
