#pragma once
// The store's deployment options: where its servers are.
//
//   --server HOST[:PORT]   session server (port 443 when none is given)
//   --api URL              sign-in API base        (URL + "/api.ashx?...")
//   --media URL            media server base       (category "no icon" marker)
//   --register URL         registration endpoint   (URL + "/register/default.aspx")
//   --share URL            share page base         (URL + "/mobile/share/share.html?id=N")
//   --settings FILE        a JSON object with any of "server", "api", "media",
//                          "register", "share" (same forms as the options)
//
// The file is read first, whatever its place on the line; options given on
// the line then override it. Nothing given: StoreDeployment's defaults, the
// local reference server as scripts/demo-server starts it. URLs are http or
// https with a host; a trailing "/" is dropped, except on the media base,
// which always ends in one.

#include <string>
#include <vector>

#include "store/StoreDeployment.h"

namespace orv::store {

class StoreCommandLine {
 public:
  // Exit status for a bad option or value.
  static constexpr int kUsageError = 2;

  enum class Outcome { kRun, kHelp, kError };

  // Parses the deployment options; `extraFlags` are options without value
  // that the caller handles (they are accepted and returned in `flags`),
  // `extraValued` options with one value (returned as "name=value" in
  // `flags`). kError sets `error` to a message for the user.
  struct Result {
    Outcome outcome = Outcome::kRun;
    StoreDeployment deployment;
    std::vector<std::string> flags;
    std::string error;
  };
  static Result parse(const std::vector<std::string>& args, const std::vector<std::string>& extraFlags = {},
                      const std::vector<std::string>& extraValued = {});

  // The help lines of the deployment options.
  static std::string deploymentHelp();

  // "HOST[:PORT]" or "[V6]:PORT" -> host and port; false on a bad value.
  static bool parseServer(const std::string& text, std::string& host, uint16_t& port);
  // http(s)://host[:port][/path] -> normalized; false on a bad value.
  static bool parseUrl(const std::string& text, std::string& out);
};

}  // namespace orv::store
