#include "tools/orv-cli/HexInput.h"

namespace orvcli {

namespace {
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<std::vector<uint8_t>> bytesFromHex(std::string_view text, std::string& error) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (high >= 0) {
        error = "hex digit pair split by a blank at offset " + std::to_string(i);
        return std::nullopt;
      }
      continue;
    }
    int v = hexValue(c);
    if (v < 0) {
      error = "not a hex digit at offset " + std::to_string(i);
      return std::nullopt;
    }
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) {
    error = "odd number of hex digits";
    return std::nullopt;
  }
  return bytes;
}

}  // namespace orvcli
