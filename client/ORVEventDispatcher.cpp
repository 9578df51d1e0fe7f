#include "client/ORVEventDispatcher.h"

#include <vector>

#include "wire/ORVExceptions.h"

void ORVEventDispatcher::addEventHandler(const HandlerPtr& handler, int32_t type) {
  if (!handler) throw ORVInvalidArgumentException("handler");
  std::lock_guard lock(mutex_);
  handlers_[type].insert(handler);
}

void ORVEventDispatcher::removeEventHandler(const HandlerPtr& handler, int32_t type) {
  if (!handler) throw ORVInvalidArgumentException("handler");
  std::lock_guard lock(mutex_);
  auto it = handlers_.find(type);
  if (it != handlers_.end()) it->second.erase(handler);
}

void ORVEventDispatcher::removeAllEventHandlers() {
  std::lock_guard lock(mutex_);
  handlers_.clear();
}

void ORVEventDispatcher::postEvent(const ORVEventPtr& event) const {
  if (!event) return;
  std::vector<HandlerPtr> targets;
  {
    std::lock_guard lock(mutex_);
    auto it = handlers_.find(event->type());
    if (it == handlers_.end()) return;
    targets.assign(it->second.begin(), it->second.end());
  }
  for (const auto& handler : targets) handler->handleEvent(event);
}
