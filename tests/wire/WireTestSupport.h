#pragma once
// Hex helpers shared by the wire tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::test {

// "04 01 01" or "040101" -> bytes; blanks and dots are ignored.
inline std::vector<uint8_t> bytesFromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

}  // namespace orv::test
