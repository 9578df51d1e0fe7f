// The smallest orv program.
//
//   hello                 builds a request, encodes it and reads it back
//   hello HOST PORT       connects, logs into the zone "kivmar", prints the user
//
// Exits 0 on success, 1 when the server cannot be reached or refuses.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "client/ORVClient.h"
#include "client/ORVEventHandler.h"
#include "client/ORVEventType.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace {

// Waits for the first event of each kind the program cares about.
class Waiter : public ORVEventHandler {
 public:
  void handleEvent(const ORVEventPtr& event) override {
    std::lock_guard lock(mutex_);
    last_ = event;
    changed_.notify_all();
  }
  ORVEventPtr waitFor(int32_t type, std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return last_ && last_->type() == type; });
    return last_ && last_->type() == type ? last_ : nullptr;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  ORVEventPtr last_;
};

int offline() {
  auto content = ORVDataObject::builder().putString("android", "pf").putInt32(10, "ps").putInt32(0, "pi").build();
  auto request = ORVRequest::extensionRequestWithCommand("hm", content);
  const std::vector<uint8_t> bytes = request->dataArray()->data();  // the frame's payload
  ORVMessagePtr back;
  if (!ORVMessage::parseMessage(back, bytes, 0, static_cast<uint32_t>(bytes.size()))) return 1;
  std::printf("%s\n", back->description().c_str());
  return back->command() == "hm" && back->int32ForKey("ps") == 10 ? 0 : 1;
}

int online(const std::string& host, int port) {
  auto client = ORVClient::client();
  auto waiter = std::make_shared<Waiter>();
  for (int32_t type : {ORVEventTypeConnection, ORVEventTypeLogin, ORVEventTypeLoginError}) {
    client->addEventHandler(waiter, type);
  }
  client->connect(host, port, 5);
  ORVEventPtr connected = waiter->waitFor(ORVEventTypeConnection, std::chrono::seconds(10));
  if (!connected || !*connected->parameter<bool>("success")) {
    std::printf("no connection to %s:%d\n", host.c_str(), port);
    return 1;
  }
  client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "hello", ""));
  if (!waiter->waitFor(ORVEventTypeLogin, std::chrono::seconds(10))) {
    std::printf("login refused\n");
    return 1;
  }
  std::printf("logged in as %s (%d) in zone %s\n", client->currentUser()->name().c_str(), client->currentUser()->userId(),
              client->currentZone().value_or("").c_str());
  client->disconnect();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) return online(argv[1], std::stoi(argv[2]));
  return offline();
}
