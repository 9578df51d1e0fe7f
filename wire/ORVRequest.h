#pragma once
// Factories of every message the client sends. A request is an ORVMessage with
// the creation defaults; it adds no fields.
//
// For applications: extension requests, login, logout. Used only inside the
// library: handshake, ping, pong, manual disconnection.

#include <memory>
#include <optional>
#include <string>

#include "wire/ORVMessage.h"

class ORVRequest;
using ORVRequestPtr = std::shared_ptr<ORVRequest>;

class ORVRequest : public ORVMessage {
 public:
  using ORVMessage::ORVMessage;

  // Id 5 named `command`, with the content (the shared empty object when null).
  // Throws ORVInvalidArgumentException "cmd" for an empty command.
  static ORVRequestPtr extensionRequestWithCommand(const std::string& command,
                                                   ORVDataObjectPtr content = nullptr);

  // Id 10 with "z", "u", "s" and, when params is not null (even empty), "p".
  // Throws ORVInvalidArgumentException, checked in this order: "zone" for an
  // absent or empty zone, "name" for an absent name, "password" for an absent
  // password. An empty name or password is accepted.
  static ORVRequestPtr loginRequestWithZone(const std::optional<std::string>& zone,
                                            const std::optional<std::string>& name,
                                            const std::optional<std::string>& password,
                                            ORVDataObjectPtr params = nullptr);

  static ORVRequestPtr logoutRequest();  // id 11

  // Id 0 with "t" "Cocoa", "o" "iOS", "v" "1.0.0" and, only when the session
  // id is present and not empty, "s".
  static ORVRequestPtr handshakeRequest(const std::optional<std::string>& sessionId);
  static ORVRequestPtr pingRequest();                 // id 6
  static ORVRequestPtr pongRequest();                 // id 7
  static ORVRequestPtr manualDisconnectionRequest();  // id 2
};
