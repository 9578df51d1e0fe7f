#include "wire/ORVDataElement.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Log.h"
#include "wire/ORVCodedOutputStream.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVExceptions.h"

namespace {

// Float to integer with the range clamped and NaN read as 0: a plain cast of
// an out-of-range value is undefined behaviour and gives garbage in practice.
template <typename Int>
Int clampToInt(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMin = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double kMax = static_cast<double>(std::numeric_limits<Int>::max());
  if (value <= kMin) return std::numeric_limits<Int>::min();
  if (value >= kMax) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}

std::string_view skipLeadingBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  return text;
}

// The leading decimal integer of a text, saturated; 0 when there is none.
int64_t leadingInteger(std::string_view text) {
  text = skipLeadingBlanks(text);
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    return (!text.empty() && text[0] == '-') ? std::numeric_limits<int64_t>::min()
                                             : std::numeric_limits<int64_t>::max();
  }
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

// The leading decimal number of a text (locale-independent); 0 when none.
double leadingNumber(std::string_view text) {
  text = skipLeadingBlanks(text);
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

// Every numeric read goes through double or int64 so that the conversion rules
// are written once.
struct NumberView {
  bool isInteger = true;
  int64_t integer = 0;
  double real = 0;
};

NumberView numberOf(const ORVDataElement::Value& v) {
  NumberView n;
  switch (v.index()) {
    case ORVDataTypeBool: n.integer = (*std::get_if<1>(&v)) ? 1 : 0; break;
    case ORVDataTypeInt32: n.integer = (*std::get_if<3>(&v)); break;
    case ORVDataTypeInt64: n.integer = (*std::get_if<4>(&v)); break;
    case ORVDataTypeFloat: n.isInteger = false; n.real = (*std::get_if<5>(&v)); break;
    case ORVDataTypeDouble: n.isInteger = false; n.real = (*std::get_if<6>(&v)); break;
    case ORVDataTypeString: {
      // Real reads take the leading number ("2.5" is 2.5); the integer reads
      // below take the leading integer instead.
      n.isInteger = false;
      n.real = leadingNumber((*std::get_if<7>(&v)));
      break;
    }
    default: break;
  }
  if (n.isInteger) n.real = static_cast<double>(n.integer);
  return n;
}

const char kHexDigits[] = "0123456789abcdef";

// Appends a string cut at 64 UTF-16 code units plus "..."; a character that
// needs two code units is never split, so the result stays valid UTF-8.
void appendShortened(std::string& out, std::string_view text) {
  constexpr size_t kMaxUnits = 64;
  size_t units = 0;
  size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<uint8_t>(text[i]);
    size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    size_t charUnits = bytes == 4 ? 2 : 1;
    if (units + charUnits > kMaxUnits) {
      out.append(text.substr(0, i));
      out += "...";
      return;
    }
    units += charUnits;
    i += bytes;
  }
  out += text;
}

template <typename Float>
void appendFloat(std::string& out, Float value) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  out.append(buf, ptr);
}

}  // namespace

void ORVDataElement::throwNullValue() { throw ORVInvalidArgumentException("null data object or array"); }

void ORVDataElement::throwInvalidUtf8(const char* what) {
  throw ORVInvalidArgumentException(std::string("invalid UTF-8 in ") + what);
}

ORVDataElement ORVDataElement::dataElementWithDataObject(ORVDataObjectPtr value) {
  if (!value) throw ORVInvalidArgumentException("null data object");
  return ORVDataElement(Value(std::in_place_index<8>, std::move(value)));
}

ORVDataElement ORVDataElement::dataElementWithDataArray(ORVDataArrayPtr value) {
  if (!value) throw ORVInvalidArgumentException("null data array");
  return ORVDataElement(Value(std::in_place_index<9>, std::move(value)));
}

bool ORVDataElement::boolValue() const {
  NumberView n = numberOf(value_);
  return n.isInteger ? n.integer != 0 : n.real != 0;
}

int32_t ORVDataElement::int32Value() const {
  if (auto p = std::get_if<3>(&value_)) return *p;
  if (auto s = std::get_if<7>(&value_)) {
    // A text number beyond the int32 range saturates, as text parsing does.
    int64_t i = leadingInteger(*s);
    if (i > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (i < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(i);
  }
  NumberView n = numberOf(value_);
  if (!n.isInteger) return clampToInt<int32_t>(n.real);
  return static_cast<int32_t>(n.integer);  // an int64 keeps its low 32 bits, like a C cast
}

int64_t ORVDataElement::int64Value() const {
  if (auto p = std::get_if<4>(&value_)) return *p;
  if (auto s = std::get_if<7>(&value_)) return leadingInteger(*s);
  NumberView n = numberOf(value_);
  return n.isInteger ? n.integer : clampToInt<int64_t>(n.real);
}

float ORVDataElement::floatValue() const {
  if (auto p = std::get_if<5>(&value_)) return *p;
  return static_cast<float>(numberOf(value_).real);
}

double ORVDataElement::doubleValue() const {
  if (auto p = std::get_if<6>(&value_)) return *p;
  return numberOf(value_).real;
}

std::optional<std::string> ORVDataElement::stringValue() const {
  if (auto p = std::get_if<7>(&value_)) return p->copy();
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> ORVDataElement::byteArrayValue() const {
  if (auto p = std::get_if<2>(&value_)) return p->copy();
  return std::nullopt;
}

ORVDataObjectPtr ORVDataElement::dataObjectValue() const {
  if (auto p = std::get_if<8>(&value_)) return *p;
  return nullptr;
}

ORVDataArrayPtr ORVDataElement::dataArrayValue() const {
  if (auto p = std::get_if<9>(&value_)) return *p;
  return nullptr;
}

std::string ORVDataElement::description() const {
  std::string out;
  appendDescription(out);
  return out;
}

void ORVDataElement::appendDescription(std::string& out) const {
  switch (value_.index()) {
    case ORVDataTypeBool: out += (*std::get_if<1>(&value_)) ? "YES" : "NO"; break;
    case ORVDataTypeByteArray: {
      out += '<';
      for (uint8_t b : (*std::get_if<2>(&value_))) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 15];
      }
      out += '>';
      break;
    }
    case ORVDataTypeInt32: out += std::to_string((*std::get_if<3>(&value_))); break;
    case ORVDataTypeInt64: out += std::to_string((*std::get_if<4>(&value_))); break;
    case ORVDataTypeFloat: appendFloat(out, (*std::get_if<5>(&value_))); break;
    case ORVDataTypeDouble: appendFloat(out, (*std::get_if<6>(&value_))); break;
    case ORVDataTypeString: appendShortened(out, (*std::get_if<7>(&value_))); break;
    case ORVDataTypeDataObject: (*std::get_if<8>(&value_))->appendDescription(out); break;
    case ORVDataTypeDataArray: (*std::get_if<9>(&value_))->appendDescription(out); break;
    default: break;
  }
}

uint32_t ORVDataElement::otherSize() const {
  switch (value_.index()) {
    case ORVDataTypeInt64:
      return 1 + ORVCodedOutputStream::computeRawVarint64Size(static_cast<uint64_t>(*std::get_if<4>(&value_)));
    case ORVDataTypeDataObject: return ORVAddSizes(1, (*std::get_if<8>(&value_))->serializedSize());
    case ORVDataTypeDataArray: return ORVAddSizes(1, (*std::get_if<9>(&value_))->serializedSize());
    default:
      orv::log("ORVDataElement::serializedSize", "Invalid data type: " + std::to_string(value_.index()));
      return 0;
  }
}

bool ORVDataElement::writeToCodedOutputStream(ORVCodedOutputStream& output) const {
  switch (value_.index()) {
    case ORVDataTypeBool: output.writeBool((*std::get_if<1>(&value_))); return true;
    case ORVDataTypeByteArray: output.writeData((*std::get_if<2>(&value_))); return true;
    case ORVDataTypeInt32: output.writeInt32((*std::get_if<3>(&value_))); return true;
    case ORVDataTypeInt64: output.writeInt64((*std::get_if<4>(&value_))); return true;
    case ORVDataTypeFloat: output.writeFloat((*std::get_if<5>(&value_))); return true;
    case ORVDataTypeDouble: output.writeDouble((*std::get_if<6>(&value_))); return true;
    case ORVDataTypeString: output.writeString((*std::get_if<7>(&value_))); return true;
    case ORVDataTypeDataObject:
      output.writeTag(ORVDataTypeDataObject);
      return (*std::get_if<8>(&value_))->writeToCodedOutputStream(output);
    case ORVDataTypeDataArray:
      output.writeTag(ORVDataTypeDataArray);
      return (*std::get_if<9>(&value_))->writeToCodedOutputStream(output);
    default:
      orv::log("ORVDataElement::writeToCodedOutputStream",
               "Invalid data type: " + std::to_string(value_.index()));
      return false;
  }
}
