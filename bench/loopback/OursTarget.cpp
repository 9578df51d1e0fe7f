#include "bench/loopback/OursTarget.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "client/ORVClient.h"
#include "client/ORVEventHandler.h"
#include "client/ORVEventType.h"
#include "client/ORVMessageHandler.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::bench {
namespace {

constexpr std::chrono::seconds kAnswerTimeout{5};
constexpr const char* kEcho = "echo";

// Counts answers and connection events for one lane; the lane waits on it.
class LaneInbox : public ORVMessageHandler, public ORVEventHandler {
 public:
  // In the handler-driven form, called for each answer before it is
  // counted: sends the next request.
  // Set once before any request; `driving` turns it off when the lane goes.
  std::function<void()> onAnswer;
  std::atomic<bool> driving{false};
  HopReport* hops = nullptr;  // set before any request

  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override {
    if (driving.load() && !message->containsKey("ec")) {
      if (hops != nullptr) hops->answerArrived();
      onAnswer();
    }
    std::lock_guard lock(mutex_);
    if (message->containsKey("ec")) failed_ = true;
    answered_++;
    changed_.notify_all();
  }
  void handleEvent(const ORVEventPtr& event) override {
    std::lock_guard lock(mutex_);
    if (event->type() == ORVEventTypeConnection) {
      const bool* success = event->parameter<bool>("success");
      connected_ = success != nullptr && *success;
      failed_ = !connected_;
    } else if (event->type() == ORVEventTypeConnectionLost) {
      failed_ = true;
    }
    changed_.notify_all();
  }
  bool waitConnected() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kAnswerTimeout, [&] { return connected_ || failed_; });
    return connected_ && !failed_;
  }
  // Takes the next answer, waiting for it.
  bool takeAnswer() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, kAnswerTimeout, [&] { return answered_ > taken_ || failed_; })) return false;
    if (failed_) return false;
    taken_++;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t answered_ = 0;
  uint64_t taken_ = 0;
  bool connected_ = false;
  bool failed_ = false;
};

class OursLane : public Lane {
 public:
  OursLane(std::shared_ptr<ORVClient> client, std::shared_ptr<LaneInbox> inbox, std::size_t contentSize,
           bool handlerDriven)
      : client_(std::move(client)), inbox_(std::move(inbox)), payload_(contentSize, uint8_t{'p'}),
        handlerDriven_(handlerDriven) {
    if (handlerDriven_) {
      std::weak_ptr<ORVClient> weak = client_;
      inbox_->onAnswer = [weak, payload = payload_] {
        if (auto client = weak.lock()) send(*client, payload);
      };
      inbox_->driving = true;
    }
  }
  ~OursLane() override {
    inbox_->driving = false;
    client_->removeMessageHandlerForCommand(kEcho);
    client_->disconnect();
  }
  // Built anew for every request, as an application would. In the
  // handler-driven form only the requests that fill the window are sent from
  // here (the first call per slot); the handler sends the others.
  bool sendRequest() override {
    if (!handlerDriven_ || primed_ < window_) {
      send(*client_, payload_);
      ++primed_;
    }
    return client_->isConnected();
  }
  void prepare(int inFlight) override { window_ = inFlight; }
  static void send(ORVClient& client, const std::vector<uint8_t>& payload) {
    auto content = ORVDataObject::builder().putByteArray(payload, "b").build();
    client.sendRequest(ORVRequest::extensionRequestWithCommand(kEcho, content));
  }
  bool awaitAnswer() override { return inbox_->takeAnswer(); }

 private:
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<LaneInbox> inbox_;
  std::vector<uint8_t> payload_;
  bool handlerDriven_;
  int window_ = 1;
  int primed_ = 0;  // requests sent by the harness (only the first window's worth)
};

}  // namespace

OursTarget::OursTarget(const std::string& serverPath, std::size_t contentSize, bool handlerDriven,
                       HopReport* hops)
    : server_(serverPath, {}), contentSize_(contentSize), handlerDriven_(handlerDriven), hops_(hops) {}

std::unique_ptr<Lane> OursTarget::openLane(std::string& error) {
  if (!server_.ok()) {
    error = server_.error();
    return nullptr;
  }
  auto inbox = std::make_shared<LaneInbox>();
  inbox->hops = hops_;
  auto client = ORVClient::client();
  client->addEventHandler(inbox, ORVEventTypeConnection);
  client->addEventHandler(inbox, ORVEventTypeConnectionLost);
  client->addMessageHandler(inbox, kEcho);
  client->connect("127.0.0.1", server_.port(), 5);
  if (!inbox->waitConnected()) {
    error = "no successful handshake with orv-server";
    return nullptr;
  }
  return std::make_unique<OursLane>(std::move(client), std::move(inbox), contentSize_, handlerDriven_);
}

}  // namespace orv::bench
