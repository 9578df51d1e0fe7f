#include "store/Config.h"

#include <mutex>

#include "client/ORVClient.h"
#include "store/util/MyUtils.h"

namespace orv::store {
namespace {

// Screens touch these from the main thread; the lock keeps a stray reader on
// another thread (a test, a log line) from racing a writer.
struct State {
  std::mutex mutex;
  std::string msisdn;
  int32_t msisdnStatus = 0;
  std::string notify;
  bool isShowingDialog = false;
  bool isShowingDialogRegister = false;
  StoreDeployment deployment;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

std::shared_ptr<ORVClient> Config::sharedClient() {
  static std::once_flag once;
  // Never released, as the store's session is never replaced: destroying it
  // among the static destructors would tear the connector down after the
  // dispatch pool and the log it still uses are gone. The program closes the
  // session (disconnect) before it ends.
  static auto* client = new std::shared_ptr<ORVClient>;
  std::call_once(once, [] {
    MyUtils::log(MyUtils::kInfo, "CONFIG", "sharedClient");
    *client = ORVClient::client();
  });
  return *client;
}

std::string Config::getMsisdn() {
  std::lock_guard lock(state().mutex);
  return state().msisdn;
}
void Config::setMsisdn(std::string msisdn) {
  std::lock_guard lock(state().mutex);
  state().msisdn = std::move(msisdn);
}
int32_t Config::getMsisdnStatus() {
  std::lock_guard lock(state().mutex);
  return state().msisdnStatus;
}
void Config::setMsisdnStatus(int32_t status) {
  std::lock_guard lock(state().mutex);
  state().msisdnStatus = status;
}
std::string Config::getNotify() {
  std::lock_guard lock(state().mutex);
  return state().notify;
}
void Config::setNotify(std::string notify) {
  std::lock_guard lock(state().mutex);
  state().notify = std::move(notify);
}
bool Config::isShowingDialog() {
  std::lock_guard lock(state().mutex);
  return state().isShowingDialog;
}
void Config::setIsShowingDialog(bool showing) {
  std::lock_guard lock(state().mutex);
  state().isShowingDialog = showing;
}
bool Config::isShowingDialogRegister() {
  std::lock_guard lock(state().mutex);
  return state().isShowingDialogRegister;
}
void Config::setIsShowingDialogRegister(bool shown) {
  std::lock_guard lock(state().mutex);
  state().isShowingDialogRegister = shown;
}
StoreDeployment Config::deployment() {
  std::lock_guard lock(state().mutex);
  return state().deployment;
}
void Config::setDeployment(StoreDeployment deployment) {
  std::lock_guard lock(state().mutex);
  state().deployment = std::move(deployment);
}

void Config::resetSessionState() {
  std::lock_guard lock(state().mutex);
  state().msisdn.clear();
  state().msisdnStatus = 0;
  state().notify.clear();
  state().isShowingDialog = false;
  state().isShowingDialogRegister = false;
}

}  // namespace orv::store
