#pragma once
// Strict UTF-8 validation for text read from the wire: no overlong forms, no
// UTF-16 surrogates, nothing above U+10FFFF, no cut-off sequences.

#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool ORVIsValidUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    // ASCII runs, eight bytes at a time: the common case for keys and texts.
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t min;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2; min = 0x80; cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3; min = 0x800; cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4; min = 0x10000; cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      uint8_t cc = p[i + k];
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}
