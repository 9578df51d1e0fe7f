#pragma once
// What a connector reports to its owner. Every callback has an empty default:
// a delegate implements only what it needs.

#include <memory>
#include <string>

class ORVConnector;
class ORVMessage;

class ORVConnectorDelegate {
 public:
  virtual ~ORVConnectorDelegate() = default;
  // A TCP connection has been established (first or re-established).
  virtual void connectorDidConnect(ORVConnector&) {}
  // An established connection was lost while started and not retrying.
  virtual void connectorDidDisconnect(ORVConnector&) {}
  // A reconnection attempt has been scheduled.
  virtual void connectorDidRetry(ORVConnector&) {}
  // A connection attempt failed while not in reconnection mode.
  virtual void connectorDidIOError(ORVConnector&, const std::string& /*error*/) {}
  // A message other than ping or pong arrived.
  virtual void connectorDidReceiveMessage(ORVConnector&, const std::shared_ptr<const ORVMessage>&) {}
};
