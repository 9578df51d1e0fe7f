#pragma once
// Typed JSON: JSON text standing for wire values, in both directions.
//
// Reading: a JSON object is a data object, an array a data array, true/false
// a bool, a string a string, an integer an int32 when it fits and an int64
// otherwise, any other number a double. A one-key object forces a kind:
// {"$int32": n}, {"$int64": n}, {"$float": x}, {"$double": x},
// {"$bytes": "0aff"}, and {"$object": {...}} for a data object whose single
// key happens to be one of these names. Non-finite floats and doubles are
// written as the strings "NaN", "Infinity" and "-Infinity".
//
// Writing gives the shortest such text that encodes back to the same bytes:
// entries in the order read, no blanks, numbers printed so that they read
// back to the identical bits.

#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace orvcli {

using Json = nlohmann::ordered_json;

class TypedJsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each throws TypedJsonError with a one-line reason on input that is not
// typed JSON of the expected kind (and lets the library's limit exceptions
// through, e.g. more than 4096 entries).
ORVDataElement elementFromJson(const Json& json);
ORVDataObjectPtr objectFromJson(const Json& json);
ORVDataArrayPtr arrayFromJson(const Json& json);

std::string toTypedJson(const ORVDataElement& element);
std::string toTypedJson(const ORVDataObject& object);
std::string toTypedJson(const ORVDataArray& array);

}  // namespace orvcli
