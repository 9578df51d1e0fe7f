#pragma once
// A variable attached to a user. Adds nothing but its (empty) description.

#include "client/ORVVariable.h"

class ORVUserVariable : public ORVVariable {
 public:
  using ORVVariable::ORVVariable;
  std::string description() const { return ""; }
};
