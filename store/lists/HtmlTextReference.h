#pragma once
// The description rules done literally, for checking HtmlText against them
// (tests, fuzzer, benchmark): five replace-everywhere passes, then the first
// match of "<[^>]+>" removed until none is left. Quadratic on hostile input;
// never used by the store itself.

#include <regex>
#include <string>
#include <string_view>

namespace orv::store::reference {

inline void replaceEverywhere(std::string& text, std::string_view what, std::string_view with) {
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
    out.append(text, from, at - from);
    out.append(with);
    from = at + what.size();
  }
  out.append(text, from, std::string::npos);
  text = std::move(out);
}

inline std::string htmlEntityDecode(std::string text) {
  replaceEverywhere(text, "&quot;", "\"");
  replaceEverywhere(text, "&apos;", "'");
  replaceEverywhere(text, "&amp;", "&");
  replaceEverywhere(text, "&lt;", "<");
  replaceEverywhere(text, "&gt;", ">");
  return text;
}

inline std::string stringByStrippingHTML(std::string_view html) {
  static const std::regex kTag("<[^>]+>");
  std::string text = htmlEntityDecode(std::string(html));
  std::smatch match;
  while (std::regex_search(text, match, kTag)) {
    text.erase(static_cast<size_t>(match.position(0)), static_cast<size_t>(match.length(0)));
  }
  return text;
}

}  // namespace orv::store::reference
