#include "client/ORVVariable.h"

#include <gtest/gtest.h>

#include <limits>

#include "client/ORVRoomVariable.h"
#include "client/ORVUserVariable.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace {

TEST(ORVVariableTest, NumbersConvertOtherKindsReadAsZeroOrNothing) {
  ORVVariable d("d", ORVDataTypeDouble, ORVVariable::Value(2.75));
  EXPECT_EQ(d.int32Value(), 2);
  EXPECT_EQ(d.int64Value(), 2);
  EXPECT_FLOAT_EQ(d.floatValue(), 2.75f);
  EXPECT_TRUE(d.boolValue());
  EXPECT_FALSE(d.stringValue());
  // Out-of-range doubles saturate instead of overflowing.
  ORVVariable big("b", ORVDataTypeDouble, ORVVariable::Value(1e30));
  EXPECT_EQ(big.int32Value(), std::numeric_limits<int32_t>::max());
  ORVVariable s("s", ORVDataTypeString, ORVVariable::Value(ORVText(std::string_view("x"))));
  EXPECT_EQ(s.stringValue(), "x");
  EXPECT_EQ(s.int32Value(), 0);
  EXPECT_FALSE(s.boolValue());
  EXPECT_EQ(s.dataObjectValue(), nullptr);
  auto obj = ORVDataObject::builder().putInt32(1, "a").build();
  ORVVariable o("o", ORVDataTypeDataObject, ORVVariable::Value(obj));
  EXPECT_EQ(o.dataObjectValue(), obj);
  EXPECT_EQ(o.dataArray()->count(), 0u);
}

TEST(ORVVariableTest, RoomAndUserVariables) {
  ORVRoomVariable room("r", ORVDataTypeBool, ORVVariable::Value(true), true, false);
  EXPECT_TRUE(room.isPersistent());
  EXPECT_FALSE(room.isPrivate());
  EXPECT_TRUE(room.boolValue());
  EXPECT_EQ(room.description(), "");
  ORVUserVariable user("u", ORVDataTypeInt32, ORVVariable::Value(int32_t{5}));
  EXPECT_EQ(user.int64Value(), 5);
  EXPECT_EQ(user.description(), "");
}

}  // namespace
