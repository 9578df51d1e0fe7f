#pragma once
// Routes extension commands (id 5) by command name to pluggable handlers.
//
// A handler has the shape of the store's command handler:
//   ORVDataObjectPtr handle(std::string_view command, const ORVDataObjectPtr& content,
//                           std::string_view peerAddress)
// and answers nullptr for a command it does not know. Handlers registered for
// one exact name are asked first; then the catch-all handlers, in the order
// they were added, until one answers. Handlers run on the connection's strand,
// several at once for different connections, so they must be thread-safe.

#include <functional>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "wire/ORVDataObject.h"

namespace orv::server {

using ExtensionHandler = std::function<ORVDataObjectPtr(
    std::string_view command, const ORVDataObjectPtr& content, std::string_view peerAddress)>;

class ExtensionRouter {
 public:
  // The built-in command that answers its own content.
  static constexpr const char* kEchoCommand = "echo";

  ExtensionRouter();

  // Replaces any handler of that exact name.
  void addCommand(std::string command, ExtensionHandler handler);
  // A handler asked for every name without an exact handler.
  void addFallback(ExtensionHandler handler);

  // The answer content, or nullptr when no handler knows the command.
  ORVDataObjectPtr route(std::string_view command, const ORVDataObjectPtr& content,
                         std::string_view peerAddress) const;

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, ExtensionHandler, std::less<>> commands_;
  std::vector<ExtensionHandler> fallbacks_;
};

}  // namespace orv::server
