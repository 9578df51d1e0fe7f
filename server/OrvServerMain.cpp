// orv-server: the reference session server.
//
// Prints "listening on HOST:PORT" once it accepts connections, serves until
// SIGINT or SIGTERM, then closes every connection and exits 0. Bad options
// print the reason and the usage on stderr and exit 2.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "server/session/ServerOptions.h"
#include "server/session/SessionServer.h"

int main(int argc, char** argv) {
  using orv::server::ServerOptions;
  std::vector<std::string> args(argv + 1, argv + argc);
  ServerOptions options;
  std::string error;
  if (!ServerOptions::parse(args, options, error)) {
    std::cerr << "orv-server: " << error << "\n" << ServerOptions::usage() << "\n";
    return 2;
  }

  // Block the stop signals in every thread (the pool inherits the mask), and
  // wait for them here.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  orv::server::SessionServer server(options);
  if (!server.start(error)) {
    std::cerr << "orv-server: " << error << "\n";
    return 1;
  }
  std::cout << "listening on " << server.listeningAddress() << std::endl;

  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  return 0;
}
