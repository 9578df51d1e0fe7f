#include "server/session/ServerOptions.h"

#include <charconv>
#include <limits>

namespace orv::server {
namespace {

bool parseUnsigned(std::string_view text, uint64_t max, uint64_t& out) {
  if (text.empty()) return false;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > max) return false;
  out = value;
  return true;
}

}  // namespace

bool ServerOptions::parseHostPort(std::string_view text, std::string& host, uint16_t& port) {
  std::string_view hostPart;
  std::string_view portPart;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
    hostPart = text.substr(1, close - 1);
    portPart = text.substr(close + 2);
  } else {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    hostPart = text.substr(0, colon);
    portPart = text.substr(colon + 1);
    if (hostPart.find(':') != std::string_view::npos) return false;  // bare IPv6 needs brackets
  }
  uint64_t value = 0;
  if (hostPart.empty() || !parseUnsigned(portPart, 65535, value)) return false;
  host = std::string(hostPart);
  port = static_cast<uint16_t>(value);
  return true;
}

std::vector<std::string> ServerOptions::effectiveZones() const {
  if (zones.empty()) return {kDefaultZone};
  return zones;
}

std::string ServerOptions::usage() {
  return "usage: orv-server --listen HOST:PORT [--threads N] [--zone NAME]... "
         "[--compression-threshold BYTES] [--max-message-size BYTES] "
         "[--reconnection-timeout SECONDS] [--idle-timeout SECONDS]";
}

bool ServerOptions::parse(const std::vector<std::string>& args, ServerOptions& out, std::string& error) {
  ServerOptions options;
  bool haveListen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      error = usage();
      return false;
    }
    if (i + 1 >= args.size()) {
      error = name.rfind("--", 0) == 0 ? "missing value for " + name : "unexpected argument: " + name;
      return false;
    }
    const std::string& value = args[++i];
    uint64_t number = 0;
    auto bad = [&](const std::string& why) {
      error = "invalid value for " + name + ": \"" + value + "\" (" + why + ")";
      return false;
    };
    if (name == "--listen") {
      if (!parseHostPort(value, options.host, options.port)) return bad("expected HOST:PORT");
      haveListen = true;
    } else if (name == "--threads") {
      if (!parseUnsigned(value, kMaxThreads, number) || number == 0) return bad("1 to 64");
      options.threads = static_cast<unsigned>(number);
    } else if (name == "--zone") {
      if (value.empty()) return bad("empty zone");
      options.zones.push_back(value);
    } else if (name == "--compression-threshold") {
      if (!parseUnsigned(value, kMaxAnnouncedSize, number)) return bad("0 to 2147483647");
      options.compressionThreshold = static_cast<uint32_t>(number);
    } else if (name == "--max-message-size") {
      if (!parseUnsigned(value, kMaxAnnouncedSize, number) || number < kMinMaxMessageSize)
        return bad("256 to 2147483647");
      options.maxMessageSize = static_cast<uint32_t>(number);
    } else if (name == "--reconnection-timeout") {
      if (!parseUnsigned(value, std::numeric_limits<int32_t>::max(), number)) return bad("seconds");
      options.reconnectionTimeoutSeconds = static_cast<uint32_t>(number);
    } else if (name == "--idle-timeout") {
      if (!parseUnsigned(value, std::numeric_limits<int32_t>::max(), number) || number == 0)
        return bad("at least 1 second");
      options.idleTimeoutSeconds = static_cast<uint32_t>(number);
    } else {
      error = "unknown option: " + name;
      return false;
    }
  }
  if (!haveListen) {
    error = "--listen HOST:PORT is required";
    return false;
  }
  out = std::move(options);
  return true;
}

}  // namespace orv::server
