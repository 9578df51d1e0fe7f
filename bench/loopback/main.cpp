// bench_loopback: request/answer round trips over loopback TCP, each traffic
// pattern run first against the floor (plain blocking sockets) and then
// against every other target, which is printed as a ratio to its floor.
//
//   bench_loopback [--request BYTES] [--answer BYTES] [--seconds S] [--warmup-ms MS]
//                  [--cases a,b,c] [--drivers frames,ours,ours-async] [--server PATH]
//                  [--content BYTES] [--floor-only] [--hops]
//
// The floor sends `request` bytes and answers `answer` bytes. When the client
// library and orv-server are part of the build, two more drivers run against
// orv-server (--server, default: the one of this build), started anew for
// each case, sending its "echo" command with a byte array of `content` bytes:
// "frames" writes prebuilt frames on a blocking socket (the server and the
// wire alone), "ours" goes through ORVClient (the whole library) with an
// application thread waiting for each answer, "ours-async" through ORVClient
// with each next request sent from the answer's handler (see OursTarget.h).
//
// --hops: after the cases, case a once more through "ours-async" with the
// library's hop stamps on, printing what each hop of a round trip costs.
//
// Cases: a = one connection, one request at a time; b = one connection, 16
// requests in flight; c = 100 connections, one request at a time each.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/loopback/FloorTarget.h"
#include "bench/loopback/TrafficRunner.h"
#ifdef ORV_BENCH_HAS_OURS
#include "bench/loopback/FramesTarget.h"
#include "bench/loopback/OursTarget.h"
#endif

namespace {

using namespace orv::bench;

struct Options {
  std::size_t requestSize = 100;
  std::size_t answerSize = 100;
  double seconds = 2.0;
  int warmUpMs = 300;
  std::string cases = "a,b,c";
  std::string drivers;  // empty: every driver
  std::size_t contentSize = 100;
  bool floorOnly = false;
  bool hops = false;
#ifdef ORV_BENCH_SERVER_PATH
  std::string serverPath = ORV_BENCH_SERVER_PATH;
#else
  std::string serverPath;
#endif
};

[[noreturn]] void usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--request BYTES] [--answer BYTES] [--seconds S] [--warmup-ms MS] [--cases a,b,c]\n"
               "          [--drivers frames,ours,ours-async] [--server PATH] [--content BYTES] [--floor-only]\n"
               "          [--hops]\n",
               self);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--floor-only") {
      o.floorOnly = true;
      continue;
    }
    if (arg == "--hops") {
      o.hops = true;
      continue;
    }
    if (i + 1 >= argc) usage(argv[0]);
    const char* value = argv[++i];
    if (arg == "--request") {
      o.requestSize = std::strtoul(value, nullptr, 10);
    } else if (arg == "--answer") {
      o.answerSize = std::strtoul(value, nullptr, 10);
    } else if (arg == "--seconds") {
      o.seconds = std::strtod(value, nullptr);
    } else if (arg == "--warmup-ms") {
      o.warmUpMs = std::atoi(value);
    } else if (arg == "--cases") {
      o.cases = value;
    } else if (arg == "--drivers") {
      o.drivers = value;
    } else if (arg == "--server") {
      o.serverPath = value;
    } else if (arg == "--content") {
      o.contentSize = std::strtoul(value, nullptr, 10);
    } else {
      usage(argv[0]);
    }
  }
  if (o.requestSize == 0 || o.answerSize == 0 || o.seconds <= 0) usage(argv[0]);
  return o;
}

std::string ratio(double ours, double floor) {
  if (floor <= 0) return "-";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2fx", ours / floor);
  return buffer;
}

void printRow(const TrafficPattern& pattern, const std::string& driver, const CaseResult& r, const CaseResult* floor) {
  if (!r.ok) {
    std::printf("%-26s %-10s  FAILED: %s\n", pattern.name.c_str(), driver.c_str(), r.error.c_str());
    return;
  }
  std::printf("%-26s %-10s %11.0f %9.1f %9.1f", pattern.name.c_str(), driver.c_str(), r.perSecond, r.p50Micros,
              r.p99Micros);
  if (floor != nullptr && floor->ok) {
    std::printf("   %9s %9s %9s", ratio(r.perSecond, floor->perSecond).c_str(),
                ratio(r.p50Micros, floor->p50Micros).c_str(), ratio(r.p99Micros, floor->p99Micros).c_str());
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  const std::map<char, TrafficPattern> known = {
      {'a', {"a: 1 conn, 1 in flight", 1, 1}},
      {'b', {"b: 1 conn, 16 in flight", 1, 16}},
      {'c', {"c: 100 conns, 1 in flight", 100, 1}},
  };
  std::vector<TrafficPattern> patterns;
  for (char c : options.cases) {
    if (c == ',') continue;
    auto it = known.find(c);
    if (it == known.end()) usage(argv[0]);
    patterns.push_back(it->second);
  }

  RunWindow window;
  window.warmUp = std::chrono::milliseconds(options.warmUpMs);
  window.measure = std::chrono::milliseconds(static_cast<int64_t>(options.seconds * 1000));

  // Targets after the floor, each made fresh for every case.
  struct Driver {
    std::string name;
    std::function<std::unique_ptr<LoopbackTarget>()> make;
  };
  std::vector<Driver> others;
#ifdef ORV_BENCH_HAS_OURS
  others = {
      {"frames", [&] { return std::make_unique<FramesTarget>(options.serverPath, options.contentSize); }},
      {"ours", [&] { return std::make_unique<OursTarget>(options.serverPath, options.contentSize); }},
      {"ours-async", [&] { return std::make_unique<OursTarget>(options.serverPath, options.contentSize, true); }},
  };
#endif
  if (options.floorOnly) others.clear();
  if (!options.drivers.empty()) {
    const std::string wanted = "," + options.drivers + ",";
    std::erase_if(others, [&](const Driver& d) { return wanted.find("," + d.name + ",") == std::string::npos; });
  }

  std::printf("bench_loopback: floor request %zu B, answer %zu B; ours echo content %zu B; %.1f s per case after %d ms warm-up\n",
              options.requestSize, options.answerSize, options.contentSize, options.seconds, options.warmUpMs);
  std::printf("%-26s %-10s %11s %9s %9s   %9s %9s %9s\n", "case", "driver", "requests/s", "p50 us", "p99 us",
              "rps/floor", "p50/floor", "p99/floor");
  int failures = 0;
  for (const TrafficPattern& pattern : patterns) {
    CaseResult floor;
    {
      FloorTarget target(options.requestSize, options.answerSize);
      floor = TrafficRunner::run(target, pattern, window);
    }
    printRow(pattern, "floor", floor, nullptr);
    failures += floor.ok ? 0 : 1;
    for (const Driver& driver : others) {
      auto target = driver.make();
      const CaseResult result = TrafficRunner::run(*target, pattern, window);
      printRow(pattern, driver.name, result, &floor);
      failures += result.ok ? 0 : 1;
    }
  }
#ifdef ORV_BENCH_HAS_OURS
  if (options.hops) {
    HopReport report;
    orv::HopTrace::setEnabled(true);
    {
      OursTarget target(options.serverPath, options.contentSize, true, &report);
      const CaseResult result = TrafficRunner::run(target, known.at('a'), window);
      printRow(known.at('a'), "ours-hops", result, nullptr);
      failures += result.ok ? 0 : 1;
    }
    orv::HopTrace::setEnabled(false);
    report.print();
  }
#endif
  return failures == 0 ? 0 : 1;
}
