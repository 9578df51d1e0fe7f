#include "wire/ORVHex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ORVHexTest, LowerCaseTwoDigitsPerByte) {
  EXPECT_EQ(orv_hexString(std::vector<uint8_t>{0x00, 0x0A, 0xFF}), "000aff");
  EXPECT_EQ(orv_hexString({}), "");
  EXPECT_EQ(orv_hexString(std::vector<uint8_t>{0x12, 0x9A, 0xF0, 0x7F}), "129af07f");
}

}  // namespace
