#pragma once
// What a frame decoder needs from its owner: the largest payload it may accept
// and somewhere to hand each decoded message. The client's connector and the
// reference server's sessions both implement it.

#include <cstdint>

#include "wire/ORVMessage.h"

class ORVIoHandlerDelegate {
 public:
  virtual ~ORVIoHandlerDelegate() = default;

  // Largest payload length accepted; a frame announcing more fails the chunk.
  virtual uint32_t maxMessageSize() const = 0;

  // Called once per decoded message, in stream order, synchronously inside
  // ORVIoHandler::dataReceived. It may call ORVIoHandler::reset, but must not
  // destroy the handler that calls it.
  virtual void handleMessage(ORVMessagePtr message) = 0;
};
