#include "tools/orv-cli/TypedJson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "wire/ORVValueEquality.h"

using orvcli::arrayFromJson;
using orvcli::Json;
using orvcli::objectFromJson;
using orvcli::toTypedJson;
using orvcli::TypedJsonError;

namespace {
std::string hexOf(const std::string& typedJson) { return arrayFromJson(Json::parse(typedJson))->hexDump(); }
}  // namespace

TEST(TypedJsonTest, PlainJsonMapsToTheNaturalKinds) {
  EXPECT_EQ(hexOf(R"([true,-1,"hi",{"a":1.5}])"), "04010103ffffffffffffffffff01070268690801016106000000000000f83f");
  // Integers: int32 while they fit, int64 beyond; fractions are doubles.
  EXPECT_EQ(hexOf("[2147483647]"), "0103ffffffff07");
  EXPECT_EQ(hexOf("[2147483648]"), "01048080808008");
  EXPECT_EQ(hexOf("[-2147483649]"), "0104fffffffff7ffffffff01");
  EXPECT_EQ(hexOf("[2.0]"), "01060000000000000040");
  EXPECT_EQ(hexOf(R"([{"$int64":5},{"$float":1},{"$bytes":"0AFF"},{"$int32":-2}])"),
            "040405050000803f02020aff03feffffffffffffffff01");
}

TEST(TypedJsonTest, BadTypedFormsAreRefusedWithAReason) {
  for (const char* bad : {R"([{"$int32":2147483648}])", R"([{"$int32":1.5}])", R"([{"$int64":18446744073709551615}])",
                          R"([{"$bytes":"abc"}])", R"([{"$bytes":7}])", R"([{"$float":1e39}])", R"([null])",
                          R"([{"$double":"nan"}])", R"([{"$object":[1]}])"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(arrayFromJson(Json::parse(bad)), TypedJsonError);
  }
  std::string deep = std::string(66, '[') + std::string(66, ']');
  EXPECT_THROW(arrayFromJson(Json::parse(deep)), TypedJsonError);
  std::string deepest = std::string(65, '[') + std::string(65, ']');
  EXPECT_NO_THROW(arrayFromJson(Json::parse(deepest)));
  EXPECT_THROW(objectFromJson(Json::parse(R"({"$int32":1})")), TypedJsonError);
}

TEST(TypedJsonTest, DecodedTextIsShortestAndEncodesBackToTheSameBytes) {
  ORVDataArrayPtr value = ORVDataArray::builder()
                              .addInt64(5)
                              .addInt64(INT64_MIN)
                              .addDouble(2.0)
                              .addDouble(-0.0)
                              .addDouble(0.1)
                              .addDouble(1e300)
                              .addDouble(std::numeric_limits<double>::denorm_min())
                              .addDouble(-std::numeric_limits<double>::infinity())
                              .addFloat(0.1f)
                              .addFloat(-0.0f)
                              .addFloat(16777216.0f)
                              .addFloat(std::numeric_limits<float>::denorm_min())
                              .addFloat(std::nanf(""))
                              .addByteArray({})
                              .addString("Miễn phí \"x\"\n")
                              .addDataObject(ORVDataObject::builder().putInt32(1, "$int32").build())
                              .addDataObject(ORVDataObject::builder().putInt32(1, "z").putBool(false, "a").build())
                              .build();
  std::string text = toTypedJson(*value);
  EXPECT_EQ(text,
            R"([{"$int64":5},-9223372036854775808,{"$double":2},{"$double":-0.0},0.1,{"$double":1e+300},5e-324,)"
            R"({"$double":"-Infinity"},{"$float":0.1},{"$float":-0.0},{"$float":16777216},{"$float":1e-45},)"
            R"({"$float":"NaN"},{"$bytes":""},"Miễn phí \"x\"\n",{"$object":{"$int32":1}},{"z":1,"a":false}])");
  ORVDataArrayPtr back = arrayFromJson(Json::parse(text));
  EXPECT_EQ(back->data(), value->data());
  EXPECT_TRUE(ORVValuesEqual(*back, *value));
}

TEST(TypedJsonTest, FloatsAndDoublesRoundTripBitForBit) {
  // A spread of bit patterns, including values whose shortest float digits
  // are far from the double they read as.
  uint32_t f32 = 0x00000001;
  uint64_t f64 = 0x0000000000000001;
  for (int i = 0; i < 2000; ++i) {
    f32 = f32 * 1664525u + 1013904223u;
    f64 = f64 * 6364136223846793005ull + 1442695040888963407ull;
    float f;
    double d;
    std::memcpy(&f, &f32, 4);
    std::memcpy(&d, &f64, 8);
    if (std::isnan(f) || std::isnan(d)) continue;
    ORVDataArrayPtr value = ORVDataArray::builder().addFloat(f).addDouble(d).build();
    ORVDataArrayPtr back = arrayFromJson(Json::parse(toTypedJson(*value)));
    ASSERT_EQ(back->data(), value->data()) << toTypedJson(*value);
  }
}
