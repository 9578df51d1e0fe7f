#include "wire/ORVMessage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/LogCapture.h"
#include "wire/ORVHex.h"

namespace {

std::vector<uint8_t> fromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string wireHex(const ORVMessage& m) { return orv_hexString(m.dataArray()->data()); }

uint64_t now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ORVMessagePtr parseHex(std::string_view hex) {
  const std::vector<uint8_t> bytes = fromHex(hex);
  ORVMessagePtr out;
  return ORVMessage::parseMessage(out, bytes, 0, static_cast<uint32_t>(bytes.size())) ? out
                                                                                      : nullptr;
}

TEST(ORVMessageTest, CreationDefaults) {
  const ORVMutableMessagePtr ping = ORVMessage::messageWithCommandId(ORVCommandIdPing);
  EXPECT_EQ(ping->command(), "6");
  EXPECT_TRUE(ping->content()->isEmpty());
  EXPECT_EQ(ping->transportType(), 1);
  EXPECT_TRUE(ping->isCompressionEnabled());
  EXPECT_LE(now() - ping->timestamp(), 1u);
  EXPECT_EQ(ping->description(), "{cmd=6}{cnt={}}{ts=" + std::to_string(ping->timestamp()) + "}{tt=1}");

  // A missing extension name falls back to the decimal id, on the wire too.
  const ORVMutableMessagePtr unnamed = ORVMessage::messageWithCommandId(5, std::nullopt, nullptr);
  EXPECT_EQ(unnamed->command(), "5");
  EXPECT_EQ(wireHex(*unnamed), "0203050701" "35");
}

TEST(ORVMessageTest, ContentShortcutsReadTheContent) {
  const ORVDataObjectPtr content =
      ORVDataObject::builder().putInt64(5, "n").putString("abc", "z").putBool(true, "b").build();
  const ORVMutableMessagePtr m = ORVMessage::messageWithCommandId(10, content);
  EXPECT_EQ(m->int32ForKey("n"), 5);
  EXPECT_EQ(m->stringForKey("z"), "abc");
  EXPECT_TRUE(m->boolForKey("b"));
  EXPECT_FALSE(m->containsKey("missing"));
  EXPECT_EQ(m->keyEnumerator(), content->keyEnumerator());
  EXPECT_EQ(m->description().substr(0, 28), "{cmd=10}{cnt={n=5,z=abc,b=YE");
}

TEST(ORVMessageTest, EncodesInTheMessageLayout) {
  EXPECT_EQ(wireHex(*ORVMessage::messageWithCommandId(6)), "010306");
  const ORVDataObjectPtr id300 = ORVDataObject::builder().putInt32(300, "id").build();
  EXPECT_EQ(wireHex(*ORVMessage::messageWithCommandId(5, "cnt.cat", id300)),
            "0303050707636e742e636174080102696403ac02");
  // Not an extension: no name on the wire, content second.
  EXPECT_EQ(wireHex(*ORVMessage::messageWithCommandId(10, "ignored", id300)),
            "02030a080102696403ac02");
}

TEST(ORVMessageTest, ParsesBackWithArrivalTime) {
  const ORVMessagePtr cat = parseHex("0303050707636e742e636174080102696403ac02");
  ASSERT_TRUE(cat);
  EXPECT_EQ(cat->commandId(), 5);
  EXPECT_EQ(cat->command(), "cnt.cat");
  EXPECT_EQ(cat->int32ForKey("id"), 300);
  EXPECT_LE(now() - cat->timestamp(), 1u);

  const ORVMessagePtr empty = parseHex("0203050707636e742e636174");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->command(), "cnt.cat");
  EXPECT_TRUE(empty->content()->isEmpty());

  const ORVMessagePtr login = parseHex("02030a080102696403ac02");
  ASSERT_TRUE(login);
  EXPECT_EQ(login->command(), "10");
  EXPECT_EQ(login->int32ForKey("id"), 300);

  // [3] with extra elements past the ones named: ignored.
  const ORVMessagePtr bye = parseHex("030303" "0800" "0301");
  ASSERT_TRUE(bye);
  EXPECT_EQ(bye->commandId(), 3);
  EXPECT_EQ(bye->command(), "3");
  EXPECT_FALSE(bye->containsKey("r"));
}

TEST(ORVMessageTest, RejectsArraysThatAreNotMessages) {
  orv::test::LogCapture log;
  ORVMessagePtr out;
  EXPECT_FALSE(ORVMessage::parseMessage(out, ORVDataArray::dataArray()));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVMessage::parseMessage : Invalid message: No parameters"});
  log.clear();
  EXPECT_EQ(parseHex("010305"), nullptr);
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Invalid message: Not enough parameters"});
  EXPECT_EQ(out, nullptr);

  // A range outside the buffer is refused rather than read.
  const std::vector<uint8_t> ping = fromHex("010306");
  EXPECT_FALSE(ORVMessage::parseMessage(out, ping, 2, 2));
  EXPECT_FALSE(ORVMessage::parseMessage(out, ping, 4, 0));
  EXPECT_TRUE(ORVMessage::parseMessage(out, ping, 0, 3));
}

// A received message is handed to several threads at once; every read,
// including the first encode that memoizes sizes, must be race-free.
TEST(ORVMessageTest, ReadConcurrentlyAfterParse) {
  const ORVMessagePtr cat = parseHex("0303050707636e742e636174080102696403ac02");
  ASSERT_TRUE(cat);
  std::vector<std::thread> readers;
  std::vector<std::string> seen(4);
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&, i] {
      seen[i] = wireHex(*cat) + cat->description().substr(0, 22) + std::to_string(cat->int32ForKey("id"));
    });
  }
  for (auto& t : readers) t.join();
  for (const auto& s : seen) {
    EXPECT_EQ(s, "0303050707636e742e636174080102696403ac02{cmd=cnt.cat}{cnt={id=300");
  }
}

}  // namespace
