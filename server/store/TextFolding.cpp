#include "server/store/TextFolding.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace orv::server {
namespace {

// Every precomposed Vietnamese letter, grouped by the ASCII letter it folds to.
constexpr std::array<std::pair<char, std::string_view>, 7> kGroups{{
    {'a', "àáảãạăằắẳẵặâầấẩẫậÀÁẢÃẠĂẰẮẲẴẶÂẦẤẨẪẬ"},
    {'e', "èéẻẽẹêềếểễệÈÉẺẼẸÊỀẾỂỄỆ"},
    {'i', "ìíỉĩịÌÍỈĨỊ"},
    {'o', "òóỏõọôồốổỗộơờớởỡợÒÓỎÕỌÔỒỐỔỖỘƠỜỚỞỠỢ"},
    {'u', "ùúủũụưừứửữựÙÚỦŨỤƯỪỨỬỮỰ"},
    {'y', "ỳýỷỹỵỲÝỶỸỴ"},
    {'d', "đĐ"},
}};

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the
// bytes are not a well-formed sequence.
size_t decodeUtf8(std::string_view text, size_t i, uint32_t& cp) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  size_t len = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms and surrogates are rejected so that one character has one
  // spelling only.
  static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

const std::unordered_map<uint32_t, char>& foldTable() {
  static const auto table = [] {
    std::unordered_map<uint32_t, char> t;
    for (const auto& [ascii, letters] : kGroups) {
      for (size_t i = 0; i < letters.size();) {
        uint32_t cp = 0;
        const size_t n = decodeUtf8(letters, i, cp);
        t.emplace(cp, ascii);
        i += n;
      }
    }
    return t;
  }();
  return table;
}

bool isCombiningMark(uint32_t cp) { return cp >= 0x0300 && cp <= 0x036F; }

}  // namespace

std::string TextFolding::fold(std::string_view text) {
  const auto& table = foldTable();
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {  // fast path: ASCII
      out.push_back((b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : static_cast<char>(b));
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const size_t n = decodeUtf8(text, i, cp);
    if (n == 0) {
      ++i;
      continue;
    }
    if (const auto it = table.find(cp); it != table.end()) {
      out.push_back(it->second);
    } else if (!isCombiningMark(cp)) {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

std::string TextFolding::htmlToText(std::string_view html) {
  static constexpr std::array<std::pair<std::string_view, char>, 7> kEntities{{
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'},
      {"&apos;", '\''}, {"&#39;", '\''}, {"&nbsp;", ' '},
  }};
  std::string out;
  out.reserve(html.size());
  bool pendingBlank = false;
  auto put = [&](char c) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      pendingBlank = !out.empty();
      return;
    }
    if (pendingBlank) out.push_back(' ');
    pendingBlank = false;
    out.push_back(c);
  };
  for (size_t i = 0; i < html.size();) {
    const char c = html[i];
    if (c == '<') {
      const size_t end = html.find('>', i);
      if (end == std::string_view::npos) break;  // an unclosed tag ends the text
      pendingBlank = !out.empty();               // a tag separates words
      i = end + 1;
      continue;
    }
    if (c == '&') {
      bool matched = false;
      for (const auto& [name, value] : kEntities) {
        if (html.substr(i, name.size()) == name) {
          put(value);
          i += name.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    put(c);
    ++i;
  }
  return out;
}

std::string TextFolding::escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace orv::server
