#include "client/ORVVariable.h"

#include <limits>
#include <type_traits>

#include "wire/ORVDataArray.h"

namespace {

template <typename T>
T asNumber(const ORVVariable::Value& value) {
  return std::visit(
      [](const auto& held) -> T {
        using H = std::decay_t<decltype(held)>;
        if constexpr (std::is_floating_point_v<H> && std::is_integral_v<T>) {
          // Out-of-range or NaN conversions are undefined; saturate instead.
          if (!(held == held)) return T{};
          if (held <= static_cast<H>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
          if (held >= static_cast<H>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
          return static_cast<T>(held);
        } else if constexpr (std::is_arithmetic_v<H>) {
          return static_cast<T>(held);
        } else {
          return T{};
        }
      },
      value);
}

}  // namespace

bool ORVVariable::boolValue() const { return asNumber<double>(value_) != 0.0; }
int32_t ORVVariable::int32Value() const { return asNumber<int32_t>(value_); }
int64_t ORVVariable::int64Value() const { return asNumber<int64_t>(value_); }
float ORVVariable::floatValue() const { return asNumber<float>(value_); }
double ORVVariable::doubleValue() const { return asNumber<double>(value_); }

std::optional<std::string> ORVVariable::stringValue() const {
  if (const auto* s = std::get_if<ORVText>(&value_)) return std::string(s->view());
  return std::nullopt;
}

ORVDataObjectPtr ORVVariable::dataObjectValue() const {
  if (const auto* o = std::get_if<ORVDataObjectPtr>(&value_)) return *o;
  return nullptr;
}

ORVDataArrayPtr ORVVariable::dataArrayValue() const {
  if (const auto* a = std::get_if<ORVDataArrayPtr>(&value_)) return *a;
  return nullptr;
}

ORVDataArrayPtr ORVVariable::dataArray() const { return ORVDataArray::dataArray(); }
