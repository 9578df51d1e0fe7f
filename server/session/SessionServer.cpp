#include "server/session/SessionServer.h"

#include <algorithm>

#include "platform/Log.h"
#include "server/session/SessionConnection.h"

namespace orv::server {

std::vector<std::unique_ptr<SessionServer::Loop>> SessionServer::makeLoops(unsigned threads) {
  std::vector<std::unique_ptr<Loop>> loops;
  for (unsigned i = 0; i < std::max(1u, threads); ++i) loops.push_back(std::make_unique<Loop>());
  return loops;
}

SessionServer::SessionServer(ServerOptions options)
    : services_(std::make_shared<SessionServices>(std::move(options))),
      loops_(makeLoops(services_->options.threads)),
      strand_(asio::make_strand(loops_.front()->io)),
      acceptor_(strand_),
      sweepTimer_(strand_),
      acceptRetryTimer_(strand_) {}

SessionServer::~SessionServer() { stop(); }

bool SessionServer::start(std::string& error) {
  std::lock_guard lock(stopMutex_);
  if (started_) {
    error = "already started";
    return false;
  }
  const ServerOptions& options = services_->options;
  asio::error_code ec;
  asio::ip::address address = asio::ip::make_address(options.host, ec);
  if (ec) {
    error = "invalid listen address " + options.host + ": " + ec.message();
    return false;
  }
  asio::ip::tcp::endpoint endpoint(address, options.port);
  acceptor_.open(endpoint.protocol(), ec);
  if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = "cannot listen on " + options.host + ":" + std::to_string(options.port) + ": " + ec.message();
    acceptor_.close(ec);
    return false;
  }
  port_ = acceptor_.local_endpoint().port();
  started_ = true;
  accept();
  armSweep();
  for (auto& loop : loops_) threads_.emplace_back([&io = loop->io] { io.run(); });
  return true;
}

std::string SessionServer::listeningAddress() const {
  const std::string& host = services_->options.host;
  bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

void SessionServer::accept() {
  // Each connection's socket gets its own strand as executor.
  acceptor_.async_accept(asio::make_strand(nextLoop()), [this](const asio::error_code& error, asio::ip::tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (error) {
      // Out of descriptors and the like: log, and try again a little later
      // rather than spinning on the same failure.
      orv::log("SessionServer::accept", "Accept failed: " + error.message());
      acceptRetryTimer_.expires_after(kAcceptRetryDelay);
      acceptRetryTimer_.async_wait([this](const asio::error_code& e) {
        if (!e && acceptor_.is_open()) accept();
      });
      return;
    } else {
      asio::error_code ignored;
      socket.set_option(asio::ip::tcp::no_delay(true), ignored);
      auto connection = std::make_shared<SessionConnection>(std::move(socket), services_->nextConnectionId(), services_);
      connection->start();
    }
    accept();
  });
}

asio::io_context& SessionServer::nextLoop() {
  asio::io_context& io = loops_[nextLoop_]->io;
  nextLoop_ = (nextLoop_ + 1) % loops_.size();
  return io;
}

void SessionServer::armSweep() {
  sweepTimer_.expires_after(kSweepInterval);
  sweepTimer_.async_wait([this](const asio::error_code& error) {
    // A sweep already due when stop() cancelled the timer still runs, with no
    // error: re-arming it then would keep the loop, and so stop(), alive for ever.
    if (error || !acceptor_.is_open()) return;
    services_->table.sweep(SessionTable::Clock::now());
    armSweep();
  });
}

void SessionServer::stop() {
  std::lock_guard lock(stopMutex_);
  if (!started_ || stopped_) return;
  stopped_ = true;
  asio::post(strand_, [this] {
    asio::error_code ignored;
    acceptor_.close(ignored);
    sweepTimer_.cancel();
    acceptRetryTimer_.cancel();
    for (auto& connection : services_->connections()) connection->close();
  });
  for (auto& loop : loops_) loop->work.reset();
  // Once the acceptor, the sweep and every connection have wound down the
  // loops run out of work and the threads return.
  for (auto& thread : threads_) thread.join();
  threads_.clear();
}

std::vector<SessionInfo> SessionServer::listSessions() const { return services_->table.list(); }

bool SessionServer::notify(std::optional<SessionTable::ConnectionId> owner, int32_t reason) {
  if (!owner) return false;
  if (*owner != 0) {
    if (auto connection = services_->connection(*owner)) {
      connection->sendNotice(static_cast<DisconnectionReason>(reason));
    }
  }
  return true;
}

bool SessionServer::kick(std::string_view sessionId) {
  return notify(services_->table.remove(sessionId), static_cast<int32_t>(DisconnectionReason::Kicked));
}

bool SessionServer::ban(std::string_view sessionId) {
  return notify(services_->table.ban(sessionId), static_cast<int32_t>(DisconnectionReason::Banned));
}

bool SessionServer::forceLogout(std::string_view sessionId) {
  return notify(services_->table.remove(sessionId), static_cast<int32_t>(DisconnectionReason::ForcedLogout));
}

}  // namespace orv::server
