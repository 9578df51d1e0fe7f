#pragma once
// Builds the frame of one outgoing message: a header byte (0x20 when the
// payload is compressed, else 0x00), the payload length as a base-128 varint
// of 1 to 5 bytes, then the payload (the message's data array, or its snappy
// compression).
//
// The payload is written at offset 6 of one buffer; once its length is known
// the header and prefix go right in front of it, so the frame is contiguous
// and goes out in exactly one write without moving the payload.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "transport/ORVCompressor.h"
#include "wire/ORVMessage.h"

// Header bit of a compressed payload; receivers look at this bit only.
inline constexpr uint8_t ORVFrameFlagCompressed = 0x20;

// A built frame: bytes [offset, offset + length) of buffer.
struct ORVFrame {
  std::vector<uint8_t> buffer;
  uint32_t offset = 0;
  uint32_t length = 0;
  std::span<const uint8_t> bytes() const { return {buffer.data() + offset, length}; }
};

class ORVFrameWriter {
 public:
  // Room in front of the payload for the header byte and a 5-byte prefix.
  static constexpr uint32_t kHeadRoom = 6;

  // The frame of `message`, or nothing when the message is dropped.
  // Compressed when its serialized size is over compressionThreshold (equal
  // is sent plain) and the message allows it; a compressor failure logs
  // "Failed to compress message" and falls back to the plain form (so does a
  // null compressor, silently). A payload over maxMessageSize logs "Message
  // size limit exceeded: %d" and drops the message (equal is sent).
  static std::optional<ORVFrame> buildFrame(const ORVMessage& message,
                                            uint32_t compressionThreshold,
                                            uint32_t maxMessageSize,
                                            const ORVCompressor* compressor);

  // Bytes of the varint prefix for a payload length: 1 below 2^7, 2 below
  // 2^14, 3 below 2^21, 4 below 2^28, else 5.
  static uint32_t prefixLength(uint32_t length);
};
