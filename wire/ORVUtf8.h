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
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Texts that are long or not ASCII: the vector check where the processor
// has one (ORVUtf8.cpp), else the scalar one below.
bool ORVIsValidUtf8Slow(const uint8_t* p, size_t n);
bool ORVIsValidUtf8Scalar(const uint8_t* p, size_t n);

// Fast path: a text whose bytes all have the high bit clear is ASCII and so
// valid; nearly all keys, links and version texts are. The bytes are OR-ed a
// word at a time (the last word overlapping the one before) with no branch
// per byte, and only the high bits of the result are looked at. Texts past
// kAsciiFastLimit bytes, or with any high bit set, take the full check: a
// long text is mostly not ASCII, and scanning it twice would cost more than
// the fast path saves.
inline constexpr size_t kAsciiFastLimit = 64;

// For n <= kAsciiFastLimit only.
inline bool ORVIsShortAscii(const uint8_t* p, size_t n) {
#if defined(__SSE2__)
  // Texts of 16 to 64 bytes (links, titles): up to four 16-byte loads, the
  // last one ending at the text's end, OR-ed; one sign mask of the result.
  if (n >= 16) {
    __m128i any = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
    if (n > 32) {
      any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
      if (n > 48) any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)));
    }
    return _mm_movemask_epi8(any) == 0;
  }
#endif
  uint64_t any = 0;
  if (n >= 8) {
    std::memcpy(&any, p + n - 8, 8);
    for (size_t i = 0; i + 8 < n; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, 8);
      any |= word;
    }
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + n - 4, 4);
    any = head | tail;
  } else if (n > 0) {
    any = p[0] | p[n / 2] | p[n - 1];
  }
  return (any & 0x8080808080808080ull) == 0;
}

inline bool ORVIsValidUtf8(const uint8_t* p, size_t n) {
  if (n <= kAsciiFastLimit && ORVIsShortAscii(p, n)) return true;
  // Slow path: non-ASCII or long text.
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
