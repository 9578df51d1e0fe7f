#include "server/app/ReferenceServerOptions.h"

#include <string_view>

namespace orv::server {

ReferenceServerOptions::ReferenceServerOptions() { http.port = kDefaultHttpPort; }

std::filesystem::path ReferenceServerOptions::mediaFolder() const {
  if (!media.empty()) return media;
  std::filesystem::path folder = database;
  folder += ".media";
  return folder;
}

std::string ReferenceServerOptions::usage() {
  return ServerOptions::usage() +
         "\n       [--db PATH] [--media DIR] [--http HOST:PORT] [--public-url http://HOST:PORT]"
         "\n       [--msisdn-for ADDRESS=NUMBER]... [--no-store]";
}

bool ReferenceServerOptions::parse(const std::vector<std::string>& args, ReferenceServerOptions& out,
                                   std::string& error) {
  ReferenceServerOptions options;
  std::vector<std::string> sessionArgs;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--no-store") {
      options.store = false;
      continue;
    }
    const bool ours = name == "--db" || name == "--media" || name == "--http" || name == "--public-url" ||
                      name == "--msisdn-for";
    if (!ours) {
      // The session server's option and its value, checked by its parser.
      sessionArgs.push_back(name);
      if (name.rfind("--", 0) == 0 && name != "--help" && name != "-h" && i + 1 < args.size()) {
        sessionArgs.push_back(args[++i]);
      }
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "missing value for " + name;
      return false;
    }
    const std::string& value = args[++i];
    auto bad = [&](const std::string& why) {
      error = "invalid value for " + name + ": \"" + value + "\" (" + why + ")";
      return false;
    };
    if (name == "--db") {
      if (value.empty()) return bad("empty path");
      options.database = value;
    } else if (name == "--media") {
      if (value.empty()) return bad("empty path");
      options.media = value;
    } else if (name == "--http") {
      uint16_t port = 0;
      if (!ServerOptions::parseHostPort(value, options.http.bindHost, port)) return bad("expected HOST:PORT");
      options.http.port = port;
    } else if (name == "--public-url") {
      // The catalogue appends "media/..." and "download/..." to it.
      std::string url = value;
      if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return bad("expected http://HOST:PORT");
      const size_t hostStart = url.find("//") + 2;
      if (hostStart >= url.size() || url[hostStart] == '/') return bad("expected http://HOST:PORT");
      if (url.back() != '/') url += '/';
      options.http.publicBaseUrl = url;
    } else {  // --msisdn-for
      if (value.find_first_of(", \t\r\n") != std::string::npos || !options.http.parseAddressTable(value)) {
        return bad("expected ADDRESS=NUMBER with 8 to 15 digits");
      }
    }
  }
  if (!ServerOptions::parse(sessionArgs, options.session, error)) return false;
  out = std::move(options);
  return true;
}

}  // namespace orv::server
