#pragma once
// The session settings a connector reads from its client at each decision:
// the ping interval, the compression threshold and the largest message size.
// An interface, so the transport does not depend on the client session.

#include <cstdint>

class ORVSessionSettings {
 public:
  virtual ~ORVSessionSettings() = default;
  virtual int32_t pingInterval() const = 0;
  virtual uint32_t compressionThreshold() const = 0;
  virtual uint32_t maxMessageSize() const = 0;
};
