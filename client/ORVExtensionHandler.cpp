#include "client/ORVExtensionHandler.h"

#include "client/ORVClient.h"
#include "wire/ORVCommand.h"
#include "wire/ORVMessage.h"

std::shared_ptr<ORVExtensionHandler> ORVExtensionHandler::handlerWithClient(std::weak_ptr<ORVClient> client) {
  return std::make_shared<ORVExtensionHandler>(std::move(client));
}

void ORVExtensionHandler::handleMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message || message->commandId() != ORVCommandIdExtension) return;
  if (auto owner = client()) owner->dispatchMessage(message);
}
