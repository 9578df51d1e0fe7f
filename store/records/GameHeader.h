#pragma once
// The heading of one home section: its title ("tl" of the section entry) and
// the command that lists the whole section ("id", read as a string).

#include <string>

namespace orv::store {

class GameHeader {
 public:
  GameHeader() = default;
  GameHeader(std::string title, std::string command) : title_(std::move(title)), command_(std::move(command)) {}

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::string& command() const { return command_; }
  void setCommand(std::string command) { command_ = std::move(command); }

  bool operator==(const GameHeader&) const = default;

 private:
  std::string title_;
  std::string command_;
};

}  // namespace orv::store
