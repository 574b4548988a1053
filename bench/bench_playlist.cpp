// Reading and writing a 10,000-entry playlist file.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "playlist/PlaylistFile.h"
#include "support/TestSupport.h"

namespace {

std::vector<TPlaylistEntry> MakeEntries(size_t n) {
  std::vector<TPlaylistEntry> entries;
  entries.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    std::string id = std::to_string(k);
    // GBK title and singer; every other entry a local file.
    entries.push_back({"\xC7\xE9\xB8\xE8 " + id, "\xB8\xE8\xCA\xD6" + id,
                       static_cast<int32_t>(k % 2 ? 100000 + k : 0),
                       k % 2 ? "" : "/home/user/Music/\xC7\xE9\xB8\xE8 " + id + ".mp3"});
  }
  return entries;
}

void BM_PlaylistWriteRead10k(benchmark::State& state) {
  testsupport::TempDir dir;
  const std::string file = cp::PathToAnsi(dir / "playlist.txt");
  const std::vector<TPlaylistEntry> entries = MakeEntries(10000);
  for (auto _ : state) {
    WritePlaylistFile(file, entries);
    TPlaylistReadResult r = ReadPlaylistFile(file);
    if (r.Entries.size() != entries.size()) state.SkipWithError("lost entries");
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_PlaylistWriteRead10k)->Unit(benchmark::kMillisecond);

void BM_PlaylistRead10k(benchmark::State& state) {
  testsupport::TempDir dir;
  const std::string file = cp::PathToAnsi(dir / "playlist.txt");
  WritePlaylistFile(file, MakeEntries(10000));
  for (auto _ : state) benchmark::DoNotOptimize(ReadPlaylistFile(file));
}
BENCHMARK(BM_PlaylistRead10k)->Unit(benchmark::kMillisecond);

void BM_PlaylistWrite10k(benchmark::State& state) {
  testsupport::TempDir dir;
  const std::string file = cp::PathToAnsi(dir / "playlist.txt");
  const std::vector<TPlaylistEntry> entries = MakeEntries(10000);
  for (auto _ : state) WritePlaylistFile(file, entries);
}
BENCHMARK(BM_PlaylistWrite10k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
