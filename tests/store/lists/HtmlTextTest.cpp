#include "store/lists/HtmlText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/lists/HtmlTextReference.h"

namespace orv::store {
namespace {

struct Case {
  const char* html;
  const char* text;
};

TEST(HtmlTextTest, DescriptionsBecomeTheirText) {
  const std::vector<Case> cases{
      {"<p><b>Ninja</b> hay &amp; vui</p>", "Ninja hay & vui"},
      // Tags written with entities are decoded first, then stripped.
      {"&lt;p&gt;Tải ngay&lt;/p&gt;", "Tải ngay"},
      {"Chế độ &quot;Thử thách&quot; &lt;mới&gt;", "Chế độ \"Thử thách\" "},
      {"It&apos;s", "It's"},
      // "&amp;" is decoded before "&lt;": twice-encoded '<' ends as '<' ...
      {"a &amp;lt; b", "a < b"},
      {"&amp;lt;b&amp;gt;x", "x"},
      // ... but "&quot;" has had its turn already.
      {"&amp;quot;", "&quot;"},
      {"&amp;amp;lt;", "&amp;lt;"},
      {"&amp;&amp;lt;x", "&<x"},
      // A lone '<' stays, and so does everything after it.
      {"1 < 2 và 3 < 4", "1 < 2 và 3 < 4"},
      {"x<>y", "x<>y"},
      {"x&lt;&gt;y", "x<>y"},
      {"<<a>b>", "b>"},
      {"<a<b>>c", ">c"},
      {"a<b\nc>d", "ad"},
      {"&nbsp;&#39;&lt", "&nbsp;&#39;&lt"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HtmlText::stringByStrippingHTML(std::string_view(c.html)), c.text) << c.html;
    EXPECT_EQ(reference::stringByStrippingHTML(c.html), c.text) << "literal form: " << c.html;
  }
  EXPECT_EQ(HtmlText::stringByStrippingHTML(std::optional<std::string>()), "");
  EXPECT_EQ(HtmlText::htmlEntityDecode("&lt;p&gt; &amp;lt; &quot;&apos;"), "<p> < \"'");
}

// Every text of up to five pieces from an alphabet that provokes the
// interplay of entities and tags gives exactly the literal form's result.
TEST(HtmlTextTest, MatchesTheLiteralFormOnEveryShortText) {
  const std::vector<std::string> pieces{"<", ">", "a", "&amp;", "&lt;", "&gt;", "lt;", "&quot;", "&"};
  std::vector<std::string> texts{""};
  size_t checked = 0;
  for (int length = 1; length <= 5; ++length) {
    std::vector<std::string> longer;
    for (const auto& t : texts) {
      for (const auto& p : pieces) longer.push_back(t + p);
    }
    for (const auto& t : longer) {
      ASSERT_EQ(HtmlText::stringByStrippingHTML(std::string_view(t)), reference::stringByStrippingHTML(t)) << t;
      ASSERT_EQ(HtmlText::htmlEntityDecode(t), reference::htmlEntityDecode(t)) << t;
      ++checked;
    }
    texts = std::move(longer);
  }
  EXPECT_EQ(checked, 9u + 81u + 729u + 6561u + 59049u);
}

TEST(HtmlTextTest, UnclosedAngleBracketsStayInLinearTime) {
  // 1 MB of "<x " with one tag at the very start: the literal form needs one
  // search to the end per '<'; this must finish at once (no timing asserted,
  // the bench measures it) and keep every unclosed '<'.
  std::string html = "<p>";
  while (html.size() < (1u << 20)) html += "<x ";
  const std::string text = HtmlText::stringByStrippingHTML(std::string_view(html));
  EXPECT_EQ(text, html.substr(3));
}

}  // namespace
}  // namespace orv::store
