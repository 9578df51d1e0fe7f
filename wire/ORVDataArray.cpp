#include "wire/ORVDataArray.h"

#include <istream>
#include <stdexcept>

#include "platform/Log.h"
#include "wire/ORVCodedInputStream.h"
#include "wire/ORVCodedOutputStream.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVElementReader.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVHexText.h"
#include "wire/ORVInputByteStream.h"
#include "wire/ORVOutputByteStream.h"

namespace {
constexpr uint32_t kNotComputed = 0xFFFFFFFFu;
}

ORVDataArray::ORVDataArray(Elements elements) : elements_(std::move(elements)) {}

const ORVDataArrayPtr& ORVDataArray::dataArray() {
  static const ORVDataArrayPtr empty = std::make_shared<const ORVDataArray>(Elements{});
  return empty;
}

ORVDataArrayBuilder ORVDataArray::builder() { return ORVDataArrayBuilder(); }

ORVDataArrayBuilder ORVDataArray::builderWithCapacity(uint32_t capacity) {
  if (capacity > ORVMaxCollectionSize) throw ORVInvalidArgumentException("Capacity limit exceeded");
  return ORVDataArrayBuilder(capacity);
}

// ---- reads ----------------------------------------------------------------

const ORVDataElement& ORVDataArray::checkedAt(size_t index) const {
  if (index >= elements_.size()) {
    throw std::out_of_range("index " + std::to_string(index) + " beyond bounds [0 .. " +
                            std::to_string(elements_.size()) + ")");
  }
  return elements_[index];
}

bool ORVDataArray::boolAtIndex(size_t index) const { return checkedAt(index).boolValue(); }
int32_t ORVDataArray::int32AtIndex(size_t index) const { return checkedAt(index).int32Value(); }
int64_t ORVDataArray::int64AtIndex(size_t index) const { return checkedAt(index).int64Value(); }
float ORVDataArray::floatAtIndex(size_t index) const { return checkedAt(index).floatValue(); }
double ORVDataArray::doubleAtIndex(size_t index) const { return checkedAt(index).doubleValue(); }
std::optional<std::string> ORVDataArray::stringAtIndex(size_t index) const {
  return checkedAt(index).stringValue();
}
std::optional<std::vector<uint8_t>> ORVDataArray::byteArrayAtIndex(size_t index) const {
  return checkedAt(index).byteArrayValue();
}
ORVDataObjectPtr ORVDataArray::dataObjectAtIndex(size_t index) const { return checkedAt(index).dataObjectValue(); }
ORVDataArrayPtr ORVDataArray::dataArrayAtIndex(size_t index) const { return checkedAt(index).dataArrayValue(); }
const ORVDataElement::Value& ORVDataArray::objectAtIndex(size_t index) const { return checkedAt(index).value(); }
const ORVDataElement& ORVDataArray::elementAtIndex(size_t index) const { return checkedAt(index); }

std::string ORVDataArray::description() const {
  std::string out;
  appendDescription(out);
  return out;
}

void ORVDataArray::appendDescription(std::string& out) const {
  out += '[';
  bool first = true;
  for (const ORVDataElement& e : elements_) {
    if (!first) out += ',';
    first = false;
    e.appendDescription(out);
  }
  out += ']';
}

std::string ORVDataArray::hexDump() const { return ORVHexText(data()); }

// ---- encoding -------------------------------------------------------------

uint32_t ORVDataArray::serializedSize() const {
  uint32_t memo = memoizedSerializedSize_.load(std::memory_order_relaxed);
  if (memo != kNotComputed) return memo;
  uint32_t size = ORVCodedOutputStream::computeRawVarint32Size(static_cast<uint32_t>(elements_.size()));
  for (const ORVDataElement& e : elements_) size = ORVAddSizes(size, e.serializedSize());
  memoizedSerializedSize_.store(size, std::memory_order_relaxed);
  return size;
}

bool ORVDataArray::writeToCodedOutputStream(ORVCodedOutputStream& output) const {
  output.writeRawVarint32(static_cast<uint32_t>(elements_.size()));
  for (const ORVDataElement& e : elements_) {
    if (!e.writeToCodedOutputStream(output)) return false;
  }
  return true;
}

std::vector<uint8_t> ORVDataArray::data() const {
  uint32_t size = serializedSize();
  if (size >= ORVMaxSerializedSize) {
    orv::log("ORVDataArray::data", "Size limit exceeded: " + std::to_string(size));
    return {};
  }
  std::vector<uint8_t> buffer(size);
  ORVCodedOutputStream output{std::span<uint8_t>(buffer)};
  writeToCodedOutputStream(output);
  return buffer;
}

bool ORVDataArray::writeToData(std::vector<uint8_t>& buffer, size_t offset) const {
  uint32_t size = serializedSize();
  if (size >= ORVMaxSerializedSize) {
    orv::log("ORVDataArray::writeToData", "Size limit exceeded: " + std::to_string(size));
    return false;
  }
  if (buffer.size() < offset + size) buffer.resize(offset + size);
  ORVCodedOutputStream output(buffer, offset, size);
  bool ok = writeToCodedOutputStream(output);
  // An overflow also leaves no space, so hadError is checked as well: a
  // truncated encoding must not be reported as written.
  return ok && !output.hadError() && output.checkNoSpaceLeft();
}

bool ORVDataArray::writeToOutputStream(ORVOutputByteStream& stream) const {
  ORVCodedOutputStream output(stream);
  if (!writeToCodedOutputStream(output)) return false;
  output.flush();
  return !output.hadError();
}

// ---- parsing --------------------------------------------------------------

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, ORVCodedInputStream& input) {
  static constexpr std::string_view kOperation = "ORVDataArray::parseDataArray";
  uint32_t count;
  if (!input.readRawVarint32(count)) return false;
  if (count > ORVMaxCollectionSize) {
    orv::log(kOperation, "Size limit exceeded: " + std::to_string(count));
    return false;
  }
  if (count == 0) {
    out = dataArray();
    return true;
  }
  Elements elements{ORVArenaAllocator<ORVDataElement>(input.arena())};
  elements.reserve(ORVReserveFor(count, input));
  uint64_t elementsSize = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t tag = input.readTag();
    bool ok = ORVElementReader::read(input, tag, kOperation,
                             [&](auto index, auto&& value) {
      elementsSize += elements.emplace_back(index, std::forward<decltype(value)>(value))
                          .template serializedSizeOf<ORVTypeCodeOf<decltype(index)>::value>();
    });
    if (!ok) return false;
  }
  std::shared_ptr<ORVDataArray> array;
  if (input.arena() != nullptr) {
    // From the arena; the control block holds the input for the borrowed runs.
    array = std::allocate_shared<ORVDataArray>(ORVArenaHoldingAllocator<ORVDataArray>(input.sharedBuffer()),
                                               std::move(elements));
  } else {
    array = std::make_shared<ORVDataArray>(std::move(elements));
    array->sharedBuffer_ = input.sharedBuffer();
  }
  array->presetSerializedSize(elementsSize);
  out = std::move(array);
  return true;
}

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, std::span<const uint8_t> data) {
  return parseDataArray(out, ORVParsedInput::copyOf(data));
}

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, ORVInputBufferPtr data) {
  ORVCodedInputStream input(std::move(data));
  return parseDataArray(out, input);
}

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, std::span<const uint8_t> data, size_t offset,
                                  size_t length) {
  if (offset > data.size() || length > data.size() - offset) {
    throw std::out_of_range("ORVDataArray::parseDataArray: range outside the data");
  }
  ORVCodedInputStream input(ORVParsedInput::copyOf(data.subspan(offset, length)));
  return parseDataArray(out, input);
}

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, ORVInputByteStream& stream) {
  ORVCodedInputStream input(stream);
  return parseDataArray(out, input);
}

bool ORVDataArray::parseDataArray(ORVDataArrayPtr& out, std::istream& stream) {
  ORVStdInputByteStream adapter(stream);
  return parseDataArray(out, adapter);
}

// ---- builder --------------------------------------------------------------

ORVDataArrayBuilder& ORVDataArrayBuilder::addElement(ORVDataElement element) {
  if (elements_.size() >= ORVMaxCollectionSize) throw ORVInternalInconsistencyException("Size limit exceeded");
  elementsSize_ += element.serializedSize();
  elements_.push_back(std::move(element));
  return *this;
}

ORVDataArrayBuilder& ORVDataArrayBuilder::addBool(bool value) {
  return addElement(ORVDataElement::dataElementWithBool(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addByteArray(const std::vector<uint8_t>& value) {
  return addElement(ORVDataElement::dataElementWithByteArray(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addInt32(int32_t value) {
  return addElement(ORVDataElement::dataElementWithInt32(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addInt64(int64_t value) {
  return addElement(ORVDataElement::dataElementWithInt64(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addString(std::string_view value) {
  return addElement(ORVDataElement::dataElementWithString(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addFloat(float value) {
  return addElement(ORVDataElement::dataElementWithFloat(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addDouble(double value) {
  return addElement(ORVDataElement::dataElementWithDouble(value));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addDataObject(ORVDataObjectPtr value) {
  return addElement(ORVDataElement::dataElementWithDataObject(std::move(value)));
}
ORVDataArrayBuilder& ORVDataArrayBuilder::addDataArray(ORVDataArrayPtr value) {
  return addElement(ORVDataElement::dataElementWithDataArray(std::move(value)));
}

ORVDataArrayBuilder& ORVDataArrayBuilder::removeObjectAtIndex(size_t index) {
  if (index >= elements_.size()) {
    throw std::out_of_range("index " + std::to_string(index) + " beyond bounds [0 .. " +
                            std::to_string(elements_.size()) + ")");
  }
  elementsSize_ -= elements_[index].serializedSize();
  elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(index));
  return *this;
}

ORVDataArrayPtr ORVDataArrayBuilder::build() {
  auto array = std::make_shared<const ORVDataArray>(std::move(elements_));
  array->presetSerializedSize(elementsSize_);
  elements_.clear();
  elementsSize_ = 0;
  return array;
}
