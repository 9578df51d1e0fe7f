#include "bench/load/EchoSession.h"

#include "client/ORVEventType.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::bench {
namespace {

constexpr const char* kEcho = "echo";

}  // namespace

EchoSession::EchoSession(Options options, Listener listener)
    : options_(std::move(options)), listener_(std::move(listener)) {}

EchoSession::~EchoSession() { stop(); }

uint64_t EchoSession::checksum(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

// xorshift64 seeded by (index, sequence): every request's bytes differ, so an
// answer delivered to the wrong request or the wrong client cannot pass.
std::vector<uint8_t> EchoSession::payloadFor(uint32_t index, uint32_t sequence, size_t size) {
  uint64_t x = (uint64_t{index} << 32 | sequence) * 0x9E3779B97F4A7C15ull + 1;
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    out[i] = static_cast<uint8_t>(x);
  }
  return out;
}

void EchoSession::start(const std::string& host, uint16_t port, int32_t connectTimeoutSeconds) {
  auto self = shared_from_this();
  client_ = ORVClient::client();
  if (options_.maxMessageSize != 0) client_->setMaxMessageSize(options_.maxMessageSize);
  for (int32_t type : {ORVEventTypeConnection, ORVEventTypeConnectionLost, ORVEventTypeLogin,
                       ORVEventTypeLoginError}) {
    client_->addEventHandler(self, type);
  }
  client_->addMessageHandler(self, kEcho);
  {
    std::lock_guard lock(mutex_);
    state_ = State::kConnecting;
  }
  client_->connect(host, port, connectTimeoutSeconds);
}

void EchoSession::stop() {
  std::shared_ptr<ORVClient> client;
  {
    std::lock_guard lock(mutex_);
    client = std::move(client_);
  }
  if (!client) return;
  client->removeMessageHandlerForCommand(kEcho);
  client->disconnect();
}

void EchoSession::handleEvent(const ORVEventPtr& event) {
  std::shared_ptr<ORVClient> client;
  std::vector<std::shared_ptr<const ORVMessage>> requests;
  bool notify = false;
  {
    std::lock_guard lock(mutex_);
    client = client_;
    switch (event->type()) {
      case ORVEventTypeConnection: {
        const bool* success = event->parameter<bool>("success");
        if (success == nullptr || !*success) {
          notify = failLocked("connection failed");
        } else if (state_ == State::kConnecting) {
          state_ = State::kLoggingIn;
        }
        break;
      }
      case ORVEventTypeConnectionLost:
        if (state_ != State::kFailed && client_) {
          notify = failLocked("connection lost");
        }
        break;
      case ORVEventTypeLoginError:
        notify = failLocked("login refused");
        break;
      case ORVEventTypeLogin:
        if (state_ == State::kLoggingIn) {
          state_ = State::kReady;
          if (options_.requests > 0) {
            state_ = State::kEchoing;
            batchEnd_ = nextSequence_ + options_.requests;
            payloadSize_ = options_.payloadSize;
            requests = takeRequestsLocked();
          }
        }
        break;
      default:
        break;
    }
    changed_.notify_all();
  }
  if (event->type() == ORVEventTypeConnection && client && state() == State::kLoggingIn) {
    client->sendRequest(ORVRequest::loginRequestWithZone(
        options_.zone, "load" + std::to_string(options_.index), ""));
  }
  sendAll(requests);
  if (notify && listener_) listener_(*this);
}

void EchoSession::runBatch(uint32_t requests, size_t payloadSize) {
  std::vector<std::shared_ptr<const ORVMessage>> toSend;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::kReady) return;
    state_ = State::kEchoing;
    batchEnd_ = nextSequence_ + requests;
    payloadSize_ = payloadSize;
    toSend = takeRequestsLocked();
  }
  sendAll(toSend);
}

std::vector<std::shared_ptr<const ORVMessage>> EchoSession::takeRequestsLocked() {
  std::vector<std::shared_ptr<const ORVMessage>> out;
  while (state_ == State::kEchoing && inFlight_.size() < options_.window && nextSequence_ < batchEnd_) {
    const uint32_t seq = nextSequence_++;
    std::vector<uint8_t> payload = payloadFor(options_.index, seq, payloadSize_);
    const uint64_t sum = checksum(payload);
    auto content = ORVDataObject::builder()
                       .putInt32(static_cast<int32_t>(options_.index), "i")
                       .putInt32(static_cast<int32_t>(seq), "q")
                       .putInt64(static_cast<int64_t>(sum), "k")
                       .putByteArray(std::move(payload), "b")
                       .build();
    out.push_back(ORVRequest::extensionRequestWithCommand(kEcho, content));
    inFlight_.insert(seq);
    sent_++;
  }
  return out;
}

void EchoSession::sendAll(const std::vector<std::shared_ptr<const ORVMessage>>& requests) {
  if (requests.empty()) return;
  std::shared_ptr<ORVClient> client;
  {
    std::lock_guard lock(mutex_);
    client = client_;
  }
  if (!client) return;
  for (const auto& r : requests) client->sendRequest(r);
}

bool EchoSession::checkAnswerLocked(const ORVMessage& message, std::string& why) {
  if (message.containsKey("ec")) {
    why = "error answer";
    return false;
  }
  if (static_cast<uint32_t>(message.int32ForKey("i")) != options_.index) {
    why = "answer for another client";
    return false;
  }
  const auto seq = static_cast<uint32_t>(message.int32ForKey("q"));
  if (inFlight_.count(seq) == 0) {
    why = "answer to no request in flight (seq " + std::to_string(seq) + ")";
    return false;
  }
  const auto bytes = message.byteArrayForKey("b");
  if (!bytes || static_cast<uint64_t>(message.int64ForKey("k")) != checksum(*bytes) ||
      *bytes != payloadFor(options_.index, seq, bytes->size()) || bytes->size() != payloadSize_) {
    why = "corrupted answer (seq " + std::to_string(seq) + ")";
    inFlight_.erase(seq);  // answered, though badly: not counted as lost too
    return false;
  }
  inFlight_.erase(seq);
  return true;
}

void EchoSession::handleMessage(const std::shared_ptr<const ORVMessage>& message) {
  std::vector<std::shared_ptr<const ORVMessage>> requests;
  bool finished = false;
  uint64_t good = 0;
  {
    std::lock_guard lock(mutex_);
    std::string why;
    if (!checkAnswerLocked(*message, why)) {
      mismatched_++;
      if (failure_.empty()) failure_ = why;
    } else {
      good = ++answered_;
    }
  }
  // Before the batch can be seen as finished, so the last answer's reading
  // is taken before a waiter wakes.
  if (good != 0 && progress_) progress_(good);
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::kEchoing) {
      requests = takeRequestsLocked();
      if (inFlight_.empty() && nextSequence_ >= batchEnd_) {
        state_ = State::kReady;
        finished = true;
        changed_.notify_all();
      }
    }
  }
  sendAll(requests);
  if (finished && listener_) listener_(*this);
}

bool EchoSession::failLocked(std::string why) {
  if (state_ == State::kFailed) return false;
  state_ = State::kFailed;
  if (failure_.empty()) failure_ = std::move(why);
  return true;
}

bool EchoSession::waitReady(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return state_ == State::kReady || state_ == State::kFailed; });
  return state_ == State::kReady;
}

EchoSession::State EchoSession::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}
std::string EchoSession::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}
uint64_t EchoSession::sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}
uint64_t EchoSession::answered() const {
  std::lock_guard lock(mutex_);
  return answered_;
}
uint64_t EchoSession::mismatched() const {
  std::lock_guard lock(mutex_);
  return mismatched_;
}

}  // namespace orv::bench
