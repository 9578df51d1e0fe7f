#pragma once
// The session client that applications hold: connects through a socket
// connector, performs the handshake that opens or resumes a server session,
// validates and sends requests, and routes received messages to its internal
// handlers and then to application message handlers by command name; turns
// connection and session changes into events.
//
// Threads. Application threads call connect, sendRequest, the registration
// methods and disconnect; the connector's delegate queue delivers the
// connector callbacks; the "client.worker" queue (concurrent) runs the
// internal handlers for every received message. All session fields are guarded
// by `mutex_` (numbers the transport reads often are atomics); the message
// handler map has its own lock. No lock is held while a handler, an event
// handler or the connector is called, so callbacks may re-enter the client.
//
// Lifetime. Create clients with ORVClient::client(): the connector, the
// internal handlers and queued work refer back to the client weakly, so a
// client may be destroyed while its connector is retrying or messages are
// queued. Destruction disconnects and stops the connector.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/ORVClientStatistics.h"
#include "client/ORVEventDispatcher.h"
#include "client/ORVMessageHandler.h"
#include "client/ORVUser.h"
#include "transport/ORVConnectorDelegate.h"
#include "transport/ORVSessionSettings.h"

class ORVConnector;
class ORVConnectorFactory;
class ORVHandler;
class ORVMessage;
namespace orv {
class DispatchQueue;
}

using ORVDeliveryType = int32_t;
inline constexpr ORVDeliveryType ORVDeliveryTCP = 1;
inline constexpr ORVDeliveryType ORVDeliveryUDP = 2;

using ORVDisconnectionReason = int32_t;
inline constexpr ORVDisconnectionReason ORVDisconnectionReasonManual = 1;

class ORVClient : public ORVConnectorDelegate,
                  public ORVSessionSettings,
                  public std::enable_shared_from_this<ORVClient> {
  struct Passkey {};

 public:
  using MessagePtr = std::shared_ptr<const ORVMessage>;
  using Clock = std::chrono::steady_clock;

  static std::shared_ptr<ORVClient> client();
  explicit ORVClient(Passkey);
  ~ORVClient() override;
  ORVClient(const ORVClient&) = delete;
  ORVClient& operator=(const ORVClient&) = delete;

  // Session control.
  void connect(const std::string& host, int32_t port);
  void connect(const std::string& host, int32_t port, int32_t timeout);
  void disconnect();
  void disconnectWithReason(ORVDisconnectionReason reason);
  [[noreturn]] void initUdp(const std::string& host, int32_t port);
  bool isUdpInited() const { return false; }
  static std::string version() { return "1.0.0"; }
  std::optional<std::string> host() const;
  int32_t port() const;
  bool isConnected() const;

  // Requests.
  void sendRequest(const MessagePtr& request);
  void sendRequest(const MessagePtr& request, ORVDeliveryType delivery);

  // Handlers.
  void addEventHandler(const std::shared_ptr<ORVEventHandler>& handler, int32_t type);
  void removeEventHandler(const std::shared_ptr<ORVEventHandler>& handler, int32_t type);
  void addMessageHandler(const std::shared_ptr<ORVMessageHandler>& handler, std::string_view command);
  void removeMessageHandlerForCommand(std::string_view command);

  // Connector callbacks.
  void connectorDidConnect(ORVConnector& connector) override;
  void connectorDidDisconnect(ORVConnector& connector) override;
  void connectorDidRetry(ORVConnector& connector) override;
  void connectorDidIOError(ORVConnector& connector, const std::string& error) override;
  void connectorDidReceiveMessage(ORVConnector& connector, const MessagePtr& message) override;

  // Internal operations used by the system and extension handlers.
  void handleHandshake(const MessagePtr& message);
  void handleLogin(const MessagePtr& message);
  void handleLogout();
  void handleClientDisconnection(const MessagePtr& message);
  void dispatchMessage(const MessagePtr& message);
  void fireErrorEvent(int32_t errorCode, const std::shared_ptr<const class ORVDataArray>& errorParams,
                      int32_t eventType);
  void postEvent(const ORVEventPtr& event);
  void sendHandshake();
  bool validateRequest(const MessagePtr& request);
  bool isReconnectionTimeExpired() const;
  void reset();

  // Session settings (read by the transport).
  int32_t pingInterval() const override { return pingInterval_.load(); }
  void setPingInterval(int32_t seconds) { pingInterval_.store(seconds); }
  uint32_t compressionThreshold() const override { return compressionThreshold_.load(); }
  void setCompressionThreshold(uint32_t bytes) { compressionThreshold_.store(bytes); }
  uint32_t maxMessageSize() const override { return maxMessageSize_.load(); }
  void setMaxMessageSize(uint32_t bytes) { maxMessageSize_.store(bytes); }
  int32_t reconnectionDelay() const { return reconnectionDelay_.load(); }
  void setReconnectionDelay(int32_t seconds) { reconnectionDelay_.store(seconds); }
  uint32_t reconnectionTimeout() const { return reconnectionTimeout_.load(); }
  void setReconnectionTimeout(uint32_t seconds) { reconnectionTimeout_.store(seconds); }

  // Session state, each a copy taken under the lock.
  std::optional<std::string> currentZone() const;
  ORVUserPtr currentUser() const;
  std::optional<std::string> sessionId() const;
  bool isConnecting() const;
  bool isReconnecting() const;
  std::optional<Clock::time_point> freezeTime() const;
  std::shared_ptr<ORVConnector> connector() const;

  // Read-only counters of this client's traffic since its creation.
  ORVClientStatistics statistics() const;

 private:
  void commonInit();
  void disconnectInternal(ORVDisconnectionReason reason, bool stopConnector);
  bool isCurrent(const ORVConnector& connector) const;
  void writeToConnector(const MessagePtr& request);

  std::shared_ptr<orv::DispatchQueue> delegateQueue_;
  std::vector<std::shared_ptr<ORVHandler>> handlers_;  // fixed after client()
  ORVEventDispatcher eventDispatcher_;

  mutable std::mutex handlersMutex_;
  std::map<std::string, std::shared_ptr<ORVMessageHandler>, std::less<>> messageHandlers_;

  mutable std::mutex mutex_;
  std::shared_ptr<ORVConnectorFactory> connectorFactory_;
  std::shared_ptr<ORVConnector> connector_;
  std::optional<Clock::time_point> freezeTime_;
  std::optional<std::string> currentZone_;
  ORVUserPtr currentUser_;
  std::optional<std::string> sessionId_;
  bool connecting_ = false;
  bool reconnecting_ = false;
  bool retried_ = false;  // a retry was reported since the last connection

  std::atomic<int32_t> reconnectionDelay_{10};
  std::atomic<int32_t> pingInterval_{0};
  std::atomic<uint32_t> compressionThreshold_{1024};
  std::atomic<uint32_t> maxMessageSize_{4096};
  std::atomic<uint32_t> reconnectionTimeout_{0};

  // Statistics. Byte counts live in the connectors; the totals of replaced
  // connectors are folded in here.
  std::atomic<uint64_t> messagesSent_{0};
  std::atomic<uint64_t> messagesReceived_{0};
  std::atomic<uint64_t> reconnections_{0};
  std::atomic<uint64_t> resumes_{0};
  uint64_t previousBytesSent_ = 0;      // under mutex_
  uint64_t previousBytesReceived_ = 0;  // under mutex_
  std::optional<std::chrono::microseconds> previousPingRoundTrip_;  // under mutex_
};
