#include "wire/ORVHex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ORVHexTest, LowerCaseTwoDigitsPerByte) {
  EXPECT_EQ(orv_hexString(std::vector<uint8_t>{0x00, 0x0A, 0xFF}), "000aff");
  EXPECT_EQ(orv_hexString({}), "");
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  const std::string text = orv_hexString(all);
  ASSERT_EQ(text.size(), 512u);
  EXPECT_EQ(text.substr(0, 6), "000102");
  EXPECT_EQ(text.substr(0x9A * 2, 2), "9a");
  EXPECT_EQ(text.substr(510), "ff");
}

}  // namespace
