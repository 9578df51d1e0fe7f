#include "wire/ORVDataObject.h"

#include <cstring>
#include <istream>
#include <stdexcept>

#include "platform/Log.h"
#include "wire/ORVCodedInputStream.h"
#include "wire/ORVCodedOutputStream.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVElementReader.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVHexText.h"
#include "wire/ORVInputByteStream.h"
#include "wire/ORVOutputByteStream.h"

namespace {
constexpr uint32_t kNotComputed = 0xFFFFFFFFu;

// Keys are short and mostly differ in length or first byte, so those are
// compared before calling memcmp.
inline bool sameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || (a[0] == b[0] && std::memcmp(a.data(), b.data(), a.size()) == 0));
}
}

ORVDataObject::ORVDataObject(Entries entries) : entries_(std::move(entries)) {
  if (entries_.size() > ORVKeyIndex::kLinearLimit) {
    index_.rebuild(entries_.size(), [this](size_t i) -> std::string_view { return entries_[i].first; });
  }
}

ORVDataObject::ORVDataObject(Entries entries, ORVKeyIndex index)
    : entries_(std::move(entries)), index_(std::move(index)) {}

const ORVDataObjectPtr& ORVDataObject::dataObject() {
  static const ORVDataObjectPtr empty = std::make_shared<const ORVDataObject>(Entries{});
  return empty;
}

ORVDataObjectBuilder ORVDataObject::builder() { return ORVDataObjectBuilder(); }

ORVDataObjectBuilder ORVDataObject::builderWithCapacity(uint32_t capacity) {
  if (capacity > ORVMaxCollectionSize) throw ORVInvalidArgumentException("Capacity limit exceeded");
  return ORVDataObjectBuilder(capacity);
}

// ---- reads ----------------------------------------------------------------

const ORVDataElement* ORVDataObject::elementForKey(std::string_view key) const {
  if (index_.empty()) {
    for (const Entry& e : entries_) {
      if (sameKey(e.first, key)) return &e.second;
    }
    return nullptr;
  }
  int64_t pos = index_.find(key, [this](size_t i) -> std::string_view { return entries_[i].first; });
  return pos < 0 ? nullptr : &entries_[static_cast<size_t>(pos)].second;
}

bool ORVDataObject::boolForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e != nullptr && e->boolValue();
}
int32_t ORVDataObject::int32ForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->int32Value() : 0;
}
int64_t ORVDataObject::int64ForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->int64Value() : 0;
}
float ORVDataObject::floatForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->floatValue() : 0.0f;
}
double ORVDataObject::doubleForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->doubleValue() : 0.0;
}
std::optional<std::string> ORVDataObject::stringForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->stringValue() : std::nullopt;
}
std::optional<std::vector<uint8_t>> ORVDataObject::byteArrayForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->byteArrayValue() : std::nullopt;
}
ORVDataObjectPtr ORVDataObject::dataObjectForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->dataObjectValue() : nullptr;
}
ORVDataArrayPtr ORVDataObject::dataArrayForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? e->dataArrayValue() : nullptr;
}
const ORVDataElement::Value* ORVDataObject::objectForKey(std::string_view key) const {
  const ORVDataElement* e = elementForKey(key);
  return e ? &e->value() : nullptr;
}

std::vector<std::string> ORVDataObject::keyEnumerator() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const Entry& e : entries_) keys.push_back(e.first.copy());
  return keys;
}

std::string ORVDataObject::description() const {
  std::string out;
  appendDescription(out);
  return out;
}

void ORVDataObject::appendDescription(std::string& out) const {
  out += '{';
  bool first = true;
  for (const Entry& e : entries_) {
    if (!first) out += ',';
    first = false;
    out += e.first.view();
    out += '=';
    e.second.appendDescription(out);
  }
  out += '}';
}

std::string ORVDataObject::hexDump() const { return ORVHexText(data()); }

// ---- encoding -------------------------------------------------------------

uint32_t ORVDataObject::serializedSize() const {
  uint32_t memo = memoizedSerializedSize_.load(std::memory_order_relaxed);
  if (memo != kNotComputed) return memo;
  uint32_t size = ORVCodedOutputStream::computeRawVarint32Size(static_cast<uint32_t>(entries_.size()));
  for (const Entry& e : entries_) {
    auto keyLength = static_cast<uint32_t>(e.first.size());
    size = ORVAddSizes(size, ORVCodedOutputStream::computeRawVarint32Size(keyLength));
    size = ORVAddSizes(size, keyLength);
    size = ORVAddSizes(size, e.second.serializedSize());
  }
  memoizedSerializedSize_.store(size, std::memory_order_relaxed);
  return size;
}

bool ORVDataObject::writeToCodedOutputStream(ORVCodedOutputStream& output) const {
  output.writeRawVarint32(static_cast<uint32_t>(entries_.size()));
  for (const Entry& e : entries_) {
    output.writeStringNoTag(e.first);
    if (!e.second.writeToCodedOutputStream(output)) return false;
  }
  return true;
}

std::vector<uint8_t> ORVDataObject::data() const {
  uint32_t size = serializedSize();
  if (size >= ORVMaxSerializedSize) {
    orv::log("ORVDataObject::data", "Size limit exceeded: " + std::to_string(size));
    return {};
  }
  std::vector<uint8_t> buffer(size);
  ORVCodedOutputStream output{std::span<uint8_t>(buffer)};
  writeToCodedOutputStream(output);
  return buffer;
}

bool ORVDataObject::writeToData(std::vector<uint8_t>& buffer, size_t offset) const {
  uint32_t size = serializedSize();
  if (size >= ORVMaxSerializedSize) {
    orv::log("ORVDataObject::writeToData", "Size limit exceeded: " + std::to_string(size));
    return false;
  }
  if (buffer.size() < offset + size) buffer.resize(offset + size);
  ORVCodedOutputStream output(buffer, offset, size);
  bool ok = writeToCodedOutputStream(output);
  // An overflow also leaves no space, so hadError is checked as well: a
  // truncated encoding must not be reported as written.
  return ok && !output.hadError() && output.checkNoSpaceLeft();
}

bool ORVDataObject::writeToOutputStream(ORVOutputByteStream& stream) const {
  ORVCodedOutputStream output(stream);
  if (!writeToCodedOutputStream(output)) return false;
  output.flush();
  return !output.hadError();
}

// ---- parsing --------------------------------------------------------------

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, ORVCodedInputStream& input) {
  static constexpr std::string_view kOperation = "ORVDataObject::parseDataObject";
  uint32_t count;
  if (!input.readRawVarint32(count)) return false;
  if (count > ORVMaxCollectionSize) {
    orv::log(kOperation, "Size limit exceeded: " + std::to_string(count));
    return false;
  }
  if (count == 0) {
    out = dataObject();
    return true;
  }
  // Entries are collected here directly rather than through a builder: the
  // count is already checked, and a key read twice keeps its first position
  // and takes the later value, as a builder put does.
  Entries entries{ORVArenaAllocator<Entry>(input.arena())};
  entries.reserve(ORVReserveFor(count, input));
  ORVKeyIndex keyIndex;
  uint64_t entriesSize = 0;
  auto keyAt = [&entries](size_t i) -> std::string_view { return entries[i].first; };
  // While the object is small, a repeated key is found by comparing one
  // fingerprint word per entry rather than the keys themselves, and only
  // when the key's bits in a 64-bit summary of the fingerprints seen are set
  // (so a fresh key is usually accepted without any scan).
  uint64_t fingerprints[ORVKeyIndex::kLinearLimit];
  uint64_t seenBits = 0;
  // Holds a key only in byte-stream mode (see below); kept across entries so
  // it is not made and destroyed per key.
  std::string keyScratch;
  for (uint32_t i = 0; i < count; ++i) {
    // The key stays a view into the input until its entry is made. A byte
    // stream may refill its buffer while the element is read, so there the
    // key is first copied into the scratch string.
    std::string_view key;
    uint64_t keyBytes = 0;
    int32_t tag = 0;
    // Fast path: the key's check and fingerprint, and the type byte, come
    // from one load. Slow path: any key, validated in full.
    const bool shortKey = input.readShortAsciiKeyAndTag(key, keyBytes, tag);
    if (!shortKey && !input.readStringView(key, keyScratch)) return false;
    if (!input.viewsStayValid() && key.data() != keyScratch.data()) {
      keyScratch.assign(key);
      key = keyScratch;
    }
    if (!shortKey) tag = input.readTag();  // may refill the stream's buffer
    const uint64_t print =
        shortKey ? ORVKeyIndex::fingerprintOfShortKey(keyBytes, key.size()) : ORVKeyIndex::fingerprint(key);
    // The repeat check comes before the element is read, so the element
    // sinks below stay small enough to be inlined into the read.
    // Two bits per key (from two parts of one hash), so with a dozen keys
    // seen a new key still rarely finds both of its bits set.
    const uint64_t hash = print * 0x9E3779B97F4A7C15ull;
    const uint64_t printBits = uint64_t{1} << (hash >> 58) | uint64_t{1} << ((hash >> 52) & 63);
    int64_t pos = -1;
    if (!keyIndex.empty()) {
      pos = keyIndex.find(key, keyAt);
    } else if ((seenBits & printBits) == printBits) {
      for (size_t k = 0; k < entries.size(); ++k) {
        if (fingerprints[k] == print &&
            (key.size() <= ORVKeyIndex::kFingerprintBytes || sameKey(entries[k].first, key))) {
          pos = static_cast<int64_t>(k);
          break;
        }
      }
    }

    if (pos >= 0) {
      // Rare: a key read again keeps its first position and takes the later
      // value.
      Entry& entry = entries[static_cast<size_t>(pos)];
      bool ok = ORVElementReader::read(input, tag, kOperation, [&](auto index, auto&& value) {
        entriesSize -= entry.second.serializedSize();
        entry.second = ORVDataElement(index, std::forward<decltype(value)>(value));
        entriesSize += entry.second.serializedSize();
      });
      if (!ok) return false;
      continue;
    }

    // Usual case: a new key, its entry built in place. The common kinds
    // (numbers, texts) are built inline in the loop; the others out of line,
    // so the loop stays small.
    auto addEntry = [&](auto index, auto&& value) {
      constexpr size_t kType = ORVTypeCodeOf<decltype(index)>::value;
      Entry& entry = entries.emplace_back(std::piecewise_construct,
                                          std::forward_as_tuple(ORVElementReader::run<char>(input, key)),
                                          std::forward_as_tuple(index, std::forward<decltype(value)>(value)));
      entriesSize += ORVVarint32Size(key.size()) + key.size() + entry.second.template serializedSizeOf<kType>();
    };
    auto addRareEntry = [&](auto index, auto&& value) __attribute__((noinline)) {
      addEntry(index, std::forward<decltype(value)>(value));
    };
    bool ok = ORVElementReader::read(input, tag, kOperation, [&](auto index, auto&& value) __attribute__((always_inline)) {
      constexpr size_t kType = ORVTypeCodeOf<decltype(index)>::value;
      if constexpr (kType == ORVDataTypeInt32 || kType == ORVDataTypeDouble || kType == ORVDataTypeString) {
        addEntry(index, std::forward<decltype(value)>(value));
      } else {
        addRareEntry(index, std::forward<decltype(value)>(value));
      }
    });
    if (!ok) return false;
    const size_t n = entries.size();
    if (n <= ORVKeyIndex::kLinearLimit) {
      fingerprints[n - 1] = print;
      seenBits |= printBits;
    } else if (keyIndex.empty()) {
      keyIndex.rebuild(n, keyAt);
    } else {
      keyIndex.insert(entries.back().first, static_cast<uint32_t>(n - 1), keyAt);
    }
  }
  std::shared_ptr<ORVDataObject> object;
  if (input.arena() != nullptr) {
    // From the arena; the control block holds the input for the borrowed runs.
    object = std::allocate_shared<ORVDataObject>(ORVArenaHoldingAllocator<ORVDataObject>(input.sharedBuffer()),
                                                 std::move(entries), std::move(keyIndex));
  } else {
    object = std::make_shared<ORVDataObject>(std::move(entries), std::move(keyIndex));
    object->sharedBuffer_ = input.sharedBuffer();
  }
  object->presetSerializedSize(entriesSize);
  out = std::move(object);
  return true;
}

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, std::span<const uint8_t> data) {
  return parseDataObject(out, ORVParsedInput::copyOf(data));
}

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, ORVInputBufferPtr data) {
  ORVCodedInputStream input(std::move(data));
  return parseDataObject(out, input);
}

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, std::span<const uint8_t> data, size_t offset,
                                    size_t length) {
  if (offset > data.size() || length > data.size() - offset) {
    throw std::out_of_range("ORVDataObject::parseDataObject: range outside the data");
  }
  ORVCodedInputStream input(ORVParsedInput::copyOf(data.subspan(offset, length)));
  return parseDataObject(out, input);
}

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, ORVInputByteStream& stream) {
  ORVCodedInputStream input(stream);
  return parseDataObject(out, input);
}

bool ORVDataObject::parseDataObject(ORVDataObjectPtr& out, std::istream& stream) {
  ORVStdInputByteStream adapter(stream);
  return parseDataObject(out, adapter);
}

// ---- builder --------------------------------------------------------------

int64_t ORVDataObjectBuilder::find(std::string_view key) const {
  if (index_.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (sameKey(entries_[i].first, key)) return static_cast<int64_t>(i);
    }
    return -1;
  }
  return index_.find(key, [this](size_t i) -> std::string_view { return entries_[i].first; });
}

template <typename Key>
ORVDataObjectBuilder& ORVDataObjectBuilder::store(ORVDataElement&& element, Key&& key) {
  if (entries_.size() >= ORVMaxCollectionSize) throw ORVInternalInconsistencyException("Size limit exceeded");
  ORVDataElement::requireUtf8(key, "key");
  int64_t pos = find(key);
  if (pos >= 0) {
    ORVDataObject::Entry& entry = entries_[static_cast<size_t>(pos)];
    entriesSize_ += element.serializedSize();
    entriesSize_ -= entry.second.serializedSize();
    entry.second = std::move(element);
    return *this;
  }
  entriesSize_ += ORVDataObject::entrySize(key, element);
  entries_.emplace_back(ORVText(std::string_view(key)), std::move(element));
  size_t n = entries_.size();
  if (n > ORVKeyIndex::kLinearLimit) {
    auto keyAt = [this](size_t i) -> std::string_view { return entries_[i].first; };
    if (index_.empty()) {
      index_.rebuild(n, keyAt);
    } else {
      index_.insert(entries_.back().first, static_cast<uint32_t>(n - 1), keyAt);
    }
  }
  return *this;
}

ORVDataObjectBuilder& ORVDataObjectBuilder::putBool(bool value, std::string_view key) {
  return store(ORVDataElement::dataElementWithBool(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putByteArray(const std::vector<uint8_t>& value, std::string_view key) {
  return store(ORVDataElement::dataElementWithByteArray(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putInt32(int32_t value, std::string_view key) {
  return store(ORVDataElement::dataElementWithInt32(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putInt64(int64_t value, std::string_view key) {
  return store(ORVDataElement::dataElementWithInt64(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putString(std::string_view value, std::string_view key) {
  return store(ORVDataElement::dataElementWithString(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putFloat(float value, std::string_view key) {
  return store(ORVDataElement::dataElementWithFloat(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putDouble(double value, std::string_view key) {
  return store(ORVDataElement::dataElementWithDouble(value), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putDataObject(ORVDataObjectPtr value, std::string_view key) {
  return store(ORVDataElement::dataElementWithDataObject(std::move(value)), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putDataArray(ORVDataArrayPtr value, std::string_view key) {
  return store(ORVDataElement::dataElementWithDataArray(std::move(value)), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putElement(ORVDataElement element, std::string_view key) {
  return store(std::move(element), key);
}
ORVDataObjectBuilder& ORVDataObjectBuilder::putElement(ORVDataElement&& element, std::string&& key) {
  return store(std::move(element), std::move(key));
}

ORVDataObjectBuilder& ORVDataObjectBuilder::removeObjectForKey(std::string_view key) {
  int64_t pos = find(key);
  if (pos < 0) return *this;
  entriesSize_ -= ORVDataObject::entrySize(entries_[static_cast<size_t>(pos)].first, entries_[static_cast<size_t>(pos)].second);
  entries_.erase(entries_.begin() + pos);
  if (entries_.size() > ORVKeyIndex::kLinearLimit) {
    index_.rebuild(entries_.size(), [this](size_t i) -> std::string_view { return entries_[i].first; });
  } else {
    index_.clear();
  }
  return *this;
}

ORVDataObjectPtr ORVDataObjectBuilder::build() {
  auto object = std::make_shared<const ORVDataObject>(std::move(entries_), std::move(index_));
  object->presetSerializedSize(entriesSize_);
  entries_.clear();
  index_.clear();
  entriesSize_ = 0;
  return object;
}
