// orv-store-http: the store's HTTP services (sign-in API, media, device
// registration, share page) over a seeded catalogue, on their own, until
// SIGINT or SIGTERM.
//
//   orv-store-http [--bind HOST] [--port N] [--data DIR] [--public-url URL]
//                  [--msisdn ADDRESS=NUMBER[,...]]... [--no-admin] [--no-dev-otp]

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Log.h"
#include "server/store/Catalogue.h"
#include "server/store/CatalogueSeeder.h"
#include "server/store/OtpService.h"
#include "server/store/StoreHttpServer.h"

namespace {

int usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--bind HOST] [--port N] [--data DIR] [--public-url URL]\n"
               "          [--msisdn ADDRESS=NUMBER[,...]]... [--no-admin] [--no-dev-otp]\n"
               "  --data DIR      catalogue.db and media/ live here (default ./store-data)\n"
               "  --port N        0 picks a free port (default 8080)\n",
               program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv::server;
  StoreHttpConfig config;
  config.port = 8080;
  std::filesystem::path data = "store-data";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--bind" && hasValue) {
      config.bindHost = argv[++i];
    } else if (arg == "--port" && hasValue) {
      config.port = std::atoi(argv[++i]);
    } else if (arg == "--data" && hasValue) {
      data = argv[++i];
    } else if (arg == "--public-url" && hasValue) {
      config.publicBaseUrl = argv[++i];
    } else if (arg == "--msisdn" && hasValue) {
      if (!config.parseAddressTable(argv[++i])) {
        std::fprintf(stderr, "bad --msisdn table: %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--no-admin") {
      config.adminEnabled = false;
    } else if (arg == "--no-dev-otp") {
      config.devOtpPage = false;
    } else {
      return usage(argv[0]);
    }
  }
  config.mediaDir = data / "media";

  // Block the stop signals before any thread starts, then wait for one.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::error_code ec;
  std::filesystem::create_directories(data, ec);
  auto catalogue = Catalogue::open(data / "catalogue.db");
  if (!catalogue || !CatalogueSeeder::seedIfEmpty(*catalogue, config.mediaDir)) return 1;
  OtpService otp;
  StoreHttpServer server(*catalogue, otp, config);
  if (!server.start()) return 1;
  std::printf("orv-store-http: serving on %s (admin %s)\n", server.baseUrl().c_str(),
              server.adminAvailable() ? "on" : "off");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.stop();
  orv::log("main", "stopped by signal " + std::to_string(signal));
  return 0;
}
