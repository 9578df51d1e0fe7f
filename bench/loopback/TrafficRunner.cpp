#include "bench/loopback/TrafficRunner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace orv::bench {
namespace {

using Clock = std::chrono::steady_clock;

// What every lane thread of one case shares.
struct CaseState {
  Clock::time_point measureStart;
  Clock::time_point measureEnd;
  std::atomic<bool> stop{false};
  std::mutex errorMutex;
  std::string error;

  void fail(const std::string& why) {
    std::lock_guard lock(errorMutex);
    if (error.empty()) error = why;
  }
};

// Round trips of one lane that ended inside the window, in nanoseconds.
using Samples = std::vector<uint64_t>;

void record(Samples& samples, const CaseState& state, Clock::time_point sent, Clock::time_point answered) {
  if (answered >= state.measureStart && answered < state.measureEnd) {
    samples.push_back(static_cast<uint64_t>(std::chrono::nanoseconds(answered - sent).count()));
  }
}

// One request at a time: send, wait, repeat.
void runSerial(Lane& lane, CaseState& state, Samples& samples) {
  while (!state.stop.load(std::memory_order_relaxed)) {
    const auto sent = Clock::now();
    if (!lane.sendRequest() || !lane.awaitAnswer()) {
      state.fail("connection failed or answer timed out");
      return;
    }
    record(samples, state, sent, Clock::now());
  }
}

// `window` requests outstanding: a sender thread refills the window, this
// thread takes the answers; after the stop the outstanding ones are drained.
void runPipelined(Lane& lane, int window, CaseState& state, Samples& samples) {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Clock::time_point> outstanding;
  bool senderDone = false;
  bool broken = false;

  std::thread sender([&] {
    for (;;) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return state.stop || broken || int(outstanding.size()) < window; });
        if (state.stop || broken) break;
        outstanding.push_back(Clock::now());
      }
      changed.notify_all();
      if (!lane.sendRequest()) {
        state.fail("connection failed while sending");
        break;
      }
    }
    {
      std::lock_guard lock(mutex);
      senderDone = true;
    }
    changed.notify_all();
  });

  for (;;) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return !outstanding.empty() || senderDone; });
      if (outstanding.empty()) break;
    }
    if (!lane.awaitAnswer()) {
      state.fail("connection failed or answer timed out");
      std::lock_guard lock(mutex);
      broken = true;
      changed.notify_all();
      break;
    }
    const auto answered = Clock::now();
    Clock::time_point sent;
    {
      std::lock_guard lock(mutex);
      sent = outstanding.front();
      outstanding.pop_front();
    }
    changed.notify_all();
    record(samples, state, sent, answered);
  }
  sender.join();
}

// A lane that drives itself: started, left alone for the window, collected.
void runSelfDriven(std::vector<std::unique_ptr<Lane>>& lanes, CaseState& state, std::vector<Samples>& samples) {
  for (auto& lane : lanes) {
    if (!lane->startDriving()) {
      state.fail("connection failed while sending");
      return;
    }
  }
  std::this_thread::sleep_until(state.measureEnd);
  std::vector<Lane::Round> rounds;
  for (size_t i = 0; i < lanes.size(); ++i) {
    rounds.clear();
    if (!lanes[i]->stopDriving(rounds)) state.fail("connection failed or answer timed out");
    for (const Lane::Round& r : rounds) record(samples[i], state, r.sent, r.answered);
  }
}

double percentileMicros(std::vector<uint64_t>& sorted, double q) {
  if (sorted.empty()) return 0;
  const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(q * double(sorted.size())));
  return double(sorted[i]) / 1000.0;
}

}  // namespace

CaseResult TrafficRunner::run(LoopbackTarget& target, const TrafficPattern& pattern, const RunWindow& window) {
  CaseResult result;
  std::vector<std::unique_ptr<Lane>> lanes;
  for (int i = 0; i < pattern.connections; ++i) {
    std::string error;
    auto lane = target.openLane(error);
    if (!lane) {
      result.error = "connection " + std::to_string(i + 1) + ": " + error;
      return result;
    }
    lane->prepare(pattern.inFlight);
    lanes.push_back(std::move(lane));
  }

  CaseState state;
  state.measureStart = Clock::now() + window.warmUp;
  state.measureEnd = state.measureStart + window.measure;
  std::vector<Samples> samples(lanes.size());
  if (lanes.front()->drivesItself()) {
    runSelfDriven(lanes, state, samples);
  } else {
    std::vector<std::thread> threads;
    for (size_t i = 0; i < lanes.size(); ++i) {
      threads.emplace_back([&, i] {
        if (pattern.inFlight <= 1) {
          runSerial(*lanes[i], state, samples[i]);
        } else {
          runPipelined(*lanes[i], pattern.inFlight, state, samples[i]);
        }
      });
    }
    std::this_thread::sleep_until(state.measureEnd);
    state.stop = true;
    for (std::thread& t : threads) t.join();
  }
  lanes.clear();

  std::vector<uint64_t> all;
  for (const Samples& s : samples) all.insert(all.end(), s.begin(), s.end());
  std::sort(all.begin(), all.end());
  result.error = state.error;
  result.ok = state.error.empty() && !all.empty();
  if (all.empty() && result.error.empty()) result.error = "no answer inside the window";
  result.answered = all.size();
  result.seconds = std::chrono::duration<double>(window.measure).count();
  result.perSecond = double(all.size()) / result.seconds;
  result.p50Micros = percentileMicros(all, 0.50);
  result.p99Micros = percentileMicros(all, 0.99);
  return result;
}

}  // namespace orv::bench
