#include "client/ORVEvent.h"

ORVEvent::ORVEvent(int32_t type, Params params) : type_(type), params_(std::move(params)) {}

ORVEventPtr ORVEvent::eventWithType(int32_t type) { return std::make_shared<const ORVEvent>(type, Params{}); }

ORVEventPtr ORVEvent::eventWithType(int32_t type, Params params) {
  return std::make_shared<const ORVEvent>(type, std::move(params));
}

std::any ORVEvent::valueForParameter(std::string_view key) const {
  auto it = params_.find(key);
  return it == params_.end() ? std::any{} : it->second;
}

std::string ORVEvent::description() const { return "Event{type=" + std::to_string(type_) + "}"; }
