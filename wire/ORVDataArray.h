#pragma once
// An immutable ordered list of elements; the wire carries them in this order.
// Elements are stored by value in one vector. A parsed array holds the shared
// input buffer its texts borrow from (see ORVRun).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire/ORVDataElement.h"
#include "wire/ORVParsedInput.h"

class ORVDataArrayBuilder;
class ORVCodedInputStream;
class ORVInputByteStream;
class ORVOutputByteStream;

class ORVDataArray {
 public:
  // Parsed arrays take this vector from their input's arena.
  using Elements = std::vector<ORVDataElement, ORVArenaAllocator<ORVDataElement>>;

  explicit ORVDataArray(Elements elements);
  ORVDataArray(const ORVDataArray&) = delete;
  ORVDataArray& operator=(const ORVDataArray&) = delete;

  // The shared empty array, created once per process.
  static const ORVDataArrayPtr& dataArray();
  static ORVDataArrayBuilder builder();
  // Throws ORVInvalidArgumentException "Capacity limit exceeded" above 4096.
  static ORVDataArrayBuilder builderWithCapacity(uint32_t capacity);

  // Typed reads by index; an index not below count() throws std::out_of_range.
  bool boolAtIndex(size_t index) const;
  int32_t int32AtIndex(size_t index) const;
  int64_t int64AtIndex(size_t index) const;
  float floatAtIndex(size_t index) const;
  double doubleAtIndex(size_t index) const;
  std::optional<std::string> stringAtIndex(size_t index) const;
  std::optional<std::vector<uint8_t>> byteArrayAtIndex(size_t index) const;
  ORVDataObjectPtr dataObjectAtIndex(size_t index) const;
  ORVDataArrayPtr dataArrayAtIndex(size_t index) const;
  const ORVDataElement::Value& objectAtIndex(size_t index) const;
  const ORVDataElement& elementAtIndex(size_t index) const;

  const Elements& elements() const { return elements_; }
  size_t count() const { return elements_.size(); }
  bool isEmpty() const { return elements_.empty(); }

  // "[a,b,...]", no blanks.
  std::string description() const;
  void appendDescription(std::string& out) const;
  std::string hexDump() const;

  uint32_t serializedSize() const;
  bool writeToCodedOutputStream(ORVCodedOutputStream& output) const;
  std::vector<uint8_t> data() const;
  bool writeToData(std::vector<uint8_t>& buffer, size_t offset) const;
  bool writeToOutputStream(ORVOutputByteStream& output) const;

  static bool parseDataArray(ORVDataArrayPtr& out, ORVCodedInputStream& input);
  // The span forms copy the bytes once into a shared buffer that the parsed
  // values borrow from; the ORVInputBufferPtr form borrows the given buffer.
  static bool parseDataArray(ORVDataArrayPtr& out, std::span<const uint8_t> data);
  static bool parseDataArray(ORVDataArrayPtr& out, ORVInputBufferPtr data);
  static bool parseDataArray(ORVDataArrayPtr& out, std::span<const uint8_t> data, size_t offset, size_t length);
  static bool parseDataArray(ORVDataArrayPtr& out, ORVInputByteStream& stream);
  static bool parseDataArray(ORVDataArrayPtr& out, std::istream& stream);

 private:
  friend class ORVDataArrayBuilder;
  void presetSerializedSize(uint64_t elementsSize) const {
    memoizedSerializedSize_.store(ORVCollectionSize(elements_.size(), elementsSize), std::memory_order_relaxed);
  }
  const ORVDataElement& checkedAt(size_t index) const;
  // Keeps the input alive for the borrowed runs of elements_, unless the
  // array came from the parse arena (its control block holds the input).
  ORVInputBufferPtr sharedBuffer_;
  Elements elements_;
  mutable std::atomic<uint32_t> memoizedSerializedSize_{0xFFFFFFFFu};
};

class ORVDataArrayBuilder {
 public:
  ORVDataArrayBuilder() = default;
  explicit ORVDataArrayBuilder(uint32_t capacity) { elements_.reserve(capacity); }

  // Every add throws ORVInternalInconsistencyException "Size limit exceeded"
  // once the builder holds 4096 elements.
  ORVDataArrayBuilder& addBool(bool value);
  ORVDataArrayBuilder& addByteArray(const std::vector<uint8_t>& value);
  ORVDataArrayBuilder& addInt32(int32_t value);
  ORVDataArrayBuilder& addInt64(int64_t value);
  ORVDataArrayBuilder& addString(std::string_view value);
  ORVDataArrayBuilder& addFloat(float value);
  ORVDataArrayBuilder& addDouble(double value);
  // Throws ORVInvalidArgumentException for a null value.
  ORVDataArrayBuilder& addDataObject(ORVDataObjectPtr value);
  ORVDataArrayBuilder& addDataArray(ORVDataArrayPtr value);
  ORVDataArrayBuilder& addElement(ORVDataElement element);
  // Throws std::out_of_range for an index not below count().
  ORVDataArrayBuilder& removeObjectAtIndex(size_t index);

  size_t count() const { return elements_.size(); }
  // Hands the elements to a new array; the builder is empty afterwards.
  ORVDataArrayPtr build();

 private:
  ORVDataArray::Elements elements_;
  uint64_t elementsSize_ = 0;  // summed encoded size of the elements
};
