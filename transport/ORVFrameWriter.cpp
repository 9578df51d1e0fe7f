#include "transport/ORVFrameWriter.h"

#include <string>

#include "platform/Log.h"

namespace {

constexpr const char* kOperation = "ORVFrameWriter::buildFrame";

bool withinLimit(uint32_t length, uint32_t maxMessageSize) {
  if (length <= maxMessageSize) return true;
  orv::log(kOperation, "Message size limit exceeded: " + std::to_string(length));
  return false;
}

}  // namespace

uint32_t ORVFrameWriter::prefixLength(uint32_t length) {
  if (length < (1u << 7)) return 1;
  if (length < (1u << 14)) return 2;
  if (length < (1u << 21)) return 3;
  if (length < (1u << 28)) return 4;
  return 5;
}

std::optional<ORVFrame> ORVFrameWriter::buildFrame(const ORVMessage& message,
                                                   uint32_t compressionThreshold,
                                                   uint32_t maxMessageSize,
                                                   const ORVCompressor* compressor) {
  const ORVDataArrayPtr array = message.dataArray();
  const uint32_t serializedSize = array->serializedSize();
  ORVFrame frame;
  uint32_t payloadLength = 0;
  uint8_t header = 0x00;

  bool compressed = false;
  if (serializedSize > compressionThreshold && message.isCompressionEnabled() && compressor) {
    const std::vector<uint8_t> plain = array->data();
    uint32_t produced = 0;
    if (compressor->compress(plain, 0, static_cast<uint32_t>(plain.size()), &frame.buffer,
                             kHeadRoom, produced)) {
      compressed = true;
      payloadLength = produced;
      frame.buffer.resize(kHeadRoom + produced);  // drop the compressor's spare room
      header = ORVFrameFlagCompressed;
    } else {
      orv::log(kOperation, "Failed to compress message");
    }
  }
  if (!compressed) {
    // Checked before serializing: an oversized message costs no buffer.
    if (!withinLimit(serializedSize, maxMessageSize)) return std::nullopt;
    frame.buffer.clear();
    if (!array->writeToData(frame.buffer, kHeadRoom)) return std::nullopt;
    payloadLength = serializedSize;
  } else if (!withinLimit(payloadLength, maxMessageSize)) {
    return std::nullopt;
  }

  const uint32_t n = prefixLength(payloadLength);
  uint8_t* head = frame.buffer.data();
  head[kHeadRoom - 1 - n] = header;
  uint32_t value = payloadLength;
  for (uint32_t i = kHeadRoom - n; i < kHeadRoom; ++i) {
    const bool more = i + 1 < kHeadRoom;
    head[i] = static_cast<uint8_t>((value & 0x7F) | (more ? 0x80 : 0x00));
    value >>= 7;
  }
  frame.offset = kHeadRoom - 1 - n;
  frame.length = 1 + n + payloadLength;
  return frame;
}
