// bench_load: many concurrent clients against orv-server (started here as a
// child with --threads 2). Each client connects, handshakes, logs in to zone
// "kivmar" and echoes --requests checked requests, --window in flight. Reports
// time, throughput, lost and mismatched answers (both must be 0: exit 1
// otherwise) and the peak RSS of the server and of this process.
//
//   bench_load [--clients N] [--requests M] [--window W] [--payload BYTES]
//              [--timeout SECONDS] [--server PATH]

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "bench/load/EchoSession.h"
#include "bench/load/ProcessMemory.h"
#include "bench/loopback/ServerProcess.h"
#include "platform/Log.h"

using orv::bench::EchoSession;
using orv::bench::ProcessMemory;
using Clock = std::chrono::steady_clock;

namespace {

struct Settings {
  uint32_t clients = 1000;
  uint32_t requests = 100;
  uint32_t window = 4;
  size_t payload = 32;
  int timeoutSeconds = 300;
  std::string server = ORV_BENCH_SERVER_PATH;
};

bool parse(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (name == "--clients") s.clients = static_cast<uint32_t>(std::stoul(value));
    else if (name == "--requests") s.requests = static_cast<uint32_t>(std::stoul(value));
    else if (name == "--window") s.window = static_cast<uint32_t>(std::stoul(value));
    else if (name == "--payload") s.payload = std::stoul(value);
    else if (name == "--timeout") s.timeoutSeconds = std::stoi(value);
    else if (name == "--server") s.server = value;
    else return false;
  }
  return s.clients > 0 && s.requests > 0 && s.window > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!parse(argc, argv, s)) {
    std::fprintf(stderr,
                 "usage: bench_load [--clients N] [--requests M] [--window W] [--payload BYTES] "
                 "[--timeout SECONDS] [--server PATH]\n");
    return 2;
  }
  // The library logs every refused request; under load that would drown the report.
  std::atomic<uint64_t> logLines{0};
  orv::setLogSink([&](std::string_view, std::string_view) { logLines++; });

  // Each client holds one socket (plus a few descriptors of its own); the
  // server, started below, inherits the raised limit.
  const uint64_t files = ProcessMemory::raiseOpenFileLimit(uint64_t{s.clients} * 4 + 256);
  if (files < uint64_t{s.clients} * 2 + 64) {
    std::fprintf(stderr, "bench_load: open-file limit %llu is too low for %u clients\n",
                 static_cast<unsigned long long>(files), s.clients);
    return 1;
  }

  orv::bench::ServerProcess server(s.server, {"--threads", "2", "--zone", "kivmar"});
  if (!server.ok()) {
    std::fprintf(stderr, "bench_load: %s\n", server.error().c_str());
    return 1;
  }
  const pid_t serverPid = ProcessMemory::childNamed("orv-server");

  std::mutex mutex;
  std::condition_variable changed;
  uint32_t settled = 0;  // sessions finished or failed, each counted once
  std::vector<bool> settledFlags(s.clients, false);
  auto onSettled = [&](EchoSession& session) {
    std::lock_guard lock(mutex);
    if (settledFlags[session.index()]) return;
    settledFlags[session.index()] = true;
    settled++;
    changed.notify_all();
  };

  std::vector<std::shared_ptr<EchoSession>> sessions;
  sessions.reserve(s.clients);
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::seconds(s.timeoutSeconds);
  for (uint32_t i = 0; i < s.clients; ++i) {
    EchoSession::Options o;
    o.index = i;
    o.zone = "kivmar";
    o.window = s.window;
    o.requests = s.requests;
    o.payloadSize = s.payload;
    auto session = std::make_shared<EchoSession>(o, onSettled);
    session->start("127.0.0.1", server.port(), 30);
    sessions.push_back(std::move(session));
  }
  bool timedOut = false;
  {
    std::unique_lock lock(mutex);
    timedOut = !changed.wait_until(lock, deadline, [&] { return settled >= s.clients; });
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const int64_t serverHwm = ProcessMemory::statusKiB(serverPid, "VmHWM");
  const int64_t clientThreads = ProcessMemory::statusKiB(0, "Threads");  // a count, same field syntax

  uint64_t sent = 0, answered = 0, mismatched = 0;
  uint32_t failed = 0, unfinished = 0;
  std::string firstFailure;
  for (const auto& session : sessions) {
    sent += session->sent();
    answered += session->answered();
    mismatched += session->mismatched();
    const auto state = session->state();
    if (state == EchoSession::State::kFailed) failed++;
    else if (state != EchoSession::State::kReady) unfinished++;
    if (firstFailure.empty() && !session->failure().empty()) {
      firstFailure = "client " + std::to_string(&session - sessions.data()) + ": " + session->failure();
    }
  }
  const uint64_t expected = uint64_t{s.clients} * s.requests;
  const uint64_t lost = expected - std::min(expected, answered + mismatched);
  for (auto& session : sessions) session->stop();
  sessions.clear();

  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("clients            %u (window %u, payload %zu B, open-file limit %llu)\n", s.clients,
              s.window, s.payload, static_cast<unsigned long long>(files));
  std::printf("requests expected  %llu, sent %llu\n", static_cast<unsigned long long>(expected),
              static_cast<unsigned long long>(sent));
  std::printf("answers good       %llu\n", static_cast<unsigned long long>(answered));
  std::printf("answers lost       %llu\n", static_cast<unsigned long long>(lost));
  std::printf("answers mismatched %llu\n", static_cast<unsigned long long>(mismatched));
  std::printf("sessions failed    %u, unfinished %u%s\n", failed, unfinished,
              firstFailure.empty() ? "" : (" (first: " + firstFailure + ")").c_str());
  std::printf("total time         %.3f s (connect + login + echoes)\n", seconds);
  std::printf("throughput         %.0f answers/s\n", seconds > 0 ? answered / seconds : 0.0);
  std::printf("server peak RSS    %lld KiB (VmHWM, pid %d)\n", static_cast<long long>(serverHwm),
              static_cast<int>(serverPid));
  std::printf("client peak RSS    %ld KiB (ru_maxrss; VmHWM %lld KiB)\n", usage.ru_maxrss,
              static_cast<long long>(ProcessMemory::statusKiB(0, "VmHWM")));
  std::printf("client threads     %lld (while all clients were connected)\n",
              static_cast<long long>(clientThreads));
  std::printf("library log lines  %llu\n", static_cast<unsigned long long>(logLines.load()));
  if (timedOut) {
    std::fprintf(stderr, "bench_load: aborted after %d s with %u of %u sessions settled\n",
                 s.timeoutSeconds, settled, s.clients);
    return 1;
  }
  const bool ok = lost == 0 && mismatched == 0 && failed == 0 && unfinished == 0;
  std::printf("result             %s\n", ok ? "OK" : "FAILED");
  return ok ? 0 : 1;
}
