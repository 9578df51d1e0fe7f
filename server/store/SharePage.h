#pragma once
// The page a shared game link opens: title, provider, icon, the description
// as plain text and the price. Every text from the catalogue is HTML-escaped.

#include <string>

#include "server/store/Catalogue.h"

namespace orv::server {

class SharePage {
 public:
  static std::string render(const GameDetail& detail);
};

}  // namespace orv::server
