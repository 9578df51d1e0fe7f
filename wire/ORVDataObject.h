#pragma once
// An immutable string-keyed collection of elements. Entries keep the order in
// which they were first put (or read from the wire); that order is what the
// encoder writes and what enumeration and description show. A key put again
// replaces the value in place, keeping its first position.
//
// Entries are stored by value in one vector. A parsed object holds the shared
// input buffer its keys and texts borrow from (see ORVRun); a built one owns
// its keys and texts.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wire/ORVDataElement.h"
#include "wire/ORVKeyIndex.h"
#include "wire/ORVParsedInput.h"

class ORVDataObjectBuilder;
class ORVCodedInputStream;
class ORVInputByteStream;
class ORVOutputByteStream;

class ORVDataObject {
 public:
  using Entry = std::pair<ORVText, ORVDataElement>;
  // Parsed objects take this vector from their input's arena.
  using Entries = std::vector<Entry, ORVArenaAllocator<Entry>>;

  // Takes the entries as they are; keys must be unique (builders ensure it).
  explicit ORVDataObject(Entries entries);
  // Takes entries whose keys are unique together with their index (as the
  // builder and the parser keep them), so the index is not built twice.
  ORVDataObject(Entries entries, ORVKeyIndex index);
  ORVDataObject(const ORVDataObject&) = delete;
  ORVDataObject& operator=(const ORVDataObject&) = delete;

  // The shared empty object, created once per process.
  static const ORVDataObjectPtr& dataObject();
  static ORVDataObjectBuilder builder();
  // Throws ORVInvalidArgumentException "Capacity limit exceeded" above 4096.
  static ORVDataObjectBuilder builderWithCapacity(uint32_t capacity);

  // Typed reads by key; a missing key gives false / 0 / 0.0 / nothing.
  bool boolForKey(std::string_view key) const;
  int32_t int32ForKey(std::string_view key) const;
  int64_t int64ForKey(std::string_view key) const;
  float floatForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  std::optional<std::string> stringForKey(std::string_view key) const;
  std::optional<std::vector<uint8_t>> byteArrayForKey(std::string_view key) const;
  ORVDataObjectPtr dataObjectForKey(std::string_view key) const;
  ORVDataArrayPtr dataArrayForKey(std::string_view key) const;
  // The raw held value, or null.
  const ORVDataElement::Value* objectForKey(std::string_view key) const;
  // The element itself, or null.
  const ORVDataElement* elementForKey(std::string_view key) const;
  bool containsKey(std::string_view key) const { return elementForKey(key) != nullptr; }

  // Keys in entry order.
  std::vector<std::string> keyEnumerator() const;
  const Entries& entries() const { return entries_; }
  size_t count() const { return entries_.size(); }
  bool isEmpty() const { return entries_.empty(); }

  // "{key=value,...}" in entry order, no blanks.
  std::string description() const;
  void appendDescription(std::string& out) const;
  // The encoding as lower-case hex, two digits per byte.
  std::string hexDump() const;

  // Encoded size in bytes, computed once and kept.
  uint32_t serializedSize() const;
  bool writeToCodedOutputStream(ORVCodedOutputStream& output) const;
  // The encoding in a buffer of exactly serializedSize() bytes.
  std::vector<uint8_t> data() const;
  // Encodes into buffer[offset, offset + size), lengthening the buffer if
  // needed; bytes before the offset are left as they were.
  bool writeToData(std::vector<uint8_t>& buffer, size_t offset) const;
  bool writeToOutputStream(ORVOutputByteStream& output) const;

  // Parsers. On failure `out` is left untouched and false is returned, after
  // a log line where the failure has a message. Bytes after the value are
  // left unread.
  static bool parseDataObject(ORVDataObjectPtr& out, ORVCodedInputStream& input);
  // The span forms copy the bytes once into a shared buffer that the parsed
  // values borrow from; the ORVInputBufferPtr form borrows the given buffer.
  static bool parseDataObject(ORVDataObjectPtr& out, std::span<const uint8_t> data);
  static bool parseDataObject(ORVDataObjectPtr& out, ORVInputBufferPtr data);
  static bool parseDataObject(ORVDataObjectPtr& out, std::span<const uint8_t> data, size_t offset, size_t length);
  static bool parseDataObject(ORVDataObjectPtr& out, ORVInputByteStream& stream);
  static bool parseDataObject(ORVDataObjectPtr& out, std::istream& stream);

 private:
  friend class ORVDataObjectBuilder;
  // Builders and the parser add up the entry sizes as they go, so a new
  // value starts with its size known and its first encode walks it once.
  void presetSerializedSize(uint64_t entriesSize) const {
    memoizedSerializedSize_.store(ORVCollectionSize(entries_.size(), entriesSize), std::memory_order_relaxed);
  }
  static uint64_t entrySize(std::string_view key, const ORVDataElement& element) {
    return ORVVarint32Size(key.size()) + key.size() + element.serializedSize();
  }

  // Keeps the input alive for the borrowed runs of entries_, unless the
  // object came from the parse arena (its control block holds the input).
  ORVInputBufferPtr sharedBuffer_;
  Entries entries_;
  ORVKeyIndex index_;  // built only for objects above ORVKeyIndex::kLinearLimit keys
  mutable std::atomic<uint32_t> memoizedSerializedSize_{0xFFFFFFFFu};
};

class ORVDataObjectBuilder {
 public:
  ORVDataObjectBuilder() = default;
  // Capacity hint only; not checked (builderWithCapacity checks it).
  explicit ORVDataObjectBuilder(uint32_t capacity) { entries_.reserve(capacity); }

  // Every put throws ORVInternalInconsistencyException "Size limit exceeded"
  // once the builder holds 4096 entries, even when it would only replace.
  ORVDataObjectBuilder& putBool(bool value, std::string_view key);
  ORVDataObjectBuilder& putByteArray(const std::vector<uint8_t>& value, std::string_view key);
  ORVDataObjectBuilder& putInt32(int32_t value, std::string_view key);
  ORVDataObjectBuilder& putInt64(int64_t value, std::string_view key);
  ORVDataObjectBuilder& putString(std::string_view value, std::string_view key);
  ORVDataObjectBuilder& putFloat(float value, std::string_view key);
  ORVDataObjectBuilder& putDouble(double value, std::string_view key);
  // Throws ORVInvalidArgumentException for a null value.
  ORVDataObjectBuilder& putDataObject(ORVDataObjectPtr value, std::string_view key);
  ORVDataObjectBuilder& putDataArray(ORVDataArrayPtr value, std::string_view key);
  ORVDataObjectBuilder& putElement(ORVDataElement element, std::string_view key);
  // Same as putElement for a key owned by the caller (saves a copy in parsing).
  ORVDataObjectBuilder& putElement(ORVDataElement&& element, std::string&& key);
  ORVDataObjectBuilder& removeObjectForKey(std::string_view key);

  size_t count() const { return entries_.size(); }
  // Hands the entries to a new object; the builder is empty afterwards.
  ORVDataObjectPtr build();

 private:
  template <typename Key>
  ORVDataObjectBuilder& store(ORVDataElement&& element, Key&& key);
  int64_t find(std::string_view key) const;

  ORVDataObject::Entries entries_;
  ORVKeyIndex index_;
  uint64_t entriesSize_ = 0;  // summed encoded size of the entries
};
