#include "wire/ORVValueEquality.h"

#include <cstring>

bool ORVValuesEqual(const ORVDataElement& a, const ORVDataElement& b) {
  if (a.type() != b.type()) return false;
  const auto& x = a.value();
  const auto& y = b.value();
  switch (a.type()) {
    case ORVDataTypeFloat: {
      float fx = std::get<5>(x), fy = std::get<5>(y);
      return std::memcmp(&fx, &fy, sizeof fx) == 0;
    }
    case ORVDataTypeDouble: {
      double dx = std::get<6>(x), dy = std::get<6>(y);
      return std::memcmp(&dx, &dy, sizeof dx) == 0;
    }
    case ORVDataTypeDataObject: return ORVValuesEqual(*std::get<8>(x), *std::get<8>(y));
    case ORVDataTypeDataArray: return ORVValuesEqual(*std::get<9>(x), *std::get<9>(y));
    default: return x == y;
  }
}

bool ORVValuesEqual(const ORVDataObject& a, const ORVDataObject& b) {
  if (&a == &b) return true;
  if (a.count() != b.count()) return false;
  for (const auto& [key, element] : a.entries()) {
    const ORVDataElement* other = b.elementForKey(key);
    if (other == nullptr || !ORVValuesEqual(element, *other)) return false;
  }
  return true;
}

bool ORVValuesEqual(const ORVDataArray& a, const ORVDataArray& b) {
  if (&a == &b) return true;
  if (a.count() != b.count()) return false;
  for (size_t i = 0; i < a.count(); ++i) {
    if (!ORVValuesEqual(a.elements()[i], b.elements()[i])) return false;
  }
  return true;
}
