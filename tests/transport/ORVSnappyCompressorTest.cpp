#include "transport/ORVSnappyCompressor.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/LogCapture.h"

namespace {

std::vector<uint8_t> sample(size_t n) {
  const std::string text = "Trò chơi Đua xe địa hình 3D, miễn phí cho thuê bao. ";
  std::vector<uint8_t> out;
  while (out.size() < n) out.push_back(static_cast<uint8_t>(text[out.size() % text.size()]));
  return out;
}

TEST(ORVSnappyCompressorTest, RoundTripKeepsHeadRoom) {
  const ORVSnappyCompressor snappy;
  const std::vector<uint8_t> input = sample(5000);
  std::vector<uint8_t> compressed = {1, 2, 3, 4, 5, 6};
  uint32_t compressedLength = 0;
  ASSERT_TRUE(snappy.compress(input, 0, 5000, &compressed, 6, compressedLength));
  EXPECT_EQ(std::vector<uint8_t>(compressed.begin(), compressed.begin() + 6),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_LT(compressedLength, 1000u);

  std::vector<uint8_t> plain = {9, 9};
  uint32_t plainLength = 0;
  ASSERT_TRUE(snappy.uncompress(compressed, 6, compressedLength, &plain, 2, plainLength));
  EXPECT_EQ(plainLength, 5000u);
  EXPECT_EQ(plain.size(), 5002u);
  EXPECT_EQ(plain[0], 9);
  EXPECT_EQ(std::vector<uint8_t>(plain.begin() + 2, plain.end()), input);
}

TEST(ORVSnappyCompressorTest, RefusesWithoutOutputOrOutsideInput) {
  const ORVSnappyCompressor snappy;
  const std::vector<uint8_t> input = sample(100);
  uint32_t length = 77;
  EXPECT_FALSE(snappy.compress(input, 0, 100, nullptr, 0, length));
  EXPECT_FALSE(snappy.uncompress(input, 0, 100, nullptr, 0, length));
  std::vector<uint8_t> out;
  EXPECT_FALSE(snappy.compress(input, 50, 51, &out, 0, length));
  EXPECT_FALSE(snappy.uncompress(input, 101, 0, &out, 0, length));
  EXPECT_EQ(length, 77u);
  EXPECT_TRUE(out.empty());
}

TEST(ORVSnappyCompressorTest, GarbageLogsStatusOne) {
  orv::test::LogCapture log;
  const ORVSnappyCompressor snappy;
  const std::vector<uint8_t> garbage = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::vector<uint8_t> out;
  uint32_t length = 0;
  EXPECT_FALSE(snappy.uncompress(garbage, 0, 6, &out, 0, length));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVSnappyCompressor::uncompress : Uncompress error status: 1"});
}

// The length at the head of a block is the peer's word: a few bytes that
// announce 4 GiB, or more than any genuine block can expand to, are refused
// before anything is allocated.
TEST(ORVSnappyCompressorTest, RefusesAnnouncedLengthBeyondBounds) {
  const ORVSnappyCompressor snappy;
  uint32_t length = 0;
  std::vector<uint8_t> out;
  const std::vector<uint8_t> fourGiB = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x00, 0x01, 0x02};
  EXPECT_FALSE(snappy.uncompress(fourGiB, 0, 8, &out, 0, length));
  EXPECT_EQ(out.capacity(), 0u);

  // 1 MiB announced by a 10-byte block: far past the 22x expansion bound.
  const std::vector<uint8_t> bomb = {0x80, 0x80, 0x40, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(snappy.uncompress(bomb, 0, 10, &out, 0, length));
  EXPECT_EQ(out.capacity(), 0u);

  // 64 MiB + 1 is refused even from an input large enough for the ratio.
  std::vector<uint8_t> big(4u << 20, 0);
  const uint32_t announced = ORVSnappyCompressor::kMaxUncompressedLength + 1;
  big[0] = 0x80 | (announced & 0x7F);
  big[1] = 0x80 | ((announced >> 7) & 0x7F);
  big[2] = 0x80 | ((announced >> 14) & 0x7F);
  big[3] = (announced >> 21) & 0x7F;
  EXPECT_FALSE(snappy.uncompress(big, 0, static_cast<uint32_t>(big.size()), &out, 0, length));
  EXPECT_EQ(out.capacity(), 0u);
}

// Zeros are snappy's best case (64-byte copies from 3 bytes): a genuine
// block at the highest ratio must still pass the expansion bound.
TEST(ORVSnappyCompressorTest, HighestRatioStillAccepted) {
  const ORVSnappyCompressor snappy;
  const std::vector<uint8_t> zeros(8u << 20, 0);
  std::vector<uint8_t> compressed;
  uint32_t compressedLength = 0;
  ASSERT_TRUE(snappy.compress(zeros, 0, static_cast<uint32_t>(zeros.size()), &compressed, 0,
                              compressedLength));
  std::vector<uint8_t> plain;
  uint32_t plainLength = 0;
  ASSERT_TRUE(snappy.uncompress(compressed, 0, compressedLength, &plain, 0, plainLength));
  EXPECT_EQ(plainLength, zeros.size());
  EXPECT_GT(uint64_t{compressedLength} * ORVSnappyCompressor::kMaxExpansion, zeros.size());
}

}  // namespace
