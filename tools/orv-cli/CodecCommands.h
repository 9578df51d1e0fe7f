#pragma once
// The codec workbench subcommands: encode typed JSON to hex, decode hex to
// typed JSON.

#include <vector>

#include "tools/orv-cli/Subcommand.h"

namespace orvcli {

std::vector<Subcommand> codecSubcommands();

}  // namespace orvcli
