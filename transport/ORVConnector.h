#pragma once
// The one connection between a client session and the session server: the
// parts common to every transport. Frames outgoing messages, feeds incoming
// chunks to its frame codec and passes decoded messages to its delegate.
//
// Connectors are shared objects (create them through ORVConnectorFactory):
// the frame codec, the socket callbacks and the timers refer back weakly, so
// a connector may be destroyed while callbacks are pending. The delegate and
// the client are held weakly too.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DispatchQueue.h"
#include "transport/ORVCompressor.h"
#include "transport/ORVConnectorDelegate.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVIoHandlerDelegate.h"
#include "transport/ORVSessionSettings.h"
#include "wire/ORVMessage.h"

class ORVConnector : public std::enable_shared_from_this<ORVConnector> {
 public:
  ORVConnector(orv::DispatchQueuePtr delegateQueue, ORVCompressorPtr compressor);
  virtual ~ORVConnector();
  ORVConnector(const ORVConnector&) = delete;
  ORVConnector& operator=(const ORVConnector&) = delete;

  // Sets `started` and opens, once; a started connector ignores it.
  void start();
  // Clears `started` and closes, once; a stopped connector ignores it.
  virtual void stop();
  bool isStarted() const { return started_.load(); }
  virtual bool isConnected() const { return false; }

  // Frames the message and sends it with one writeData call; a message that
  // cannot be framed (too large) is dropped after a log line.
  void write(const ORVMessagePtr& message);

  virtual void open() {}
  virtual void close() {}
  virtual void writeData(std::shared_ptr<const std::vector<uint8_t>> data, uint32_t offset, uint32_t length);

  // Hands a received chunk to the frame codec, then each message decoded
  // from it, in order, to handleMessage; false on a data error (messages of
  // earlier frames of the chunk are still handled).
  bool dataReceived(std::span<const uint8_t> chunk);
  void resetIoHandler();

  // Every decoded message; the base passes it to the delegate.
  virtual void handleMessage(ORVMessagePtr message);
  // Largest payload accepted or sent: the client's, or 4096 without one.
  uint32_t maxMessageSize() const;

  // Properties. Set before start; readable from any thread.
  std::shared_ptr<ORVConnectorDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ORVConnectorDelegate> delegate);
  std::shared_ptr<ORVSessionSettings> client() const;
  void setClient(std::weak_ptr<ORVSessionSettings> client);
  const orv::DispatchQueuePtr& delegateQueue() const { return delegateQueue_; }
  const ORVCompressorPtr& compressor() const { return compressor_; }
  std::optional<std::string> host() const;
  void setHost(std::optional<std::string> host);
  int32_t port() const { return port_.load(); }
  void setPort(int32_t port) { port_.store(port); }
  uint32_t connectionTimeout() const { return connectionTimeout_.load(); }
  void setConnectionTimeout(uint32_t seconds) { connectionTimeout_.store(seconds); }
  int32_t reconnectionDelay() const { return reconnectionDelay_.load(); }
  void setReconnectionDelay(int32_t seconds) { reconnectionDelay_.store(seconds); }
  int32_t type() const { return 0; }  // neither transport assigns it
  // "host:port", host "0.0.0.0" when unset; built on first use, then cached.
  std::string name() const;
  // "type@name", e.g. "0@127.0.0.1:443".
  std::string description() const;

  // Traffic counters, read by the client's statistics.
  uint64_t bytesSent() const { return bytesSent_.load(); }
  uint64_t bytesReceived() const { return bytesReceived_.load(); }
  std::optional<std::chrono::microseconds> lastPingRoundTrip() const;

 protected:
  // Second construction step, once the connector is owned by a shared_ptr:
  // the frame codec needs a weak reference to it.
  virtual void attach();
  void countBytesSent(uint64_t n) { bytesSent_.fetch_add(n); }
  void countBytesReceived(uint64_t n) { bytesReceived_.fetch_add(n); }
  void setLastPingRoundTrip(std::chrono::microseconds rtt);

  friend class ORVConnectorFactory;

 private:
  // The frame codec's view of the connector. Messages are collected while
  // the codec runs under `ioMutex_` and handled after it is released, so no
  // lock is held while the delegate is called.
  struct CodecSink : ORVIoHandlerDelegate {
    explicit CodecSink(ORVConnector& owner) : owner(owner) {}
    uint32_t maxMessageSize() const override { return owner.maxMessageSize(); }
    void handleMessage(ORVMessagePtr message) override { decoded.push_back(std::move(message)); }
    ORVConnector& owner;
    std::vector<ORVMessagePtr> decoded;  // under ioMutex_
  };

  const orv::DispatchQueuePtr delegateQueue_;
  const ORVCompressorPtr compressor_;
  // Chunks are fed one at a time, but a new connection's reset may come on
  // another thread of the concurrent delegate queue: hence the lock.
  std::mutex ioMutex_;
  CodecSink sink_{*this};
  std::unique_ptr<ORVIoHandler> ioHandler_;

  std::mutex startMutex_;  // the connector's own lock around `started`
  std::atomic<bool> started_{false};

  mutable std::mutex propertiesMutex_;
  std::weak_ptr<ORVConnectorDelegate> delegate_;
  std::weak_ptr<ORVSessionSettings> client_;
  std::optional<std::string> host_;
  mutable std::optional<std::string> name_;
  std::optional<std::chrono::microseconds> lastPingRoundTrip_;
  std::atomic<int32_t> port_{0};
  std::atomic<uint32_t> connectionTimeout_{0};
  std::atomic<int32_t> reconnectionDelay_{0};

  std::atomic<uint64_t> bytesSent_{0};
  std::atomic<uint64_t> bytesReceived_{0};
};

using ORVConnectorPtr = std::shared_ptr<ORVConnector>;
