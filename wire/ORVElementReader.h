#pragma once
// Reads the payload of one element after its type byte; shared by the object
// and array parsers. The sink gets the type index and the value, to build the
// element in place. An unknown tag logs "Invalid data type: %d" under the
// caller's operation name; a payload that cannot be read fails silently.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Log.h"
#include "wire/ORVCodedInputStream.h"
#include "wire/ORVDataElement.h"

template <typename Sink>
inline bool ORVReadElement(ORVCodedInputStream& input, int32_t tag, std::string_view operation, Sink&& sink) {
  switch (tag) {
    case ORVDataTypeBool: {
      bool v;
      if (!input.readBool(v)) return false;
      sink(std::in_place_index<1>, v);
      return true;
    }
    case ORVDataTypeByteArray: {
      std::vector<uint8_t> v;
      if (!input.readData(v)) return false;
      sink(std::in_place_index<2>, std::move(v));
      return true;
    }
    case ORVDataTypeInt32: {
      int32_t v;
      if (!input.readInt32(v)) return false;
      sink(std::in_place_index<3>, v);
      return true;
    }
    case ORVDataTypeInt64: {
      int64_t v;
      if (!input.readInt64(v)) return false;
      sink(std::in_place_index<4>, v);
      return true;
    }
    case ORVDataTypeFloat: {
      float v;
      if (!input.readFloat(v)) return false;
      sink(std::in_place_index<5>, v);
      return true;
    }
    case ORVDataTypeDouble: {
      double v;
      if (!input.readDouble(v)) return false;
      sink(std::in_place_index<6>, v);
      return true;
    }
    case ORVDataTypeString: {
      std::string_view v;
      std::string scratch;
      if (!input.readStringView(v, scratch)) return false;
      sink(std::in_place_index<7>, v);
      return true;
    }
    case ORVDataTypeDataObject: {
      ORVDataObjectPtr v;
      if (!input.readDataObject(v)) return false;
      sink(std::in_place_index<8>, std::move(v));
      return true;
    }
    case ORVDataTypeDataArray: {
      ORVDataArrayPtr v;
      if (!input.readDataArray(v)) return false;
      sink(std::in_place_index<9>, std::move(v));
      return true;
    }
    default:
      orv::log(operation, "Invalid data type: " + std::to_string(tag));
      return false;
  }
}

// How many entries to reserve for an announced count: every entry takes at
// least two bytes, so a short input cannot make us reserve thousands.
inline size_t ORVReserveFor(uint32_t count, const ORVCodedInputStream& input) {
  int64_t fit = input.maxBytesAvailable() / 2 + 1;
  return static_cast<size_t>(fit < count ? fit : count);
}
