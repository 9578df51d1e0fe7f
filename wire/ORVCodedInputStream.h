#pragma once
// Reads the primitive encodings of the wire from a memory range or, through a
// 4096-byte buffer, from an ORVInputByteStream. Every read returns false on
// failure and leaves its out-parameter untouched; the stream never logs.
//
// Memory mode borrows the caller's bytes: they must outlive the stream (the
// parse entry points create and drop the stream within one call).
//
// Positions are absolute stream offsets: totalBytesRetired_ + bufferPos_.
// currentLimit_ (pushLimit/popLimit) hides the buffered bytes past it in
// bufferSizeAfterLimit_, so the fast paths only ever compare against
// bufferSize_.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "wire/ORVDataElement.h"
#include "wire/ORVParsedInput.h"
#include "wire/ORVUtf8.h"

class ORVInputByteStream;

class ORVCodedInputStream {
 public:
  static constexpr int32_t kBufferSize = 4096;
  static constexpr int32_t kDefaultRecursionLimit = 64;
  // Most bytes read from a byte stream before reads fail; bounds what a
  // stream of unknown length can make us buffer.
  static constexpr int32_t kDefaultSizeLimit = 64 << 20;
  static constexpr int32_t kNoLimit = 0x7FFFFFFF;

  explicit ORVCodedInputStream(std::span<const uint8_t> data);
  // Memory mode over data[offset, offset + length); positions count from
  // offset. Throws std::out_of_range when the range is not inside data.
  ORVCodedInputStream(std::span<const uint8_t> data, size_t offset, size_t length);
  explicit ORVCodedInputStream(ORVInputByteStream& input);
  // Memory mode over a shared input buffer (all of it, or a range). Parsers
  // on such a stream make texts, byte arrays and keys that borrow from the
  // buffer, and every collection they build holds the buffer.
  explicit ORVCodedInputStream(ORVInputBufferPtr data);
  ORVCodedInputStream(ORVInputBufferPtr data, size_t offset, size_t length);
  // The stream borrows its bytes, so a temporary buffer would dangle.
  explicit ORVCodedInputStream(std::vector<uint8_t>&&) = delete;
  ORVCodedInputStream(std::vector<uint8_t>&&, size_t, size_t) = delete;
  ~ORVCodedInputStream();
  ORVCodedInputStream(const ORVCodedInputStream&) = delete;
  ORVCodedInputStream& operator=(const ORVCodedInputStream&) = delete;

  // The next byte as a signed 8-bit number, or 0 at the end of input.
  int32_t readTag() {
    if (bufferPos_ < bufferSize_) {
      lastTag_ = static_cast<int8_t>(buffer_[bufferPos_++]);
      return lastTag_;
    }
    return readTagSlow();
  }
  bool checkLastTagWas(int32_t value) const { return lastTag_ == value; }

  bool readBool(bool& value);
  // Int32 values below 2^21 (counts, ids, prices, download counts) are
  // decoded inline when three bytes are buffered.
  bool readInt32(int32_t& value) {
    if (bufferSize_ - bufferPos_ >= 3) {
      const uint8_t* p = buffer_ + bufferPos_;
      if (p[0] < 0x80) {
        value = p[0];
        bufferPos_ += 1;
        return true;
      }
      if (p[1] < 0x80) {
        value = static_cast<int32_t>((p[0] & 0x7Fu) | static_cast<uint32_t>(p[1]) << 7);
        bufferPos_ += 2;
        return true;
      }
      if (p[2] < 0x80) {
        value = static_cast<int32_t>((p[0] & 0x7Fu) | (p[1] & 0x7Fu) << 7 | static_cast<uint32_t>(p[2]) << 14);
        bufferPos_ += 3;
        return true;
      }
    }
    return readInt32Slow(value);
  }
  bool readInt64(int64_t& value);
  bool readFloat(float& value);
  // Inline when the eight bytes are buffered (the host is little-endian, as
  // the wire is; the slow path assembles the bytes portably).
  bool readDouble(double& value) {
    if constexpr (std::endian::native == std::endian::little) {
      if (bufferSize_ - bufferPos_ >= 8) {
        std::memcpy(&value, buffer_ + bufferPos_, 8);
        bufferPos_ += 8;
        return true;
      }
    }
    return readDoubleSlow(value);
  }
  // Fails on invalid UTF-8.
  bool readString(std::string& value);
  // Same as readString, without building a string: `view` points into the
  // stream's buffer, or into `scratch` when the text crosses a refill; it is
  // valid until the next read.
  // Fast path: a one-byte length and the whole text buffered.
  [[gnu::always_inline]] bool readStringView(std::string_view& view, std::string& scratch) {
    if (bufferPos_ < bufferSize_) {
      const uint32_t n = buffer_[bufferPos_];
      if (n < 0x80 && static_cast<int32_t>(n) < bufferSize_ - bufferPos_) {
        const uint8_t* p = buffer_ + bufferPos_ + 1;
        if (!ORVIsValidUtf8(p, n)) return false;
        view = std::string_view(reinterpret_cast<const char*>(p), n);
        bufferPos_ += static_cast<int32_t>(n) + 1;
        return true;
      }
    }
    return readStringViewSlow(view, scratch);
  }
  // Fast path for object keys (nearly all are short ASCII) and the type byte
  // after them: a key of at most seven bytes with eight bytes buffered after
  // its length byte, and so the type byte too. One load gives the key's
  // bytes, masked to its length in `bytes` (first byte lowest), and the
  // ASCII check is one test of that word; the type byte is read as readTag
  // does, under the same bounds check. False, having read nothing, when the
  // fast path does not apply (longer or non-ASCII key, end of buffer, other
  // byte order): read the key with readStringView, then the tag.
  bool readShortAsciiKeyAndTag(std::string_view& key, uint64_t& bytes, int32_t& tag) {
    if constexpr (std::endian::native == std::endian::little) {
      if (bufferSize_ - bufferPos_ >= 9) {
        const uint8_t* p = buffer_ + bufferPos_;
        const uint32_t n = p[0];
        if (n < 8) {
          uint64_t word;
          std::memcpy(&word, p + 1, 8);
          const uint64_t mask = (uint64_t{1} << (8 * n)) - 1;
          if ((word & mask & 0x8080808080808080ull) == 0) {
            key = std::string_view(reinterpret_cast<const char*>(p + 1), n);
            bytes = word & mask;
            tag = lastTag_ = static_cast<int8_t>(word >> (8 * n));
            bufferPos_ += static_cast<int32_t>(n) + 2;
            return true;
          }
        }
      }
    }
    return false;
  }
  // In memory mode the buffer is the caller's bytes and never refilled, so a
  // view from readStringView stays valid across later reads.
  bool viewsStayValid() const { return input_ == nullptr; }
  // True when views from readStringView / readDataView lie in the shared
  // buffer and may be borrowed by parsed values: a stream over a shared
  // buffer is in memory mode, where a view never falls back to the scratch
  // copy (a run past the end fails instead).
  bool viewsAreShared() const { return shared_ != nullptr; }
  // The shared buffer this stream reads, or null (caller's span, byte stream).
  const ORVInputBufferPtr& sharedBuffer() const { return shared_; }
  // The shared input whose arena this stream holds (see ORVParsedInput), or
  // null: the vectors of parsed collections are taken from it.
  const ORVParsedInput* arena() const { return arena_; }
  bool readData(std::vector<uint8_t>& value);
  // Same as readData without a copy, as readStringView does for texts.
  bool readDataView(std::span<const uint8_t>& view, std::vector<uint8_t>& scratch);
  // Nested values: fail without reading when the recursion limit is reached.
  bool readDataObject(ORVDataObjectPtr& value);
  bool readDataArray(ORVDataArrayPtr& value);

  bool readRawVarint32(uint32_t& value) {
    if (bufferPos_ < bufferSize_ && buffer_[bufferPos_] < 0x80) {
      value = buffer_[bufferPos_++];
      return true;
    }
    return readRawVarint32Slow(value);
  }
  bool readRawVarint64(uint64_t& value);
  bool readRawLittleEndian32(uint32_t& value);
  bool readRawLittleEndian64(uint64_t& value);
  bool readRawData(std::vector<uint8_t>& value, int32_t size);
  bool skipRawData(int32_t size);

  int32_t setRecursionLimit(int32_t limit);
  int32_t setSizeLimit(int32_t limit);
  void resetSizeCounter() { totalBytesRetired_ = 0; }
  // Limits reading to the next byteLimit bytes; returns the previous limit to
  // hand to popLimit. A limit past the current one (or negative) is ignored.
  int32_t pushLimit(int32_t byteLimit);
  void popLimit(int32_t oldLimit);
  // Bytes left before the current limit, or -1 without a limit.
  int32_t bytesUntilLimit() const;
  bool isAtEnd();
  bool refillBuffer();
  // Upper bound on the bytes this stream can still deliver (memory mode: what
  // is left before the end or the limit; byte-stream mode: the size limit).
  // Parsers use it to cap how much they reserve for an announced count.
  int64_t maxBytesAvailable() const;

 private:
  int32_t readTagSlow();
  bool readInt32Slow(int32_t& value);
  bool readDoubleSlow(double& value);
  bool readStringViewSlow(std::string_view& view, std::string& scratch);
  bool readRawVarint32Slow(uint32_t& value);
  bool readRawVarint64Slow(uint64_t& value);
  // Reads n bytes into dst (n > buffered bytes); the slow path of readRawData.
  template <typename Bytes>
  bool readRawInto(Bytes& out, int32_t n);
  bool readFixed(uint8_t* dst, int32_t n);
  int32_t buffered() const { return bufferSize_ > bufferPos_ ? bufferSize_ - bufferPos_ : 0; }
  void recomputeBufferSizeAfterLimit();
  bool passesLimit(int64_t n) const;

  const uint8_t* buffer_ = nullptr;
  int32_t bufferSize_ = 0;
  int32_t bufferSizeAfterLimit_ = 0;
  int32_t bufferPos_ = 0;
  ORVInputByteStream* input_ = nullptr;
  int32_t lastTag_ = 0;
  int32_t totalBytesRetired_ = 0;
  int32_t currentLimit_ = kNoLimit;
  int32_t recursionDepth_ = 0;
  int32_t recursionLimit_ = kDefaultRecursionLimit;
  int32_t sizeLimit_ = kDefaultSizeLimit;
  bool sizeLimitHit_ = false;  // once past the size limit, no more refills
  std::unique_ptr<uint8_t[]> ownBuffer_;  // byte-stream mode only
  ORVInputBufferPtr shared_;              // memory mode over a shared buffer only
  const ORVParsedInput* arena_ = nullptr; // shared_, when its arena was free
};
