#pragma once
// One entry of orv-cli's subcommand table. A subcommand gets the arguments
// after its name and the two output streams; it returns the exit status.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvcli {

struct Subcommand {
  std::string_view name;
  std::string_view usage;    // arguments, e.g. "--array JSON | --object JSON"
  std::string_view summary;  // one line for the help text
  int (*run)(std::span<const std::string> args, std::ostream& out, std::ostream& err);
};

// Every subcommand of the tool, in the order the help text lists them.
const std::vector<Subcommand>& subcommands();

// Runs argv[1..] against the table: help, unknown names, dispatch.
int runCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace orvcli
