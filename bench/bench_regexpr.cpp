// The scraping hot paths: pattern compile and iteration over a result page,
// markup removal, and the code-page step of a fetched page.
#include <benchmark/benchmark.h>

#include <string>

#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace {

// A result page of `items` list entries, GBK titles, about 200 bytes each.
std::string ResultPage(int items) {
  std::string page = "<html><body><ul class=\"list\">\r\n";
  for (int i = 0; i < items; ++i) {
    page += "<li><a href=\"/song/" + std::to_string(100000 + i) +
            "\" title=\"x\"><b>\xB8\xE8\xC7\xFA</b> " + std::to_string(i) +
            "</a><span class=\"singer\">\xB8\xE8\xCA\xD6 " + std::to_string(i) + "</span></li>\r\n";
  }
  return page + "</ul></body></html>";
}

void BM_IterateItems(benchmark::State& state) {
  const std::string page = ResultPage(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TRegExpr re("(?i)<li>(.+?)</li>");
    re.SetInputString(page);
    int n = 0;
    for (bool found = re.Exec(); found; found = re.ExecNext()) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_IterateItems)->Arg(50)->Arg(1000);

void BM_CompilePattern(benchmark::State& state) {
  for (auto _ : state) {
    TRegExpr re("(?i)<a href=\"/song/(\\d+)\"[^>]*>\\s*(.+?)\\s*</a>");
    re.SetInputString("x");
    benchmark::DoNotOptimize(re.Exec());
  }
}
BENCHMARK(BM_CompilePattern);

void BM_RemoveMarkup(benchmark::State& state) {
  const std::string page = ResultPage(50);
  TRegExpr re("(?i)<.+?>");
  for (auto _ : state) benchmark::DoNotOptimize(re.Replace(page, ""));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_RemoveMarkup);

void BM_PageToAnsi(benchmark::State& state) {
  std::string utf8;
  while (utf8.size() < (1 << 20)) utf8 += "<p>\xE6\xAD\x8C\xE6\x9B\xB2 title</p>\n";
  for (auto _ : state) benchmark::DoNotOptimize(IEgetHttp::PageToAnsi(utf8));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_PageToAnsi);

}  // namespace

BENCHMARK_MAIN();
