#pragma once
// The reference session server: accepts TCP connections on one address, runs
// them on a set of threads, each with an event loop of its own (connections
// are dealt to the loops in turn, one strand per connection), sweeps expired
// sessions, and offers the administration calls (list, kick, ban, force
// logout) that an HTTP admin endpoint can wire to its own interface.
//
//   SessionServer server(options);
//   server.router().addFallback(storeHandler);   // before start()
//   if (!server.start(error)) ...
//   ... server.port() ...
//   server.stop();                               // or let the destructor do it

// A standard header first: Asio picks its handler allocator from macros that
// libstdc++ defines, and every translation unit must make the same choice
// (a mismatch frees with free() what was taken with operator new).
#include <cstddef>
#include <asio.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/session/ExtensionRouter.h"
#include "server/session/ServerOptions.h"
#include "server/session/SessionServices.h"
#include "server/session/SessionTable.h"

namespace orv::server {

class SessionServer {
 public:
  explicit SessionServer(ServerOptions options);
  ~SessionServer();
  SessionServer(const SessionServer&) = delete;
  SessionServer& operator=(const SessionServer&) = delete;

  // Extension commands; add handlers before start().
  ExtensionRouter& router() { return services_->router; }

  // Binds, listens and starts the threads. False with a reason when the
  // address cannot be bound.
  bool start(std::string& error);
  // Closes the acceptor and every connection, then joins the threads.
  // Idempotent. Call it from outside the server's threads (it joins them).
  void stop();

  // The port actually bound (the one the system picked for port 0).
  uint16_t port() const { return port_; }
  // "HOST:PORT" with the bound port ("[::1]:PORT" for IPv6).
  std::string listeningAddress() const;

  // Administration; each is safe from any thread. The notice calls send the
  // session's connection id 3 with the reason (3 kick, 4 ban, 5 forced
  // logout) and close it; the session is removed, so it cannot be resumed.
  // They answer false for an unknown session id.
  std::vector<SessionInfo> listSessions() const;
  bool kick(std::string_view sessionId);
  bool ban(std::string_view sessionId);
  bool forceLogout(std::string_view sessionId);

  size_t connectionCount() const { return services_->connectionCount(); }
  const ServerOptions& options() const { return services_->options; }

  // How often detached sessions past their resume window are removed.
  static constexpr std::chrono::seconds kSweepInterval{1};
  // Pause after a failed accept (descriptors exhausted), so it does not spin.
  static constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

 private:
  void accept();
  void armSweep();
  bool notify(std::optional<SessionTable::ConnectionId> owner, int32_t reason);

  // One event loop per thread: a loop shared by several threads hands its
  // poller from thread to thread on every event (a wake-up each time), which
  // costs more than the parallelism it gives one connection. The first loop
  // also runs the acceptor and the sweep.
  struct Loop {
    Loop() : io(1), work(asio::make_work_guard(io)) {}
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work;
  };
  static std::vector<std::unique_ptr<Loop>> makeLoops(unsigned threads);  // at least one
  asio::io_context& nextLoop();

  std::shared_ptr<SessionServices> services_;
  std::vector<std::unique_ptr<Loop>> loops_;
  std::size_t nextLoop_ = 0;  // on the acceptor's strand
  // The acceptor, the sweep timer and the stop sequence share one strand, so
  // stop() sees every connection that accept() ever started.
  asio::strand<asio::io_context::executor_type> strand_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer sweepTimer_;
  asio::steady_timer acceptRetryTimer_;
  std::vector<std::thread> threads_;
  uint16_t port_ = 0;
  std::mutex stopMutex_;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace orv::server
