#include "wire/ORVCodedInputStream.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVInputByteStream.h"
#include "wire/ORVUtf8.h"

namespace {
// Memory ranges beyond what an int32 position can address are cut there; no
// message comes near it (frames are far smaller).
int32_t clampLength(size_t length) {
  return static_cast<int32_t>(std::min<size_t>(length, ORVCodedInputStream::kNoLimit - 1));
}
}  // namespace

ORVCodedInputStream::ORVCodedInputStream(std::span<const uint8_t> data)
    : buffer_(data.data()), bufferSize_(clampLength(data.size())) {}

ORVCodedInputStream::ORVCodedInputStream(std::span<const uint8_t> data, size_t offset, size_t length) {
  if (offset > data.size() || length > data.size() - offset) {
    throw std::out_of_range("ORVCodedInputStream: range outside the data");
  }
  buffer_ = data.data() + offset;
  bufferSize_ = clampLength(length);
}

ORVCodedInputStream::ORVCodedInputStream(ORVInputBufferPtr data)
    : ORVCodedInputStream(data ? data->bytes() : std::span<const uint8_t>()) {
  shared_ = std::move(data);
  if (shared_ && shared_->claimArena()) arena_ = shared_.get();
}

ORVCodedInputStream::ORVCodedInputStream(ORVInputBufferPtr data, size_t offset, size_t length)
    : ORVCodedInputStream(data ? data->bytes() : std::span<const uint8_t>(), offset, length) {
  shared_ = std::move(data);
  if (shared_ && shared_->claimArena()) arena_ = shared_.get();
}

ORVCodedInputStream::~ORVCodedInputStream() {
  if (arena_ != nullptr) arena_->releaseArena();
}

ORVCodedInputStream::ORVCodedInputStream(ORVInputByteStream& input)
    : input_(&input), ownBuffer_(std::make_unique<uint8_t[]>(kBufferSize)) {
  buffer_ = ownBuffer_.get();
}

// ---- buffer and limits ----------------------------------------------------

bool ORVCodedInputStream::refillBuffer() {
  if (bufferPos_ < bufferSize_) return false;
  if (static_cast<int64_t>(totalBytesRetired_) + bufferSize_ == currentLimit_) return false;
  if (input_ == nullptr || sizeLimitHit_) return false;
  totalBytesRetired_ += bufferSize_;
  bufferPos_ = 0;
  bufferSize_ = 0;
  long n = input_->read(ownBuffer_.get(), kBufferSize);
  if (n < 1) return false;
  bufferSize_ = static_cast<int32_t>(n);
  recomputeBufferSizeAfterLimit();
  int64_t total = static_cast<int64_t>(totalBytesRetired_) + bufferSize_ + bufferSizeAfterLimit_;
  if (total > sizeLimit_) {
    // Past the size limit the stream is finished: the bytes are dropped so
    // later reads cannot go on consuming an unbounded input piece by piece.
    sizeLimitHit_ = true;
    bufferSize_ = 0;
    bufferSizeAfterLimit_ = 0;
    return false;
  }
  return true;
}

void ORVCodedInputStream::recomputeBufferSizeAfterLimit() {
  bufferSize_ += bufferSizeAfterLimit_;
  int64_t bufferEnd = static_cast<int64_t>(totalBytesRetired_) + bufferSize_;
  if (bufferEnd > currentLimit_) {
    bufferSizeAfterLimit_ = static_cast<int32_t>(bufferEnd - currentLimit_);
    bufferSize_ -= bufferSizeAfterLimit_;
  } else {
    bufferSizeAfterLimit_ = 0;
  }
}

int32_t ORVCodedInputStream::pushLimit(int32_t byteLimit) {
  int32_t oldLimit = currentLimit_;
  if (byteLimit < 0) return oldLimit;
  int64_t newLimit = static_cast<int64_t>(byteLimit) + totalBytesRetired_ + bufferPos_;
  if (newLimit > currentLimit_) return oldLimit;
  currentLimit_ = static_cast<int32_t>(newLimit);
  recomputeBufferSizeAfterLimit();
  return oldLimit;
}

void ORVCodedInputStream::popLimit(int32_t oldLimit) {
  currentLimit_ = oldLimit;
  recomputeBufferSizeAfterLimit();
}

int32_t ORVCodedInputStream::bytesUntilLimit() const {
  if (currentLimit_ == kNoLimit) return -1;
  return currentLimit_ - totalBytesRetired_ - bufferPos_;
}

bool ORVCodedInputStream::passesLimit(int64_t n) const {
  return static_cast<int64_t>(totalBytesRetired_) + bufferPos_ + n <= currentLimit_;
}

int64_t ORVCodedInputStream::maxBytesAvailable() const {
  if (input_ == nullptr) return buffered();
  int64_t untilLimit = static_cast<int64_t>(currentLimit_) - totalBytesRetired_ - bufferPos_;
  int64_t untilSize = static_cast<int64_t>(sizeLimit_) - totalBytesRetired_ - bufferPos_;
  return std::max<int64_t>(0, std::min(untilLimit, untilSize));
}

int32_t ORVCodedInputStream::setRecursionLimit(int32_t limit) {
  int32_t old = recursionLimit_;
  recursionLimit_ = limit;
  return old;
}

int32_t ORVCodedInputStream::setSizeLimit(int32_t limit) {
  int32_t old = sizeLimit_;
  sizeLimit_ = limit;
  return old;
}

bool ORVCodedInputStream::isAtEnd() { return bufferPos_ == bufferSize_ && !refillBuffer(); }

// ---- tags and varints -----------------------------------------------------

int32_t ORVCodedInputStream::readTagSlow() {
  if (!refillBuffer()) {
    lastTag_ = 0;
    return 0;
  }
  lastTag_ = static_cast<int8_t>(buffer_[bufferPos_++]);
  return lastTag_;
}

bool ORVCodedInputStream::readRawVarint32Slow(uint32_t& value) {
  if (buffered() >= 10) {
    // In place: five bytes carry the 32 bits; up to five more are skipped
    // (the sign extension of a negative int32); a tenth with its high bit
    // set makes the varint too long.
    const uint8_t* p = buffer_ + bufferPos_;
    uint32_t result = 0;
    for (int i = 0; i < 5; ++i) {
      result |= static_cast<uint32_t>(p[i] & 0x7F) << (7 * i);
      if (p[i] < 0x80) {
        bufferPos_ += i + 1;
        value = result;
        return true;
      }
    }
    for (int i = 5; i < 10; ++i) {
      if (p[i] < 0x80) {
        bufferPos_ += i + 1;
        value = result;
        return true;
      }
    }
    return false;
  }
  uint64_t wide;
  if (!readRawVarint64Slow(wide)) return false;
  value = static_cast<uint32_t>(wide);
  return true;
}

bool ORVCodedInputStream::readRawVarint64(uint64_t& value) {
  if (bufferPos_ < bufferSize_ && buffer_[bufferPos_] < 0x80) {
    value = buffer_[bufferPos_++];
    return true;
  }
  if (buffered() >= 10) {
    const uint8_t* p = buffer_ + bufferPos_;
    uint64_t result = 0;
    for (int i = 0; i < 10; ++i) {
      result |= static_cast<uint64_t>(p[i] & 0x7F) << (7 * i);
      if (p[i] < 0x80) {
        bufferPos_ += i + 1;
        value = result;
        return true;
      }
    }
    return false;
  }
  return readRawVarint64Slow(value);
}

// Byte by byte across refills, for varints near the end of the buffer.
bool ORVCodedInputStream::readRawVarint64Slow(uint64_t& value) {
  uint64_t result = 0;
  for (int i = 0; i < 10; ++i) {
    if (bufferPos_ >= bufferSize_ && !refillBuffer()) return false;
    uint8_t b = buffer_[bufferPos_++];
    result |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
    if (b < 0x80) {
      value = result;
      return true;
    }
  }
  return false;
}

bool ORVCodedInputStream::readRawLittleEndian32(uint32_t& value) {
  uint8_t b[4];
  if (buffered() >= 4) {
    std::memcpy(b, buffer_ + bufferPos_, 4);
    bufferPos_ += 4;
  } else if (!readFixed(b, 4)) {
    return false;
  }
  value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
          static_cast<uint32_t>(b[3]) << 24;
  return true;
}

bool ORVCodedInputStream::readRawLittleEndian64(uint64_t& value) {
  uint8_t b[8];
  if (buffered() >= 8) {
    std::memcpy(b, buffer_ + bufferPos_, 8);
    bufferPos_ += 8;
  } else if (!readFixed(b, 8)) {
    return false;
  }
  uint64_t result = 0;
  for (int i = 7; i >= 0; --i) result = (result << 8) | b[i];
  value = result;
  return true;
}

// ---- typed reads ----------------------------------------------------------

bool ORVCodedInputStream::readBool(bool& value) {
  uint64_t v;
  if (!readRawVarint64(v)) return false;
  value = v != 0;
  return true;
}

bool ORVCodedInputStream::readInt32Slow(int32_t& value) {
  uint32_t v;
  if (!readRawVarint32(v)) return false;  // low 32 bits of up to 10 bytes
  value = static_cast<int32_t>(v);
  return true;
}

bool ORVCodedInputStream::readInt64(int64_t& value) {
  uint64_t v;
  if (!readRawVarint64(v)) return false;
  value = static_cast<int64_t>(v);
  return true;
}

bool ORVCodedInputStream::readFloat(float& value) {
  uint32_t bits;
  if (!readRawLittleEndian32(bits)) return false;
  std::memcpy(&value, &bits, 4);
  return true;
}

bool ORVCodedInputStream::readDoubleSlow(double& value) {
  uint64_t bits;
  if (!readRawLittleEndian64(bits)) return false;
  std::memcpy(&value, &bits, 8);
  return true;
}

bool ORVCodedInputStream::readString(std::string& value) {
  uint32_t n;
  if (!readRawVarint32(n)) return false;
  if (n > static_cast<uint32_t>(kNoLimit)) return false;
  if (n == 0) {
    value.clear();
    return true;
  }
  if (static_cast<int32_t>(n) <= buffered()) {
    const uint8_t* p = buffer_ + bufferPos_;
    if (!ORVIsValidUtf8(p, n)) return false;
    value = std::string(reinterpret_cast<const char*>(p), n);
    bufferPos_ += static_cast<int32_t>(n);
    return true;
  }
  std::string text;
  if (!readRawInto(text, static_cast<int32_t>(n))) return false;
  if (!ORVIsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size())) return false;
  value = std::move(text);
  return true;
}

bool ORVCodedInputStream::readStringViewSlow(std::string_view& view, std::string& scratch) {
  uint32_t n;
  if (!readRawVarint32(n)) return false;
  if (n > static_cast<uint32_t>(kNoLimit)) return false;
  if (static_cast<int32_t>(n) <= buffered()) {
    const uint8_t* p = buffer_ + bufferPos_;
    if (!ORVIsValidUtf8(p, n)) return false;
    view = std::string_view(reinterpret_cast<const char*>(p), n);
    bufferPos_ += static_cast<int32_t>(n);
    return true;
  }
  std::string text;
  if (!readRawInto(text, static_cast<int32_t>(n))) return false;
  if (!ORVIsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size())) return false;
  scratch = std::move(text);
  view = scratch;
  return true;
}

bool ORVCodedInputStream::readData(std::vector<uint8_t>& value) {
  uint32_t n;
  if (!readRawVarint32(n)) return false;
  if (n > static_cast<uint32_t>(kNoLimit)) return false;
  return readRawData(value, static_cast<int32_t>(n));
}

bool ORVCodedInputStream::readDataView(std::span<const uint8_t>& view, std::vector<uint8_t>& scratch) {
  uint32_t n;
  if (!readRawVarint32(n)) return false;
  if (n > static_cast<uint32_t>(kNoLimit)) return false;
  if (static_cast<int32_t>(n) <= buffered()) {
    view = std::span<const uint8_t>(buffer_ + bufferPos_, n);
    bufferPos_ += static_cast<int32_t>(n);
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!readRawInto(bytes, static_cast<int32_t>(n))) return false;
  scratch = std::move(bytes);
  view = scratch;
  return true;
}

bool ORVCodedInputStream::readDataObject(ORVDataObjectPtr& value) {
  if (recursionDepth_ >= recursionLimit_) return false;
  ++recursionDepth_;
  bool ok = ORVDataObject::parseDataObject(value, *this);
  --recursionDepth_;
  return ok;
}

bool ORVCodedInputStream::readDataArray(ORVDataArrayPtr& value) {
  if (recursionDepth_ >= recursionLimit_) return false;
  ++recursionDepth_;
  bool ok = ORVDataArray::parseDataArray(value, *this);
  --recursionDepth_;
  return ok;
}

// ---- raw runs -------------------------------------------------------------

bool ORVCodedInputStream::readRawData(std::vector<uint8_t>& value, int32_t size) {
  if (size < 0) return false;
  if (size <= buffered()) {
    value.assign(buffer_ + bufferPos_, buffer_ + bufferPos_ + size);
    bufferPos_ += size;
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!readRawInto(bytes, size)) return false;
  value = std::move(bytes);
  return true;
}

bool ORVCodedInputStream::readFixed(uint8_t* dst, int32_t n) {
  std::vector<uint8_t> bytes;
  if (!readRawData(bytes, n)) return false;
  std::memcpy(dst, bytes.data(), static_cast<size_t>(n));
  return true;
}

// The run is longer than what is buffered. The output grows as bytes
// actually arrive, so an announced length alone never makes us allocate it:
// a memory stream fails at once, a byte stream is bounded by its size limit.
template <typename Bytes>
bool ORVCodedInputStream::readRawInto(Bytes& out, int32_t n) {
  if (!passesLimit(n)) {
    if (currentLimit_ != kNoLimit) skipRawData(currentLimit_ - totalBytesRetired_ - bufferPos_);
    return false;
  }
  if (input_ == nullptr || sizeLimitHit_) return false;
  if (static_cast<int64_t>(totalBytesRetired_) + bufferPos_ + n > sizeLimit_) return false;

  int32_t have = buffered();
  out.assign(buffer_ + bufferPos_, buffer_ + bufferPos_ + have);
  bufferPos_ = bufferSize_;
  int32_t missing = n - have;
  if (missing < kBufferSize) {
    while (missing > 0) {
      if (!refillBuffer()) return false;
      int32_t take = std::min(missing, bufferSize_);
      out.insert(out.end(), buffer_, buffer_ + take);
      bufferPos_ = take;
      missing -= take;
    }
    return true;
  }
  // Long run: straight from the input in chunks, bypassing the buffer. The
  // limit checks above guarantee the run ends before any limit.
  totalBytesRetired_ += bufferSize_;
  bufferPos_ = bufferSize_ = 0;
  while (missing > 0) {
    size_t chunk = static_cast<size_t>(std::min(missing, kBufferSize));
    size_t start = out.size();
    out.resize(start + chunk);
    size_t got = 0;
    while (got < chunk) {
      long r = input_->read(reinterpret_cast<uint8_t*>(out.data()) + start + got, chunk - got);
      if (r < 1) return false;
      got += static_cast<size_t>(r);
      totalBytesRetired_ += static_cast<int32_t>(r);
    }
    missing -= static_cast<int32_t>(chunk);
  }
  return true;
}

template bool ORVCodedInputStream::readRawInto(std::string&, int32_t);
template bool ORVCodedInputStream::readRawInto(std::vector<uint8_t>&, int32_t);

bool ORVCodedInputStream::skipRawData(int32_t size) {
  if (size < 0) return false;
  if (size <= buffered()) {
    bufferPos_ += size;
    return true;
  }
  if (!passesLimit(size)) {
    if (currentLimit_ != kNoLimit) skipRawData(currentLimit_ - totalBytesRetired_ - bufferPos_);
    return false;
  }
  if (input_ == nullptr || sizeLimitHit_) {
    bufferPos_ = bufferSize_;
    return false;
  }
  if (static_cast<int64_t>(totalBytesRetired_) + bufferPos_ + size > sizeLimit_) return false;
  int32_t missing = size - buffered();
  totalBytesRetired_ += bufferSize_;
  bufferPos_ = bufferSize_ = 0;
  while (missing > 0) {
    long r = input_->read(ownBuffer_.get(), static_cast<size_t>(std::min(missing, kBufferSize)));
    if (r < 1) return false;
    missing -= static_cast<int32_t>(r);
    totalBytesRetired_ += static_cast<int32_t>(r);
  }
  return true;
}
