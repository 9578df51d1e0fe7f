#pragma once
// Base of the client's internal handlers, which see every received message.
// The back reference to the client is weak: a handler running on the worker
// queue while the client is being destroyed finds it gone and does nothing.

#include <memory>

class ORVClient;
class ORVMessage;

class ORVHandler {
 public:
  virtual ~ORVHandler() = default;
  virtual void handleMessage(const std::shared_ptr<const ORVMessage>& message);

  std::shared_ptr<ORVClient> client() const { return client_.lock(); }
  void setClient(std::weak_ptr<ORVClient> client) { client_ = std::move(client); }

 protected:
  explicit ORVHandler(std::weak_ptr<ORVClient> client) : client_(std::move(client)) {}

 private:
  // Written once at binding, before the handler is shared with other threads.
  std::weak_ptr<ORVClient> client_;
};
