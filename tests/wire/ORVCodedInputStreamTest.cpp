#include "wire/ORVCodedInputStream.h"

#include <gtest/gtest.h>

#include "tests/wire/ChunkedByteStreams.h"
#include "tests/wire/WireTestSupport.h"
#include "wire/ORVCodedOutputStream.h"

using orv::test::bytesFromHex;
using orv::test::ChunkedInput;

TEST(ORVCodedInputStreamTest, VarintsOfTenBytesReadAndElevenFail) {
  std::vector<uint8_t> ten = bytesFromHex("ffffffffffffffffff01");
  std::vector<uint8_t> eleven = bytesFromHex("ffffffffffffffffffff01");
  for (size_t chunk : {1, 3, 4096}) {
    SCOPED_TRACE(chunk);
    // Memory mode takes the in-place paths, a chunked stream the slow ones.
    {
      ORVCodedInputStream in(ten);
      int32_t v32 = 0;
      EXPECT_TRUE(in.readInt32(v32));
      EXPECT_EQ(v32, -1);
      EXPECT_TRUE(in.isAtEnd());
    }
    {
      ChunkedInput src(ten, chunk);
      ORVCodedInputStream in(src);
      uint64_t v64 = 0;
      EXPECT_TRUE(in.readRawVarint64(v64));
      EXPECT_EQ(v64, UINT64_MAX);
    }
    {
      ChunkedInput src(eleven, chunk);
      ORVCodedInputStream in(src);
      uint64_t v64 = 7;
      EXPECT_FALSE(in.readRawVarint64(v64));
      EXPECT_EQ(v64, 7u);
    }
    {
      ORVCodedInputStream in(eleven);
      uint32_t v32 = 7;
      EXPECT_FALSE(in.readRawVarint32(v32));
      EXPECT_EQ(v32, 7u);
    }
  }
  std::vector<uint8_t> twoBytes = bytesFromHex("ac02");
  ORVCodedInputStream shortInput(twoBytes);
  int32_t v = 0;
  EXPECT_TRUE(shortInput.readInt32(v));
  EXPECT_EQ(v, 300);
}

// Int32 values at each varint length boundary read back, whether the bytes
// after them are buffered (in-place decoding) or the value ends the input.
TEST(ORVCodedInputStreamTest, Int32AtEveryVarintLengthReadsBack) {
  for (int32_t value : {0, 127, 128, 16383, 16384, 53889, 2097151, 2097152, 268435455, INT32_MAX, -1, INT32_MIN}) {
    SCOPED_TRACE(value);
    std::vector<uint8_t> bytes(16);
    ORVCodedOutputStream out{std::span<uint8_t>(bytes)};
    out.writeInt32NoTag(value);
    bytes.resize(out.position());
    for (size_t trailing : {0, 1, 12}) {
      std::vector<uint8_t> input = bytes;
      input.insert(input.end(), trailing, 0x7F);
      ORVCodedInputStream in(input);
      int32_t read = 0;
      EXPECT_TRUE(in.readInt32(read));
      EXPECT_EQ(read, value);
      int32_t next = 0;
      EXPECT_EQ(in.readInt32(next), trailing > 0);
    }
  }
}

TEST(ORVCodedInputStreamTest, TagsAreSignedAndZeroAtTheEnd) {
  std::vector<uint8_t> bytes = {0x85};
  ORVCodedInputStream in(bytes);
  EXPECT_EQ(in.readTag(), -123);
  EXPECT_TRUE(in.checkLastTagWas(-123));
  EXPECT_EQ(in.readTag(), 0);
  EXPECT_TRUE(in.checkLastTagWas(0));
}

TEST(ORVCodedInputStreamTest, WindowInsideALargerBufferReadsExactlyItsBytes) {
  std::vector<uint8_t> bytes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ORVCodedInputStream in(bytes, 3, 5);
  EXPECT_EQ(in.bytesUntilLimit(), -1);
  std::vector<uint8_t> out;
  EXPECT_TRUE(in.readRawData(out, 5));
  EXPECT_EQ(out, (std::vector<uint8_t>{3, 4, 5, 6, 7}));
  EXPECT_TRUE(in.isAtEnd());
  std::string empty = "x";
  EXPECT_FALSE(in.readRawData(out, 1));
  EXPECT_FALSE(in.readString(empty));
}

TEST(ORVCodedInputStreamTest, PushedLimitStopsReadsAndPopRestoresThem) {
  std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode);
    ChunkedInput src(bytes, 3);
    ORVCodedInputStream memory(bytes);
    ORVCodedInputStream stream(src);
    ORVCodedInputStream& in = mode == 0 ? memory : stream;

    int32_t old = in.pushLimit(2);
    EXPECT_EQ(old, ORVCodedInputStream::kNoLimit);
    EXPECT_EQ(in.bytesUntilLimit(), 2);
    uint32_t word = 0;
    EXPECT_FALSE(in.readRawLittleEndian32(word));
    EXPECT_EQ(in.bytesUntilLimit(), 0);  // moved to the limit
    EXPECT_TRUE(in.isAtEnd());
    in.popLimit(old);
    EXPECT_TRUE(in.readRawLittleEndian32(word));
    EXPECT_EQ(word, 0x06050403u);
    // A nested limit wider than the current one is ignored.
    int32_t outer = in.pushLimit(1);
    EXPECT_EQ(in.pushLimit(5), in.pushLimit(5));
    EXPECT_EQ(in.bytesUntilLimit(), 1);
    in.popLimit(outer);
    EXPECT_EQ(in.bytesUntilLimit(), -1);
    EXPECT_TRUE(in.skipRawData(2));
    EXPECT_TRUE(in.isAtEnd());
  }
}

TEST(ORVCodedInputStreamTest, SizeLimitBoundsByteStreamInput) {
  std::vector<uint8_t> bytes(10000, 'a');
  ChunkedInput src(bytes, 4096);
  ORVCodedInputStream in(src);
  in.setSizeLimit(6000);
  std::vector<uint8_t> out;
  EXPECT_TRUE(in.readRawData(out, 4000));
  // Announced runs past the limit fail before any allocation or read.
  int readsBefore = src.reads();
  EXPECT_FALSE(in.readRawData(out, 1 << 30));
  EXPECT_EQ(src.reads(), readsBefore);
  EXPECT_FALSE(in.skipRawData(5000));
  // Reading on, the next refill crosses the limit and the stream stays finished.
  EXPECT_TRUE(in.skipRawData(96));
  EXPECT_FALSE(in.readRawData(out, 10));
  EXPECT_TRUE(in.isAtEnd());
}

TEST(ORVCodedInputStreamTest, LongRunsCrossBuffersForEveryChunkSize) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 12000; ++i) bytes.push_back(static_cast<uint8_t>(i * 31));
  for (size_t chunk : {1, 2, 3, 5, 7, 13, 4096, 5000}) {
    SCOPED_TRACE(chunk);
    ChunkedInput src(bytes, chunk);
    ORVCodedInputStream in(src);
    std::vector<uint8_t> a, b, c;
    ASSERT_TRUE(in.readRawData(a, 100));
    ASSERT_TRUE(in.readRawData(b, 4500));  // the direct chunked path
    ASSERT_TRUE(in.skipRawData(5000));
    ASSERT_TRUE(in.readRawData(c, 2400));
    EXPECT_TRUE(std::equal(a.begin(), a.end(), bytes.begin()));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), bytes.begin() + 100));
    EXPECT_TRUE(std::equal(c.begin(), c.end(), bytes.begin() + 9600));
    EXPECT_TRUE(in.isAtEnd());
  }
}
