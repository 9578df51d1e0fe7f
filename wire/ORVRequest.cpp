#include "wire/ORVRequest.h"

#include "wire/ORVDataElement.h"
#include "wire/ORVExceptions.h"

ORVRequestPtr ORVRequest::extensionRequestWithCommand(const std::string& command,
                                                      ORVDataObjectPtr content) {
  if (command.empty()) throw ORVInvalidArgumentException("cmd");
  ORVDataElement::requireUtf8(command, "cmd");
  return std::make_shared<ORVRequest>(ORVCommandIdExtension, command, std::move(content));
}

ORVRequestPtr ORVRequest::loginRequestWithZone(const std::optional<std::string>& zone,
                                               const std::optional<std::string>& name,
                                               const std::optional<std::string>& password,
                                               ORVDataObjectPtr params) {
  if (!zone || zone->empty()) throw ORVInvalidArgumentException("zone");
  if (!name) throw ORVInvalidArgumentException("name");
  if (!password) throw ORVInvalidArgumentException("password");
  ORVDataObjectBuilder builder = ORVDataObject::builderWithCapacity(4);
  builder.putString(*zone, ORVKeyZone)
      .putString(*name, ORVKeyUserName)
      .putString(*password, ORVKeyPassword);
  if (params) builder.putDataObject(std::move(params), ORVKeyLoginParams);
  return std::make_shared<ORVRequest>(ORVCommandIdLogin, builder.build());
}

ORVRequestPtr ORVRequest::logoutRequest() {
  return std::make_shared<ORVRequest>(ORVCommandIdLogout);
}

ORVRequestPtr ORVRequest::handshakeRequest(const std::optional<std::string>& sessionId) {
  ORVDataObjectBuilder builder = ORVDataObject::builderWithCapacity(4);
  builder.putString(ORVClientTypeValue, ORVKeyClientType)
      .putString(ORVClientOsValue, ORVKeyClientOs)
      .putString(ORVClientVersionValue, ORVKeyClientVersion);
  if (sessionId && !sessionId->empty()) builder.putString(*sessionId, ORVKeySessionId);
  return std::make_shared<ORVRequest>(ORVCommandIdHandshake, builder.build());
}

ORVRequestPtr ORVRequest::pingRequest() { return std::make_shared<ORVRequest>(ORVCommandIdPing); }

ORVRequestPtr ORVRequest::pongRequest() { return std::make_shared<ORVRequest>(ORVCommandIdPong); }

ORVRequestPtr ORVRequest::manualDisconnectionRequest() {
  return std::make_shared<ORVRequest>(ORVCommandIdManualDisconnection);
}
