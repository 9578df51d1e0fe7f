#pragma once
// The command line of orv-server: the session server's own options plus the
// store's.
//
//   orv-server --listen HOST:PORT [session options...]
//              [--db PATH] [--media DIR] [--http HOST:PORT]
//              [--public-url http://HOST:PORT] [--msisdn-for ADDRESS=NUMBER]...
//              [--no-store]
//
// --db defaults to "orv-store.db" in the working directory and --media to the
// database path followed by ".media"; --http defaults to 127.0.0.1:9480 (port
// 0 lets the system pick one); the public URL defaults to the address the
// HTTP side is bound to. --no-store serves sessions only: no database, no
// HTTP side, no store commands.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "server/session/ServerOptions.h"
#include "server/store/StoreHttpServer.h"

namespace orv::server {

struct ReferenceServerOptions {
  ServerOptions session;
  bool store = true;
  std::filesystem::path database = "orv-store.db";
  std::filesystem::path media;  // empty: database + ".media"
  // The HTTP side; its public URL and lookup table (publicBaseUrl always
  // ends with "/" once parsed).
  StoreHttpConfig http;

  static constexpr uint16_t kDefaultHttpPort = 9480;

  ReferenceServerOptions();
  std::filesystem::path mediaFolder() const;

  // Parses the arguments after the program name; on failure returns false
  // with a one-line explanation in `error`.
  static bool parse(const std::vector<std::string>& args, ReferenceServerOptions& out, std::string& error);
  static std::string usage();
};

}  // namespace orv::server
