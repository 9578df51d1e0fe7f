#include "wire/ORVCodedOutputStream.h"

#include <gtest/gtest.h>

#include "tests/wire/ChunkedByteStreams.h"
#include "tests/wire/WireTestSupport.h"

using orv::test::bytesFromHex;
using orv::test::ChunkedOutput;

TEST(ORVCodedOutputStreamTest, MemoryStreamKeepsWhatFitsAndReportsTheOverflow) {
  std::vector<uint8_t> buffer(3);
  ORVCodedOutputStream out{std::span<uint8_t>(buffer)};
  const uint8_t five[] = {1, 2, 3, 4, 5};
  out.writeRawBytes(five, 5);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(out.hadError());
  EXPECT_EQ(out.spaceLeft(), 0);
  out.writeTag(9);  // nothing more is written
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ORVCodedOutputStreamTest, SlowPathsNearTheEndWriteTheSameBytes) {
  // Every write lands one byte before the end of a short range, so the
  // varint and little-endian writes go through the scratch path.
  std::vector<uint8_t> buffer(11 + 2 + 5 + 9);
  ORVCodedOutputStream out{std::span<uint8_t>(buffer)};
  out.writeInt32(-1);
  out.writeInt32(5);
  out.writeFloat(1.0f);
  out.writeDouble(1.5);
  EXPECT_FALSE(out.hadError());
  EXPECT_TRUE(out.checkNoSpaceLeft());
  EXPECT_EQ(buffer, bytesFromHex("03ffffffffffffffffff01 0305 050000803f 06000000000000f83f"));
}

TEST(ORVCodedOutputStreamTest, ByteStreamModeDeliversAllBytesInOrder) {
  std::vector<uint8_t> big(10000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i);
  ChunkedOutput sink(7);
  ORVCodedOutputStream out(sink, 16);
  out.writeString("xin chào");
  out.writeData(big);  // longer than the buffer: goes to the output directly
  out.writeInt64(-2);
  out.flush();
  EXPECT_FALSE(out.hadError());
  std::vector<uint8_t> expected = bytesFromHex("07 09 78696e206368c3a06f 02 904e");
  expected.insert(expected.end(), big.begin(), big.end());
  std::vector<uint8_t> tail = bytesFromHex("04feffffffffffffffff01");
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(sink.written, expected);

  ChunkedOutput refusing(4, 20);
  ORVCodedOutputStream failing(refusing, 16);
  failing.writeData(big);
  failing.flush();
  EXPECT_TRUE(failing.hadError());
}
