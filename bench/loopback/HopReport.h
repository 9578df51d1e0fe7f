#pragma once
// Per-hop figures of the client library for one request at a time: in the
// answer's handler, the stamps the library left at each point of the round
// trip (see platform/HopTrace.h) are turned into the time of each hop, and at
// the end their medians and means are printed, with how often the answer
// went from the socket's read to the handler without changing thread.

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/HopTrace.h"

namespace orv::bench {

class HopReport {
 public:
  // The hops: from each point to the next, and from the handler to the next
  // request sent (the application's own part, the bench's request building).
  static constexpr std::size_t kHops = orv::kHopPointCount;

  // Called in the answer's handler before the next request is sent.
  void answerArrived();
  void print() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::array<int64_t, kHops>> rounds_;  // nanoseconds per hop
  int64_t previousHandler_ = 0;
  uint64_t sameThread_ = 0;
  uint64_t outOfOrder_ = 0;  // rounds whose stamps were not in sequence (dropped)
};

}  // namespace orv::bench
