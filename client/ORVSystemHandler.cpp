#include "client/ORVSystemHandler.h"

#include <string>

#include "client/ORVClient.h"
#include "platform/Log.h"
#include "wire/ORVCommand.h"
#include "wire/ORVMessage.h"

std::shared_ptr<ORVSystemHandler> ORVSystemHandler::handlerWithClient(std::weak_ptr<ORVClient> client) {
  return std::make_shared<ORVSystemHandler>(std::move(client));
}

void ORVSystemHandler::handleMessage(const std::shared_ptr<const ORVMessage>& message) {
  if (!message) return;
  auto owner = client();
  if (!owner) return;
  switch (message->commandId()) {
    case ORVCommandIdHandshake:
      owner->handleHandshake(message);
      break;
    case ORVCommandIdClientDisconnection:
      owner->handleClientDisconnection(message);
      break;
    case ORVCommandIdExtension:
      break;  // the extension handler takes it
    case ORVCommandIdLogin:
      owner->handleLogin(message);
      break;
    case ORVCommandIdLogout:
      owner->handleLogout();
      break;
    default:
      orv::log("ORVSystemHandler::handleMessage",
               "No handler found for command id: " + std::to_string(message->commandId()));
  }
}
