#pragma once
// Where the store's servers are: the session server, the sign-in API, the
// media server, the device-registration endpoint and the share page. From a
// JSON settings file and the command line; with nothing given, the local
// reference server as scripts/demo-server starts it.

#include <cstdint>
#include <string>

namespace orv::store {

struct StoreDeployment {
  std::string sessionHost = "127.0.0.1";
  uint16_t sessionPort = 9443;      // 443 when --server names a host without a port
  std::string apiBase = "http://127.0.0.1:9480";       // sign-in API: apiBase + "/api.ashx?..."
  std::string mediaBase = "http://127.0.0.1:9480/media/";  // a category icon equal to this is "no icon"
  std::string registerBase = "http://127.0.0.1:9480";  // + "/register/default.aspx"
  std::string shareBase = "http://127.0.0.1:9480";     // + "/mobile/share/share.html?id=N"
};

}  // namespace orv::store
