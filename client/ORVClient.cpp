#include "client/ORVClient.h"

#include "client/ORVExtensionHandler.h"
#include "client/ORVSystemHandler.h"
#include "platform/DispatchQueue.h"
#include "platform/HopTrace.h"
#include "platform/Log.h"
#include "transport/ORVConnector.h"
#include "transport/ORVConnectorFactory.h"
#include "transport/ORVSocketConnector.h"
#include "wire/ORVCommand.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVRequest.h"

namespace {

constexpr int32_t kDefaultConnectTimeout = 30;

std::string describe(const ORVDataArrayPtr& array) { return array ? array->description() : "(null)"; }

}  // namespace

std::shared_ptr<ORVClient> ORVClient::client() {
  auto client = std::make_shared<ORVClient>(Passkey{});
  // The internal handlers refer back weakly, which needs the shared owner.
  client->handlers_.push_back(ORVSystemHandler::handlerWithClient(client));
  client->handlers_.push_back(ORVExtensionHandler::handlerWithClient(client));
  return client;
}

ORVClient::ORVClient(Passkey) { commonInit(); }

void ORVClient::commonInit() { delegateQueue_ = orv::DispatchQueue::concurrent("client.worker"); }

ORVClient::~ORVClient() {
  // A destroyed client must not leave a connection retrying behind its back:
  // disconnect and stop the connector.
  disconnectInternal(ORVDisconnectionReasonManual, true);
}

// ---- session control -------------------------------------------------------

void ORVClient::connect(const std::string& host, int32_t port) { connect(host, port, kDefaultConnectTimeout); }

void ORVClient::connect(const std::string& host, int32_t port, int32_t timeout) {
  static constexpr const char* kOp = "ORVClient::connect";
  if (isConnected()) {
    orv::log(kOp, "Already connected");
    return;
  }
  std::shared_ptr<ORVConnector> previous;
  std::shared_ptr<ORVConnector> created;
  {
    std::lock_guard lock(mutex_);
    if (connecting_) {
      orv::log(kOp, "A connection attempt is already running");
      return;
    }
    if (host.empty()) throw ORVInvalidArgumentException("Invalid host: " + host);
    if (static_cast<uint32_t>(port) >= 65536u) {
      throw ORVInvalidArgumentException("Invalid port: " + std::to_string(port));
    }
    connecting_ = true;
    sessionId_.reset();
    currentZone_.reset();
    currentUser_.reset();
    // A new connection is a fresh session: a retry pending on the replaced
    // connector must not make its handshake answer read as a resume.
    reconnecting_ = false;
    freezeTime_.reset();

    if (connector_) {
      previousBytesSent_ += connector_->bytesSent();
      previousBytesReceived_ += connector_->bytesReceived();
      if (auto rtt = connector_->lastPingRoundTrip()) previousPingRoundTrip_ = rtt;
    }
    connectorFactory_ = ORVConnectorFactory::factory();
    created = connectorFactory_->socketConnector();
    created->setHost(host);
    created->setPort(port);
    created->setConnectionTimeout(static_cast<uint32_t>(timeout));
    created->setReconnectionDelay(reconnectionDelay_.load());
    created->setClient(weak_from_this());
    created->setDelegate(weak_from_this());
    previous = std::exchange(connector_, created);
    retried_ = false;
  }
  // The replaced connector is stopped so that its retry timer cannot open a
  // second connection behind the application's back. Neither call is made
  // under the lock: both may call back into this client.
  if (previous) previous->stop();
  created->start();
}

void ORVClient::disconnect() { disconnectWithReason(ORVDisconnectionReasonManual); }

void ORVClient::disconnectWithReason(ORVDisconnectionReason reason) { disconnectInternal(reason, false); }

void ORVClient::disconnectInternal(ORVDisconnectionReason reason, bool stopConnector) {
  std::shared_ptr<ORVConnector> connector;
  {
    std::lock_guard lock(mutex_);
    connecting_ = false;
    sessionId_.reset();
    currentZone_.reset();
    currentUser_.reset();
    connector = connector_;
  }
  if (!connector) return;
  if (connector->isConnected() && reason == ORVDisconnectionReasonManual) {
    connector->write(ORVRequest::manualDisconnectionRequest());
    messagesSent_.fetch_add(1);
  }
  if (stopConnector) connector->stop();
}

void ORVClient::initUdp(const std::string&, int32_t) { throw ORVGenericException("Unsupported operation"); }

std::optional<std::string> ORVClient::host() const {
  auto c = connector();
  if (!c) return std::nullopt;
  return c->host();
}

int32_t ORVClient::port() const {
  auto c = connector();
  return c ? c->port() : 0;
}

bool ORVClient::isConnected() const {
  auto c = connector();
  return c && c->isConnected();
}

// ---- requests --------------------------------------------------------------

void ORVClient::sendRequest(const MessagePtr& request) { sendRequest(request, ORVDeliveryTCP); }

void ORVClient::sendRequest(const MessagePtr& request, ORVDeliveryType delivery) {
  static constexpr const char* kOp = "ORVClient::sendRequest";
  if (!request) return;
  orv::HopTrace::mark(orv::HopPoint::RequestSent);
  if (delivery == ORVDeliveryUDP) orv::log(kOp, "UDP is not initialized yet, send via TCP instead.");
  if (!validateRequest(request)) return;
  auto c = connector();
  if (!c || !c->isConnected()) {
    orv::log(kOp, "Not connected, request can not be sent");
    return;
  }
  c->write(request);
  messagesSent_.fetch_add(1);
}

bool ORVClient::validateRequest(const MessagePtr& request) {
  static constexpr const char* kOp = "ORVClient::validateRequest";
  const bool loggedIn = currentUser() != nullptr;
  if (request->commandId() == ORVCommandIdLogin && loggedIn) {
    orv::log(kOp, "Already logged in");
    return false;
  }
  if (request->commandId() == ORVCommandIdLogout && !loggedIn) {
    orv::log(kOp, "Not logged in yet");
    return false;
  }
  return true;
}

// ---- handlers --------------------------------------------------------------

void ORVClient::addEventHandler(const std::shared_ptr<ORVEventHandler>& handler, int32_t type) {
  eventDispatcher_.addEventHandler(handler, type);
}

void ORVClient::removeEventHandler(const std::shared_ptr<ORVEventHandler>& handler, int32_t type) {
  eventDispatcher_.removeEventHandler(handler, type);
}

void ORVClient::addMessageHandler(const std::shared_ptr<ORVMessageHandler>& handler, std::string_view command) {
  if (command.empty()) throw ORVInvalidArgumentException("cmd");
  if (!handler) throw ORVInvalidArgumentException("handler");
  std::lock_guard lock(handlersMutex_);
  if (messageHandlers_.contains(command)) {
    throw ORVInternalInconsistencyException("Message handler with for: " + std::string(command) + " already exists");
  }
  messageHandlers_.emplace(std::string(command), handler);
}

void ORVClient::removeMessageHandlerForCommand(std::string_view command) {
  if (command.empty()) throw ORVInvalidArgumentException("cmd");
  std::shared_ptr<ORVMessageHandler> removed;  // released after the lock
  std::lock_guard lock(handlersMutex_);
  auto it = messageHandlers_.find(command);
  if (it != messageHandlers_.end()) {
    removed = std::move(it->second);
    messageHandlers_.erase(it);
  }
}

void ORVClient::dispatchMessage(const MessagePtr& message) {
  const std::string& name = message->command();
  std::shared_ptr<ORVMessageHandler> handler;
  {
    std::lock_guard lock(handlersMutex_);
    auto it = messageHandlers_.find(name);
    if (it == messageHandlers_.end()) {
      // One fall-back only: the name before its last ".".
      auto dot = name.rfind('.');
      if (dot != std::string::npos) it = messageHandlers_.find(std::string_view(name).substr(0, dot));
    }
    if (it != messageHandlers_.end()) handler = it->second;
  }
  if (handler) {
    orv::HopTrace::mark(orv::HopPoint::HandlerCalled);
    handler->handleMessage(message);
  } else {
    orv::log("ORVClient::dispatchMessage", "No handler for cmd: " + name);
  }
}

// ---- connector callbacks -----------------------------------------------------

bool ORVClient::isCurrent(const ORVConnector& connector) const {
  std::lock_guard lock(mutex_);
  return connector_.get() == &connector;
}

void ORVClient::connectorDidConnect(ORVConnector& connector) {
  {
    std::lock_guard lock(mutex_);
    // Callbacks still in flight from a replaced connector are ignored.
    if (connector_.get() != &connector) return;
    if (std::exchange(retried_, false)) reconnections_.fetch_add(1);
  }
  sendHandshake();
}

void ORVClient::connectorDidDisconnect(ORVConnector& connector) {
  {
    std::lock_guard lock(mutex_);
    if (connector_.get() != &connector) return;
    freezeTime_ = Clock::now();
  }
  postEvent(ORVEvent::eventWithType(ORVEventTypeConnectionLost, {{"reason", int32_t{0}}}));
}

void ORVClient::connectorDidRetry(ORVConnector& connector) {
  if (!isCurrent(connector)) return;
  const bool resume = !isReconnectionTimeExpired();
  {
    std::lock_guard lock(mutex_);
    reconnecting_ = resume;
    retried_ = true;
  }
  postEvent(ORVEvent::eventWithType(ORVEventTypeConnectionRetry));
}

void ORVClient::connectorDidIOError(ORVConnector& connector, const std::string&) {
  {
    std::lock_guard lock(mutex_);
    if (connector_.get() != &connector || !connecting_) return;
    connecting_ = false;
  }
  postEvent(ORVEvent::eventWithType(ORVEventTypeConnection, {{"success", false}}));
}

void ORVClient::connectorDidReceiveMessage(ORVConnector& connector, const MessagePtr& message) {
  if (!message || !isCurrent(connector)) return;
  orv::HopTrace::mark(orv::HopPoint::ClientReceived);
  messagesReceived_.fetch_add(1);
  // Handled on "client.worker"; the task holds the client weakly so a queued
  // message does not keep a destroyed client's session alive.
  // Deferred: the connector's read callback ends right after this, so the
  // message is handled on this same pool thread without waking another.
  delegateQueue_->defer([weak = weak_from_this(), message] {
    auto self = weak.lock();
    if (!self) return;
    orv::HopTrace::mark(orv::HopPoint::WorkerRuns);
    for (const auto& handler : self->handlers_) handler->handleMessage(message);
  });
}

// ---- session messages ------------------------------------------------------

void ORVClient::sendHandshake() {
  // Whether the session may resume was decided when the retry was scheduled;
  // decide again now, so a connection made after the time-out has passed does
  // not offer an expired session.
  const bool expired = isReconnectionTimeExpired();
  std::optional<std::string> session;
  {
    std::lock_guard lock(mutex_);
    if (expired) reconnecting_ = false;
    if (!reconnecting_) sessionId_.reset();
    session = sessionId_;
  }
  sendRequest(ORVRequest::handshakeRequest(session));
}

void ORVClient::handleHandshake(const MessagePtr& message) {
  {
    std::lock_guard lock(mutex_);
    connecting_ = false;
  }
  if (message->containsKey(ORVKeyErrorCode)) {
    orv::log("ORVClient::handleHandshake", "Handshake failure: " + std::to_string(message->int32ForKey(ORVKeyErrorCode)) +
                                               " (" + describe(message->dataArrayForKey(ORVKeyErrorParams)) + ")");
    postEvent(ORVEvent::eventWithType(ORVEventTypeConnection, {{"success", false}}));
    return;
  }
  // A limit missing from the answer keeps its current value: reading it as 0
  // would make every later request too large to send.
  if (message->containsKey(ORVKeyCompressionThreshold)) {
    compressionThreshold_.store(static_cast<uint32_t>(message->int32ForKey(ORVKeyCompressionThreshold)));
  }
  if (message->containsKey(ORVKeyMaxMessageSize)) {
    maxMessageSize_.store(static_cast<uint32_t>(message->int32ForKey(ORVKeyMaxMessageSize)));
  }
  bool resumed;
  bool loggedOut = false;
  {
    std::lock_guard lock(mutex_);
    std::optional<std::string> answered = message->stringForKey(ORVKeySessionId);
    resumed = std::exchange(reconnecting_, false) && sessionId_ && answered == sessionId_;
    sessionId_ = std::move(answered);
    if (!resumed && currentUser_) {
      // A fresh session after a reconnection: the server no longer knows the
      // user. Keeping the old user would make the application's next login
      // fail locally ("Already logged in") while the server refuses every
      // command that needs one.
      currentZone_.reset();
      currentUser_.reset();
      loggedOut = true;
    }
  }
  if (resumed) {
    resumes_.fetch_add(1);
    postEvent(ORVEvent::eventWithType(ORVEventTypeConnectionResume));
  } else {
    // The logout comes first, so an application that logs in on the
    // connection event finds the client logged out.
    if (loggedOut) postEvent(ORVEvent::eventWithType(ORVEventTypeLogout));
    postEvent(ORVEvent::eventWithType(ORVEventTypeConnection, {{"success", true}}));
  }
}

void ORVClient::handleLogin(const MessagePtr& message) {
  if (message->containsKey(ORVKeyErrorCode)) {
    const int32_t code = message->int32ForKey(ORVKeyErrorCode);
    auto params = message->dataArrayForKey(ORVKeyErrorParams);
    orv::log("ORVClient::handleLogin", "Login failure: " + std::to_string(code) + " (" + describe(params) + ")");
    fireErrorEvent(code, params, ORVEventTypeLoginError);
    return;
  }
  auto params = message->dataObjectForKey(ORVKeyLoginParams);
  if (!params) params = ORVDataObject::dataObject();
  auto user = ORVUser::userWithUserId(message->int32ForKey(ORVKeyUserId),
                                      message->stringForKey(ORVKeyUserName).value_or(""));
  reconnectionTimeout_.store(static_cast<uint32_t>(message->int32ForKey(ORVKeyReconnectionTimeout)));
  {
    std::lock_guard lock(mutex_);
    currentZone_ = message->stringForKey(ORVKeyZone);
    currentUser_ = user;
  }
  postEvent(ORVEvent::eventWithType(ORVEventTypeLogin, {{"user", user}, {"loginParams", params}}));
}

void ORVClient::handleLogout() {
  {
    std::lock_guard lock(mutex_);
    currentZone_.reset();
    currentUser_.reset();
  }
  postEvent(ORVEvent::eventWithType(ORVEventTypeLogout));
}

void ORVClient::handleClientDisconnection(const MessagePtr& message) {
  // A reconnection after the server sent us away never resumes the session.
  reconnectionTimeout_.store(0);
  postEvent(ORVEvent::eventWithType(ORVEventTypeConnectionLost,
                                    {{"reason", message->int32ForKey(ORVKeyDisconnectionReason)}}));
}

void ORVClient::fireErrorEvent(int32_t errorCode, const ORVDataArrayPtr& errorParams, int32_t eventType) {
  ORVDataArrayPtr params = errorParams ? errorParams : ORVDataArray::dataArray();
  postEvent(ORVEvent::eventWithType(eventType, {{"errorCode", errorCode}, {"errorParams", params}}));
}

void ORVClient::postEvent(const ORVEventPtr& event) { eventDispatcher_.postEvent(event); }

bool ORVClient::isReconnectionTimeExpired() const {
  std::optional<Clock::time_point> frozen = freezeTime();
  if (!frozen) return false;
  const auto elapsed = std::chrono::duration<double>(Clock::now() - *frozen).count();
  return elapsed > static_cast<double>(reconnectionTimeout_.load());
}

void ORVClient::reset() {
  std::lock_guard lock(mutex_);
  sessionId_.reset();
  currentZone_.reset();
  currentUser_.reset();
}

// ---- state -----------------------------------------------------------------

std::optional<std::string> ORVClient::currentZone() const {
  std::lock_guard lock(mutex_);
  return currentZone_;
}

ORVUserPtr ORVClient::currentUser() const {
  std::lock_guard lock(mutex_);
  return currentUser_;
}

std::optional<std::string> ORVClient::sessionId() const {
  std::lock_guard lock(mutex_);
  return sessionId_;
}

bool ORVClient::isConnecting() const {
  std::lock_guard lock(mutex_);
  return connecting_;
}

bool ORVClient::isReconnecting() const {
  std::lock_guard lock(mutex_);
  return reconnecting_;
}

std::optional<ORVClient::Clock::time_point> ORVClient::freezeTime() const {
  std::lock_guard lock(mutex_);
  return freezeTime_;
}

std::shared_ptr<ORVConnector> ORVClient::connector() const {
  std::lock_guard lock(mutex_);
  return connector_;
}

ORVClientStatistics ORVClient::statistics() const {
  ORVClientStatistics s;
  std::shared_ptr<ORVConnector> current;
  {
    std::lock_guard lock(mutex_);
    s.bytesSent = previousBytesSent_;
    s.bytesReceived = previousBytesReceived_;
    s.lastPingRoundTrip = previousPingRoundTrip_;
    current = connector_;
  }
  if (current) {
    s.bytesSent += current->bytesSent();
    s.bytesReceived += current->bytesReceived();
    if (auto rtt = current->lastPingRoundTrip()) s.lastPingRoundTrip = rtt;
  }
  s.messagesSent = messagesSent_.load();
  s.messagesReceived = messagesReceived_.load();
  s.reconnections = reconnections_.load();
  s.resumes = resumes_.load();
  return s;
}
