// orv-cli: see Subcommand.h for the table of subcommands.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tools/orv-cli/Subcommand.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return orvcli::runCli(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    // Subcommands report bad input themselves; this is the last guard so
    // that nothing ends in an uncaught exception.
    std::cerr << "orv-cli: " << e.what() << "\n";
    return 1;
  }
}
