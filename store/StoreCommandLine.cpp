#include "store/StoreCommandLine.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

namespace orv::store {
namespace {

bool parsePort(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const int value = std::stoi(text);
  if (value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool validHost(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == ':';
  });
}

// Applies one deployment option; false with `error` set on a bad value.
bool apply(const std::string& name, const std::string& value, StoreDeployment& d, std::string& error) {
  std::string url;
  if (name == "server") {
    if (!StoreCommandLine::parseServer(value, d.sessionHost, d.sessionPort)) {
      error = "--server: \"" + value + "\" is not HOST or HOST:PORT (port 1 to 65535)";
      return false;
    }
    return true;
  }
  if (!StoreCommandLine::parseUrl(value, url)) {
    error = "--" + name + ": \"" + value + "\" is not an http:// or https:// URL with a host";
    return false;
  }
  if (name == "api") d.apiBase = url;
  if (name == "media") d.mediaBase = url + "/";
  if (name == "register") d.registerBase = url;
  if (name == "share") d.shareBase = url;
  return true;
}

bool readSettingsFile(const std::string& path, std::map<std::string, std::string>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "--settings: cannot read \"" + path + "\"";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  const auto json = nlohmann::json::parse(text.str(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    error = "--settings: \"" + path + "\" is not a JSON object";
    return false;
  }
  for (const auto& [key, value] : json.items()) {
    if (key != "server" && key != "api" && key != "media" && key != "register" && key != "share") {
      error = "--settings: unknown entry \"" + key + "\" in \"" + path + "\"";
      return false;
    }
    if (!value.is_string()) {
      error = "--settings: entry \"" + key + "\" in \"" + path + "\" is not a string";
      return false;
    }
    out[key] = value.get<std::string>();
  }
  return true;
}

}  // namespace

bool StoreCommandLine::parseServer(const std::string& text, std::string& host, uint16_t& port) {
  std::string h;
  uint16_t p = 443;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    h = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !parsePort(rest.substr(1), p))) return false;
    if (h.find(':') == std::string::npos) return false;
  } else {
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
      if (text.find(':', colon + 1) != std::string::npos) return false;  // bare IPv6 needs brackets
      if (!parsePort(text.substr(colon + 1), p)) return false;
      h = text.substr(0, colon);
    } else {
      h = text;
    }
    if (h.find(':') != std::string::npos) return false;
  }
  if (!validHost(h)) return false;
  host = h;
  port = p;
  return true;
}

bool StoreCommandLine::parseUrl(const std::string& text, std::string& out) {
  size_t start;
  if (text.starts_with("http://")) {
    start = 7;
  } else if (text.starts_with("https://")) {
    start = 8;
  } else {
    return false;
  }
  if (text.find_first_of(" \t\r\n\"<>\\") != std::string::npos) return false;
  const size_t slash = text.find_first_of("/?#", start);
  const std::string authority = text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
  if (authority.find('@') != std::string::npos) return false;
  std::string host;
  uint16_t port = 0;
  if (!parseServer(authority, host, port)) return false;
  if (text.find_first_of("?#", start) != std::string::npos) return false;  // a base takes no query or fragment
  out = text;
  while (out.size() > start && out.back() == '/') out.pop_back();
  return true;
}

std::string StoreCommandLine::deploymentHelp() {
  return "  --server HOST[:PORT]  session server (port 443 when none is given)\n"
         "  --api URL             sign-in API base (URL/api.ashx)\n"
         "  --media URL           media server base\n"
         "  --register URL        device registration base (URL/register/default.aspx)\n"
         "  --share URL           share page base (URL/mobile/share/share.html?id=N)\n"
         "  --settings FILE       JSON object with any of \"server\", \"api\", \"media\",\n"
         "                        \"register\", \"share\"; options on the line win\n";
}

StoreCommandLine::Result StoreCommandLine::parse(const std::vector<std::string>& args,
                                                 const std::vector<std::string>& extraFlags,
                                                 const std::vector<std::string>& extraValued) {
  static const std::vector<std::string> kValued = {"server", "api", "media", "register", "share", "settings"};
  Result result;
  std::vector<std::pair<std::string, std::string>> given;
  std::string settingsFile;
  const auto fail = [&](std::string message) {
    result.outcome = Outcome::kError;
    result.error = std::move(message);
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.outcome = Outcome::kHelp;
      return result;
    }
    if (!arg.starts_with("--")) return fail("unexpected argument \"" + arg + "\"");
    std::string name = arg.substr(2);
    std::optional<std::string> inlineValue;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const bool deployment = std::find(kValued.begin(), kValued.end(), name) != kValued.end();
    const bool valued = deployment || std::find(extraValued.begin(), extraValued.end(), name) != extraValued.end();
    if (!valued) {
      if (std::find(extraFlags.begin(), extraFlags.end(), name) == extraFlags.end() || inlineValue)
        return fail("unknown option \"" + arg + "\" (see --help)");
      result.flags.push_back(name);
      continue;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else {
      if (i + 1 >= args.size()) return fail("--" + name + " needs a value");
      value = args[++i];
    }
    if (name == "settings") {
      settingsFile = value;
    } else if (deployment) {
      given.emplace_back(name, value);
    } else {
      result.flags.push_back(name + "=" + value);
    }
  }
  if (!settingsFile.empty()) {
    std::map<std::string, std::string> fromFile;
    std::string error;
    if (!readSettingsFile(settingsFile, fromFile, error)) return fail(error);
    for (const auto& [name, value] : fromFile) {
      if (!apply(name, value, result.deployment, error)) return fail(error + " (in " + settingsFile + ")");
    }
  }
  for (const auto& [name, value] : given) {
    std::string error;
    if (!apply(name, value, result.deployment, error)) return fail(error);
  }
  return result;
}

}  // namespace orv::store
