#pragma once
// A named typed value. Nothing in the library creates variables; the
// constructor is the only way to set the fields, which are read-only after.

#include <cstdint>
#include <optional>
#include <string>

#include "wire/ORVDataElement.h"

class ORVVariable {
 public:
  using Value = ORVDataElement::Value;

  ORVVariable() = default;
  ORVVariable(std::string name, int32_t type, Value value)
      : name_(std::move(name)), type_(type), value_(std::move(value)) {}
  virtual ~ORVVariable() = default;

  const std::string& name() const { return name_; }
  int32_t type() const { return type_; }
  const Value& value() const { return value_; }

  // The value converted as a number; 0 (false) when it holds no number.
  bool boolValue() const;
  int32_t int32Value() const;
  int64_t int64Value() const;
  float floatValue() const;
  double doubleValue() const;
  // The value as it is held, or nothing when it holds another kind.
  std::optional<std::string> stringValue() const;
  ORVDataObjectPtr dataObjectValue() const;
  ORVDataArrayPtr dataArrayValue() const;
  // Always the shared empty array.
  ORVDataArrayPtr dataArray() const;

 private:
  std::string name_;
  int32_t type_ = 0;
  Value value_;
};
