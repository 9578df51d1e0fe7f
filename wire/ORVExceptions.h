#pragma once
// The three kinds of programming error the library raises. what() is the
// reason text (for example "cmd", "Capacity limit exceeded"). Conditions of
// data, connection and server are never raised: they are logged and reported
// through return values and events.

#include <stdexcept>
#include <string>

class ORVInvalidArgumentException : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

class ORVInternalInconsistencyException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class ORVGenericException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};
