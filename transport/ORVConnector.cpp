#include "transport/ORVConnector.h"

#include "transport/ORVFrameWriter.h"

namespace {
// Used when the connector has no client: the library's own defaults.
constexpr uint32_t kDefaultCompressionThreshold = 1024;
constexpr uint32_t kDefaultMaxMessageSize = 4096;
}  // namespace

ORVConnector::ORVConnector(orv::DispatchQueuePtr delegateQueue, ORVCompressorPtr compressor)
    : delegateQueue_(std::move(delegateQueue)), compressor_(std::move(compressor)) {}

ORVConnector::~ORVConnector() = default;

void ORVConnector::attach() {
  // Aliasing pointer: shares the connector's ownership, points at its sink.
  std::shared_ptr<ORVIoHandlerDelegate> sink(shared_from_this(), &sink_);
  ioHandler_ = ORVIoHandler::ioHandlerWithConnector(sink, compressor_);
}

void ORVConnector::start() {
  {
    std::lock_guard lock(startMutex_);
    if (started_.load()) return;
    started_.store(true);
  }
  open();
}

void ORVConnector::stop() {
  {
    std::lock_guard lock(startMutex_);
    if (!started_.load()) return;
    started_.store(false);
  }
  close();
}

void ORVConnector::write(const ORVMessagePtr& message) {
  if (!message) return;
  auto settings = client();
  const uint32_t threshold = settings ? settings->compressionThreshold() : kDefaultCompressionThreshold;
  const uint32_t limit = settings ? settings->maxMessageSize() : kDefaultMaxMessageSize;
  auto frame = ORVFrameWriter::buildFrame(*message, threshold, limit, compressor_.get());
  if (!frame) return;
  auto buffer = std::make_shared<const std::vector<uint8_t>>(std::move(frame->buffer));
  writeData(std::move(buffer), frame->offset, frame->length);
}

void ORVConnector::writeData(std::shared_ptr<const std::vector<uint8_t>>, uint32_t, uint32_t) {}

bool ORVConnector::dataReceived(std::span<const uint8_t> chunk) {
  std::vector<ORVMessagePtr> decoded;
  bool ok;
  {
    std::lock_guard lock(ioMutex_);
    ok = ioHandler_->dataReceived(chunk);
    decoded.swap(sink_.decoded);
  }
  for (auto& message : decoded) handleMessage(std::move(message));
  return ok;
}

void ORVConnector::resetIoHandler() {
  std::lock_guard lock(ioMutex_);
  ioHandler_->reset();
  sink_.decoded.clear();
}

void ORVConnector::handleMessage(ORVMessagePtr message) {
  if (auto d = delegate()) d->connectorDidReceiveMessage(*this, message);
}

uint32_t ORVConnector::maxMessageSize() const {
  auto settings = client();
  return settings ? settings->maxMessageSize() : kDefaultMaxMessageSize;
}

std::shared_ptr<ORVConnectorDelegate> ORVConnector::delegate() const {
  std::lock_guard lock(propertiesMutex_);
  return delegate_.lock();
}

void ORVConnector::setDelegate(std::weak_ptr<ORVConnectorDelegate> delegate) {
  std::lock_guard lock(propertiesMutex_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<ORVSessionSettings> ORVConnector::client() const {
  std::lock_guard lock(propertiesMutex_);
  return client_.lock();
}

void ORVConnector::setClient(std::weak_ptr<ORVSessionSettings> client) {
  std::lock_guard lock(propertiesMutex_);
  client_ = std::move(client);
}

std::optional<std::string> ORVConnector::host() const {
  std::lock_guard lock(propertiesMutex_);
  return host_;
}

void ORVConnector::setHost(std::optional<std::string> host) {
  std::lock_guard lock(propertiesMutex_);
  host_ = std::move(host);
}

std::string ORVConnector::name() const {
  std::lock_guard lock(propertiesMutex_);
  if (!name_) name_ = host_.value_or("0.0.0.0") + ":" + std::to_string(port_.load());
  return *name_;
}

std::string ORVConnector::description() const { return std::to_string(type()) + "@" + name(); }

std::optional<std::chrono::microseconds> ORVConnector::lastPingRoundTrip() const {
  std::lock_guard lock(propertiesMutex_);
  return lastPingRoundTrip_;
}

void ORVConnector::setLastPingRoundTrip(std::chrono::microseconds rtt) {
  std::lock_guard lock(propertiesMutex_);
  lastPingRoundTrip_ = rtt;
}
