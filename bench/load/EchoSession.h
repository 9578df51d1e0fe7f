#pragma once
// One ORVClient driven without a thread of its own: connects, logs in, then
// keeps up to `window` "echo" requests in flight until a batch is answered.
// Every request carries the client index, a sequence number, a payload derived
// from both and an FNV-1a checksum of the payload; every answer is checked
// against the request it claims to answer, so a lost, duplicated, crossed or
// corrupted answer is counted, never taken for a good one.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "client/ORVClient.h"
#include "client/ORVEventHandler.h"
#include "client/ORVMessageHandler.h"

namespace orv::bench {

class EchoSession : public ORVMessageHandler,
                    public ORVEventHandler,
                    public std::enable_shared_from_this<EchoSession> {
 public:
  enum class State { kIdle, kConnecting, kLoggingIn, kReady, kEchoing, kFailed };
  struct Options {
    uint32_t index = 0;
    std::string zone;
    uint32_t window = 4;         // requests in flight
    uint32_t requests = 0;       // first batch, started on login (0: none)
    size_t payloadSize = 32;     // bytes per echo in the first batch
    uint32_t maxMessageSize = 0; // client limit set before connecting (0: default)
  };
  // Called (on a client thread) when the session fails or finishes a batch;
  // a session that finished a batch may still fail later.
  using Listener = std::function<void(EchoSession&)>;
  // Called after each good answer with the session's total good answers.
  using Progress = std::function<void(uint64_t answered)>;

  EchoSession(Options options, Listener listener);
  ~EchoSession() override;

  void start(const std::string& host, uint16_t port, int32_t connectTimeoutSeconds);
  // Starts a batch on a session that is ready (logged in, previous batch done).
  void runBatch(uint32_t requests, size_t payloadSize);
  void setProgress(Progress progress) { progress_ = std::move(progress); }
  // Waits until the session is ready (true) or failed / timed out (false).
  bool waitReady(std::chrono::milliseconds timeout);
  void stop();

  uint32_t index() const { return options_.index; }
  State state() const;
  std::string failure() const;
  uint64_t sent() const;
  uint64_t answered() const;    // good answers
  uint64_t mismatched() const;  // answers that matched no request or were corrupted

  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override;
  void handleEvent(const ORVEventPtr& event) override;

  static uint64_t checksum(const std::vector<uint8_t>& bytes);
  static std::vector<uint8_t> payloadFor(uint32_t index, uint32_t sequence, size_t size);

 private:
  // Builds the next requests under the lock; sent afterwards, outside it.
  std::vector<std::shared_ptr<const ORVMessage>> takeRequestsLocked();
  void sendAll(const std::vector<std::shared_ptr<const ORVMessage>>& requests);
  bool failLocked(std::string why);  // true when this call failed the session
  bool checkAnswerLocked(const ORVMessage& message, std::string& why);

  const Options options_;
  Listener listener_;
  Progress progress_;
  std::shared_ptr<ORVClient> client_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::kIdle;
  std::string failure_;
  uint32_t nextSequence_ = 0;
  uint32_t batchEnd_ = 0;  // sequence number one past the current batch
  size_t payloadSize_ = 0;
  std::unordered_set<uint32_t> inFlight_;
  uint64_t sent_ = 0;
  uint64_t answered_ = 0;
  uint64_t mismatched_ = 0;
};

}  // namespace orv::bench
