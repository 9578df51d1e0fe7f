#include "store/util/MyUtils.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/SettingsStore.h"
#include "tests/store/core/StoreCoreFixture.h"
#include "tests/support/LogCapture.h"

namespace {

using orv::store::MyUtils;

class MyUtilsTest : public orv::test::StoreCoreFixture {};

TEST_F(MyUtilsTest, LogLinesTakeTheFormatOfTheirLevel) {
  orv::test::LogCapture log;
  MyUtils::log(0, "LOGIN", "không kết nối được");
  MyUtils::log(1, "LOGIN", "a.stt sent");
  MyUtils::log(2, "CONFIG", "sharedClient");
  MyUtils::log(7, "BASE", "plain");
  MyUtils::log(-1, "BASE", "");
  EXPECT_EQ(log.texts(), (std::vector<std::string>{"LOGIN error: không kết nối được", "LOGIN debug: a.stt sent",
                                                   "CONFIG info: sharedClient", "BASE plain", "BASE "}));
}

TEST_F(MyUtilsTest, PricesAndIntegerTexts) {
  EXPECT_EQ(MyUtils::stringToPrice("0"), "Miễn phí");
  EXPECT_EQ(MyUtils::stringToPrice(""), "Miễn phí");
  EXPECT_EQ(MyUtils::stringToPrice("15000"), "15000VND");
  EXPECT_EQ(MyUtils::stringToPrice("00"), "00VND");  // only the text "0" is free
  EXPECT_EQ(MyUtils::int32ToString(INT32_MIN), "-2147483648");
  EXPECT_EQ(MyUtils::int64ToString(INT64_MAX), "9223372036854775807");
}

TEST_F(MyUtilsTest, Md5OfTheBytesBeforeTheFirstZero) {
  EXPECT_EQ(MyUtils::md5(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(MyUtils::md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(MyUtils::md5(std::string("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(MyUtils::md5("Đua xe").size(), 32u);
}

TEST_F(MyUtilsTest, SettingsReachTheFileAtOnce) {
  MyUtils::setSetting("tl", "Bắn súng");
  EXPECT_EQ(MyUtils::getSetting("tl"), "Bắn súng");
  EXPECT_FALSE(MyUtils::getSetting("nothing").has_value());
  EXPECT_EQ(orv::SettingsStore::open(settingsFile)->value("tl"), "Bắn súng");
}

}  // namespace
