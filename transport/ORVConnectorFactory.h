#pragma once
// Makes connectors that share one concurrent delegate queue (their socket
// callbacks and timers run there) and one compressor.

#include <memory>

#include "platform/DispatchQueue.h"
#include "transport/ORVCompressor.h"

class ORVConnector;
class ORVSocketConnector;
class ORVDatagramConnector;

class ORVConnectorFactory {
 public:
  ORVConnectorFactory();
  static std::shared_ptr<ORVConnectorFactory> factory();

  std::shared_ptr<ORVSocketConnector> socketConnector() const;
  std::shared_ptr<ORVDatagramConnector> datagramConnector() const;

  const orv::DispatchQueuePtr& delegateQueue() const { return delegateQueue_; }
  const ORVCompressorPtr& compressor() const { return compressor_; }

 private:
  orv::DispatchQueuePtr delegateQueue_;
  ORVCompressorPtr compressor_;
};
