#include "bench/loopback/OursTarget.h"

#include <atomic>
#include <condition_variable>
#include <deque>
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

using Clock = std::chrono::steady_clock;

// Takes the answers and connection events of one lane. In the blocking form
// it counts answers for the lane's thread to wait on; in the handler-driven
// form each answer's handler sends the next request and the round trips are
// kept here, with no other thread woken until the lane stops.
class LaneInbox : public ORVMessageHandler, public ORVEventHandler {
 public:
  // Handler-driven form: sends one request. Set before any request.
  std::function<void()> sendNext;
  HopReport* hops = nullptr;  // set before any request

  void handleMessage(const std::shared_ptr<const ORVMessage>& message) override {
    const bool failed = message->containsKey("ec");
    if (!sendNext) {
      std::lock_guard lock(mutex_);
      failed_ = failed_ || failed;
      answered_++;
      changed_.notify_all();
      return;
    }
    const Clock::time_point now = Clock::now();
    if (hops != nullptr && !failed) hops->answerArrived();
    bool again = false;
    {
      std::lock_guard lock(mutex_);
      if (failed) failed_ = true;
      if (!due_.empty()) {
        rounds_.push_back({due_.front(), now});
        due_.pop_front();
      }
      again = driving_ && !failed_;
      if (again) due_.push_back(Clock::now());
      if (!again && due_.empty()) changed_.notify_all();  // the lane is stopping
    }
    if (again) sendNext();
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
  // Blocking form: takes the next answer, waiting for it.
  bool takeAnswer() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, kAnswerTimeout, [&] { return answered_ > taken_ || failed_; })) return false;
    if (failed_) return false;
    taken_++;
    return true;
  }
  // Handler-driven form: notes one request sent by the lane itself.
  void primeOne() {
    std::lock_guard lock(mutex_);
    driving_ = true;
    due_.push_back(Clock::now());
  }
  // Handler-driven form: no more requests; waits for those still due.
  bool stop(std::vector<Lane::Round>& rounds) {
    std::unique_lock lock(mutex_);
    driving_ = false;
    const bool drained = changed_.wait_for(lock, kAnswerTimeout, [&] { return due_.empty() || failed_; });
    rounds.swap(rounds_);
    return drained && !failed_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t answered_ = 0;
  uint64_t taken_ = 0;
  bool connected_ = false;
  bool failed_ = false;
  bool driving_ = false;
  std::deque<Clock::time_point> due_;  // send times of the requests not answered yet
  std::vector<Lane::Round> rounds_;
};

class OursLane : public Lane {
 public:
  OursLane(std::shared_ptr<ORVClient> client, std::shared_ptr<LaneInbox> inbox, std::size_t contentSize,
           bool handlerDriven)
      : client_(std::move(client)), inbox_(std::move(inbox)), payload_(contentSize, uint8_t{'p'}),
        handlerDriven_(handlerDriven) {
    if (handlerDriven_) {
      std::weak_ptr<ORVClient> weak = client_;
      inbox_->sendNext = [weak, payload = payload_] {
        if (auto client = weak.lock()) send(*client, payload);
      };
    }
  }
  ~OursLane() override {
    client_->removeMessageHandlerForCommand(kEcho);
    client_->disconnect();
  }
  // Built anew for every request, as an application would.
  bool sendRequest() override {
    send(*client_, payload_);
    return client_->isConnected();
  }
  bool awaitAnswer() override { return inbox_->takeAnswer(); }
  void prepare(int inFlight) override { window_ = inFlight; }

  bool drivesItself() const override { return handlerDriven_; }
  bool startDriving() override {
    for (int i = 0; i < window_; ++i) {
      inbox_->primeOne();
      send(*client_, payload_);
    }
    return client_->isConnected();
  }
  bool stopDriving(std::vector<Round>& rounds) override { return inbox_->stop(rounds); }

  static void send(ORVClient& client, const std::vector<uint8_t>& payload) {
    auto content = ORVDataObject::builder().putByteArray(payload, "b").build();
    client.sendRequest(ORVRequest::extensionRequestWithCommand(kEcho, content));
  }

 private:
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<LaneInbox> inbox_;
  std::vector<uint8_t> payload_;
  bool handlerDriven_;
  int window_ = 1;
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
