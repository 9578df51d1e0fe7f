#pragma once
// Time stamps at the points a request and its answer pass through in the
// library, for measuring what each hop costs (bench_loopback --hops). Off
// unless a measuring program turns it on; while off, a point costs one
// relaxed load and a branch.
//
// Each point keeps only its latest stamp and the thread that made it, so the
// figures mean something only with one request in flight at a time: the
// measuring program reads the stamps in the answer's handler, before it
// sends the next request.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace orv {

enum class HopPoint : uint8_t {
  RequestSent,     // the application called sendRequest
  WriteStarted,    // the socket hands the frame to the kernel
  BytesRead,       // the socket read the answer's bytes
  MessageDecoded,  // the frame is decoded into a message
  ClientReceived,  // the client has the message from its connector
  WorkerRuns,      // "client.worker" runs the message's task
  HandlerCalled,   // the application's handler is about to be called
};
inline constexpr std::size_t kHopPointCount = 7;

struct HopStamp {
  int64_t nanos = 0;      // steady clock; 0 = never stamped
  uint64_t thread = 0;    // a hash of the stamping thread's id
};

class HopTrace {
 public:
  static void setEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }
  static bool enabled() { return enabled_.load(std::memory_order_relaxed); }
  static void mark(HopPoint point) {
    if (enabled()) [[unlikely]] record(point);
  }
  static std::array<HopStamp, kHopPointCount> snapshot();
  static const char* name(HopPoint point);

 private:
  static void record(HopPoint point);
  static std::atomic<bool> enabled_;
};

}  // namespace orv
