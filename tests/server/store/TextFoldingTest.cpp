#include "server/store/TextFolding.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

TEST(TextFolding, FoldsVietnameseLettersCaseAndCombiningAccents) {
  EXPECT_EQ(TextFolding::fold("Tiến Lên Miền Nam"), "tien len mien nam");
  EXPECT_EQ(TextFolding::fold("ĐUA XE Đường Phố"), "dua xe duong pho");
  EXPECT_EQ(TextFolding::fold("Ỷ Ỹ ự Ợ ắ"), "y y u o a");
  // "tiến" written as e + circumflex + acute combining marks.
  EXPECT_EQ(TextFolding::fold("ti\u0065\u0302\u0301n"), "tien");
  // Other scripts pass through; malformed bytes are dropped.
  EXPECT_EQ(TextFolding::fold("Game 日本"), "game 日本");
  EXPECT_EQ(TextFolding::fold(std::string("a\xC3") + "b\xE1\xBA"), "ab");
  EXPECT_EQ(TextFolding::fold("\xC0\xAF"), "");  // overlong '/'
}

TEST(TextFolding, HtmlToTextDropsTagsDecodesEntitiesAndJoinsBlanks) {
  EXPECT_EQ(TextFolding::htmlToText("<p><b>Rồng</b> &amp; Hổ</p>\n<ul><li>một</li><li>hai</li></ul>"),
            "Rồng & Hổ một hai");
  // Entities become text after the tags are gone, so they are not markup.
  EXPECT_EQ(TextFolding::htmlToText("a &lt;b&gt; &quot;c&quot; &unknown;"), "a <b> \"c\" &unknown;");
  EXPECT_EQ(TextFolding::htmlToText("text <unclosed tag"), "text");
  EXPECT_EQ(TextFolding::escapeHtml("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
}

}  // namespace
}  // namespace orv::server
