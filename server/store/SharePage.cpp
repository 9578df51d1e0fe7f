#include "server/store/SharePage.h"

#include "server/store/TextFolding.h"

namespace orv::server {

std::string SharePage::render(const GameDetail& detail) {
  const Game& g = detail.game;
  const std::string title = TextFolding::escapeHtml(g.title);
  const std::string price = g.price > 0 ? std::to_string(g.price) + " VNĐ" : "MIỄN PHÍ";
  const std::string picture = detail.banner.empty() ? g.icon : detail.banner;
  std::string html;
  html.reserve(2048);
  html += "<!DOCTYPE html>\n<html lang=\"vi\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + title + "</title>\n";
  html += "<meta property=\"og:title\" content=\"" + title + "\">\n";
  html += "<meta property=\"og:image\" content=\"" + TextFolding::escapeHtml(picture) + "\">\n";
  html += "<style>body{font-family:sans-serif;margin:0 auto;max-width:640px;padding:12px}"
          "img{max-width:100%}h1{font-size:22px}.meta{color:#666}</style>\n</head>\n<body>\n";
  html += "<img src=\"" + TextFolding::escapeHtml(picture) + "\" alt=\"" + title + "\">\n";
  html += "<h1>" + title + "</h1>\n";
  html += "<p class=\"meta\">" + TextFolding::escapeHtml(g.provider) + " · " + TextFolding::escapeHtml(price) +
          " · " + std::to_string(g.downloads) + " lượt tải</p>\n";
  html += "<p>" + TextFolding::escapeHtml(TextFolding::htmlToText(detail.description)) + "</p>\n";
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace orv::server
