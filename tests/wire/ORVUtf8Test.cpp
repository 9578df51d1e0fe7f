#include "wire/ORVUtf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool valid(const std::string& text) {
  return ORVIsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

// Known texts at every position relative to the 16-byte blocks of the vector
// check: the ASCII prefix moves the tested bytes across block boundaries and
// into the overlapping last block.
TEST(ORVUtf8Test, KnownTextsAtEveryBlockOffset) {
  const std::vector<std::string> good = {"Đua xe địa hình 3D", "\xF0\x9F\x8E\xAE", "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF",
                                         "\xE0\xA0\x80", "\xC2\x80", "\xED\x9F\xBF"};
  const std::vector<std::string> bad = {
      "\xC0\x80",          // overlong two-byte form
      "\xE0\x9F\xBF",      // overlong three-byte form
      "\xF0\x8F\xBF\xBF",  // overlong four-byte form
      "\xED\xA0\x80",      // UTF-16 surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",  // no such lead byte
      "\x80",              // continuation without a lead
      "\xE1\xBB",          // character cut off
      "\xC3\x28",          // lead followed by ASCII
      "\xE1\xBB\x8B\x8B",  // one continuation too many
  };
  for (size_t prefix = 0; prefix < 40; ++prefix) {
    SCOPED_TRACE(prefix);
    std::string before(prefix, 'a');
    for (const std::string& text : good) {
      EXPECT_TRUE(valid(before + text)) << text;
      EXPECT_TRUE(valid(before + text + "xyz"));
    }
    for (const std::string& text : bad) {
      EXPECT_FALSE(valid(before + text)) << text;
      EXPECT_FALSE(valid(before + text + "0123456789abcdefghij"));
    }
  }
}

// The vector check and the scalar check agree on every sequence of up to
// four bytes drawn from the bytes where the rules change, behind ASCII
// prefixes that place it anywhere in a block.
TEST(ORVUtf8Test, VectorAndScalarChecksAgree) {
  const uint8_t edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                           0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
  constexpr size_t kEdges = sizeof edges;
  size_t disagreements = 0;
  for (size_t prefix : {0u, 13u, 15u, 16u, 29u, 32u}) {
    for (size_t code = 0; code < kEdges * kEdges * kEdges * kEdges; ++code) {
      std::vector<uint8_t> bytes(prefix, 'a');
      for (size_t c = code, i = 0; i < 4; ++i, c /= kEdges) bytes.push_back(edges[c % kEdges]);
      for (size_t cut = bytes.size() - 4; cut <= bytes.size(); ++cut) {
        if (ORVIsValidUtf8(bytes.data(), cut) != ORVIsValidUtf8Scalar(bytes.data(), cut)) ++disagreements;
      }
    }
  }
  EXPECT_EQ(disagreements, 0u);
}

// The ASCII fast path reads texts of up to 64 bytes in overlapping words or
// blocks: a single byte with its high bit set must be seen at every position
// of every length, and the full check must then decide as the scalar one does.
TEST(ORVUtf8Test, OneNonAsciiByteIsSeenAtEveryPositionOfEveryLength) {
  for (size_t n = 0; n <= 80; ++n) {
    std::vector<uint8_t> text(n, 'a');
    EXPECT_TRUE(ORVIsValidUtf8(text.data(), n)) << n;
    for (size_t at = 0; at < n; ++at) {
      for (uint8_t bad : {uint8_t{0x80}, uint8_t{0xC3}, uint8_t{0xFF}}) {
        text[at] = bad;
        EXPECT_FALSE(ORVIsValidUtf8(text.data(), n)) << n << " " << at;
        EXPECT_EQ(ORVIsValidUtf8(text.data(), n), ORVIsValidUtf8Scalar(text.data(), n));
      }
      text[at] = 'a';
    }
  }
}
