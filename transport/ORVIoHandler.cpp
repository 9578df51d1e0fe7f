#include "transport/ORVIoHandler.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/HopTrace.h"
#include "platform/Log.h"
#include "transport/ORVFrameWriter.h"

namespace {
constexpr const char* kDataReceived = "ORVIoHandler::dataReceived";
constexpr const char* kDecodeMessage = "ORVIoHandler::decodeMessage";
}  // namespace

ORVIoHandler::ORVIoHandler(std::weak_ptr<ORVIoHandlerDelegate> connector,
                           ORVCompressorPtr compressor)
    : connector_(std::move(connector)), compressor_(std::move(compressor)) {}

std::unique_ptr<ORVIoHandler> ORVIoHandler::ioHandlerWithConnector(
    std::weak_ptr<ORVIoHandlerDelegate> connector, ORVCompressorPtr compressor) {
  return std::make_unique<ORVIoHandler>(std::move(connector), std::move(compressor));
}

void ORVIoHandler::reset() {
  error_ = ORVIoError::None;
  clearFrame();
}

void ORVIoHandler::clearFrame() {
  state_ = ORVIoStateHeader;
  size_ = 0;
  sizeBytesRead_ = 0;
  dataBytesRead_ = 0;
  std::vector<uint8_t>().swap(dataBuffer_);  // release, not just clear
}

// Base-128, least significant group first. The fifth byte may carry only
// bits 28 to 31: a continuation bit there, or bits that would not fit 32
// bits, make the prefix malformed rather than silently truncated.
ORVIoHandler::VarintResult ORVIoHandler::readVarint(const uint8_t* bytes, size_t available,
                                                    uint32_t& value, size_t& used) {
  uint32_t result = 0;
  for (size_t i = 0; i < kMaxPrefixLength; ++i) {
    if (i == available) return VarintResult::kIncomplete;
    const uint8_t b = bytes[i];
    if (i == kMaxPrefixLength - 1) {
      if (b & 0xF0) return VarintResult::kMalformed;
      value = result | (uint32_t{b} << 28);
      used = kMaxPrefixLength;
      return VarintResult::kComplete;
    }
    result |= uint32_t{b & 0x7Fu} << (7 * i);
    if ((b & 0x80) == 0) {
      value = result;
      used = i + 1;
      return VarintResult::kComplete;
    }
  }
  return VarintResult::kMalformed;  // not reached
}

bool ORVIoHandler::sizeRead(ORVIoHandlerDelegate& delegate, uint32_t size) {
  size_ = size;
  state_ = ORVIoStatePayload;
  if (size > delegate.maxMessageSize()) {
    orv::log(kDataReceived, "Received message size limit exceeded: " + std::to_string(size));
    return fail(ORVIoError::TooLarge);
  }
  return true;
}

bool ORVIoHandler::decodeMessage(ORVMessagePtr& out, std::span<const uint8_t> data,
                                 size_t offset) {
  return decode(out, data, offset) == ORVIoError::None;
}

ORVIoError ORVIoHandler::decode(ORVMessagePtr& out, std::span<const uint8_t> data, size_t offset) {
  if (offset > data.size() || size_ > data.size() - offset) return ORVIoError::MalformedMessage;
  if ((static_cast<uint8_t>(header_) & ORVFrameFlagCompressed) == 0) {
    return ORVMessage::parseMessage(out, data, static_cast<uint32_t>(offset), size_) ? ORVIoError::None
                                                                                      : ORVIoError::MalformedMessage;
  }
  std::vector<uint8_t> plain;
  uint32_t plainLength = 0;
  if (!compressor_ ||
      !compressor_->uncompress(data, static_cast<uint32_t>(offset), size_, &plain, 0,
                               plainLength)) {
    orv::log(kDecodeMessage, "Failed to uncompress message");
    return ORVIoError::Uncompress;
  }
  return ORVMessage::parseMessage(out, plain, 0, plainLength) ? ORVIoError::None : ORVIoError::MalformedMessage;
}

// Decodes the complete payload at data[offset] (which may be dataBuffer_:
// decoding is done before reset releases it), then resets and hands the
// message over, so a delegate that resets us changes nothing.
bool ORVIoHandler::deliver(ORVIoHandlerDelegate& delegate, std::span<const uint8_t> data,
                           size_t offset) {
  ORVMessagePtr message;
  if (const ORVIoError error = decode(message, data, offset); error != ORVIoError::None) return fail(error);
  orv::HopTrace::mark(orv::HopPoint::MessageDecoded);
  clearFrame();
  delegate.handleMessage(std::move(message));
  return true;
}

bool ORVIoHandler::dataReceived(std::span<const uint8_t> chunk) {
  if (error_ != ORVIoError::None) return false;
  if (chunk.empty()) return true;
  const std::shared_ptr<ORVIoHandlerDelegate> delegate = connector_.lock();
  if (!delegate) return fail(ORVIoError::NoDelegate);

  const uint8_t* bytes = chunk.data();
  const size_t end = chunk.size();
  size_t p = 0;
  // An empty payload is complete as soon as its prefix is, even at the end of
  // the chunk; it never parses, so it fails here instead of a chunk later.
  while (p < end || (state_ == ORVIoStatePayload && size_ == 0)) {
    switch (state_) {
      case ORVIoStateHeader:
        header_ = static_cast<int8_t>(bytes[p++]);
        state_ = ORVIoStateSize;
        break;

      case ORVIoStateSize: {
        uint32_t value = 0;
        size_t used = 0;
        VarintResult result;
        if (sizeBytesRead_ == 0) {
          // Fast path: a one-byte prefix, one comparison.
          if (bytes[p] < 0x80) {
            value = bytes[p];
            used = 1;
            result = VarintResult::kComplete;
          } else {
            result = readVarint(bytes + p, end - p, value, used);
          }
          if (result == VarintResult::kIncomplete) {
            sizeBytesRead_ = static_cast<uint32_t>(end - p);
            std::memcpy(sizeBuffer_.data(), bytes + p, end - p);
            p = end;
            break;
          }
          p += used;
        } else {
          // Slow path: the prefix started in an earlier chunk.
          bool open = true;
          while (p < end && sizeBytesRead_ < kMaxPrefixLength && open) {
            const uint8_t b = bytes[p++];
            sizeBuffer_[sizeBytesRead_++] = b;
            open = (b & 0x80) != 0;
          }
          if (open && sizeBytesRead_ < kMaxPrefixLength) break;  // wait for more
          result = readVarint(sizeBuffer_.data(), sizeBytesRead_, value, used);
        }
        if (result == VarintResult::kMalformed) {
          orv::log(kDataReceived, "Malformed Varint");
          return fail(ORVIoError::MalformedPrefix);
        }
        if (!sizeRead(*delegate, value)) return false;
        break;
      }

      case ORVIoStatePayload: {
        const size_t remaining = end - p;
        if (dataBytesRead_ == 0 && size_ <= remaining) {
          const uint32_t consumed = size_;
          if (!deliver(*delegate, chunk, p)) return false;
          p += consumed;
          break;
        }
        if (dataBytesRead_ == 0) dataBuffer_.resize(size_);
        const size_t take = std::min<size_t>(size_ - dataBytesRead_, remaining);
        std::memcpy(dataBuffer_.data() + dataBytesRead_, bytes + p, take);
        dataBytesRead_ += static_cast<uint32_t>(take);
        p += take;
        if (dataBytesRead_ == size_ && !deliver(*delegate, dataBuffer_, 0)) return false;
        break;
      }
    }
  }
  return true;
}
