#pragma once
// Keeps the application's event handlers by event type and posts events to
// them.
//
// Handlers are registered on application threads while events are posted on
// the library's queues, so the map is guarded by a mutex. Posting copies the
// handler set under the lock and calls the handlers after releasing it: a
// handler may add or remove handlers (itself included) from inside its
// callback, and a change made during a post takes effect from the next post.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "client/ORVEventHandler.h"

class ORVEventDispatcher {
 public:
  using HandlerPtr = std::shared_ptr<ORVEventHandler>;

  // Adds the handler for the type, held once (adding it again changes nothing).
  // A null handler raises ORVInvalidArgumentException("handler").
  void addEventHandler(const HandlerPtr& handler, int32_t type);
  // Removes the handler from the type's set, if present. A null handler raises
  // ORVInvalidArgumentException("handler").
  void removeEventHandler(const HandlerPtr& handler, int32_t type);
  void removeAllEventHandlers();
  // Calls handleEvent on every handler registered for the event's type,
  // synchronously on the calling thread.
  void postEvent(const ORVEventPtr& event) const;

 private:
  mutable std::mutex mutex_;
  std::map<int32_t, std::unordered_set<HandlerPtr>> handlers_;
};
