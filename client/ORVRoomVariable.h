#pragma once
// A variable attached to a room, with its persistence and privacy flags.

#include "client/ORVVariable.h"

class ORVRoomVariable : public ORVVariable {
 public:
  ORVRoomVariable() = default;
  ORVRoomVariable(std::string name, int32_t type, Value value, bool persistent, bool isPrivate)
      : ORVVariable(std::move(name), type, std::move(value)), persistent_(persistent), private_(isPrivate) {}

  bool isPersistent() const { return persistent_; }
  bool isPrivate() const { return private_; }
  std::string description() const { return ""; }

 private:
  bool persistent_ = false;
  bool private_ = false;
};
