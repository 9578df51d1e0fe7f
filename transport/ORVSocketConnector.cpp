#include "transport/ORVSocketConnector.h"

#include "platform/Log.h"
#include "wire/ORVCommand.h"
#include "wire/ORVRequest.h"

namespace {

// Read values: no time-out, a new buffer per chunk, at most 64 KiB, tag 0.
constexpr double kNoTimeout = -1;
constexpr std::size_t kReadLength = 65536;
constexpr long kTag = 0;

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

ORVSocketConnector::ORVSocketConnector(orv::DispatchQueuePtr delegateQueue, ORVCompressorPtr compressor)
    : ORVConnector(std::move(delegateQueue), std::move(compressor)) {}

ORVSocketConnector::~ORVSocketConnector() {
  stopNetworkMonitoring();
  stopRetryTask();
  stopPingTask();
  // Release the monitor's blocks before it goes; they refer to us weakly.
  std::shared_ptr<ORVReachability> reach;
  {
    std::lock_guard lock(mutex_);
    reach = std::move(reach_);
  }
}

void ORVSocketConnector::attach() {
  ORVConnector::attach();
  socket_ = ORVStreamSocket::create(std::weak_ptr<ORVStreamSocketDelegate>(weakSelf()), delegateQueue());
  socket_->setPreferIPv4OverIPv6(true);
}

std::weak_ptr<ORVSocketConnector> ORVSocketConnector::weakSelf() {
  return std::static_pointer_cast<ORVSocketConnector>(shared_from_this());
}

// ---- open, close, stop -----------------------------------------------------

void ORVSocketConnector::open() {
  static constexpr const char* kOp = "ORVSocketConnector::open";
  {
    std::lock_guard lock(mutex_);
    if (connecting_) {
      orv::log(kOp, "A connection attempt is already in progress");
      return;
    }
    if (socket_ && connected_) {
      orv::log(kOp, "Already connected");
      return;
    }
    connecting_ = true;
  }
  ORVError error;
  const auto host = this->host().value_or("");
  const auto port = static_cast<uint16_t>(this->port() & 0xFFFF);
  if (!socket_->connectToHost(host, port, static_cast<double>(connectionTimeout()), error)) {
    {
      std::lock_guard lock(mutex_);
      connecting_ = false;
    }
    handleIOError(error);
  }
}

void ORVSocketConnector::close() { socket_->disconnectAfterWriting(); }

void ORVSocketConnector::stop() {
  stopNetworkMonitoring();
  stopRetryTask();
  ORVConnector::stop();
}

bool ORVSocketConnector::isConnected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

bool ORVSocketConnector::isRetrying() const {
  std::lock_guard lock(mutex_);
  return retry_;
}

bool ORVSocketConnector::isConnecting() const {
  std::lock_guard lock(mutex_);
  return connecting_;
}

bool ORVSocketConnector::hasPingTimer() const {
  std::lock_guard lock(mutex_);
  return pingTimer_ != nullptr;
}

bool ORVSocketConnector::hasRetryTimer() const {
  std::lock_guard lock(mutex_);
  return reconnectTimer_ != nullptr;
}

// ---- socket callbacks ------------------------------------------------------

void ORVSocketConnector::socket(ORVStreamSocket& sock, const std::string& host, uint16_t) {
  {
    std::lock_guard lock(mutex_);
    if (!host.empty()) serverAddress_ = host;
    connecting_ = false;
    connected_ = true;
    retry_ = false;
    lastWriteTime_ = lastReadTime_ = Clock::now();
    pingSentAt_.reset();
  }
  sock.performBlock([&sock] { sock.enableBackgroundingOnSocket(); });
  resetIoHandler();
  issueRead();
  if (auto settings = client(); settings && settings->pingInterval() >= 1) startPingTask();
  stopRetryTask();
  startNetworkMonitoring();
  if (auto d = delegate()) d->connectorDidConnect(*this);
}

void ORVSocketConnector::socket(ORVStreamSocket& sock, std::span<const uint8_t> data, long) {
  {
    std::lock_guard lock(mutex_);
    lastReadTime_ = Clock::now();
  }
  countBytesReceived(data.size());
  if (!dataReceived(data)) {
    orv::log("ORVSocketConnector::socket", "Handled data error, connector will be disconnected");
    sock.disconnect();
  }
  // Exactly one read outstanding: the next one is issued only now.
  issueRead();
}

void ORVSocketConnector::socket(ORVStreamSocket&, long) {
  std::lock_guard lock(mutex_);
  lastWriteTime_ = Clock::now();
}

void ORVSocketConnector::socketDidDisconnect(ORVStreamSocket&, const std::optional<ORVError>& error) {
  bool attemptFailed;
  bool wasRetrying;
  {
    std::lock_guard lock(mutex_);
    connected_ = false;
    attemptFailed = std::exchange(connecting_, false);
    wasRetrying = retry_;
  }
  if (attemptFailed) {
    handleIOError(error);
    return;
  }
  // An established connection was lost.
  if (!wasRetrying && isStarted()) {
    if (auto d = delegate()) d->connectorDidDisconnect(*this);
  }
  if (isStarted() && reconnectionDelay() >= 1) {
    {
      std::lock_guard lock(mutex_);
      retry_ = true;
    }
    if (auto d = delegate()) d->connectorDidRetry(*this);
    startRetryTask();
  }
}

void ORVSocketConnector::issueRead() { socket_->readDataWithTimeout(kNoTimeout, nullptr, 0, kReadLength, kTag); }

// ---- errors ----------------------------------------------------------------

void ORVSocketConnector::handleIOError(const std::optional<ORVError>& error) {
  orv::log("ORVSocketConnector::handleIOError",
           description() + ": IO error: " + (error ? error->description() : std::string("(null)")));
  if (isRetrying()) {
    if (isStarted() && reconnectionDelay() >= 1) {
      if (auto d = delegate()) d->connectorDidRetry(*this);
      startRetryTask();
    }
  } else if (isStarted()) {
    if (auto d = delegate()) d->connectorDidIOError(*this, error ? error->description() : std::string("(null)"));
  }
}

// ---- messages --------------------------------------------------------------

void ORVSocketConnector::handleMessage(ORVMessagePtr message) {
  if (message->commandId() == ORVCommandIdPing) {
    pong();
    return;
  }
  if (message->commandId() == ORVCommandIdPong) {
    std::optional<Clock::time_point> sent;
    {
      std::lock_guard lock(mutex_);
      sent = std::exchange(pingSentAt_, std::nullopt);
    }
    if (sent) setLastPingRoundTrip(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *sent));
    return;
  }
  ORVConnector::handleMessage(std::move(message));
}

void ORVSocketConnector::writeData(std::shared_ptr<const std::vector<uint8_t>> data, uint32_t offset,
                                   uint32_t length) {
  countBytesSent(length);
  socket_->writeData(std::move(data), offset, length, kNoTimeout, kTag);
}

void ORVSocketConnector::ping() {
  {
    std::lock_guard lock(mutex_);
    pingSentAt_ = Clock::now();
  }
  write(ORVRequest::pingRequest());
}

void ORVSocketConnector::pong() { write(ORVRequest::pongRequest()); }

// ---- timers ----------------------------------------------------------------

std::unique_ptr<orv::DispatchTimer> ORVSocketConnector::makeTimer(void (ORVSocketConnector::*handler)()) {
  // The timer refers to the connector weakly: a pending fire never keeps a
  // destroyed connector alive nor calls into one.
  return std::make_unique<orv::DispatchTimer>(delegateQueue(), [weak = weakSelf(), handler] {
    if (auto self = weak.lock()) ((*self).*handler)();
  });
}

void ORVSocketConnector::startRetryTask() {
  const int32_t delay = reconnectionDelay();
  if (delay < 1) return;
  std::lock_guard lock(mutex_);
  if (!reconnectTimer_) reconnectTimer_ = makeTimer(&ORVSocketConnector::handleReconnectTimerFire);
  reconnectTimer_->armSeconds(delay);  // replaces a pending fire
}

void ORVSocketConnector::stopRetryTask() {
  std::unique_ptr<orv::DispatchTimer> timer;
  {
    std::lock_guard lock(mutex_);
    timer = std::move(reconnectTimer_);
  }
  // Cancelled outside the lock: cancellation waits for a running handler.
  if (timer) timer->cancel();
}

void ORVSocketConnector::handleReconnectTimerFire() {
  if (!isStarted() || isConnected()) return;
  std::shared_ptr<ORVReachability> reach;
  {
    std::lock_guard lock(mutex_);
    reach = reach_;
  }
  if (!reach || reach->isReachable()) {
    open();
  } else {
    handleIOError(std::nullopt);
  }
}

void ORVSocketConnector::startPingTask() {
  auto settings = client();
  const int32_t interval = settings ? settings->pingInterval() : 0;
  if (interval < 1) return;
  std::lock_guard lock(mutex_);
  if (!pingTimer_) {
    pingTimer_ = makeTimer(&ORVSocketConnector::handlePingTimerFire);
    pingTimer_->armSeconds(interval);
  } else if (!pingTimer_->isArmed()) {
    // A fire that came while the connection was down left the timer unarmed:
    // a re-established connection pings again.
    pingTimer_->armSeconds(interval);
  }
}

void ORVSocketConnector::stopPingTask() {
  std::unique_ptr<orv::DispatchTimer> timer;
  {
    std::lock_guard lock(mutex_);
    timer = std::move(pingTimer_);
  }
  if (timer) timer->cancel();
}

void ORVSocketConnector::handlePingTimerFire() {
  if (!isConnected() || !isStarted()) return;
  auto settings = client();
  // Read anew at each fire. An interval turned below 1 stops pinging: re-arming
  // at 0 seconds would fire without pause.
  const int32_t interval = settings ? settings->pingInterval() : 0;
  if (interval < 1) return;
  bool sendPing = false;
  {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    const auto last = lastWriteTime_ > lastReadTime_ ? lastWriteTime_ : lastReadTime_;
    const double remaining = interval - seconds(now - last);
    double next = remaining;
    if (remaining < 0) {
      next = interval;
      sendPing = true;
    }
    if (pingTimer_) pingTimer_->armSeconds(next);
  }
  if (sendPing) ping();
}

// ---- network monitoring ----------------------------------------------------

void ORVSocketConnector::startNetworkMonitoring() {
  std::shared_ptr<ORVReachability> reach;
  {
    std::lock_guard lock(mutex_);
    if (monitoring_) return;
    if (!reach_) {
      // The route that matters is the one to this server: a loopback or LAN
      // server is reachable without a default route, and a change of the
      // default route must not drop it.
      if (!serverAddress_.empty()) reach_ = ORVReachability::reachabilityWithAddress(serverAddress_);
      if (!reach_) reach_ = ORVReachability::reachabilityWithHostname(host().value_or(""));
      if (!reach_) reach_ = ORVReachability::reachabilityForInternetConnection();
      if (!reach_) return;
      auto weak = weakSelf();
      reach_->setReachableBlock([weak](ORVReachability&) {
        if (auto self = weak.lock()) self->handleNetworkReachable();
      });
      reach_->setUnreachableBlock([weak](ORVReachability&) {
        if (auto self = weak.lock()) self->handleNetworkUnreachable();
      });
    }
    monitoring_ = true;
    reach = reach_;
  }
  reach->startNotifier();
}

void ORVSocketConnector::stopNetworkMonitoring() {
  std::shared_ptr<ORVReachability> reach;
  {
    std::lock_guard lock(mutex_);
    if (!monitoring_) return;
    monitoring_ = false;
    reach = reach_;
  }
  if (reach) reach->stopNotifier();
}

void ORVSocketConnector::handleNetworkReachable() {}

void ORVSocketConnector::handleNetworkUnreachable() {
  if (isConnected()) socket_->disconnect();
}
