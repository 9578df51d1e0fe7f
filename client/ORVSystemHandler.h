#pragma once
// Routes the session's own command ids (handshake, server disconnection, login,
// logout) to the client.

#include "client/ORVHandler.h"

class ORVSystemHandler : public ORVHandler {
 public:
  static std::shared_ptr<ORVSystemHandler> handlerWithClient(std::weak_ptr<ORVClient> client);
  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override;

  explicit ORVSystemHandler(std::weak_ptr<ORVClient> client) : ORVHandler(std::move(client)) {}
};
