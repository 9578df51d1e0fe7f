#include "wire/ORVVersion.h"

#include <gtest/gtest.h>

namespace {

TEST(ORVVersionTest, ParsesLenientlyAndPrintsBack) {
  struct Case {
    const char* text;
    int major, minor, micro;
    const char* qualifier;  // null: none
    const char* printed;
  };
  const Case cases[] = {
      {"1.2.3", 1, 2, 3, nullptr, "1.2.3"},
      {"1.2.3.beta", 1, 2, 3, "beta", "1.2.3.beta"},
      {"10", 10, 0, 0, nullptr, "10.0.0"},
      {"1.x", 1, 0, 0, nullptr, "1.0.0"},
      {"1..3", 1, 0, 3, nullptr, "1.0.3"},
      {"v1.2", 0, 0, 0, nullptr, "0.0.0"},
      {"1.2.3.", 1, 2, 3, "", "1.2.3."},
      {"", 0, 0, 0, nullptr, "0.0.0"},
      {"99999999999.1", 2147483647, 1, 0, nullptr, "2147483647.1.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ORVVersion v = ORVVersion::versionWithString(c.text);
    EXPECT_EQ(v.major(), c.major);
    EXPECT_EQ(v.minor(), c.minor);
    EXPECT_EQ(v.micro(), c.micro);
    EXPECT_EQ(v.qualifier().has_value(), c.qualifier != nullptr);
    if (c.qualifier) {
      EXPECT_EQ(*v.qualifier(), c.qualifier);
    }
    EXPECT_EQ(v.description(), c.printed);
  }
}

TEST(ORVVersionTest, ComparesNumericallyIgnoringQualifier) {
  auto v = [](const char* t) { return ORVVersion::versionWithString(t); };
  EXPECT_EQ(v("1.10.0").compare(v("1.9.9")), 1);
  EXPECT_EQ(v("1.9.9").compare(v("1.10.0")), -1);
  EXPECT_EQ(v("2.0.0").compare(v("1.99.99")), 1);
  EXPECT_EQ(v("1.2.3.beta").compare(v("1.2.3")), 0);
  for (const char* inside : {"1.0.0", "1.5.0", "2.0.0"}) {
    EXPECT_TRUE(v(inside).isBetweenVersion(v("1.0.0"), v("2.0.0"))) << inside;
  }
  for (const char* outside : {"2.0.1", "0.9.9"}) {
    EXPECT_FALSE(v(outside).isBetweenVersion(v("1.0.0"), v("2.0.0"))) << outside;
  }
}

}  // namespace
