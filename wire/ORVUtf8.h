#pragma once
// Strict UTF-8 validation for text read from the wire: no overlong forms, no
// UTF-16 surrogates, nothing above U+10FFFF, no cut-off sequences.
//
// Runs of ASCII are skipped eight bytes at a time; multi-byte characters
// (every Vietnamese letter with a diacritic) are checked by their lead byte
// without decoding the code point.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Texts longer than eight bytes or with non-ASCII bytes: the vector check
// where the processor has one (ORVUtf8.cpp), else the scalar one below.
bool ORVIsValidUtf8Slow(const uint8_t* p, size_t n);
bool ORVIsValidUtf8Scalar(const uint8_t* p, size_t n);

// Short ASCII texts (most keys) are checked inline; the rest out of line.
inline bool ORVIsValidUtf8(const uint8_t* p, size_t n) {
  if (n <= 8) {
    uint8_t any = 0;
    for (size_t i = 0; i < n; ++i) any |= p[i];
    if (any < 0x80) return true;
  }
  return ORVIsValidUtf8Slow(p, n);
}

inline bool ORVIsValidUtf8Scalar(const uint8_t* p, size_t n) {
  const uint8_t* end = p + n;
  while (p < end) {
    if (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      uint64_t high = word & 0x8080808080808080ull;
      if (high == 0) {
        p += 8;
        continue;
      }
      p += __builtin_ctzll(high) >> 3;  // to the first byte with its high bit set
    }
    uint8_t c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    if (c < 0xE0) {
      if (c < 0xC2 || end - p < 2 || (p[1] & 0xC0) != 0x80) return false;
      p += 2;
      continue;
    }
    if (c < 0xF0) {
      if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return false;
      if (c == 0xE0 && p[1] < 0xA0) return false;   // overlong
      if (c == 0xED && p[1] >= 0xA0) return false;  // surrogate
      p += 3;
      continue;
    }
    if (c > 0xF4 || end - p < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) {
      return false;
    }
    if (c == 0xF0 && p[1] < 0x90) return false;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return false;  // above U+10FFFF
    p += 4;
  }
  return true;
}
