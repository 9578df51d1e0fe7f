// orv-server: the reference server. The session server, and unless --no-store
// is given, the store on top of it: the catalogue in a SQLite file (created,
// migrated and seeded when empty), the store's extension commands, and the
// HTTP services (sign-in API, media, registration, share page, admin).
//
// Prints "listening on HOST:PORT" (sessions) and then, with the store,
// "http listening on HOST:PORT" once both accept connections; serves until
// SIGINT or SIGTERM, then closes every connection and exits 0. Bad options
// print the reason and the usage on stderr and exit 2; a database or address
// that cannot be used exits 1.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "server/app/ReferenceServer.h"
#include "server/app/ReferenceServerOptions.h"

int main(int argc, char** argv) {
  using orv::server::ReferenceServerOptions;
  std::vector<std::string> args(argv + 1, argv + argc);
  ReferenceServerOptions options;
  std::string error;
  if (!ReferenceServerOptions::parse(args, options, error)) {
    std::cerr << "orv-server: " << error << "\n" << ReferenceServerOptions::usage() << "\n";
    return 2;
  }

  // Block the stop signals in every thread (the pools inherit the mask), and
  // wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  orv::server::ReferenceServer server(std::move(options));
  if (!server.start(error)) {
    std::cerr << "orv-server: " << error << "\n";
    return 1;
  }
  std::cout << "listening on " << server.sessionAddress() << std::endl;
  if (const std::string http = server.httpAddress(); !http.empty()) {
    std::cout << "http listening on " << http << std::endl;
  }

  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  return 0;
}
