#pragma once
// orv-cli call: connects to a session server, handshakes, logs in, sends one
// extension request and prints the first answer for its command (or its
// group) as one line of typed JSON.

#include <vector>

#include "tools/orv-cli/Subcommand.h"

namespace orvcli {
std::vector<Subcommand> callSubcommands();
}  // namespace orvcli
