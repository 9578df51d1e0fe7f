#pragma once
// What application objects implement to receive session events.

#include "client/ORVEvent.h"

class ORVEventHandler {
 public:
  virtual ~ORVEventHandler() = default;
  virtual void handleEvent(const ORVEventPtr& event) = 0;
};
