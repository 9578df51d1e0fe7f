#pragma once
// What a screen registers with the shared client: every event and message,
// received on the library's queues, is posted to the main queue and handed to
// the screen there, without waiting and in the order the client called us.
// `detach()` (on the main thread, when the screen disappears) drops whatever
// is still queued, so a screen never sees traffic after it has gone, and the
// client may keep this object alive as long as it likes.

#include <atomic>
#include <memory>

#include "client/ORVEventHandler.h"
#include "client/ORVMessageHandler.h"
#include "wire/ORVMessage.h"

namespace orv {
class MainQueue;
}

namespace orv::store {

class MainQueueHandoff : public ORVEventHandler,
                         public ORVMessageHandler,
                         public std::enable_shared_from_this<MainQueueHandoff> {
 public:
  // The screen side; called on the main thread only.
  class Receiver {
   public:
    virtual ~Receiver() = default;
    virtual void dispatchORVEvent(const ORVEventPtr& event) = 0;
    virtual void dispatchORVMessage(const ORVMessagePtr& message) = 0;
  };

  // `receiver` must stay alive until detach(); `queue` defaults to mainQueue().
  static std::shared_ptr<MainQueueHandoff> create(Receiver& receiver, std::shared_ptr<MainQueue> queue = nullptr);

  void handleEvent(const ORVEventPtr& event) override;
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override;

  void detach();
  bool isAttached() const { return attached_.load(); }

  struct Passkey {};
  MainQueueHandoff(Passkey, Receiver& receiver, std::shared_ptr<MainQueue> queue);

 private:
  Receiver* receiver_;
  std::shared_ptr<MainQueue> queue_;
  std::atomic<bool> attached_{true};
};

}  // namespace orv::store
