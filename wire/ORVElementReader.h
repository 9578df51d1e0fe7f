#pragma once
// Reads the payload of one element after its type byte; shared by the object
// and array parsers. The sink gets the type index and the value, to build the
// element in place. Texts and byte arrays come as runs that borrow from the
// stream's shared buffer when it has one (the caller's collection then holds
// that buffer), else as owned copies. An unknown tag logs "Invalid data type:
// %d" under the caller's operation name; a payload that cannot be read fails
// silently.

#include <cassert>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Log.h"
#include "wire/ORVCodedInputStream.h"
#include "wire/ORVDataElement.h"

// The type code carried by the index a sink receives.
template <typename>
struct ORVTypeCodeOf;
template <size_t I>
struct ORVTypeCodeOf<std::in_place_index_t<I>> {
  static constexpr size_t value = I;
};

class ORVElementReader {
 public:
  template <typename Sink>
  static bool read(ORVCodedInputStream& input, int32_t tag, std::string_view operation, Sink&& sink);

  // A run over bytes of the stream: borrowed when the stream reads a shared
  // buffer (its views always lie in it), else owned.
  template <typename T>
  static ORVRun<T> run(const ORVCodedInputStream& input, typename ORVRun<T>::View view) {
    if (input.viewsAreShared()) {
      assert(input.sharedBuffer()->contains(view.data(), view.size()));
      return ORVRun<T>::borrow(view);
    }
    return ORVRun<T>(view);
  }
};

template <typename Sink>
bool ORVElementReader::read(ORVCodedInputStream& input, int32_t tag, std::string_view operation, Sink&& sink) {
  switch (tag) {
    case ORVDataTypeBool: {
      bool v;
      if (!input.readBool(v)) return false;
      sink(std::in_place_index<1>, v);
      return true;
    }
    case ORVDataTypeByteArray: {
      std::span<const uint8_t> v;
      std::vector<uint8_t> scratch;
      if (!input.readDataView(v, scratch)) return false;
      sink(std::in_place_index<2>, run<uint8_t>(input, v));
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
      sink(std::in_place_index<7>, run<char>(input, v));
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
