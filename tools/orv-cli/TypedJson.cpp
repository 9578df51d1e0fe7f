#include "tools/orv-cli/TypedJson.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "tools/orv-cli/HexInput.h"
#include "wire/ORVHex.h"

namespace orvcli {

namespace {

// Receivers refuse values nested deeper than 64 levels below the outermost
// one; refusing them here also keeps this recursive reader off deep input.
constexpr int kMaxDepth = 64;

ORVDataElement elementAt(const Json& json, int depth);
ORVDataArrayPtr arrayAt(const Json& json, int depth);

constexpr std::string_view kForms[] = {"$int32", "$int64", "$float", "$double", "$bytes", "$object"};

bool isFormName(std::string_view key) {
  for (std::string_view f : kForms) {
    if (f == key) return true;
  }
  return false;
}

std::string describe(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

// int64 value of a JSON integer, or an error for floats and out-of-range values.
int64_t integerOf(const Json& json, std::string_view form) {
  if (json.is_number_unsigned()) {
    uint64_t u = json.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      throw TypedJsonError(std::string(form) + " value out of range: " + describe(json));
    }
    return static_cast<int64_t>(u);
  }
  if (json.is_number_integer()) return json.get<int64_t>();
  throw TypedJsonError(std::string(form) + " expects an integer, got " + describe(json));
}

double realOf(const Json& json, std::string_view form) {
  if (json.is_number()) return json.get<double>();
  if (json.is_string()) {
    const std::string& s = json.get_ref<const std::string&>();
    if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (s == "Infinity") return std::numeric_limits<double>::infinity();
    if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
  }
  throw TypedJsonError(std::string(form) + " expects a number, \"NaN\", \"Infinity\" or \"-Infinity\", got " +
                       describe(json));
}

ORVDataObjectPtr plainObject(const Json& json, int depth) {
  if (json.size() > ORVMaxCollectionSize) {
    throw TypedJsonError("object of " + std::to_string(json.size()) + " entries exceeds the limit of 4096");
  }
  ORVDataObjectBuilder builder = ORVDataObject::builderWithCapacity(static_cast<uint32_t>(json.size()));
  for (const auto& [key, value] : json.items()) builder.putElement(elementAt(value, depth + 1), key);
  return builder.build();
}

ORVDataElement formElement(std::string_view form, const Json& value, int depth) {
  if (form == "$int32") {
    int64_t v = integerOf(value, form);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
      throw TypedJsonError("$int32 value out of range: " + describe(value));
    }
    return ORVDataElement::dataElementWithInt32(static_cast<int32_t>(v));
  }
  if (form == "$int64") return ORVDataElement::dataElementWithInt64(integerOf(value, form));
  if (form == "$double") return ORVDataElement::dataElementWithDouble(realOf(value, form));
  if (form == "$float") {
    double d = realOf(value, form);
    if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) {
      throw TypedJsonError("$float value out of range: " + describe(value));
    }
    return ORVDataElement::dataElementWithFloat(static_cast<float>(d));
  }
  if (form == "$bytes") {
    if (!value.is_string()) throw TypedJsonError("$bytes expects a hex string, got " + describe(value));
    std::string error;
    auto bytes = bytesFromHex(value.get_ref<const std::string&>(), error);
    if (!bytes) throw TypedJsonError("$bytes: " + error);
    return ORVDataElement::dataElementWithByteArray(std::move(*bytes));
  }
  // "$object"
  if (!value.is_object()) throw TypedJsonError("$object expects a JSON object, got " + describe(value));
  return ORVDataElement::dataElementWithDataObject(plainObject(value, depth));
}

// ---- writing --------------------------------------------------------------

template <typename Float>
std::string shortest(Float value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  return std::string(buf, end);
}

// A finite number as JSON text that reads back (as a double, then narrowed
// for floats) to the same bits. -0 needs a fraction, or JSON reads it as
// the integer 0.
template <typename Float>
std::string exactNumber(Float value) {
  if (value == 0 && std::signbit(value)) return "-0.0";
  std::string text = shortest(value);
  if constexpr (std::is_same_v<Float, float>) {
    // The shortest float digits, read as a double and narrowed, nearly always
    // give the float back; when they do not, the exact double is printed.
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    if (static_cast<float>(d) != value) text = shortest(static_cast<double>(value));
  }
  return text;
}

template <typename Float>
std::string realText(Float value) {
  if (std::isnan(value)) return "\"NaN\"";
  if (std::isinf(value)) return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  return exactNumber(value);
}

std::string quoted(std::string_view text) { return describe(Json(std::string(text))); }

void write(const ORVDataElement& element, std::string& out);

void write(const ORVDataObject& object, std::string& out) {
  bool wrap = object.count() == 1 && isFormName(object.entries().front().first);
  if (wrap) out += "{\"$object\":";
  out += '{';
  bool first = true;
  for (const auto& [key, element] : object.entries()) {
    if (!first) out += ',';
    first = false;
    out += quoted(key);
    out += ':';
    write(element, out);
  }
  out += '}';
  if (wrap) out += '}';
}

void write(const ORVDataArray& array, std::string& out) {
  out += '[';
  bool first = true;
  for (const ORVDataElement& element : array.elements()) {
    if (!first) out += ',';
    first = false;
    write(element, out);
  }
  out += ']';
}

void write(const ORVDataElement& element, std::string& out) {
  const ORVDataElement::Value& v = element.value();
  switch (element.type()) {
    case ORVDataTypeBool: out += std::get<bool>(v) ? "true" : "false"; break;
    case ORVDataTypeInt32: out += std::to_string(std::get<int32_t>(v)); break;
    case ORVDataTypeInt64: {
      int64_t i = std::get<int64_t>(v);
      bool fitsInt32 = i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max();
      out += fitsInt32 ? "{\"$int64\":" + std::to_string(i) + "}" : std::to_string(i);
      break;
    }
    case ORVDataTypeFloat: out += "{\"$float\":" + realText(std::get<float>(v)) + "}"; break;
    case ORVDataTypeDouble: {
      double d = std::get<double>(v);
      // A bare number with no fraction would read back as an integer.
      bool bare = std::isfinite(d) && d != std::trunc(d);
      out += bare ? exactNumber(d) : "{\"$double\":" + realText(d) + "}";
      break;
    }
    case ORVDataTypeString: out += quoted(std::get<ORVText>(v)); break;
    case ORVDataTypeByteArray: out += "{\"$bytes\":\"" + orv_hexString(std::get<ORVBytes>(v)) + "\"}"; break;
    case ORVDataTypeDataObject: write(*std::get<ORVDataObjectPtr>(v), out); break;
    case ORVDataTypeDataArray: write(*std::get<ORVDataArrayPtr>(v), out); break;
    default: out += "null"; break;
  }
}

}  // namespace

namespace {

ORVDataElement elementAt(const Json& json, int depth) {
  switch (json.type()) {
    case Json::value_t::boolean: return ORVDataElement::dataElementWithBool(json.get<bool>());
    case Json::value_t::string: return ORVDataElement::dataElementWithString(json.get<std::string>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: {
      int64_t v = integerOf(json, "integer");
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
        return ORVDataElement::dataElementWithInt32(static_cast<int32_t>(v));
      }
      return ORVDataElement::dataElementWithInt64(v);
    }
    case Json::value_t::number_float: return ORVDataElement::dataElementWithDouble(json.get<double>());
    case Json::value_t::array:
    case Json::value_t::object: break;
    default: throw TypedJsonError("null has no wire value");
  }
  if (depth > kMaxDepth) throw TypedJsonError("nested deeper than 64 levels below the outermost value");
  if (json.is_array()) return ORVDataElement::dataElementWithDataArray(arrayAt(json, depth));
  if (json.size() == 1 && isFormName(json.begin().key())) {
    return formElement(json.begin().key(), json.begin().value(), depth);
  }
  return ORVDataElement::dataElementWithDataObject(plainObject(json, depth));
}

ORVDataArrayPtr arrayAt(const Json& json, int depth) {
  if (json.size() > ORVMaxCollectionSize) {
    throw TypedJsonError("array of " + std::to_string(json.size()) + " elements exceeds the limit of 4096");
  }
  ORVDataArrayBuilder builder = ORVDataArray::builderWithCapacity(static_cast<uint32_t>(json.size()));
  for (const Json& item : json) builder.addElement(elementAt(item, depth + 1));
  return builder.build();
}

}  // namespace

ORVDataElement elementFromJson(const Json& json) { return elementAt(json, 0); }

ORVDataObjectPtr objectFromJson(const Json& json) {
  if (!json.is_object()) throw TypedJsonError("expected a JSON object, got " + describe(json));
  ORVDataObjectPtr object = elementAt(json, 0).dataObjectValue();
  if (!object) throw TypedJsonError("expected a data object, got the typed form " + describe(json));
  return object;
}

ORVDataArrayPtr arrayFromJson(const Json& json) {
  if (!json.is_array()) throw TypedJsonError("expected a JSON array, got " + describe(json));
  return arrayAt(json, 0);
}

std::string toTypedJson(const ORVDataElement& element) {
  std::string out;
  write(element, out);
  return out;
}

std::string toTypedJson(const ORVDataObject& object) {
  std::string out;
  write(object, out);
  return out;
}

std::string toTypedJson(const ORVDataArray& array) {
  std::string out;
  write(array, out);
  return out;
}

}  // namespace orvcli
