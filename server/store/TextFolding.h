#pragma once
// Folding of Vietnamese text for search: lower case, diacritics removed,
// "đ"/"Đ" read as "d". "Tiến", "tiên" and "TIEN" all fold to "tien", so a
// subscriber who types without accents still finds the game.

#include <string>
#include <string_view>

namespace orv::server {

class TextFolding {
 public:
  // Folds UTF-8 text. Vietnamese letters (precomposed or followed by
  // combining accents) become plain ASCII letters; ASCII is lower-cased; other
  // characters pass through unchanged; malformed bytes are dropped.
  static std::string fold(std::string_view text);

  // Plain text of an HTML fragment: tags removed, the common entities
  // (&amp; &lt; &gt; &quot; &apos; &#39; &nbsp;) decoded, runs of white space
  // joined into one blank and the ends trimmed.
  static std::string htmlToText(std::string_view html);

  // Escapes & < > " ' for use in HTML text and attribute values.
  static std::string escapeHtml(std::string_view text);
};

}  // namespace orv::server
