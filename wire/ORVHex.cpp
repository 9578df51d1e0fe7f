#include "wire/ORVHex.h"

std::string orv_hexString(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(bytes.size() * 2, '\0');
  char* out = text.data();
  for (uint8_t b : bytes) {
    *out++ = kDigits[b >> 4];
    *out++ = kDigits[b & 0x0F];
  }
  return text;
}
