#include "server/session/ExtensionRouter.h"

#include <mutex>

namespace orv::server {

ExtensionRouter::ExtensionRouter() {
  addCommand(kEchoCommand, [](std::string_view, const ORVDataObjectPtr& content, std::string_view) {
    return content ? content : ORVDataObject::dataObject();
  });
}

void ExtensionRouter::addCommand(std::string command, ExtensionHandler handler) {
  std::unique_lock lock(mutex_);
  commands_[std::move(command)] = std::move(handler);
}

void ExtensionRouter::addFallback(ExtensionHandler handler) {
  std::unique_lock lock(mutex_);
  fallbacks_.push_back(std::move(handler));
}

ORVDataObjectPtr ExtensionRouter::route(std::string_view command, const ORVDataObjectPtr& content,
                                        std::string_view peerAddress) const {
  // Copy the candidates out so no handler runs under the lock.
  std::vector<ExtensionHandler> candidates;
  {
    std::shared_lock lock(mutex_);
    auto it = commands_.find(command);
    if (it != commands_.end()) candidates.push_back(it->second);
    candidates.insert(candidates.end(), fallbacks_.begin(), fallbacks_.end());
  }
  for (const auto& handler : candidates) {
    if (ORVDataObjectPtr answer = handler(command, content, peerAddress)) return answer;
  }
  return nullptr;
}

}  // namespace orv::server
