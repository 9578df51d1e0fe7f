#pragma once
// The logged-in user carried by the login event: immutable id and name.

#include <cstdint>
#include <memory>
#include <string>

class ORVUser;
using ORVUserPtr = std::shared_ptr<const ORVUser>;

class ORVUser {
 public:
  ORVUser(int32_t userId, std::string name) : userId_(userId), name_(std::move(name)) {}
  static ORVUserPtr userWithUserId(int32_t userId, std::string name) {
    return std::make_shared<const ORVUser>(userId, std::move(name));
  }
  int32_t userId() const { return userId_; }
  const std::string& name() const { return name_; }

 private:
  int32_t userId_;
  std::string name_;
};
