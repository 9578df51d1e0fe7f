#pragma once
// What application objects implement to receive extension messages by command
// name. Called on the client's "client.worker" queue.

#include <memory>

class ORVMessage;

class ORVMessageHandler {
 public:
  virtual ~ORVMessageHandler() = default;
  virtual void handleMessage(const std::shared_ptr<const ORVMessage>& message) = 0;
};
