#include "wire/ORVCodedOutputStream.h"

#include <stdexcept>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVOutputByteStream.h"

ORVCodedOutputStream::ORVCodedOutputStream(std::span<uint8_t> buffer)
    : begin_(buffer.data()), pos_(buffer.data()), end_(buffer.data() + buffer.size()) {}

ORVCodedOutputStream::ORVCodedOutputStream(std::vector<uint8_t>& data, size_t offset, size_t length) {
  if (offset > data.size() || length > data.size() - offset) {
    throw std::out_of_range("ORVCodedOutputStream: range outside the buffer");
  }
  begin_ = pos_ = data.data() + offset;
  end_ = pos_ + length;
}

ORVCodedOutputStream::ORVCodedOutputStream(ORVOutputByteStream& output, size_t bufferSize)
    : ownBuffer_(bufferSize == 0 ? 1 : bufferSize), output_(&output) {
  begin_ = pos_ = ownBuffer_.data();
  end_ = begin_ + ownBuffer_.size();
}

void ORVCodedOutputStream::writeDataObjectNoTag(const ORVDataObject& value) { value.writeToCodedOutputStream(*this); }

void ORVCodedOutputStream::writeDataArrayNoTag(const ORVDataArray& value) { value.writeToCodedOutputStream(*this); }

void ORVCodedOutputStream::writeRawLittleEndian32(uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  writeRawBytes(bytes, 4);
}

void ORVCodedOutputStream::writeRawLittleEndian64(uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  writeRawBytes(bytes, 8);
}

void ORVCodedOutputStream::writeRawData(std::span<const uint8_t> data, size_t offset, size_t length) {
  if (offset > data.size() || length > data.size() - offset) {
    throw std::out_of_range("ORVCodedOutputStream::writeRawData: range outside the data");
  }
  writeRawBytes(data.data() + offset, length);
}

void ORVCodedOutputStream::writeRawVarint64Slow(uint64_t value) {
  uint8_t bytes[10];
  size_t n = 0;
  while (value >= 0x80) {
    bytes[n++] = static_cast<uint8_t>(value | 0x80);
    value >>= 7;
  }
  bytes[n++] = static_cast<uint8_t>(value);
  writeRawBytes(bytes, n);
}

// Fills the buffer, passes it on, then either buffers the rest or, when the
// rest is longer than the buffer, hands it to the output directly.
void ORVCodedOutputStream::writeRawBytesSlow(const uint8_t* bytes, size_t length) {
  size_t room = static_cast<size_t>(end_ - pos_);
  if (room != 0) std::memcpy(pos_, bytes, room);
  pos_ = end_;
  bytes += room;
  length -= room;
  if (!refreshBuffer()) return;
  if (length <= static_cast<size_t>(end_ - begin_)) {
    std::memcpy(pos_, bytes, length);
    pos_ += length;
  } else if (!output_->writeAll(bytes, length)) {
    hadError_ = true;
  }
}

bool ORVCodedOutputStream::refreshBuffer() {
  if (output_ == nullptr) {
    hadError_ = true;
    return false;
  }
  if (!output_->writeAll(begin_, static_cast<size_t>(pos_ - begin_))) {
    hadError_ = true;
    return false;
  }
  pos_ = begin_;
  return true;
}

void ORVCodedOutputStream::flush() {
  if (output_ != nullptr) refreshBuffer();
}

int32_t ORVCodedOutputStream::spaceLeft() const {
  if (output_ != nullptr) return 0x7FFFFFFF;
  return static_cast<int32_t>(end_ - pos_);
}
