#pragma once
// Runs one traffic pattern against a target and measures it: requests per
// second over a fixed window after a warm-up, and the round-trip latency of
// every request answered within the window (p50, p99).
//
// Patterns: `connections` lanes at once, each with `inFlight` requests
// outstanding. With one in flight a single thread per lane sends and waits;
// with more, a sender thread keeps the window full and a receiver thread
// takes answers in order (answers are matched to requests first in, first
// out, which holds for an in-order echo). A lane that drives itself (see
// Lane::drivesItself) is started and collected instead.

#include <chrono>
#include <string>

#include "bench/loopback/LoopbackTarget.h"

namespace orv::bench {

struct TrafficPattern {
  std::string name;
  int connections = 1;
  int inFlight = 1;
};

struct RunWindow {
  std::chrono::milliseconds warmUp{300};
  std::chrono::milliseconds measure{2000};
};

struct CaseResult {
  bool ok = false;
  std::string error;
  uint64_t answered = 0;   // answers inside the measuring window
  double seconds = 0;      // length of that window
  double perSecond = 0;
  double p50Micros = 0;
  double p99Micros = 0;
};

class TrafficRunner {
 public:
  static CaseResult run(LoopbackTarget& target, const TrafficPattern& pattern, const RunWindow& window);
};

}  // namespace orv::bench
