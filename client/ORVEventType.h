#pragma once
// Types of the session events posted to application event handlers.

#include <cstdint>

enum ORVEventType : int32_t {
  ORVEventTypeConnection = 0,
  ORVEventTypeConnectionLost = 1,
  ORVEventTypeConnectionRetry = 2,
  ORVEventTypeConnectionResume = 3,
  ORVEventTypeLogin = 5,
  ORVEventTypeLoginError = 6,
  ORVEventTypeLogout = 7,
};
