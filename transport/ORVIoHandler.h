#pragma once
// Cuts an incoming byte stream, delivered in chunks of any size, back into
// frames and hands each decoded message to its delegate. Never touches a
// socket: the connector (or a server session) feeds it the bytes it read.
//
//   Header --header byte--> Size --varint complete--> Payload --message--> Header
//
// A payload lying wholly inside one chunk is parsed in place; only a frame
// split across chunks is copied, into one buffer of exactly its length.
//
// Threads: dataReceived and reset run on one thread (or serial queue) at a
// time, the one that reads the connection; the handler takes no lock.
//
// Lifetime: the delegate usually owns the handler, so the handler holds it
// weakly; each chunk locks it once for the whole call. A chunk arriving after
// the delegate is gone fails without effect.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "transport/ORVCompressor.h"
#include "transport/ORVIoHandlerDelegate.h"
#include "wire/ORVMessage.h"

// Why the decoder stopped; kept until `reset`.
enum class ORVIoError : int32_t {
  None = 0,
  TooLarge = 1,          // a frame's announced size is above the session's limit
  MalformedPrefix = 2,   // the length prefix does not fit 32 bits
  MalformedMessage = 3,  // the payload (after uncompressing) is not a message
  Uncompress = 4,        // a compressed payload does not uncompress
  NoDelegate = 5,        // bytes arrived after the delegate was gone
};

enum ORVIoState : int32_t {
  ORVIoStateHeader = 0,
  ORVIoStateSize = 1,
  ORVIoStatePayload = 2,
};

class ORVIoHandler {
 public:
  // Longest length prefix: 5 bytes carry 32 bits.
  static constexpr uint32_t kMaxPrefixLength = 5;

  ORVIoHandler(std::weak_ptr<ORVIoHandlerDelegate> connector, ORVCompressorPtr compressor);
  static std::unique_ptr<ORVIoHandler> ioHandlerWithConnector(
      std::weak_ptr<ORVIoHandlerDelegate> connector, ORVCompressorPtr compressor);

  // Consumes the whole chunk. True when every byte was consumed without error
  // (an incomplete trailing frame stays buffered for the next chunk); false
  // at the first error, after logging it, with the bytes after it unread.
  // Messages of earlier frames have been delivered by then. The error is
  // sticky: every later chunk is refused unread (nothing after a bad frame
  // can be trusted to start at a frame boundary) until `reset`, which the
  // owner calls when it opens the next connection.
  bool dataReceived(std::span<const uint8_t> chunk);

  // Back to the start of a frame, dropping anything buffered and any error.
  void reset();

  // The error that stopped the decoder, or None.
  ORVIoError error() const { return error_; }

  // Turns one complete payload (size() bytes of `data` at `offset`) into a
  // message, uncompressing it first when the frame's header says so.
  bool decodeMessage(ORVMessagePtr& out, std::span<const uint8_t> data, size_t offset);

  ORVIoState state() const { return state_; }
  int8_t header() const { return header_; }
  uint32_t size() const { return size_; }
  uint32_t sizeBytesRead() const { return sizeBytesRead_; }
  uint32_t dataBytesRead() const { return dataBytesRead_; }
  const std::weak_ptr<ORVIoHandlerDelegate>& connector() const { return connector_; }
  const ORVCompressorPtr& compressor() const { return compressor_; }

 private:
  enum class VarintResult { kComplete, kIncomplete, kMalformed };
  static VarintResult readVarint(const uint8_t* bytes, size_t available, uint32_t& value,
                                 size_t& used);
  bool sizeRead(ORVIoHandlerDelegate& delegate, uint32_t size);
  bool deliver(ORVIoHandlerDelegate& delegate, std::span<const uint8_t> data, size_t offset);
  ORVIoError decode(ORVMessagePtr& out, std::span<const uint8_t> data, size_t offset);
  bool fail(ORVIoError error) {
    error_ = error;
    return false;
  }
  void clearFrame();

  ORVIoState state_ = ORVIoStateHeader;
  ORVIoError error_ = ORVIoError::None;
  int8_t header_ = 0;
  uint32_t size_ = 0;
  std::array<uint8_t, kMaxPrefixLength> sizeBuffer_{};
  uint32_t sizeBytesRead_ = 0;
  std::vector<uint8_t> dataBuffer_;
  uint32_t dataBytesRead_ = 0;
  std::weak_ptr<ORVIoHandlerDelegate> connector_;
  ORVCompressorPtr compressor_;
};
