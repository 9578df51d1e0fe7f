#pragma once
// An immutable session event: a type and named parameters.
//
// Parameter values are held as std::any: "success" is a bool, "reason" and
// "errorCode" are int32_t, "user" is ORVUserPtr, "loginParams" is
// ORVDataObjectPtr, "errorParams" is ORVDataArrayPtr.

#include <any>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "client/ORVEventType.h"

class ORVEvent;
using ORVEventPtr = std::shared_ptr<const ORVEvent>;

class ORVEvent {
 public:
  using Params = std::map<std::string, std::any, std::less<>>;

  ORVEvent(int32_t type, Params params);

  static ORVEventPtr eventWithType(int32_t type);
  static ORVEventPtr eventWithType(int32_t type, Params params);

  int32_t type() const { return type_; }
  const Params& params() const { return params_; }

  // The value of a parameter, or an empty std::any when absent.
  std::any valueForParameter(std::string_view key) const;

  // Typed read: the parameter when present and of type T, else nullopt-like
  // nullptr. Saves callers an any_cast with its exception.
  template <typename T>
  const T* parameter(std::string_view key) const {
    auto it = params_.find(key);
    return it == params_.end() ? nullptr : std::any_cast<T>(&it->second);
  }

  // "Event{type=%d}"
  std::string description() const;

 private:
  int32_t type_;
  Params params_;
};
