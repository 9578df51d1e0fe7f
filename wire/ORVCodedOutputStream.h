#pragma once
// Writes the primitive encodings of the wire (type tag, varints,
// little-endian words, length-prefixed strings and bytes, nested values)
// either into a fixed memory range or, through an internal buffer, to an
// ORVOutputByteStream.
//
// Memory mode never grows its range: a write past the end stores what fits
// and sets hadError(). Encoders size the range exactly from serializedSize()
// first, so the fast paths below are the ones taken.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "wire/ORVDataElement.h"

class ORVOutputByteStream;

class ORVCodedOutputStream {
 public:
  static constexpr size_t kDefaultBufferSize = 4096;

  // Memory mode over the whole span.
  explicit ORVCodedOutputStream(std::span<uint8_t> buffer);
  // Memory mode over data[offset, offset + length); throws std::out_of_range
  // when that range is not inside the buffer.
  ORVCodedOutputStream(std::vector<uint8_t>& data, size_t offset, size_t length);
  // Byte-stream mode with an internal buffer of bufferSize bytes (at least 1).
  explicit ORVCodedOutputStream(ORVOutputByteStream& output, size_t bufferSize = kDefaultBufferSize);
  ORVCodedOutputStream(const ORVCodedOutputStream&) = delete;
  ORVCodedOutputStream& operator=(const ORVCodedOutputStream&) = delete;

  // Tagged writes: the type byte, then the untagged form.
  void writeBool(bool value) { writeTag(ORVDataTypeBool); writeBoolNoTag(value); }
  void writeData(std::span<const uint8_t> value) { writeTag(ORVDataTypeByteArray); writeDataNoTag(value); }
  void writeInt32(int32_t value) { writeTag(ORVDataTypeInt32); writeInt32NoTag(value); }
  void writeInt64(int64_t value) { writeTag(ORVDataTypeInt64); writeInt64NoTag(value); }
  void writeFloat(float value) { writeTag(ORVDataTypeFloat); writeFloatNoTag(value); }
  void writeDouble(double value) { writeTag(ORVDataTypeDouble); writeDoubleNoTag(value); }
  void writeString(std::string_view value) { writeTag(ORVDataTypeString); writeStringNoTag(value); }
  void writeDataObject(const ORVDataObject& value) { writeTag(ORVDataTypeDataObject); writeDataObjectNoTag(value); }
  void writeDataArray(const ORVDataArray& value) { writeTag(ORVDataTypeDataArray); writeDataArrayNoTag(value); }

  void writeBoolNoTag(bool value) { writeTag(value ? 1 : 0); }
  void writeDataNoTag(std::span<const uint8_t> value) {
    writeRawVarint32(static_cast<uint32_t>(value.size()));
    writeRawBytes(value.data(), value.size());
  }
  // Negative values are sign-extended to 64 bits (always 10 bytes).
  void writeInt32NoTag(int32_t value) {
    if (value >= 0) {
      writeRawVarint32(static_cast<uint32_t>(value));
    } else {
      writeRawVarint64(static_cast<uint64_t>(static_cast<int64_t>(value)));
    }
  }
  void writeInt64NoTag(int64_t value) { writeRawVarint64(static_cast<uint64_t>(value)); }
  void writeFloatNoTag(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    writeRawLittleEndian32(bits);
  }
  void writeDoubleNoTag(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    writeRawLittleEndian64(bits);
  }
  void writeStringNoTag(std::string_view value) {
    writeRawVarint32(static_cast<uint32_t>(value.size()));
    writeRawBytes(reinterpret_cast<const uint8_t*>(value.data()), value.size());
  }
  void writeDataObjectNoTag(const ORVDataObject& value);
  void writeDataArrayNoTag(const ORVDataArray& value);

  // Raw writes. The fast paths encode straight into the buffer when room is
  // certain; otherwise the same bytes go through writeRawBytes.
  void writeTag(int32_t value) {
    if (pos_ == end_ && !refreshBuffer()) return;
    *pos_++ = static_cast<uint8_t>(value);
  }
  void writeRawVarint32(uint32_t value) {
    if (end_ - pos_ >= 5) {
      while (value >= 0x80) {
        *pos_++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
      }
      *pos_++ = static_cast<uint8_t>(value);
      return;
    }
    writeRawVarint64Slow(value);
  }
  void writeRawVarint64(uint64_t value) {
    if (end_ - pos_ >= 10) {
      while (value >= 0x80) {
        *pos_++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
      }
      *pos_++ = static_cast<uint8_t>(value);
      return;
    }
    writeRawVarint64Slow(value);
  }
  void writeRawLittleEndian32(uint32_t value);
  void writeRawLittleEndian64(uint64_t value);
  void writeRawData(std::span<const uint8_t> data) { writeRawBytes(data.data(), data.size()); }
  void writeRawData(std::span<const uint8_t> data, size_t offset, size_t length);
  void writeRawBytes(const uint8_t* bytes, size_t length) {
    if (static_cast<size_t>(end_ - pos_) >= length) {
      if (length != 0) std::memcpy(pos_, bytes, length);
      pos_ += length;
      return;
    }
    writeRawBytesSlow(bytes, length);
  }

  // Byte-stream mode: passes the buffered bytes on; memory mode: sets
  // hadError and fails (there is nowhere to put more bytes).
  bool refreshBuffer();
  void flush();
  // Memory mode: bytes left in the range; byte-stream mode: 0x7FFFFFFF.
  int32_t spaceLeft() const;
  bool checkNoSpaceLeft() const { return spaceLeft() == 0; }
  bool hadError() const { return hadError_; }
  // Bytes written into the buffer since creation or the last refresh.
  size_t position() const { return static_cast<size_t>(pos_ - begin_); }

  // Size of a varint for a value, as the writers above produce it.
  static uint32_t computeRawVarint32Size(uint32_t value) {
    if (value < (1u << 7)) return 1;
    if (value < (1u << 14)) return 2;
    if (value < (1u << 21)) return 3;
    if (value < (1u << 28)) return 4;
    return 5;
  }
  static uint32_t computeRawVarint64Size(uint64_t value) {
    uint32_t size = 1;
    while (value >= 0x80) {
      value >>= 7;
      ++size;
    }
    return size;
  }

 private:
  void writeRawVarint64Slow(uint64_t value);
  void writeRawBytesSlow(const uint8_t* bytes, size_t length);

  uint8_t* begin_ = nullptr;
  uint8_t* pos_ = nullptr;
  uint8_t* end_ = nullptr;
  std::vector<uint8_t> ownBuffer_;  // byte-stream mode only
  ORVOutputByteStream* output_ = nullptr;
  bool hadError_ = false;
};
