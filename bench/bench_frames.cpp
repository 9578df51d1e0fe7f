// Frames decoded per second from one buffer holding 10,000 catalogue answers,
// plain and compressed, fed to the frame decoder as one chunk and as 64 KiB
// socket-sized chunks. Baselines in the same run: memcpy of the plain buffer
// and raw snappy uncompress of the compressed payloads (the same bytes), and
// the message parser alone over the plain payloads.
//
//   build/bench/bench_frames [--benchmark_filter=...]

#include <benchmark/benchmark.h>
#include <snappy-c.h>

#include <cstring>
#include <memory>
#include <vector>

#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVRequest.h"

namespace {

constexpr int kAnswers = 10000;

// A catalogue answer: "rs" holds 10 games of 11 keys each.
ORVMessagePtr catalogueAnswer(int seed) {
  static const char* titles[] = {"Đua xe địa hình 3D", "Bắn cá ăn xu", "Cờ tướng Việt Nam",
                                 "Chiến binh rồng thiêng", "Tiến lên miền Nam"};
  static const char* providers[] = {"Công ty Trò chơi Sao Việt", "Nhà phát hành Ánh Dương"};
  ORVDataArrayBuilder games = ORVDataArray::builderWithCapacity(10);
  for (int i = 0; i < 10; ++i) {
    const int id = seed * 10 + i;
    games.addDataObject(ORVDataObject::builderWithCapacity(11)
                            .putInt32(id, "id")
                            .putString(std::string(titles[id % 5]) + " " + std::to_string(id), "tl")
                            .putString("http://media.example.vn/icons/" + std::to_string(id) + ".png", "ico")
                            .putString(id % 3 == 0 ? "Miễn phí" : "5.000đ", "pri")
                            .putInt32(id % 6, "rat")
                            .putInt32(1000 + id * 37, "dlc")
                            .putString(providers[id % 2], "pro")
                            .putString("1." + std::to_string(id % 9) + ".0", "ver")
                            .putString(std::to_string(3 + id % 40) + " MB", "sz")
                            .putString("Soạn GAME " + std::to_string(id) + " gửi 9029", "sms")
                            .putString("Trò chơi hành động, phiêu lưu", "par")
                            .build());
  }
  return ORVRequest::extensionRequestWithCommand(
      "cnt.cat", ORVDataObject::builder().putDataArray(games.build(), "rs").build());
}

struct Corpus {
  std::vector<uint8_t> plain;       // 10,000 plain frames back to back
  std::vector<uint8_t> compressed;  // the same answers, compressed frames
  std::vector<std::pair<size_t, size_t>> payloads;  // offset, length in `compressed`
  std::vector<std::pair<size_t, size_t>> plainPayloads;  // offset, length in `plain`
  size_t plainPayloadBytes = 0;

  Corpus() {
    const ORVSnappyCompressor snappy;
    for (int i = 0; i < kAnswers; ++i) {
      const ORVMessagePtr m = catalogueAnswer(i);
      const auto p = ORVFrameWriter::buildFrame(*m, UINT32_MAX, UINT32_MAX, &snappy);
      const auto c = ORVFrameWriter::buildFrame(*m, 0, UINT32_MAX, &snappy);
      plainPayloads.emplace_back(plain.size() + p->length - (p->buffer.size() - 6),
                                 p->buffer.size() - 6);
      plain.insert(plain.end(), p->bytes().begin(), p->bytes().end());
      const uint32_t prefix = c->length - static_cast<uint32_t>(c->buffer.size() - 6) - 1;
      payloads.emplace_back(compressed.size() + 1 + prefix, c->buffer.size() - 6);
      compressed.insert(compressed.end(), c->bytes().begin(), c->bytes().end());
      plainPayloadBytes += m->dataArray()->serializedSize();
    }
  }
};

const Corpus& corpus() {
  static const Corpus c;
  return c;
}

class Counter : public ORVIoHandlerDelegate {
 public:
  uint32_t maxMessageSize() const override { return 1u << 20; }
  void handleMessage(ORVMessagePtr message) override {
    ++count;
    benchmark::DoNotOptimize(message.get());
  }
  int64_t count = 0;
};

void decode(benchmark::State& state, const std::vector<uint8_t>& buffer) {
  const size_t chunk = state.range(0) == 0 ? buffer.size() : static_cast<size_t>(state.range(0));
  const ORVCompressorPtr snappy = std::make_shared<ORVSnappyCompressor>();
  for (auto _ : state) {
    auto counter = std::make_shared<Counter>();
    ORVIoHandler handler(counter, snappy);
    const std::span<const uint8_t> all(buffer);
    for (size_t p = 0; p < all.size(); p += chunk) {
      if (!handler.dataReceived(all.subspan(p, std::min(chunk, all.size() - p)))) {
        state.SkipWithError("decode failed");
        return;
      }
    }
    if (counter->count != kAnswers) state.SkipWithError("lost frames");
  }
  state.SetItemsProcessed(state.iterations() * kAnswers);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}

void BM_DecodeFramesPlain(benchmark::State& state) { decode(state, corpus().plain); }
void BM_DecodeFramesCompressed(benchmark::State& state) { decode(state, corpus().compressed); }

void BM_BaselineMemcpyPlain(benchmark::State& state) {
  const std::vector<uint8_t>& src = corpus().plain;
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kAnswers);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}

void BM_BaselineSnappyUncompress(benchmark::State& state) {
  const Corpus& c = corpus();
  std::vector<char> out(1u << 20);
  for (auto _ : state) {
    for (const auto& [offset, length] : c.payloads) {
      size_t produced = out.size();
      if (snappy_uncompress(reinterpret_cast<const char*>(c.compressed.data() + offset), length,
                            out.data(), &produced) != SNAPPY_OK) {
        state.SkipWithError("snappy failed");
        return;
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kAnswers);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(c.compressed.size()));
}

// The message parser alone over the same plain payloads, in place: what the
// frame decoder adds on top of it is the difference to BM_DecodeFramesPlain.
void BM_BaselineParseOnly(benchmark::State& state) {
  const Corpus& c = corpus();
  for (auto _ : state) {
    for (const auto& [offset, length] : c.plainPayloads) {
      ORVMessagePtr message;
      if (!ORVMessage::parseMessage(message, c.plain, static_cast<uint32_t>(offset),
                                    static_cast<uint32_t>(length))) {
        state.SkipWithError("parse failed");
        return;
      }
      benchmark::DoNotOptimize(message.get());
    }
  }
  state.SetItemsProcessed(state.iterations() * kAnswers);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(c.plain.size()));
}

}  // namespace

BENCHMARK(BM_DecodeFramesPlain)->Arg(0)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeFramesCompressed)->Arg(0)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineMemcpyPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineSnappyUncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineParseOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
