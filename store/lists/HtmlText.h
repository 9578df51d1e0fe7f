#pragma once
// A game's HTML description reduced to plain text for the detail page.
//
// The result is, byte for byte, what these steps give (HtmlTextReference.h
// spells them out literally):
//   1. "&quot;" -> '"', "&apos;" -> '\'', "&amp;" -> '&', "&lt;" -> '<',
//      "&gt;" -> '>', each replaced everywhere, one entity after the other in
//      that order (so "&amp;lt;" ends as '<' but "&amp;quot;" as "&quot;");
//   2. the first match of "<[^>]+>" removed, again and again, until none is
//      left (tags formed by decoded entities go too; "<>" and a '<' with no
//      '>' after it stay).
// Done literally, step 2 is quadratic: every removal searches the text again
// from its start, and a description with thousands of unclosed '<' makes each
// search walk to the end. Here both steps run fused in one left-to-right pass
// over the input, linear in its length.
//
// Why one pass gives the same text: a removal never makes a match that starts
// before the removed span (every '<' before the leftmost match is directly
// followed by '>'), so the matches are exactly the spans a single scan finds:
// a '<' followed by a character other than '>' opens a tag that the next '>'
// closes; with no '>' left, the rest of the text is kept as it is.
//
// Works on UTF-8 bytes: '<', '>', '&' and ';' never occur inside a multi-byte
// sequence, so characters are never split.

#include <optional>
#include <string>
#include <string_view>

namespace orv::store {

class HtmlText {
 public:
  HtmlText() = delete;

  // The entity decoding of step 1 alone.
  static std::string htmlEntityDecode(std::string_view html);
  // Steps 1 and 2: the text shown for a description.
  static std::string stringByStrippingHTML(std::string_view html);
  // An absent description is shown as an empty text.
  static std::string stringByStrippingHTML(const std::optional<std::string>& html) {
    return html ? stringByStrippingHTML(std::string_view(*html)) : std::string();
  }
};

}  // namespace orv::store
