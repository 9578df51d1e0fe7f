#include "store/lists/HtmlText.h"

namespace orv::store {
namespace {

bool startsAt(std::string_view text, size_t at, std::string_view what) {
  return text.size() - at >= what.size() && text.compare(at, what.size(), what) == 0;
}

// Decodes the entity starting at html[at] == '&' the way the five passes in
// order decode it. Returns the decoded character and sets `length` to the
// number of input bytes it stands for.
//
// "&quot;" and "&apos;" come first and cannot overlap an "&amp;". The '&'
// that "&amp;" leaves is seen by the later "&lt;" and "&gt;" passes together
// with the raw text after it, so "&amp;lt;" and "&amp;gt;" become '<' and
// '>'. "&quot;" and "&apos;" have already had their pass by then, so
// "&amp;quot;" stays "&quot;".
char decodeEntity(std::string_view html, size_t at, size_t& length) {
  if (startsAt(html, at, "&quot;")) {
    length = 6;
    return '"';
  }
  if (startsAt(html, at, "&apos;")) {
    length = 6;
    return '\'';
  }
  if (startsAt(html, at, "&amp;")) {
    if (startsAt(html, at + 5, "lt;")) {
      length = 8;
      return '<';
    }
    if (startsAt(html, at + 5, "gt;")) {
      length = 8;
      return '>';
    }
    length = 5;
    return '&';
  }
  if (startsAt(html, at, "&lt;")) {
    length = 4;
    return '<';
  }
  if (startsAt(html, at, "&gt;")) {
    length = 4;
    return '>';
  }
  length = 1;
  return '&';
}

// Calls emit(c) for every character of the decoded text, in order.
template <typename Emit>
void decode(std::string_view html, Emit&& emit) {
  size_t i = 0;
  while (i < html.size()) {
    const size_t amp = html.find('&', i);
    const size_t plainEnd = amp == std::string_view::npos ? html.size() : amp;
    for (; i < plainEnd; ++i) emit(html[i]);
    if (i == html.size()) break;
    size_t length = 1;
    emit(decodeEntity(html, i, length));
    i += length;
  }
}

}  // namespace

std::string HtmlText::htmlEntityDecode(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  decode(html, [&](char c) { out.push_back(c); });
  return out;
}

std::string HtmlText::stringByStrippingHTML(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  // While a tag is open, `tagStart` is where its '<' sits in `out`. Its
  // characters are written as they come: if a '>' closes the tag they are cut
  // off again, and if the text ends first they stay, since a '<' with no '>'
  // after it is not a tag (nor is any '<' inside it).
  bool open = false;
  size_t tagStart = 0;
  auto put = [&](char c) {
    if (c == '<') {
      if (!open) {
        open = true;
        tagStart = out.size();
      }
      out.push_back(c);
    } else if (c == '>' && open) {
      open = false;
      if (out.size() == tagStart + 1) {
        out.push_back(c);  // "<>": "[^>]+" needs one character, so no tag
      } else {
        out.resize(tagStart);
      }
    } else {
      out.push_back(c);
    }
  };
  // Runs of ordinary bytes are copied whole; only '&', '<' and '>' need a look.
  size_t i = 0;
  const size_t n = html.size();
  while (i < n) {
    size_t j = i;
    while (j < n && html[j] != '&' && html[j] != '<' && html[j] != '>') ++j;
    out.append(html.data() + i, j - i);
    if (j == n) break;
    size_t length = 1;
    put(html[j] == '&' ? decodeEntity(html, j, length) : html[j]);
    i = j + length;
  }
  return out;
}

}  // namespace orv::store
