// A hostile game description reduced to text: one "<p>" tag, then text with
// a '<' every 256 bytes and no '>' after it. The one-pass HtmlText against
// the literal rules (entity passes, then "<[^>]+>" searched from the start
// and removed until none is left) on the same bytes, at growing sizes. The
// literal form tries every '<' to the end of the text, so its cost grows with
// the square of the size. It is run up to 16 KiB only: the regex engine
// recurses once per character of a match attempt and overflows the 8 MiB
// stack at 32 KiB, and at 1 MiB it would take minutes even with the stack.
//
//   build/bench/store/bench_html_text [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <string>

#include "store/lists/HtmlText.h"
#include "store/lists/HtmlTextReference.h"

namespace {

std::string hostileDescription(size_t bytes) {
  std::string html = "<p>Mô tả &amp; giới thiệu</p>";
  const std::string chunk = "<" + std::string(255, 'x');
  while (html.size() + chunk.size() <= bytes) html += chunk;
  html.append(bytes - html.size(), 'y');
  return html;
}

void BM_OnePass(benchmark::State& state) {
  const std::string html = hostileDescription(static_cast<size_t>(state.range(0)));
  size_t out = 0;
  for (auto _ : state) {
    const std::string text = orv::store::HtmlText::stringByStrippingHTML(std::string_view(html));
    out = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.counters["out_bytes"] = static_cast<double>(out);
}
BENCHMARK(BM_OnePass)->RangeMultiplier(4)->Range(4 << 10, 1 << 20)->Unit(benchmark::kMicrosecond);

void BM_LiteralRegexLoop(benchmark::State& state) {
  const std::string html = hostileDescription(static_cast<size_t>(state.range(0)));
  size_t out = 0;
  for (auto _ : state) {
    const std::string text = orv::store::reference::stringByStrippingHTML(html);
    out = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.counters["out_bytes"] = static_cast<double>(out);
}
BENCHMARK(BM_LiteralRegexLoop)->RangeMultiplier(2)->Range(4 << 10, 16 << 10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
