// Encode and decode of one catalogue answer -- a data object whose "rs" holds
// 10 games of 11 keys -- side by side with msgpack-cxx packing and unpacking
// the same data (maps with string keys) in the same run.
//
//   build/bench/bench_codec [--benchmark_filter=...]
//
// The msgpack encoder reads the same in-memory tree as ours, so both sides
// pay for walking identical input; the msgpack decoder builds its own object
// tree (msgpack::object_handle), the counterpart of our parse.

#include <benchmark/benchmark.h>

#include <msgpack.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

namespace {

ORVDataObjectPtr catalogueAnswer() {
  static const char* titles[] = {
      "Đua xe địa hình 3D", "Bắn cá ăn xu Đại Dương", "Cờ tướng Việt Nam", "Chiến binh rồng thiêng",
      "Tiến lên miền Nam", "Nông trại vui vẻ", "Phiêu lưu xứ sở thần tiên", "Võ lâm truyền kỳ",
      "Xếp hình kim cương", "Đế chế huyền thoại"};
  static const char* partners[] = {"Công ty Trò chơi Sao Việt", "Nhà phát hành Ánh Dương",
                                   "Studio Hà Nội Games"};
  static const char* providers[] = {"Sao Việt Mobile", "Ánh Dương Games", "HN Studio"};
  static const int32_t prices[] = {5000, 0, 10000, 3000, 0, 15000, 5000, 0, 2000, 20000};
  ORVDataArrayBuilder games = ORVDataArray::builderWithCapacity(10);
  for (int i = 0; i < 10; ++i) {
    int32_t id = 1200 + i * 37;
    games.addDataObject(ORVDataObject::builderWithCapacity(11)
                            .putInt32(id, "id")
                            .putString(titles[i], "tl")
                            .putString(partners[i % 3], "par")
                            .putString(providers[i % 3], "sms")
                            .putInt32(prices[i], "pri")
                            .putString("http://media.example.vn/icons/game_" + std::to_string(id) + ".png", "ico")
                            .putInt32(15000 + i * 4321, "dlc")
                            .putInt32(120 + i * 53, "rtc")
                            .putDouble(2.5 + (i % 6) * 0.45, "rat")
                            .putString("1." + std::to_string(i) + ".2", "ver")
                            .putInt32(i % 2, "stt")
                            .build());
  }
  return ORVDataObject::builder().putDataArray(games.build(), "rs").build();
}

// ---- msgpack side: same tree, packed with msgpack's packer -----------------

template <typename Stream>
void packElement(msgpack::packer<Stream>& pk, const ORVDataElement& e);

template <typename Stream>
void packObject(msgpack::packer<Stream>& pk, const ORVDataObject& object) {
  pk.pack_map(static_cast<uint32_t>(object.count()));
  for (const auto& [key, element] : object.entries()) {
    pk.pack_str(static_cast<uint32_t>(key.size()));
    pk.pack_str_body(key.data(), static_cast<uint32_t>(key.size()));
    packElement(pk, element);
  }
}

template <typename Stream>
void packElement(msgpack::packer<Stream>& pk, const ORVDataElement& e) {
  switch (e.type()) {
    case ORVDataTypeInt32: pk.pack_int32(std::get<int32_t>(e.value())); break;
    case ORVDataTypeInt64: pk.pack_int64(std::get<int64_t>(e.value())); break;
    case ORVDataTypeBool: pk.pack(std::get<bool>(e.value())); break;
    case ORVDataTypeDouble: pk.pack_double(std::get<double>(e.value())); break;
    case ORVDataTypeFloat: pk.pack_float(std::get<float>(e.value())); break;
    case ORVDataTypeString: {
      std::string_view s = *e.stringPointer();
      pk.pack_str(static_cast<uint32_t>(s.size()));
      pk.pack_str_body(s.data(), static_cast<uint32_t>(s.size()));
      break;
    }
    case ORVDataTypeDataObject: packObject(pk, *e.dataObjectValue()); break;
    case ORVDataTypeDataArray: {
      const ORVDataArray& a = *std::get<ORVDataArrayPtr>(e.value());
      pk.pack_array(static_cast<uint32_t>(a.count()));
      for (const ORVDataElement& x : a.elements()) packElement(pk, x);
      break;
    }
    default: pk.pack_nil(); break;
  }
}

msgpack::sbuffer msgpackBytes(const ORVDataObject& answer) {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> pk(&buffer);
  packObject(pk, answer);
  return buffer;
}

// ---- benchmarks -------------------------------------------------------------

void BM_Ours_Encode(benchmark::State& state) {
  ORVDataObjectPtr answer = catalogueAnswer();
  for (auto _ : state) {
    std::vector<uint8_t> bytes = answer->data();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(answer->serializedSize());
}

// Each iteration encodes a different freshly parsed answer from a pool of 256,
// so the value is not in cache as it is in the loops above; the msgpack
// counterpart packs from the same kind of pool.
struct FreshPool {
  explicit FreshPool(const std::vector<uint8_t>& wire) : wire_(wire), values_(256) {}
  const ORVDataObject& next(benchmark::State& state) {
    if (next_ == values_.size()) {
      state.PauseTiming();
      for (auto& v : values_) ORVDataObject::parseDataObject(v, wire_);
      next_ = 0;
      state.ResumeTiming();
    }
    return *values_[next_++];
  }
  const std::vector<uint8_t>& wire_;
  std::vector<ORVDataObjectPtr> values_;
  size_t next_ = 256;
};

void BM_Ours_EncodeFresh(benchmark::State& state) {
  std::vector<uint8_t> wire = catalogueAnswer()->data();
  FreshPool pool(wire);
  for (auto _ : state) {
    std::vector<uint8_t> bytes = pool.next(state).data();
    benchmark::DoNotOptimize(bytes.data());
  }
}

void BM_Msgpack_EncodeFresh(benchmark::State& state) {
  std::vector<uint8_t> wire = catalogueAnswer()->data();
  FreshPool pool(wire);
  for (auto _ : state) {
    const ORVDataObject& answer = pool.next(state);
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> pk(&buffer);
    packObject(pk, answer);
    benchmark::DoNotOptimize(buffer.data());
  }
}

void BM_Msgpack_Encode(benchmark::State& state) {
  ORVDataObjectPtr answer = catalogueAnswer();
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> pk(&buffer);
    packObject(pk, *answer);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["bytes"] = static_cast<double>(msgpackBytes(*answer).size());
}

void BM_Ours_Decode(benchmark::State& state) {
  std::vector<uint8_t> wire = catalogueAnswer()->data();
  for (auto _ : state) {
    ORVDataObjectPtr parsed;
    if (!ORVDataObject::parseDataObject(parsed, wire)) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(parsed.get());
  }
}

void BM_Msgpack_Decode(benchmark::State& state) {
  msgpack::sbuffer wire = msgpackBytes(*catalogueAnswer());
  for (auto _ : state) {
    msgpack::object_handle handle = msgpack::unpack(wire.data(), wire.size());
    benchmark::DoNotOptimize(handle.get().via.map.size);
  }
}

BENCHMARK(BM_Ours_Encode);
BENCHMARK(BM_Msgpack_Encode);
BENCHMARK(BM_Ours_EncodeFresh);
BENCHMARK(BM_Msgpack_EncodeFresh);
BENCHMARK(BM_Ours_Decode);
BENCHMARK(BM_Msgpack_Decode);

// Prints ns per answer for both codecs and the ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration) ns_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    printRatio("encode", "BM_Ours_Encode", "BM_Msgpack_Encode");
    printRatio("encode fresh value", "BM_Ours_EncodeFresh", "BM_Msgpack_EncodeFresh");
    printRatio("decode", "BM_Ours_Decode", "BM_Msgpack_Decode");
  }

 private:
  void printRatio(const char* what, const std::string& ours, const std::string& theirs) {
    if (!ns_.count(ours) || !ns_.count(theirs)) return;
    std::printf("%-20s ours %8.0f ns/answer  msgpack %8.0f ns/answer  ours/msgpack %.2f\n", what, ns_[ours],
                ns_[theirs], ns_[ours] / ns_[theirs]);
  }
  std::map<std::string, double> ns_;
};

// Fixed decode loops for instruction counts (valgrind --tool=callgrind
// --toggle-collect=decodeOurs* or decodeMsgpack*): `--decode-loop=N` runs N
// decodes of each side, each including the release of what it built, and
// skips the timed benchmarks. The difference between two values of N divided
// by their difference is the count per answer without the setup.
__attribute__((noinline)) void decodeOurs(const std::vector<uint8_t>& wire, long n) {
  for (long i = 0; i < n; ++i) {
    ORVDataObjectPtr parsed;
    if (!ORVDataObject::parseDataObject(parsed, wire)) std::abort();
    benchmark::DoNotOptimize(parsed.get());
  }
}

__attribute__((noinline)) void decodeMsgpack(const msgpack::sbuffer& wire, long n) {
  for (long i = 0; i < n; ++i) {
    msgpack::object_handle handle = msgpack::unpack(wire.data(), wire.size());
    benchmark::DoNotOptimize(handle.get().via.map.size);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--decode-loop=", 14) == 0) {
      long n = std::atol(argv[i] + 14);
      decodeOurs(catalogueAnswer()->data(), n);
      decodeMsgpack(msgpackBytes(*catalogueAnswer()), n);
      return 0;
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
