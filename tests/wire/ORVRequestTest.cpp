#include "wire/ORVRequest.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "wire/ORVExceptions.h"
#include "wire/ORVHex.h"

namespace {

std::string wireHex(const ORVMessage& m) { return orv_hexString(m.dataArray()->data()); }

std::vector<std::string> sortedKeys(const ORVMessage& m) {
  std::vector<std::string> keys = m.keyEnumerator();
  std::sort(keys.begin(), keys.end());
  return keys;
}

template <typename F>
std::string reasonOf(F f) {
  try {
    f();
  } catch (const ORVInvalidArgumentException& e) {
    return e.what();
  }
  return "no exception";
}

// Ping, pong, logout and manual disconnection bytes: ORVFrameWriterTest.

TEST(ORVRequestTest, Handshake) {
  for (const std::optional<std::string>& none : {std::optional<std::string>(), std::optional<std::string>("")}) {
    const ORVRequestPtr hs = ORVRequest::handshakeRequest(none);
    EXPECT_EQ(sortedKeys(*hs), (std::vector<std::string>{"o", "t", "v"}));
    const std::string hex = wireHex(*hs);
    ASSERT_EQ(hex.size(), 60u);                 // 30 bytes
    EXPECT_EQ(hex.substr(0, 10), "0203000803");  // [0, object of 3 entries]
    EXPECT_NE(hex.find("01740705436f636f61"), std::string::npos);  // "t" = "Cocoa"
    EXPECT_NE(hex.find("016f0703694f53"), std::string::npos);       // "o" = "iOS"
    EXPECT_NE(hex.find("0176070531" "2e302e30"), std::string::npos);  // "v" = "1.0.0"
  }
  const ORVRequestPtr resume = ORVRequest::handshakeRequest("abc");
  EXPECT_EQ(sortedKeys(*resume), (std::vector<std::string>{"o", "s", "t", "v"}));
  EXPECT_EQ(resume->stringForKey("s"), "abc");
}

TEST(ORVRequestTest, LoginContentAndArgumentChecks) {
  const ORVRequestPtr plain = ORVRequest::loginRequestWithZone("kivmar", "", "");
  EXPECT_EQ(plain->commandId(), 10);
  EXPECT_EQ(sortedKeys(*plain), (std::vector<std::string>{"s", "u", "z"}));
  EXPECT_EQ(plain->stringForKey("z"), "kivmar");
  const ORVRequestPtr withParams =
      ORVRequest::loginRequestWithZone("kivmar", "an", "pw", ORVDataObject::dataObject());
  EXPECT_EQ(sortedKeys(*withParams), (std::vector<std::string>{"p", "s", "u", "z"}));

  EXPECT_EQ(reasonOf([] { ORVRequest::loginRequestWithZone("", std::nullopt, std::nullopt); }), "zone");
  EXPECT_EQ(reasonOf([] { ORVRequest::loginRequestWithZone(std::nullopt, "a", "b"); }), "zone");
  EXPECT_EQ(reasonOf([] { ORVRequest::loginRequestWithZone("z", std::nullopt, std::nullopt); }), "name");
  EXPECT_EQ(reasonOf([] { ORVRequest::loginRequestWithZone("z", "", std::nullopt); }), "password");
}

TEST(ORVRequestTest, Extension) {
  const ORVRequestPtr cat = ORVRequest::extensionRequestWithCommand("cnt.cat");
  EXPECT_EQ(wireHex(*cat), "0203050707636e742e636174");
  EXPECT_EQ(reasonOf([] { ORVRequest::extensionRequestWithCommand(""); }), "cmd");
  EXPECT_EQ(reasonOf([] { ORVRequest::extensionRequestWithCommand("cnt.\xe1\xbb"); }), "invalid UTF-8 in cmd");
}

}  // namespace
