#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/LogCapture.h"

namespace {

const char* kShipped = ORV_SOURCE_DIR "/store/resources/strings.vi.json";

TEST(StringsTableTest, ShippedTableHasAVietnameseTextForEveryKeyTheStoreUses) {
  ASSERT_TRUE(orv::loadLocalizedStrings(kShipped));
  for (const char* key :
       {"system_error", "msg_idle", "msg_kick", "msg_ban", "msg_force_logout", "sys_noservices", "btn_retry",
        "btn_exit", "btn_no", "error_msisdn_lookup", "otp_send", "otp_send_nok", "login_failure", "no_msisdn", "free",
        "Cellular", "No Connection"}) {
    const std::string text = orv::localizedString(key);
    EXPECT_NE(text, key) << key;
    // Vietnamese texts carry letters outside ASCII.
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        << key << " = " << text;
  }
  EXPECT_EQ(orv::localizedString("WiFi"), "Wi-Fi");
  EXPECT_EQ(orv::localizedFormat("%d VNĐ", 5000), "5000 VNĐ");
  EXPECT_EQ(orv::localizedFormat("Xem : %d lượt", 1200), "Xem : 1200 lượt");
  EXPECT_EQ(orv::localizedString("no such key"), "no such key");
}

TEST(StringsTableTest, BadTablesAreRefusedAndFormatsCannotReadPastTheirArgument) {
  ASSERT_TRUE(orv::loadLocalizedStringsFromText(R"({"free": "Miễn phí", "bad": "%s và %n", "two": "%d/%d", "pct": "%d%%"})"));
  orv::test::LogCapture log;
  EXPECT_FALSE(orv::loadLocalizedStringsFromText(R"({"free": 1})"));
  EXPECT_FALSE(orv::loadLocalizedStringsFromText("[\"free\"]"));
  EXPECT_FALSE(orv::loadLocalizedStrings("/nonexistent/strings.json"));
  EXPECT_EQ(log.lines().size(), 3u);
  EXPECT_EQ(orv::localizedString("free"), "Miễn phí");  // the previous table stays
  EXPECT_EQ(orv::localizedFormat("bad", 7), "%s và %n 7");
  EXPECT_EQ(orv::localizedFormat("two", 7), "%d/%d 7");
  EXPECT_EQ(orv::localizedFormat("pct", 7), "7%");
  EXPECT_EQ(orv::localizedFormat("missing %d", -3), "missing -3");
}

}  // namespace
