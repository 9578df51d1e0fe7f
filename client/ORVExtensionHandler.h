#pragma once
// Passes extension messages (command id 5) to the client's dispatch by command
// name; ignores every other id.

#include "client/ORVHandler.h"

class ORVExtensionHandler : public ORVHandler {
 public:
  static std::shared_ptr<ORVExtensionHandler> handlerWithClient(std::weak_ptr<ORVClient> client);
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override;

  explicit ORVExtensionHandler(std::weak_ptr<ORVClient> client) : ORVHandler(std::move(client)) {}
};
