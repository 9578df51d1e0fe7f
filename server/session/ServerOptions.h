#pragma once
// The session server's settings and the parser of its command line:
//
//   orv-server --listen HOST:PORT [--threads N] [--zone NAME]...
//              [--compression-threshold BYTES] [--max-message-size BYTES]
//              [--reconnection-timeout SECONDS] [--idle-timeout SECONDS]
//
// HOST may be an IPv6 address in brackets ("[::1]:9443"); port 0 lets the
// system pick one. Without --zone the server serves the zone "kivmar".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::server {

struct ServerOptions {
  std::string host = "127.0.0.1";
  uint16_t port = 0;
  unsigned threads = 2;
  std::vector<std::string> zones;  // empty = the default zone
  uint32_t compressionThreshold = 1024;
  uint32_t maxMessageSize = 65536;
  uint32_t reconnectionTimeoutSeconds = 60;
  uint32_t idleTimeoutSeconds = 300;

  // The smallest "m" the server accepts: its own refusals and error answers
  // must fit in a frame.
  static constexpr uint32_t kMinMaxMessageSize = 256;
  // "c" and "m" travel as int32 in the handshake answer.
  static constexpr uint32_t kMaxAnnouncedSize = 0x7FFFFFFF;
  static constexpr unsigned kMaxThreads = 64;
  static constexpr const char* kDefaultZone = "kivmar";

  // The zones to serve: the given ones, or the default zone.
  std::vector<std::string> effectiveZones() const;

  // Parses the arguments after the program name. On failure returns false and
  // puts a one-line explanation in `error`; `out` is then unspecified.
  static bool parse(const std::vector<std::string>& args, ServerOptions& out, std::string& error);
  static std::string usage();
  // "HOST:PORT" or "[V6HOST]:PORT"; false for anything else.
  static bool parseHostPort(std::string_view text, std::string& host, uint16_t& port);
};

}  // namespace orv::server
