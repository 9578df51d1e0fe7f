// bench_memory: one client against orv-server echoes 100,000 checked requests
// (4 in flight) and prints this process's VmRSS along the way. Exit 1 when
// the RSS after the last request exceeds the RSS after the first 1,000 by more
// than 1 MiB: past the warm-up nothing should grow with the request count, and
// 1 MiB over 99,000 requests is about 10 bytes each, so any per-request leak
// of even one small allocation crosses it, while allocator and page-level
// noise (a few pages of arena growth) stays well below it.
//
// Then one large echo (4 MiB of incompressible bytes, so it crosses the wire
// at that size and is read in many pieces into the frame decoder's buffer),
// followed by small ones. Allocator caches are returned to the system with
// malloc_trim before each reading, so what remains is memory still in use: a
// decoder that kept its buffer after the large frame would leave about 4 MiB.
// The mmap threshold is fixed at 128 KiB (mallopt, which also turns off its
// dynamic raising): otherwise, once the first large block has been unmapped,
// glibc serves later large blocks from its arenas and keeps them after free
// (measured: about 5 times the frame size still resident after malloc_trim),
// which says nothing about what the library holds. With the threshold fixed,
// every large block is its own mapping and leaves RSS when freed, so a block
// still in use shows in full.
//
//   bench_memory [--requests N] [--large BYTES] [--server PATH]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <string>
#include <vector>

#include "bench/load/EchoSession.h"
#include "bench/load/ProcessMemory.h"
#include "bench/loopback/ServerProcess.h"
#include "platform/Log.h"

using orv::bench::EchoSession;
using orv::bench::ProcessMemory;

namespace {

constexpr int64_t kToleranceKiB = 1024;
constexpr uint32_t kWarmup = 1000;
constexpr std::chrono::seconds kTimeout{300};
constexpr uint32_t kMaxMessageSize = 16u << 20;

int64_t trimmedRssKiB() {
  ::malloc_trim(0);
  return ProcessMemory::statusKiB(0, "VmRSS");
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t requests = 100000;
  size_t large = 4u << 20;
  std::string serverPath = ORV_BENCH_SERVER_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--requests") requests = static_cast<uint32_t>(std::stoul(argv[i + 1]));
    else if (name == "--large") large = std::stoul(argv[i + 1]);
    else if (name == "--server") serverPath = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: bench_memory [--requests N] [--large BYTES] [--server PATH]\n");
      return 2;
    }
  }
  if (requests < kWarmup || large + 1024 > kMaxMessageSize) {
    std::fprintf(stderr, "bench_memory: --requests must be at least %u and --large below 16 MiB\n", kWarmup);
    return 2;
  }
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  orv::setLogSink([](std::string_view operation, std::string_view text) {
    std::fprintf(stderr, "%.*s : %.*s\n", static_cast<int>(operation.size()), operation.data(),
                 static_cast<int>(text.size()), text.data());
  });

  orv::bench::ServerProcess server(serverPath, {"--threads", "2", "--zone", "kivmar", "--max-message-size",
                                                std::to_string(kMaxMessageSize)});
  if (!server.ok()) {
    std::fprintf(stderr, "bench_memory: %s\n", server.error().c_str());
    return 1;
  }

  EchoSession::Options o;
  o.zone = "kivmar";
  o.window = 4;
  o.maxMessageSize = kMaxMessageSize;
  auto session = std::make_shared<EchoSession>(o, nullptr);

  // Checkpoints are read on the thread that takes the answer, right after it.
  std::vector<uint32_t> points = {kWarmup, requests / 10, requests / 4, requests / 2, requests * 3 / 4, requests};
  std::sort(points.begin(), points.end());
  std::vector<int64_t> rss(points.size(), -1);
  session->setProgress([&](uint64_t answered) {
    for (size_t i = 0; i < points.size(); ++i) {
      if (answered == points[i]) rss[i] = ProcessMemory::statusKiB(0, "VmRSS");
    }
  });
  session->start("127.0.0.1", server.port(), 10);
  if (!session->waitReady(std::chrono::seconds(10))) {
    std::fprintf(stderr, "bench_memory: no login: %s\n", session->failure().c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  session->runBatch(requests, 32);
  if (!session->waitReady(kTimeout) || session->mismatched() != 0) {
    std::fprintf(stderr, "bench_memory: echo run failed after %llu answers: %s\n",
                 static_cast<unsigned long long>(session->answered()), session->failure().c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  session->setProgress(nullptr);

  std::printf("echoes: %u of 32 B, 4 in flight, %.2f s, all answered and checked\n", requests, seconds);
  std::printf("%10s  %10s\n", "answers", "VmRSS KiB");
  for (size_t i = 0; i < points.size(); ++i) {
    std::printf("%10u  %10lld\n", points[i], static_cast<long long>(rss[i]));
  }
  const int64_t growth = rss.back() - rss.front();
  const bool steady = rss.front() > 0 && rss.back() > 0 && growth <= kToleranceKiB;
  std::printf("growth after warm-up: %lld KiB (tolerance %lld KiB): %s\n", static_cast<long long>(growth),
              static_cast<long long>(kToleranceKiB), steady ? "OK" : "FAILED");

  // Large frame, then small ones: the decoder must let the large buffer go.
  const int64_t beforeLarge = trimmedRssKiB();
  session->runBatch(1, large);
  bool largeOk = session->waitReady(std::chrono::seconds(60)) && session->mismatched() == 0;
  const int64_t afterLargeUntrimmed = ProcessMemory::statusKiB(0, "VmRSS");
  session->runBatch(100, 32);
  largeOk = largeOk && session->waitReady(std::chrono::seconds(60)) && session->mismatched() == 0;
  const int64_t afterLarge = trimmedRssKiB();
  if (!largeOk) {
    std::fprintf(stderr, "bench_memory: large echo failed: %s\n", session->failure().c_str());
    return 1;
  }
  const int64_t kept = afterLarge - beforeLarge;
  const bool released = kept <= kToleranceKiB;
  std::printf("large echo: %zu B answered and checked; VmRSS (after malloc_trim) %lld KiB before, "
              "%lld KiB after (%lld KiB untrimmed right after it); kept %lld KiB: %s\n",
              large, static_cast<long long>(beforeLarge), static_cast<long long>(afterLarge),
              static_cast<long long>(afterLargeUntrimmed), static_cast<long long>(kept),
              released ? "OK" : "FAILED");
  session->stop();
  return steady && released ? 0 : 1;
}
