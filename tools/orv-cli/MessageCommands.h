#pragma once
// Message and frame subcommands of the workbench:
//   encode --message JSON            the message's encoding as hex
//   encode --frame [--threshold N] [--max N] JSON
//                                    the frame the sender would write
//   decode --message HEX             the message as JSON
//   decode --frames HEX [--max N]    one message per line from a frame stream
// A message in JSON: {"commandId":5,"command":"cnt.cat","content":{...}}, the
// content in typed JSON; "command" and "content" may be left out, and
// "compressionEnabled": false keeps a frame plain.
//
// The entries share the names "encode" and "decode" with the value codec:
// they come first in the table and pass any other arguments on to it.

#include <vector>

#include "tools/orv-cli/Subcommand.h"

namespace orvcli {

std::vector<Subcommand> messageSubcommands();

}  // namespace orvcli
