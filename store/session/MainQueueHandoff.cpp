#include "store/session/MainQueueHandoff.h"

#include "platform/MainQueue.h"

namespace orv::store {

std::shared_ptr<MainQueueHandoff> MainQueueHandoff::create(Receiver& receiver, std::shared_ptr<MainQueue> queue) {
  if (!queue) queue = orv::mainQueue();
  return std::make_shared<MainQueueHandoff>(Passkey{}, receiver, std::move(queue));
}

MainQueueHandoff::MainQueueHandoff(Passkey, Receiver& receiver, std::shared_ptr<MainQueue> queue)
    : receiver_(&receiver), queue_(std::move(queue)) {}

void MainQueueHandoff::handleEvent(const ORVEventPtr& event) {
  if (!attached_.load() || !queue_) return;
  queue_->post([self = shared_from_this(), event] {
    if (self->attached_.load()) self->receiver_->dispatchORVEvent(event);
  });
}

void MainQueueHandoff::handleMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!attached_.load() || !queue_) return;
  queue_->post([self = shared_from_this(), message] {
    if (self->attached_.load()) self->receiver_->dispatchORVMessage(message);
  });
}

void MainQueueHandoff::detach() { attached_.store(false); }

}  // namespace orv::store
