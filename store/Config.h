#pragma once
// The store's process-wide state: the one shared ORVClient (created once, by
// whichever thread asks first, with the log line "sharedClient"), the
// signed-in number ("" = guest), the subscription status (1 subscribed,
// 98 renewal due, 99 not registered, 0 unknown), the status text and the two
// once-only dialog flags, and where the servers are. Fields are guarded by a
// mutex; screens use them from the main thread.

#include <cstdint>
#include <memory>
#include <string>

#include "store/StoreDeployment.h"

class ORVClient;

namespace orv::store {

class Config {
 public:
  Config() = delete;

  static std::shared_ptr<ORVClient> sharedClient();

  static std::string getMsisdn();
  static void setMsisdn(std::string msisdn);
  static int32_t getMsisdnStatus();
  static void setMsisdnStatus(int32_t status);
  static std::string getNotify();
  static void setNotify(std::string notify);
  static bool isShowingDialog();
  static void setIsShowingDialog(bool showing);
  static bool isShowingDialogRegister();
  static void setIsShowingDialogRegister(bool shown);

  static StoreDeployment deployment();
  static void setDeployment(StoreDeployment deployment);

  static constexpr const char* kZone = "kivmar";

  // Back to the start-of-process values (the shared client is kept: it is
  // never replaced). For tests that run several sign-ins in one process.
  static void resetSessionState();
};

}  // namespace orv::store
