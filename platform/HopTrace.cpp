#include "platform/HopTrace.h"

#include <chrono>
#include <functional>
#include <thread>

namespace orv {
namespace {

struct AtomicStamp {
  std::atomic<int64_t> nanos{0};
  std::atomic<uint64_t> thread{0};
};
std::array<AtomicStamp, kHopPointCount> gStamps;

}  // namespace

std::atomic<bool> HopTrace::enabled_{false};

void HopTrace::record(HopPoint point) {
  AtomicStamp& stamp = gStamps[static_cast<std::size_t>(point)];
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  stamp.thread.store(std::hash<std::thread::id>{}(std::this_thread::get_id()), std::memory_order_relaxed);
  // Release: a reader that sees this time also sees the thread above.
  stamp.nanos.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_release);
}

std::array<HopStamp, kHopPointCount> HopTrace::snapshot() {
  std::array<HopStamp, kHopPointCount> out;
  for (std::size_t i = 0; i < kHopPointCount; ++i) {
    out[i].nanos = gStamps[i].nanos.load(std::memory_order_acquire);
    out[i].thread = gStamps[i].thread.load(std::memory_order_relaxed);
  }
  return out;
}

const char* HopTrace::name(HopPoint point) {
  switch (point) {
    case HopPoint::RequestSent: return "request sent";
    case HopPoint::WriteStarted: return "write started";
    case HopPoint::BytesRead: return "bytes read";
    case HopPoint::MessageDecoded: return "message decoded";
    case HopPoint::ClientReceived: return "client received";
    case HopPoint::WorkerRuns: return "client.worker runs";
    case HopPoint::HandlerCalled: return "handler called";
  }
  return "?";
}

}  // namespace orv
