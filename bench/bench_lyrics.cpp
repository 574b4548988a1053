// ParseLyricText on LRC texts of typical and of extreme length.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "lyrics/LrcParser.h"

namespace {

std::string TwoDigits(int v) {
  return std::string(1, char('0' + v / 10)) + char('0' + v % 10);
}

// Header tags, then `lines` timed lines; one in eight carries a second tag (a
// repeated chorus) and times often coincide, as in real files.
std::string MakeLrc(int lines) {
  std::mt19937 rng(42);
  std::string text = "[ti:\xC7\xE9\xB8\xE8]\r\n[ar:\xB8\xE8\xCA\xD6]\r\n[offset:0]\r\n";
  for (int k = 0; k < lines; ++k) {
    int t = k * 3 / 2 + static_cast<int>(rng() % 3);
    auto tag = [&](int s) {
      return "[" + TwoDigits(s / 60 % 100) + ":" + TwoDigits(s % 60) + "." +
             TwoDigits(static_cast<int>(rng() % 100)) + "]";
    };
    text += tag(t);
    if (k % 8 == 0) text += tag(t + 90);
    text += "\xCE\xD2\xB5\xC4\xB8\xE8\xB4\xCA line " + std::to_string(k) + "\r\n";
  }
  return text;
}

void BM_ParseLyricText(benchmark::State& state) {
  const std::string text = MakeLrc(static_cast<int>(state.range(0)));
  TLyricTimeline timeline;
  for (auto _ : state) {
    ParseLyricText(timeline, text);
    benchmark::DoNotOptimize(timeline.Times.data());
  }
  state.counters["entries"] = static_cast<double>(timeline.Count());
}
BENCHMARK(BM_ParseLyricText)->Arg(300)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
