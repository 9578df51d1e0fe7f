#pragma once
// One typed value of the wire: a scalar, a text, a byte buffer or a nested
// object or array. Elements are small immutable values stored by value inside
// the collections; nested collections are shared (they are immutable too).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "wire/ORVRun.h"
#include "wire/ORVUtf8.h"

class ORVDataObject;
class ORVDataArray;
class ORVCodedOutputStream;

using ORVDataObjectPtr = std::shared_ptr<const ORVDataObject>;
using ORVDataArrayPtr = std::shared_ptr<const ORVDataArray>;

// The element type code; also the one-byte tag written before every element.
enum ORVDataType : int32_t {
  ORVDataTypeBool = 1,
  ORVDataTypeByteArray = 2,
  ORVDataTypeInt32 = 3,
  ORVDataTypeInt64 = 4,
  ORVDataTypeFloat = 5,
  ORVDataTypeDouble = 6,
  ORVDataTypeString = 7,
  ORVDataTypeDataObject = 8,
  ORVDataTypeDataArray = 9,
};

// Most entries an object or array may hold. Builders refuse to grow past it and
// parsers refuse a larger announced count, so a hostile peer cannot make us
// reserve or walk unbounded collections.
inline constexpr uint32_t ORVMaxCollectionSize = 4096;

// Largest encoded size we represent. Sizes add up saturating at this value, so
// a value built from many shared parts can never wrap around to a small size
// and be written truncated; encoding into memory refuses it instead.
inline constexpr uint32_t ORVMaxSerializedSize = 0x7FFFFFFF;

inline uint32_t ORVAddSizes(uint32_t a, uint32_t b) {
  uint64_t sum = static_cast<uint64_t>(a) + b;
  return sum >= ORVMaxSerializedSize ? ORVMaxSerializedSize : static_cast<uint32_t>(sum);
}

// Bytes of the varint for a length or count below 2^32.
inline uint32_t ORVVarint32Size(uint64_t value) {
  return value < (1u << 7) ? 1 : value < (1u << 14) ? 2 : value < (1u << 21) ? 3 : value < (1u << 28) ? 4 : 5;
}

// Size of a collection from its entry count and the summed size of its
// entries, saturated like ORVAddSizes.
inline uint32_t ORVCollectionSize(size_t count, uint64_t entriesSize) {
  uint64_t total = ORVVarint32Size(count) + entriesSize;
  return total >= ORVMaxSerializedSize ? ORVMaxSerializedSize : static_cast<uint32_t>(total);
}

class ORVDataElement {
 public:
  // The held value; the alternative index matches the type code (index 0 is
  // never held by an element made through the factories).
  using Value = std::variant<std::monostate, bool, ORVBytes, int32_t, int64_t, float, double, ORVText,
                             ORVDataObjectPtr, ORVDataArrayPtr>;

  static ORVDataElement dataElementWithBool(bool value) { return ORVDataElement(Value(std::in_place_index<1>, value)); }
  static ORVDataElement dataElementWithByteArray(const std::vector<uint8_t>& value) {
    return ORVDataElement(Value(std::in_place_index<2>, value.data(), value.size()));
  }
  static ORVDataElement dataElementWithInt32(int32_t value) { return ORVDataElement(Value(std::in_place_index<3>, value)); }
  static ORVDataElement dataElementWithInt64(int64_t value) { return ORVDataElement(Value(std::in_place_index<4>, value)); }
  static ORVDataElement dataElementWithFloat(float value) { return ORVDataElement(Value(std::in_place_index<5>, value)); }
  static ORVDataElement dataElementWithDouble(double value) { return ORVDataElement(Value(std::in_place_index<6>, value)); }
  // Throws ORVInvalidArgumentException for text that is not valid UTF-8:
  // every reader refuses such text, so writing it would make the peer drop
  // the whole connection.
  static ORVDataElement dataElementWithString(std::string_view value) {
    requireUtf8(value, "string");
    return ORVDataElement(Value(std::in_place_index<7>, value.data(), value.size()));
  }
  // Throws ORVInvalidArgumentException naming `what` when `text` is not valid
  // UTF-8 (used for values, keys and command names built by the application).
  static void requireUtf8(std::string_view text, const char* what) {
    if (!ORVIsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size())) throwInvalidUtf8(what);
  }
  // Throws ORVInvalidArgumentException for a null object or array.
  static ORVDataElement dataElementWithDataObject(ORVDataObjectPtr value);
  static ORVDataElement dataElementWithDataArray(ORVDataArrayPtr value);

  // Builds the value of type code I in place (the parsers use it to avoid a
  // move per element). A null object or array is refused as by the factories.
  template <size_t I, typename... Args>
  explicit ORVDataElement(std::in_place_index_t<I> index, Args&&... args) : value_(index, std::forward<Args>(args)...) {
    static_assert(I >= 1 && I <= 9, "not a type code");
    if constexpr (I >= 8) {
      if (!*std::get_if<I>(&value_)) throwNullValue();
    }
  }

  ORVDataType type() const { return static_cast<ORVDataType>(value_.index()); }
  const Value& value() const { return value_; }

  // Typed reads. They do not check the type: numeric reads convert any stored
  // number (bool as 0/1, floats truncated toward zero and clamped to the
  // target range, NaN as 0) and a stored string from its leading decimal
  // number; other kinds read as 0/false. The other reads give the stored value
  // of their own kind, or nothing.
  bool boolValue() const;
  int32_t int32Value() const;
  int64_t int64Value() const;
  float floatValue() const;
  double doubleValue() const;
  std::optional<std::string> stringValue() const;
  std::optional<std::vector<uint8_t>> byteArrayValue() const;
  ORVDataObjectPtr dataObjectValue() const;
  ORVDataArrayPtr dataArrayValue() const;

  // Borrowing reads for hot paths: null when the element holds another kind.
  // The run is valid as long as this element (or its collection) is.
  const ORVText* stringPointer() const { return std::get_if<7>(&value_); }
  // False when destroying this element would do nothing: a scalar, or a
  // text or byte run that does not own a heap block (parsed runs borrow).
  bool needsDestructor() const {
    switch (value_.index()) {
      case ORVDataTypeByteArray: return !std::get_if<2>(&value_)->isTrivialToDestroy();
      case ORVDataTypeString: return !std::get_if<7>(&value_)->isTrivialToDestroy();
      case ORVDataTypeDataObject:
      case ORVDataTypeDataArray: return true;
      default: return false;
    }
  }
  const ORVBytes* byteArrayPointer() const { return std::get_if<2>(&value_); }

  // Text form for logs: bools "YES"/"NO", strings cut at 64 UTF-16 code units
  // plus "...", byte buffers as <hex>, nested values by their description.
  std::string description() const;
  void appendDescription(std::string& out) const;

  // Encoded size in bytes (type byte included). Scalars are sized in a few
  // instructions; nested collections memoize their own size.
  uint32_t serializedSize() const {
    switch (value_.index()) {
      case ORVDataTypeBool: return 2;
      case ORVDataTypeByteArray: return textSize(std::get_if<2>(&value_)->size());
      case ORVDataTypeInt32: {
        int32_t v = *std::get_if<3>(&value_);
        return v < 0 ? 11 : 1 + ORVVarint32Size(static_cast<uint32_t>(v));
      }
      case ORVDataTypeFloat: return 5;
      case ORVDataTypeDouble: return 9;
      case ORVDataTypeString: return textSize(std::get_if<7>(&value_)->size());
      default: return otherSize();
    }
  }
  // serializedSize() of an element known to hold type code I, without the
  // switch: the parsers know the type of the element they have just built.
  template <size_t I>
  uint32_t serializedSizeOf() const {
    if constexpr (I == ORVDataTypeBool) {
      return 2;
    } else if constexpr (I == ORVDataTypeByteArray || I == ORVDataTypeString) {
      return textSize(std::get_if<I>(&value_)->size());
    } else if constexpr (I == ORVDataTypeInt32) {
      int32_t v = *std::get_if<I>(&value_);
      return v < 0 ? 11 : 1 + ORVVarint32Size(static_cast<uint32_t>(v));
    } else if constexpr (I == ORVDataTypeFloat) {
      return 5;
    } else if constexpr (I == ORVDataTypeDouble) {
      return 9;
    } else {
      return otherSize();
    }
  }
  // Writes the type byte and payload; false (and a log line) only for an
  // element that holds no value.
  bool writeToCodedOutputStream(ORVCodedOutputStream& output) const;

 private:
  explicit ORVDataElement(Value value) : value_(std::move(value)) {}
  [[noreturn]] static void throwNullValue();
  [[noreturn]] static void throwInvalidUtf8(const char* what);
  static uint32_t textSize(size_t n) {
    return ORVAddSizes(1 + ORVVarint32Size(n), n > ORVMaxSerializedSize ? ORVMaxSerializedSize : static_cast<uint32_t>(n));
  }
  // Int64 and nested values, out of line.
  uint32_t otherSize() const;
  Value value_;
};

// Destroys an element of a collection's vector, skipping the variant's
// destructor when it would do nothing (most elements of a parsed value).
inline void ORVDestroyElement(ORVDataElement* p) noexcept {
  if (p->needsDestructor()) std::destroy_at(p);
}
inline void ORVDestroyElement(std::pair<ORVText, ORVDataElement>* p) noexcept {
  if (!p->first.isTrivialToDestroy() || p->second.needsDestructor()) std::destroy_at(p);
}
