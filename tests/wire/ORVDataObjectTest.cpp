#include "wire/ORVDataObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/support/LogCapture.h"
#include "tests/wire/WireTestSupport.h"
#include "wire/ORVCodedOutputStream.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVExceptions.h"
#include "wire/ORVHexText.h"
#include "wire/ORVValueEquality.h"

using orv::test::bytesFromHex;
using orv::test::LogCapture;

namespace {

// An object of `count` entries "k<i>" = int32 i, with `duplicate` appended as
// a repeat of key "k0" holding -7 when set.
std::vector<uint8_t> encodedObject(uint32_t count, bool duplicate) {
  std::vector<uint8_t> bytes(5);
  ORVCodedOutputStream header(std::span<uint8_t>(bytes.data(), bytes.size()));
  header.writeRawVarint32(count);
  bytes.resize(header.position());
  std::vector<uint8_t> body(count * 16 + 32);
  ORVCodedOutputStream out{std::span<uint8_t>(body)};
  uint32_t entries = duplicate ? count - 1 : count;
  for (uint32_t i = 0; i < entries; ++i) {
    out.writeStringNoTag("k" + std::to_string(i));
    out.writeInt32(static_cast<int32_t>(i));
  }
  if (duplicate) {
    out.writeStringNoTag("k0");
    out.writeInt32(-7);
  }
  body.resize(out.position());
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

}  // namespace

TEST(ORVDataObjectTest, OneEntryObjectIsEightKnownBytes) {
  ORVDataObjectPtr object = ORVDataObject::builder().putString("abc", "z").build();
  EXPECT_EQ(object->data(), bytesFromHex("01 01 7a 07 03 61 62 63"));
  EXPECT_EQ(object->serializedSize(), 8u);
  ORVDataObjectPtr parsed;
  ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, bytesFromHex("01017a0703616263")));
  EXPECT_EQ(parsed->stringForKey("z"), "abc");

  // Offset and length select the value inside a larger buffer.
  std::vector<uint8_t> framed = bytesFromHex("ffff 01017a0703616263 ff");
  ORVDataObjectPtr inside;
  ASSERT_TRUE(ORVDataObject::parseDataObject(inside, framed, 2, 8));
  EXPECT_TRUE(ORVValuesEqual(*inside, *object));
  ORVDataObjectPtr cut;
  EXPECT_FALSE(ORVDataObject::parseDataObject(cut, framed, 2, 7));
  EXPECT_THROW(ORVDataObject::parseDataObject(cut, framed, 5, 8), std::out_of_range);
}

TEST(ORVDataObjectTest, EntriesKeepTheirFirstPositionAndTheLaterValue) {
  ORVDataObjectPtr object = ORVDataObject::builder()
                                .putString("abc", "z")
                                .putInt32(7, "n")
                                .putBool(true, "b")
                                .putInt32(8, "z")
                                .removeObjectForKey("b")
                                .removeObjectForKey("absent")
                                .build();
  EXPECT_EQ(object->count(), 2u);
  EXPECT_EQ(object->description(), "{z=8,n=7}");
  EXPECT_EQ(object->keyEnumerator(), (std::vector<std::string>{"z", "n"}));
  EXPECT_EQ(object->hexDump(), "02017a0308016e0307");

  ORVDataObjectPtr empty = ORVDataObject::builder().build();
  EXPECT_EQ(empty->description(), "{}");
  EXPECT_EQ(empty->data(), std::vector<uint8_t>{0});
  ORVDataObjectPtr parsedEmpty;
  ASSERT_TRUE(ORVDataObject::parseDataObject(parsedEmpty, std::vector<uint8_t>{0, 9, 9}));
  EXPECT_EQ(parsedEmpty, ORVDataObject::dataObject());
}

TEST(ORVDataObjectTest, ReceivedDuplicateKeyKeepsTheLaterValue) {
  for (uint32_t count : {3u, 40u, 4096u}) {  // linear search and hash index
    SCOPED_TRACE(count);
    ORVDataObjectPtr parsed;
    ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, encodedObject(count, true)));
    EXPECT_EQ(parsed->count(), count - 1);
    EXPECT_EQ(parsed->int32ForKey("k0"), -7);
    EXPECT_EQ(parsed->keyEnumerator().front(), "k0");
    EXPECT_EQ(parsed->int32ForKey("k" + std::to_string(count - 2)), static_cast<int32_t>(count - 2));
    EXPECT_FALSE(parsed->containsKey("k" + std::to_string(count - 1)));
  }
}

// Keys of every length around the eight-byte word, each against keys that
// differ from it in one byte (ASCII or not), then repeated as the last entry,
// where the input ends within a word of it: distinct keys stay distinct and
// the repeat is found, from memory and from a byte stream.
TEST(ORVDataObjectTest, KeysDifferingInOneByteStayDistinctAndTheirRepeatIsFound) {
  for (size_t length = 0; length <= 9; ++length) {
    for (size_t at = 0; at < std::max<size_t>(length, 1); ++at) {
      SCOPED_TRACE(testing::Message() << "length " << length << " at " << at);
      const std::string key(length, 'k');
      std::string ascii = key, accented = key;
      if (length > 0) {
        ascii[at] = 'q';
        accented.replace(at, 1, "\xC3\xA0");
      }
      std::vector<uint8_t> body(128);
      ORVCodedOutputStream out{std::span<uint8_t>(body)};
      out.writeRawVarint32(4);
      out.writeStringNoTag(key);
      out.writeInt32(1);
      out.writeStringNoTag(ascii);
      out.writeInt32(2);
      out.writeStringNoTag(accented);
      out.writeInt32(3);
      out.writeStringNoTag(key);
      out.writeInt32(4);
      body.resize(out.position());
      ORVDataObjectPtr fromMemory, fromStream;
      ASSERT_TRUE(ORVDataObject::parseDataObject(fromMemory, body));
      std::istringstream stream(std::string(body.begin(), body.end()));
      ASSERT_TRUE(ORVDataObject::parseDataObject(fromStream, stream));
      for (const ORVDataObjectPtr& parsed : {fromMemory, fromStream}) {
        const size_t distinct = length == 0 ? 1 : 3;
        ASSERT_EQ(parsed->count(), distinct);
        EXPECT_EQ(parsed->keyEnumerator().front(), key);
        EXPECT_EQ(parsed->int32ForKey(key), 4);
        if (length > 0) {
          EXPECT_EQ(parsed->int32ForKey(ascii), 2);
          EXPECT_EQ(parsed->int32ForKey(accented), 3);
        }
      }
    }
  }
}

TEST(ORVDataObjectTest, CountLimitAt4096AndJustPast) {
  LogCapture log;
  ORVDataObjectPtr parsed;
  ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, encodedObject(4096, false)));
  EXPECT_EQ(parsed->count(), 4096u);
  for (int i : {0, 12, 13, 2047, 4095}) EXPECT_EQ(parsed->int32ForKey("k" + std::to_string(i)), i);
  EXPECT_EQ(parsed->data(), encodedObject(4096, false));

  ORVDataObjectPtr refused;
  EXPECT_FALSE(ORVDataObject::parseDataObject(refused, encodedObject(4097, false)));
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVDataObject::parseDataObject : Size limit exceeded: 4097"});

  ORVDataObjectBuilder builder = ORVDataObject::builderWithCapacity(4096);
  for (int i = 0; i < 4096; ++i) builder.putInt32(i, "k" + std::to_string(i));
  // Full: even replacing an existing key is refused, and nothing changes.
  EXPECT_THROW(builder.putInt32(-1, "k5"), ORVInternalInconsistencyException);
  EXPECT_THROW(builder.putInt32(-1, "new"), ORVInternalInconsistencyException);
  ORVDataObjectPtr full = builder.build();
  EXPECT_EQ(full->count(), 4096u);
  EXPECT_EQ(full->int32ForKey("k5"), 5);
  try {
    ORVDataObject::builderWithCapacity(4097);
    FAIL();
  } catch (const ORVInvalidArgumentException& e) {
    EXPECT_STREQ(e.what(), "Capacity limit exceeded");
  }
}

TEST(ORVDataObjectTest, TruncatedKeysAndBadTypesFail) {
  struct Case {
    const char* hex;
    const char* line;
  } cases[] = {
      {"01 05 6162", nullptr},  // key cut short by the end of input
      {"01 01 61", "ORVDataObject::parseDataObject : Invalid data type: 0"},
      {"01 01 61 0a", "ORVDataObject::parseDataObject : Invalid data type: 10"},
      {"01 02 ff61 0101", nullptr},  // key not UTF-8
      {"02 01 61 0101", nullptr},  // second key missing
      {"01 01 61 08 01 01 62 ff", "ORVDataObject::parseDataObject : Invalid data type: -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    LogCapture log;
    ORVDataObjectPtr out;
    EXPECT_FALSE(ORVDataObject::parseDataObject(out, bytesFromHex(c.hex)));
    EXPECT_EQ(out, nullptr);
    if (c.line) {
      EXPECT_EQ(log.lines(), std::vector<std::string>{c.line});
    } else {
      EXPECT_TRUE(log.lines().empty());
    }
  }
}

TEST(ORVDataObjectTest, TypedReadsByKeyConvertNumbersAndGiveNeutralValuesForMissingKeys) {
  ORVDataObjectPtr object = ORVDataObject::builder()
                                .putInt64(5, "i64")
                                .putBool(true, "b")
                                .putDouble(-2.75, "d")
                                .putString("42 con", "s")
                                .putDouble(1e300, "huge")
                                .putDataArray(ORVDataArray::dataArray(), "arr")
                                .build();
  EXPECT_EQ(object->int32ForKey("i64"), 5);
  EXPECT_EQ(object->int32ForKey("b"), 1);
  EXPECT_EQ(object->int32ForKey("d"), -2);
  EXPECT_EQ(object->int32ForKey("s"), 42);
  EXPECT_EQ(object->int32ForKey("huge"), INT32_MAX);
  EXPECT_EQ(object->int64ForKey("huge"), INT64_MAX);
  EXPECT_TRUE(object->boolForKey("i64"));
  EXPECT_EQ(object->doubleForKey("i64"), 5.0);
  EXPECT_EQ(object->stringForKey("i64"), std::nullopt);
  EXPECT_EQ(object->dataObjectForKey("arr"), nullptr);
  EXPECT_NE(object->dataArrayForKey("arr"), nullptr);

  EXPECT_EQ(object->int32ForKey("missing"), 0);
  EXPECT_FALSE(object->boolForKey("missing"));
  EXPECT_EQ(object->stringForKey("missing"), std::nullopt);
  EXPECT_FALSE(object->containsKey("missing"));
  EXPECT_EQ(object->objectForKey("missing"), nullptr);
  EXPECT_THROW(ORVDataObject::builder().putDataArray(nullptr, "x"), ORVInvalidArgumentException);
}

// Parsed texts, byte arrays and keys borrow from one shared copy of the input.
// Every value must stay readable after the caller's input is gone, after the
// outer object is dropped, and when copied out of its collection (ASan checks
// the reads in the asan stage).
TEST(ORVDataObjectTest, ParsedValuesOutliveTheirInputAndTheirParents) {
  const std::string title = "Phiêu lưu xứ sở thần tiên";  // longer than an inline run
  ORVDataObjectPtr nested;
  ORVDataElement copied = ORVDataElement::dataElementWithInt32(0);
  std::string description;
  {
    auto wire = std::make_unique<std::vector<uint8_t>>(
        ORVDataObject::builder()
            .putDataObject(ORVDataObject::builder().putString(title, "tl").putByteArray(std::vector<uint8_t>(40, 7), "raw").build(),
                           "game")
            .putString("http://media.example.vn/icons/game_1200.png", "a_key_longer_than_sixteen_bytes")
            .build()
            ->data());
    ORVDataObjectPtr parsed;
    ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, *wire));
    wire.reset();  // the caller's bytes are gone from here on
    EXPECT_EQ(parsed->stringForKey("a_key_longer_than_sixteen_bytes"), "http://media.example.vn/icons/game_1200.png");
    nested = parsed->dataObjectForKey("game");
    copied = *parsed->elementForKey("a_key_longer_than_sixteen_bytes");
    description = parsed->description();
  }
  // Only the nested object and a copied element are left.
  EXPECT_EQ(nested->stringForKey("tl"), title);
  EXPECT_EQ(nested->elementForKey("tl")->stringPointer()->view(), title);
  EXPECT_EQ(nested->byteArrayForKey("raw"), std::vector<uint8_t>(40, 7));
  EXPECT_EQ(nested->keyEnumerator(), (std::vector<std::string>{"tl", "raw"}));
  EXPECT_EQ(copied.stringValue(), "http://media.example.vn/icons/game_1200.png");
  EXPECT_NE(description.find(title), std::string::npos);
  // A copy of the entries is the caller's own, keys and texts included.
  ORVDataObject::Entries entries = nested->entries();
  nested.reset();
  EXPECT_EQ(copied.stringValue(), "http://media.example.vn/icons/game_1200.png");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].first, std::string_view("tl"));
  EXPECT_EQ(entries[0].second.stringValue(), title);
}

// Parsed collections and their shared_ptr control blocks live in the parse
// arena inside the input; whichever of them goes last (an array, an object
// still watched by a weak_ptr, one from an arena chunk past the first space,
// one from a parse that failed later on) must release the input only after
// its own block is done with (ASan checks this in the asan stage).
TEST(ORVDataObjectTest, ParsedCollectionsFreedInAnyOrderAfterTheirInput) {
  ORVDataArrayBuilder many = ORVDataArray::builder();
  for (int i = 0; i < 300; ++i) many.addDataObject(ORVDataObject::builder().putInt32(i, "i").build());
  const std::vector<uint8_t> wire = ORVDataObject::builder().putDataArray(many.build(), "list").build()->data();
  ORVDataArrayPtr list;
  ORVDataObjectPtr last;
  std::weak_ptr<const ORVDataObject> watched;
  {
    ORVDataObjectPtr parsed;
    ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, wire));
    list = parsed->dataArrayForKey("list");
    last = list->dataObjectAtIndex(299);
    watched = list->dataObjectAtIndex(0);
  }
  EXPECT_EQ(list->count(), 300u);
  list.reset();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(last->int32ForKey("i"), 299);
  last.reset();
  watched.reset();
  // Cut in the middle: the objects already built are freed by the failed parse.
  ORVDataObjectPtr failed;
  EXPECT_FALSE(ORVDataObject::parseDataObject(failed, std::span(wire).first(wire.size() / 2)));
  EXPECT_EQ(failed, nullptr);
}

// Keys that agree in length and their first seven bytes are still different
// keys, in the small-object scan and with the hash index; an invalid UTF-8 key
// or text fails the parse.
TEST(ORVDataObjectTest, LongKeysWithACommonPrefixStayDistinctAndBadUtf8Fails) {
  for (int count : {2, 20}) {
    SCOPED_TRACE(count);
    ORVDataObjectBuilder builder = ORVDataObject::builder();
    for (int i = 0; i < count; ++i) builder.putInt32(i, "prefix_" + std::to_string(100 + i));
    ORVDataObjectPtr parsed;
    ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, builder.build()->data()));
    EXPECT_EQ(parsed->count(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) EXPECT_EQ(parsed->int32ForKey("prefix_" + std::to_string(100 + i)), i);
  }
  ORVDataObjectPtr parsed;
  EXPECT_FALSE(ORVDataObject::parseDataObject(parsed, bytesFromHex("01 01 c3 03 01")));        // key cut inside a character
  EXPECT_FALSE(ORVDataObject::parseDataObject(parsed, bytesFromHex("01 01 61 07 02 c0 80")));  // overlong text
  EXPECT_FALSE(ORVDataObject::parseDataObject(
      parsed, bytesFromHex("01 01 61 07 0a 61 61 61 61 61 61 61 61 61 ed")));  // ASCII run, then a cut sequence
}

// Text and keys the application builds are checked as the readers check them:
// a value the peer would refuse (and drop the connection over) is refused when
// it is built, and the builder keeps what it had.
TEST(ORVDataObjectTest, InvalidUtf8IsRefusedWhenTextOrKeyIsBuilt) {
  const std::string bad[] = {"\xc3", "ab\xc0\x80", "\xed\xa0\x80", "0123456789abcdef\xff", "\xf4\x90\x80\x80"};
  for (const std::string& text : bad) {
    SCOPED_TRACE(ORVHexText(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    ORVDataObjectBuilder builder = ORVDataObject::builder();
    builder.putString("ok", "k");
    EXPECT_THROW(builder.putString(text, "v"), ORVInvalidArgumentException);
    EXPECT_THROW(builder.putInt32(1, text), ORVInvalidArgumentException);
    EXPECT_THROW(builder.putElement(ORVDataElement::dataElementWithInt32(1), std::string(text)),
                 ORVInvalidArgumentException);
    EXPECT_THROW(ORVDataArray::builder().addString(text), ORVInvalidArgumentException);
    ORVDataObjectPtr built = builder.build();
    EXPECT_EQ(built->count(), 1u);
    ORVDataObjectPtr parsed;
    EXPECT_TRUE(ORVDataObject::parseDataObject(parsed, built->data()));
  }
  // Vietnamese text and every valid form still pass.
  ORVDataObjectPtr object = ORVDataObject::builder()
                                .putString("Trò chơi mới \xf0\x9f\x8e\xae", "tiêu đề")
                                .putString("", "")
                                .build();
  ORVDataObjectPtr parsed;
  ASSERT_TRUE(ORVDataObject::parseDataObject(parsed, object->data()));
  EXPECT_EQ(parsed->stringForKey("tiêu đề"), "Trò chơi mới \xf0\x9f\x8e\xae");
}
