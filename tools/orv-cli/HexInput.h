#pragma once
// Hex text to bytes for the command line: upper or lower case, blanks allowed
// between byte pairs; anything else is an error with a reason.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvcli {

// The bytes, or nothing with `error` set.
std::optional<std::vector<uint8_t>> bytesFromHex(std::string_view text, std::string& error);

}  // namespace orvcli
