#include "wire/ORVMD5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ORVMD5Test, KnownDigests) {
  // RFC 1321 test suite values.
  EXPECT_EQ(orv_md5Hash(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(orv_md5Hash("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(orv_md5Hash("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(ORVMD5Test, StopsAtFirstZeroByteAndDigestsUtf8) {
  EXPECT_EQ(orv_md5Hash(std::string("abc\0def", 7)), orv_md5Hash("abc"));
  const std::string vietnamese = "Trò chơi miễn phí";
  const std::string digest = orv_md5Hash(vietnamese);
  ASSERT_EQ(digest.size(), 32u);
  EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(digest, orv_md5Hash("Tro choi mien phi"));
}

}  // namespace
