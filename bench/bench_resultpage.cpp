// Cutting one large result page (about 300 KB, 50 items) with the rule
// patterns: links, list part, items, song numbers, titles and singers.
#include <benchmark/benchmark.h>

#include <string>

#include "online/OnlineFixtures.h"
#include "online/Search.h"

namespace {

std::string BigResultPage() {
  // Filler that real sites carry around each item: scripts, styles, ads.
  std::string filler;
  while (filler.size() < 6000) {
    filler +=
        "<div class=\"ad\" style=\"margin:2px\"><a href=\"/promo?id=7&amp;r=1\">推荐</a>"
        "<script>var x = {a: 1, b: '2'};</script></div>\n";
  }
  std::string page = "<html><head><title>搜索</title></head><body>\n" + filler;
  page += "<a id='prev' href='search?jump=0&amp;key=%e6%ad%8c'>上一页</a>\n<ol id=\"hits\">\n";
  for (int i = 0; i < 50; ++i) {
    page += "<li><b data-id=\"" + std::to_string(100000 + i) + "\"></b>" + filler +
            "<span class=\"t\"><em>歌</em>曲 " + std::to_string(i) + "</span>" +
            (i % 7 == 0 ? "<i>nosinger</i>" : "<span class=\"s\"><a href=\"/s\">歌手</a></span>") +
            "</li>\n";
  }
  page += "</ol>\n<a id=\"next\" href=\"search?jump=2&amp;key=%e6%ad%8c\">下一页</a>\n";
  return onlinetest::A(page + "</body></html>\n");
}

void BM_CutResultPage(benchmark::State& state) {
  const std::string page = BigResultPage();
  const TRuleValues rules = onlinetest::SiteRules();
  for (auto _ : state) {
    search::TResultPage out;
    search::CutResultPage(page, "http://music.test/search?jump=1&key=x", rules, out);
    if (out.Rows.size() != 50) state.SkipWithError("wrong row count");
    benchmark::DoNotOptimize(out);
  }
  state.counters["page_kb"] = static_cast<double>(page.size()) / 1024.0;
}
BENCHMARK(BM_CutResultPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
