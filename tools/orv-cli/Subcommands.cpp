#include "tools/orv-cli/Subcommand.h"

#include <ostream>

#include "tools/orv-cli/CodecCommands.h"
#include "tools/orv-cli/MessageCommands.h"

namespace orvcli {

const std::vector<Subcommand>& subcommands() {
  static const std::vector<Subcommand> table = [] {
    std::vector<Subcommand> all;
    // Before the value codec: these share its names and forward to it.
    for (const Subcommand& s : messageSubcommands()) all.push_back(s);
    for (const Subcommand& s : codecSubcommands()) all.push_back(s);
    // Other modules append their entries here.
    return all;
  }();
  return table;
}

namespace {
void printHelp(std::ostream& out) {
  out << "usage: orv-cli <subcommand> [arguments]\n\nsubcommands:\n";
  for (const Subcommand& s : subcommands()) {
    out << "  " << s.name << " " << s.usage << "\n      " << s.summary << "\n";
  }
}
}  // namespace

int runCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    printHelp(err);
    return 2;
  }
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    printHelp(out);
    return 0;
  }
  for (const Subcommand& s : subcommands()) {
    if (s.name == args[0]) return s.run(args.subspan(1), out, err);
  }
  err << "orv-cli: unknown subcommand \"" << args[0] << "\" (try orv-cli help)\n";
  return 2;
}

}  // namespace orvcli
