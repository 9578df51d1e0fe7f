// Cold start of the store to its home screen with the first pictures shown,
// against the reference server started here on loopback (this machine's
// number recognised, so no typing). Runs `orv-store --measure-start` on the
// offscreen platform N times (default 10), each a fresh process with empty
// image caches, and prints the median of every stage since the process
// started (as the kernel dates the start) and the wall time seen from here,
// from the spawn to the "home-pictures" line. Then the resident size of
// `orv-store --measure-details 20`: at home, 20 game pages deep, back home,
// twice over the same games.
//
//   bench_store_cold_start [RUNS]      (ORV_STORE_BINARY overrides the binary)

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/support/LocalReferenceServer.h"

extern char** environ;

namespace {

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Run {
  std::vector<std::string> lines;
  std::vector<std::pair<std::string, double>> stages;
  double wallMs = 0;
  bool ok = false;
};

Run runOnce(const std::string& binary, const std::vector<std::string>& args) {
  Run run;
  int out[2];
  if (pipe(out) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv{const_cast<char*>(binary.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto spawned = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return run;
  }
  FILE* lines = fdopen(out[0], "r");
  char line[256];
  while (fgets(line, sizeof line, lines)) {
    run.lines.emplace_back(line);
    char name[64];
    double ms = 0;
    if (std::sscanf(line, "stage %63s %lf", name, &ms) == 2) {
      run.stages.emplace_back(name, ms);
      if (std::strcmp(name, "home-pictures") == 0) {
        run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - spawned).count();
        run.ok = true;
      }
    }
  }
  fclose(lines);
  int status = 0;
  waitpid(pid, &status, 0);
  run.ok = (run.ok || run.stages.empty()) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const char* binary = std::getenv("ORV_STORE_BINARY");
  const std::string store = binary ? binary : ORV_STORE_BINARY;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  auto server = orv::test::LocalReferenceServer::start({"--msisdn-for", "127.0.0.1=84912000001"});
  if (!server) {
    std::fprintf(stderr, "bench_store_cold_start: server: %s\n", orv::test::LocalReferenceServer::lastError().c_str());
    return 1;
  }
  const std::string base = server->httpBase();
  const std::vector<std::string> args{"--server", "127.0.0.1:" + std::to_string(server->sessionPort()),
                                      "--api", base, "--media", base + "/media/", "--register", base,
                                      "--share", base, "--measure-start"};
  // One run first, not counted: the server's database and page cache warm up.
  Run warm = runOnce(store, args);
  if (!warm.ok) {
    std::fprintf(stderr, "bench_store_cold_start: the store did not reach its home pictures\n");
    return 1;
  }
  std::vector<std::string> order;
  for (const auto& [stage, ms] : warm.stages) order.push_back(stage);
  std::map<std::string, std::vector<double>> byStage;
  std::vector<double> wall;
  int failed = 0;
  for (int i = 0; i < runs; ++i) {
    Run r = runOnce(store, args);
    if (!r.ok) {
      ++failed;
      continue;
    }
    for (const auto& [stage, ms] : r.stages) byStage[stage].push_back(ms);
    wall.push_back(r.wallMs);
  }
  std::printf("cold start of orv-store to the home screen with its first pictures, %d runs (%d failed)\n", runs, failed);
  std::printf("%-16s %12s %12s\n", "stage", "median ms", "step ms");
  double previous = 0;
  for (const auto& stage : order) {
    const double m = median(byStage[stage]);
    std::printf("%-16s %12.1f %12.1f\n", stage.c_str(), m, m - previous);
    previous = m;
  }
  std::vector<double> sorted = wall;
  std::sort(sorted.begin(), sorted.end());
  std::printf("wall, spawn to home pictures: median %.1f ms, min %.1f, max %.1f\n", median(wall),
              sorted.empty() ? 0 : sorted.front(), sorted.empty() ? 0 : sorted.back());

  // Memory: 20 game pages opened one from the other and back home, twice.
  std::vector<std::string> memoryArgs(args.begin(), args.end() - 1);
  memoryArgs.insert(memoryArgs.end(), {"--measure-details", "20"});
  const Run memory = runOnce(store, memoryArgs);
  std::printf("resident size (KiB), 20 game pages deep and back home, two rounds%s\n",
              memory.ok ? "" : " (FAILED)");
  for (const auto& l : memory.lines) {
    if (l.find("page-1 ") != std::string::npos || l.find("page-20") != std::string::npos ||
        l.find("home") != std::string::npos || l.find("alive") != std::string::npos)
      std::printf("  %s", l.c_str());
  }
  return failed == 0 && memory.ok ? 0 : 1;
}
