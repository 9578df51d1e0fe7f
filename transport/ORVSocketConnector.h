#pragma once
// The TCP connector: opens the stream socket, frames outgoing messages and
// feeds incoming chunks to the frame codec, answers the server's pings, pings
// an idle line, watches reachability and, after an established connection is
// lost, retries every `reconnectionDelay` seconds until it succeeds or is
// stopped.
//
//   state            started connecting connected retry
//   idle               no       no         no      no
//   connecting         yes      yes        no      no
//   connected          yes      no         yes     no
//   failed             yes      no         no      no    (first attempt failed)
//   waiting            yes      no         no      yes   (retry timer armed)
//   reconnecting       yes      yes        no      yes
//
// Timers (one-shot, on the delegate queue):
//
//   connected ──loss──> retry timer ──fire, reachable──> open ──ok──> connected
//                          ^  └──fire, unreachable──┐      └─fail─┐
//                          └────────── re-arm <─────┴─────────────┘
//   ping timer: fires at (last traffic + pingInterval); pings only when the
//   line was idle for the whole interval, re-arms itself while connected, and
//   is armed again at every (re-)established connection.
//
// Threads: socket callbacks and timers run on the factory's concurrent
// delegate queue, so the flags, dates and timers are guarded by `mutex_`, and
// the frame codec by `ioMutex_`. Neither lock is held while the delegate, the
// socket or a timer's cancellation (which waits for a running handler) is
// called.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/DispatchTimer.h"
#include "transport/ORVConnector.h"
#include "transport/ORVReachability.h"
#include "transport/ORVStreamSocket.h"

class ORVSocketConnector : public ORVConnector, public ORVStreamSocketDelegate {
 public:
  using Clock = std::chrono::steady_clock;

  ORVSocketConnector(orv::DispatchQueuePtr delegateQueue, ORVCompressorPtr compressor);
  ~ORVSocketConnector() override;

  void open() override;
  void close() override;
  void stop() override;
  bool isConnected() const override;
  void handleMessage(ORVMessagePtr message) override;
  void writeData(std::shared_ptr<const std::vector<uint8_t>> data, uint32_t offset, uint32_t length) override;

  void handleIOError(const std::optional<ORVError>& error);
  void ping();
  void pong();
  void startRetryTask();
  void stopRetryTask();
  void startPingTask();
  void stopPingTask();
  void startNetworkMonitoring();
  void stopNetworkMonitoring();
  void handleReconnectTimerFire();
  void handlePingTimerFire();
  void handleNetworkReachable();
  void handleNetworkUnreachable();

  // Socket callbacks.
  void socket(ORVStreamSocket& sock, const std::string& host, uint16_t port) override;
  void socket(ORVStreamSocket& sock, std::span<const uint8_t> data, long tag) override;
  void socket(ORVStreamSocket& sock, long tag) override;
  void socketDidDisconnect(ORVStreamSocket& sock, const std::optional<ORVError>& error) override;

  const ORVStreamSocketPtr& streamSocket() const { return socket_; }
  bool isRetrying() const;
  bool isConnecting() const;
  bool hasPingTimer() const;
  bool hasRetryTimer() const;

 protected:
  void attach() override;

 private:
  std::weak_ptr<ORVSocketConnector> weakSelf();
  void issueRead();
  std::unique_ptr<orv::DispatchTimer> makeTimer(void (ORVSocketConnector::*handler)());

  ORVStreamSocketPtr socket_;  // created by attach(), then never replaced

  mutable std::mutex mutex_;
  bool connected_ = false;
  bool retry_ = false;
  bool connecting_ = false;
  Clock::time_point lastReadTime_{};
  Clock::time_point lastWriteTime_{};
  std::optional<Clock::time_point> pingSentAt_;
  std::unique_ptr<orv::DispatchTimer> reconnectTimer_;
  std::unique_ptr<orv::DispatchTimer> pingTimer_;
  std::shared_ptr<ORVReachability> reach_;  // for serverAddress_, made at the first connection
  std::string serverAddress_;                // the address the socket connected to
  bool monitoring_ = false;
};
