#include "bench/loopback/HopReport.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace orv::bench {

void HopReport::answerArrived() {
  const auto stamps = orv::HopTrace::snapshot();
  std::lock_guard lock(mutex_);
  const int64_t handler = stamps[kHops - 1].nanos;
  const int64_t sent = stamps[0].nanos;
  std::array<int64_t, kHops> hops{};
  bool ordered = previousHandler_ != 0 && previousHandler_ <= sent;
  for (std::size_t i = 0; ordered && i + 1 < kHops; ++i) {
    hops[i] = stamps[i + 1].nanos - stamps[i].nanos;
    ordered = stamps[i].nanos != 0 && hops[i] >= 0;
  }
  if (ordered) {
    hops[kHops - 1] = sent - previousHandler_;
    rounds_.push_back(hops);
    const auto read = static_cast<std::size_t>(orv::HopPoint::BytesRead);
    bool same = true;
    for (std::size_t i = read + 1; i < kHops; ++i) same = same && stamps[i].thread == stamps[read].thread;
    sameThread_ += same ? 1 : 0;
  } else if (previousHandler_ != 0) {
    ++outOfOrder_;
  }
  previousHandler_ = handler;
}

void HopReport::print() const {
  std::lock_guard lock(mutex_);
  if (rounds_.empty()) {
    std::printf("hops: no complete round recorded\n");
    return;
  }
  std::printf("\nhops of one round trip through the library (case a, ours-async; %zu rounds, %llu dropped)\n",
              rounds_.size(), static_cast<unsigned long long>(outOfOrder_));
  std::printf("%-44s %9s %9s %9s\n", "hop", "p50 us", "mean us", "share");
  double total = 0;
  std::array<double, kHops> means{};
  for (std::size_t h = 0; h < kHops; ++h) {
    double sum = 0;
    for (const auto& r : rounds_) sum += static_cast<double>(r[h]);
    means[h] = sum / static_cast<double>(rounds_.size()) / 1000.0;
    total += means[h];
  }
  for (std::size_t h = 0; h < kHops; ++h) {
    std::vector<int64_t> values;
    values.reserve(rounds_.size());
    for (const auto& r : rounds_) values.push_back(r[h]);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    const double p50 = static_cast<double>(values[values.size() / 2]) / 1000.0;
    const auto from = static_cast<orv::HopPoint>(h);
    const auto to = static_cast<orv::HopPoint>((h + 1) % kHops);
    const std::string label = std::string(orv::HopTrace::name(from)) + " -> " + orv::HopTrace::name(to);
    std::printf("%-44s %9.1f %9.1f %8.0f%%\n", label.c_str(), p50, means[h], 100.0 * means[h] / total);
  }
  std::printf("%-44s %9s %9.1f\n", "round trip", "", total);
  std::printf("bytes read -> handler on one thread: %.1f%% of rounds\n",
              100.0 * static_cast<double>(sameThread_) / static_cast<double>(rounds_.size()));
}

}  // namespace orv::bench
