#include "wire/ORVUtf8.h"

// Vector UTF-8 check, 16 bytes per step with no branch per character: each
// byte is classified together with the byte before it by three 16-entry
// table lookups (high nibble of the previous byte, its low nibble, high
// nibble of this byte); the AND of the three is non-zero exactly for an
// invalid pair (ASCII followed by a continuation, a lead not followed by one,
// overlong forms, surrogates, values above U+10FFFF). Third and fourth bytes
// of long characters are checked against the leads two and three bytes back.
// A saturating subtraction on the last block catches a character cut off
// at the end. Texts
// shorter than one block take the scalar check.
//
// Mixed Vietnamese text switches between one-, two- and three-byte
// characters every few bytes; the scalar check pays a branch per character
// there, this one does not.

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

constexpr uint8_t kTooShort = 1 << 0;     // lead not followed by a continuation
constexpr uint8_t kTooLong = 1 << 1;      // ASCII followed by a continuation
constexpr uint8_t kOverlong3 = 1 << 2;    // E0 80..9F
constexpr uint8_t kTooLarge = 1 << 3;     // F4 90.., F5..
constexpr uint8_t kSurrogate = 1 << 4;    // ED A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;    // C0, C1
constexpr uint8_t kTooLarge1000 = 1 << 6; // F5.. 80..8F
constexpr uint8_t kOverlong4 = 1 << 6;    // F0 80..8F
constexpr uint8_t kTwoConts = 1 << 7;     // continuation after continuation (legal only in long characters)
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("ssse3"))) inline __m128i lookup(__m128i nibbles, const uint8_t (&table)[16]) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)), nibbles);
}

alignas(16) constexpr uint8_t kByte1High[16] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
    kTwoConts, kTwoConts, kTwoConts, kTwoConts,
    kTooShort | kOverlong2,
    kTooShort,
    kTooShort | kOverlong3 | kSurrogate,
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
alignas(16) constexpr uint8_t kByte1Low[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4,
    kCarry | kOverlong2,
    kCarry,
    kCarry,
    kCarry | kTooLarge,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000};
alignas(16) constexpr uint8_t kByte2High[16] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort, kTooShort, kTooShort, kTooShort};

// Error bits of one block given the block before it.
__attribute__((target("ssse3"))) inline __m128i blockErrors(__m128i input, __m128i previous) {
  const __m128i low4 = _mm_set1_epi8(0x0F);
  __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
  __m128i byte1High = lookup(_mm_and_si128(_mm_srli_epi16(prev1, 4), low4), kByte1High);
  __m128i byte1Low = lookup(_mm_and_si128(prev1, low4), kByte1Low);
  __m128i byte2High = lookup(_mm_and_si128(_mm_srli_epi16(input, 4), low4), kByte2High);
  __m128i special = _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
  // Bytes two or three after a three- or four-byte lead must be
  // continuations; the pair check above flags them as kTwoConts (bit 7).
  __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
  __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
  __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
  __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
  __m128i must23 = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
  return _mm_xor_si128(must23, special);
}

// Shuffle masks that move bytes [0, o) of a block to its end, zero-filling
// the front: the bytes before the last block when it starts at o < 16.
constexpr uint8_t kShiftMasks[32] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                     0x80, 0x80, 0x80, 0x80, 0x80, 0,    1,    2,    3,    4,    5,
                                     6,    7,    8,    9,    10,   11,   12,   13,   14,   15};

// For n >= 16. A last partial block is read as the final 16 bytes,
// overlapping the block before; checking a byte twice is harmless.
__attribute__((target("ssse3"))) bool validVector(const uint8_t* p, size_t n) {
  __m128i errors = _mm_setzero_si128();
  __m128i previous = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    errors = _mm_or_si128(errors, blockErrors(input, previous));
    previous = input;
  }
  if (i < n) {
    size_t o = n - 16;
    __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + o));
    __m128i before =
        o >= 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + o - 16))
                : _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(kShiftMasks + o)));
    errors = _mm_or_si128(errors, blockErrors(input, before));
    previous = input;
  }
  // A character cut off at the end: a lead in the last byte, a three- or
  // four-byte lead in the second last, a four-byte lead in the third last
  // (the bytes after them, checked above, were continuations).
  const __m128i maxTail = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xEF),
                                        static_cast<char>(0xDF), static_cast<char>(0xBF));
  errors = _mm_or_si128(errors, _mm_subs_epu8(previous, maxTail));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(errors, _mm_setzero_si128())) == 0xFFFF;
}

bool haveSsse3() {
  __builtin_cpu_init();  // static initialisers may run before the library's own
  return __builtin_cpu_supports("ssse3");
}

// Until this is initialised (static initialisers of other files) the scalar
// check is used.
const bool kHaveSsse3 = haveSsse3();

}  // namespace

bool ORVIsValidUtf8Slow(const uint8_t* p, size_t n) {
  return kHaveSsse3 && n >= 16 ? validVector(p, n) : ORVIsValidUtf8Scalar(p, n);
}

#else

bool ORVIsValidUtf8Slow(const uint8_t* p, size_t n) { return ORVIsValidUtf8Scalar(p, n); }

#endif
