#include "wire/ORVDataElement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

TEST(ORVDataElementTest, DescriptionsOfScalars) {
  EXPECT_EQ(ORVDataElement::dataElementWithBool(true).description(), "YES");
  EXPECT_EQ(ORVDataElement::dataElementWithBool(false).description(), "NO");
  EXPECT_EQ(ORVDataElement::dataElementWithInt64(-9000000000).description(), "-9000000000");
  EXPECT_EQ(ORVDataElement::dataElementWithByteArray({0x0a, 0xff}).description(), "<0aff>");
  EXPECT_EQ(ORVDataElement::dataElementWithDouble(0.1).description(), "0.1");
  EXPECT_EQ(ORVDataElement::dataElementWithFloat(2.5f).description(), "2.5");
  ORVDataObjectPtr inner = ORVDataObject::builder().putInt32(7, "n").build();
  EXPECT_EQ(ORVDataElement::dataElementWithDataObject(inner).description(), "{n=7}");
}

TEST(ORVDataElementTest, LongStringsAreCutAt64Utf16Units) {
  std::string exactly64(64, 'a');
  EXPECT_EQ(ORVDataElement::dataElementWithString(exactly64).description(), exactly64);
  EXPECT_EQ(ORVDataElement::dataElementWithString(exactly64 + "b").description(), exactly64 + "...");

  // 64 Vietnamese letters of two or three UTF-8 bytes each count as 64 units.
  std::string vietnamese;
  for (int i = 0; i < 32; ++i) vietnamese += "ệđ";
  EXPECT_EQ(ORVDataElement::dataElementWithString(vietnamese).description(), vietnamese);
  EXPECT_EQ(ORVDataElement::dataElementWithString(vietnamese + "a").description(), vietnamese + "...");

  // A character outside the BMP takes two units and is never split.
  std::string emoji = std::string(63, 'a') + "\xF0\x9F\x8E\xAE";  // 65 units
  EXPECT_EQ(ORVDataElement::dataElementWithString(emoji).description(), std::string(63, 'a') + "...");
}

TEST(ORVDataElementTest, NumericReadsConvertAndClamp) {
  auto f = ORVDataElement::dataElementWithFloat(-3.9f);
  EXPECT_EQ(f.int32Value(), -3);
  EXPECT_TRUE(f.boolValue());
  EXPECT_EQ(ORVDataElement::dataElementWithDouble(std::nan("")).int32Value(), 0);
  EXPECT_EQ(ORVDataElement::dataElementWithDouble(-1e20).int32Value(), INT32_MIN);
  EXPECT_EQ(ORVDataElement::dataElementWithInt64(0x100000005).int32Value(), 5);  // low 32 bits, like a cast
  EXPECT_EQ(ORVDataElement::dataElementWithString("  -12.5kg").int32Value(), -12);
  EXPECT_EQ(ORVDataElement::dataElementWithString("-12.5kg").doubleValue(), -12.5);
  EXPECT_EQ(ORVDataElement::dataElementWithString("99999999999").int32Value(), INT32_MAX);
  EXPECT_EQ(ORVDataElement::dataElementWithString("abc").int64Value(), 0);
  EXPECT_FALSE(ORVDataElement::dataElementWithString("0").boolValue());
  EXPECT_EQ(ORVDataElement::dataElementWithByteArray({1}).int32Value(), 0);
  EXPECT_EQ(ORVDataElement::dataElementWithInt32(3).stringValue(), std::nullopt);
}
