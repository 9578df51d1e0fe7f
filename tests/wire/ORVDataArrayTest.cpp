#include "wire/ORVDataArray.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/LogCapture.h"
#include "tests/wire/ChunkedByteStreams.h"
#include "tests/wire/WireTestSupport.h"
#include "wire/ORVCodedInputStream.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVValueEquality.h"

using orv::test::bytesFromHex;
using orv::test::ChunkedInput;
using orv::test::ChunkedOutput;
using orv::test::LogCapture;

namespace {

const char kWorkedExample[] = "04 0101 03FFFFFFFFFFFFFFFFFF01 07026869 08010161060000000000 00F83F";

ORVDataArrayPtr workedExample() {
  return ORVDataArray::builder()
      .addBool(true)
      .addInt32(-1)
      .addString("hi")
      .addDataObject(ORVDataObject::builder().putDouble(1.5, "a").build())
      .build();
}

// An array holding `depth` arrays nested inside one another below it.
std::vector<uint8_t> nestedArrays(int depth) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < depth; ++i) {
    bytes.push_back(0x01);  // one element
    bytes.push_back(0x09);  // that is an array
  }
  bytes.push_back(0x00);  // the innermost array is empty
  return bytes;
}

std::vector<uint8_t> countThenBools(uint32_t count, uint32_t bools) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(count | 0x80), static_cast<uint8_t>(count >> 7)};
  for (uint32_t i = 0; i < bools; ++i) {
    bytes.push_back(0x01);
    bytes.push_back(0x01);
  }
  return bytes;
}

}  // namespace

TEST(ORVDataArrayTest, WorkedExampleEncodesTo31KnownBytesAndParsesBack) {
  ORVDataArrayPtr array = workedExample();
  EXPECT_EQ(array->serializedSize(), 31u);
  EXPECT_EQ(array->data(), bytesFromHex(kWorkedExample));
  EXPECT_EQ(array->hexDump(), "04010103ffffffffffffffffff01070268690801016106000000000000f83f");

  ORVDataArrayPtr parsed;
  ASSERT_TRUE(ORVDataArray::parseDataArray(parsed, bytesFromHex(kWorkedExample)));
  EXPECT_TRUE(ORVValuesEqual(*parsed, *array));
  EXPECT_EQ(parsed->int32AtIndex(1), -1);
  EXPECT_EQ(parsed->dataObjectAtIndex(3)->doubleForKey("a"), 1.5);
  EXPECT_EQ(parsed->description(), "[YES,-1,hi,{a=1.5}]");
}

TEST(ORVDataArrayTest, ScalarEncodingsMatchTheLayout) {
  struct Case {
    ORVDataArrayPtr array;
    const char* hex;
  } cases[] = {
      {ORVDataArray::builder().addInt32(127).build(), "01 037f"},
      {ORVDataArray::builder().addInt32(128).build(), "01 038001"},
      {ORVDataArray::builder().addInt32(300).build(), "01 03ac02"},
      {ORVDataArray::builder().addInt64(-2).build(), "01 04feffffffffffffffff01"},
      {ORVDataArray::builder().addFloat(1.0f).build(), "01 050000803f"},
      {ORVDataArray::builder().addBool(false).build(), "01 0100"},
      {ORVDataArray::builder().addByteArray({0x0a, 0xff}).build(), "01 02020aff"},
      {ORVDataArray::builder().addString("").build(), "01 0700"},
      {ORVDataArray::builder().addDataArray(ORVDataArray::dataArray()).build(), "01 0900"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    std::vector<uint8_t> expected = bytesFromHex(c.hex);
    EXPECT_EQ(c.array->data(), expected);
    EXPECT_EQ(c.array->serializedSize(), expected.size());
    ORVDataArrayPtr back;
    ASSERT_TRUE(ORVDataArray::parseDataArray(back, expected));
    EXPECT_TRUE(ORVValuesEqual(*back, *c.array));
  }
  // Element sizes with the type byte: int32 -1 takes 11, 127 takes 2, 128 takes 3.
  EXPECT_EQ(ORVDataElement::dataElementWithInt32(-1).serializedSize(), 11u);
  EXPECT_EQ(ORVDataElement::dataElementWithInt32(127).serializedSize(), 2u);
  EXPECT_EQ(ORVDataElement::dataElementWithInt32(128).serializedSize(), 3u);
  // Three two-byte characters: payload 6 bytes, element 8.
  EXPECT_EQ(ORVDataElement::dataElementWithString("ăâđ").serializedSize(), 8u);
  ORVDataArrayPtr s = ORVDataArray::builder().addString("ăâđ").build();
  EXPECT_EQ(s->data()[2], 6);
}

TEST(ORVDataArrayTest, EmptyArrayIsOneZeroByteAndParsesToTheSharedValue) {
  ORVDataArrayPtr empty = ORVDataArray::builder().build();
  EXPECT_EQ(empty->data(), std::vector<uint8_t>{0});
  EXPECT_EQ(empty->description(), "[]");
  EXPECT_TRUE(empty->isEmpty());

  // Bytes after the value are left unread.
  ORVDataArrayPtr parsed;
  ASSERT_TRUE(ORVDataArray::parseDataArray(parsed, bytesFromHex("00 0707")));
  EXPECT_EQ(parsed, ORVDataArray::dataArray());
}

TEST(ORVDataArrayTest, CountLimitAt4096AndJustPast) {
  LogCapture log;
  ORVDataArrayPtr parsed;
  EXPECT_TRUE(ORVDataArray::parseDataArray(parsed, countThenBools(4096, 4096)));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->count(), 4096u);
  EXPECT_TRUE(log.lines().empty());

  ORVDataArrayPtr untouched;
  EXPECT_FALSE(ORVDataArray::parseDataArray(untouched, countThenBools(4097, 4097)));
  EXPECT_EQ(untouched, nullptr);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVDataArray::parseDataArray : Size limit exceeded: 4097"});

  ORVDataArrayBuilder builder = ORVDataArray::builderWithCapacity(4096);
  for (int i = 0; i < 4096; ++i) builder.addInt32(i);
  try {
    builder.addInt32(4096);
    FAIL() << "the 4097th add went through";
  } catch (const ORVInternalInconsistencyException& e) {
    EXPECT_STREQ(e.what(), "Size limit exceeded");
  }
  EXPECT_EQ(builder.count(), 4096u);
  // Count 2 bytes, 128 one-byte varints, 3968 two-byte varints, one type byte each.
  EXPECT_EQ(builder.build()->serializedSize(), 2u + 128 * 2 + 3968 * 3);
  EXPECT_THROW(ORVDataArray::builderWithCapacity(4097), ORVInvalidArgumentException);
}

TEST(ORVDataArrayTest, BadTypeBytesAndShortInputFailWithTheExactLog) {
  struct Case {
    const char* hex;
    const char* line;  // nullptr: no log line expected
  } cases[] = {
      {"01 0a", "ORVDataArray::parseDataArray : Invalid data type: 10"},
      {"01 80", "ORVDataArray::parseDataArray : Invalid data type: -128"},
      {"01 00", "ORVDataArray::parseDataArray : Invalid data type: 0"},
      {"02 0101", "ORVDataArray::parseDataArray : Invalid data type: 0"},  // ends after one element
      {"01 0380", nullptr},                                                 // varint cut short
      {"01 0703 6869", nullptr},                                            // string cut short
      {"01 0500 0080", nullptr},                                            // float cut short
      {"", nullptr},                                                        // no count
      {"01 07 02 c328", nullptr},                                           // invalid UTF-8
      {"01 07 03 eda080", nullptr},                                         // encoded surrogate
      {"01 07 02 c0af", nullptr},                                           // overlong '/'
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    LogCapture log;
    ORVDataArrayPtr out;
    EXPECT_FALSE(ORVDataArray::parseDataArray(out, bytesFromHex(c.hex)));
    EXPECT_EQ(out, nullptr);
    if (c.line) {
      EXPECT_EQ(log.lines(), std::vector<std::string>{c.line});
    } else {
      EXPECT_TRUE(log.lines().empty());
    }
  }
}

TEST(ORVDataArrayTest, NestingOf64BelowTheOutermostParsesAnd65Fails) {
  LogCapture log;
  ORVDataArrayPtr out;
  EXPECT_TRUE(ORVDataArray::parseDataArray(out, nestedArrays(64)));
  int depth = 0;
  for (ORVDataArrayPtr a = out; a && !a->isEmpty(); a = a->dataArrayAtIndex(0)) ++depth;
  EXPECT_EQ(depth, 64);
  // Re-encoding gives the same bytes.
  EXPECT_EQ(out->data(), nestedArrays(64));

  ORVDataArrayPtr deeper;
  EXPECT_FALSE(ORVDataArray::parseDataArray(deeper, nestedArrays(65)));
  EXPECT_EQ(deeper, nullptr);
  EXPECT_TRUE(log.lines().empty());
}

TEST(ORVDataArrayTest, ByteStreamInputGivesTheSameValueForEveryChunkSize) {
  // A large value: long strings cross the 4096-byte buffer and the chunked
  // path of long runs, short ones land on every offset.
  ORVDataArrayBuilder builder;
  builder.addString(std::string(5000, 'x')).addString("Tiếng Việt có dấu");
  for (int i = 0; i < 600; ++i) builder.addInt32(i * 7919 - 1000000).addDouble(i / 3.0);
  builder.addByteArray(std::vector<uint8_t>(4096, 0xab)).addInt64(INT64_MIN);
  // Objects whose keys and texts straddle buffer refills.
  for (int i = 0; i < 300; ++i) {
    builder.addDataObject(ORVDataObject::builder()
                              .putString("Giá " + std::to_string(i) + ".000đ", "pri")
                              .putInt32(i, "khóa dài hơn mười sáu byte " + std::to_string(i))
                              .putString("x", "pri")  // replaces the first value in place
                              .build());
  }
  ORVDataArrayPtr value = builder.build();
  std::vector<uint8_t> bytes = value->data();
  bytes.push_back(0x42);  // trailing byte after the value

  for (size_t chunk : {1, 2, 3, 5, 7, 13, 4096, 5000}) {
    SCOPED_TRACE(chunk);
    ChunkedInput input(bytes, chunk);
    ORVDataArrayPtr parsed;
    ASSERT_TRUE(ORVDataArray::parseDataArray(parsed, input));
    EXPECT_TRUE(ORVValuesEqual(*parsed, *value));
  }

  std::istringstream stream(std::string(bytes.begin(), bytes.end()));
  ORVDataArrayPtr fromStd;
  ASSERT_TRUE(ORVDataArray::parseDataArray(fromStd, stream));
  EXPECT_TRUE(ORVValuesEqual(*fromStd, *value));

  // Cut short anywhere inside, the stream parse fails.
  for (size_t cut : {size_t{1}, size_t{4100}, bytes.size() - 2}) {
    ChunkedInput input(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)), 7);
    ORVDataArrayPtr parsed;
    EXPECT_FALSE(ORVDataArray::parseDataArray(parsed, input)) << cut;
  }
}

TEST(ORVDataArrayTest, OutputStreamAndWriteToDataPlaceTheExactBytes) {
  ORVDataArrayBuilder builder;
  for (int i = 0; i < 1500; ++i) builder.addString("mục " + std::to_string(i));
  builder.addByteArray(std::vector<uint8_t>(9000, 7));
  ORVDataArrayPtr value = builder.build();
  std::vector<uint8_t> expected = value->data();

  for (size_t chunk : {1, 3, 4096, 100000}) {
    ChunkedOutput output(chunk);
    EXPECT_TRUE(value->writeToOutputStream(output));
    EXPECT_EQ(output.written, expected);
  }
  ChunkedOutput refusing(512, 10000);
  EXPECT_FALSE(value->writeToOutputStream(refusing));

  // Room for a frame header: the first six bytes stay as they were.
  std::vector<uint8_t> buffer = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(workedExample()->writeToData(buffer, 6));
  EXPECT_EQ(buffer.size(), 37u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 6, buffer.end()), bytesFromHex(kWorkedExample));

  std::vector<uint8_t> empty;
  ASSERT_TRUE(workedExample()->writeToData(empty, 6));
  EXPECT_EQ(empty.size(), 37u);
  EXPECT_EQ(std::vector<uint8_t>(empty.begin(), empty.begin() + 6), std::vector<uint8_t>(6, 0));
}

TEST(ORVDataArrayTest, BuilderRemovesAndReadsCheckTheIndex) {
  ORVDataArrayBuilder builder;
  builder.addInt32(10).addInt32(11).addInt32(12).removeObjectAtIndex(0);
  EXPECT_THROW(builder.removeObjectAtIndex(2), std::out_of_range);
  ORVDataArrayPtr array = builder.build();
  EXPECT_EQ(array->int32AtIndex(0), 11);
  EXPECT_EQ(array->int32AtIndex(1), 12);
  EXPECT_THROW(array->int32AtIndex(2), std::out_of_range);
  EXPECT_THROW(array->objectAtIndex(2), std::out_of_range);
  EXPECT_THROW(ORVDataArray::builder().addDataObject(nullptr), ORVInvalidArgumentException);
}

TEST(ORVDataArrayTest, SizesSaturateInsteadOfWrapping) {
  // Shared parts make a value whose encoding would exceed 4 GiB.
  ORVDataArrayPtr big = ORVDataArray::builder().addByteArray(std::vector<uint8_t>(1 << 20)).build();
  for (int level = 0; level < 2; ++level) {
    ORVDataArrayBuilder b;
    for (int i = 0; i < 4096; ++i) b.addDataArray(big);
    big = b.build();
  }
  EXPECT_EQ(big->serializedSize(), ORVMaxSerializedSize);
  LogCapture log;
  std::vector<uint8_t> buffer;
  EXPECT_FALSE(big->writeToData(buffer, 0));
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(big->data().empty());
}
