// TitleFromTags on an MP3 whose ID3v2.3 tag starts with a 500 KB picture frame
// ahead of the title and artist frames, and which has no ID3v1 tag.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/codepage.h"
#include "tags/TitleFromTags.h"

namespace {

std::string BE32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Frame(const std::string& id, const std::string& content) {
  return id + BE32(static_cast<uint32_t>(content.size())) + std::string(2, '\0') + content;
}

// Title and artist frames in the code page (ASCII) or, with `chinese`, as
// UTF-16 with a byte-order mark: "中文" and "歌手".
std::string PictureMp3(bool chinese) {
  std::mt19937 rng(7);
  std::string picture(500 * 1024, '\0');
  for (char& c : picture) c = static_cast<char>(rng());
  std::string apic = std::string(1, '\0') + "image/jpeg" + std::string(1, '\0') + "\x03" +
                     std::string(1, '\0') + picture;
  std::string title = chinese ? std::string("\x01\xFF\xFE\x2D\x4E\x87\x65", 7)
                              : std::string(1, '\0') + "Bench title";
  std::string singer = chinese ? std::string("\x01\xFF\xFE\x4C\x6B\x4B\x62", 7)
                               : std::string(1, '\0') + "Bench singer";
  std::string body =
      Frame("APIC", apic) + Frame("TIT2", title) + Frame("TPE1", singer) + std::string(1024, '\0');
  uint32_t n = static_cast<uint32_t>(body.size());
  std::string header = "ID3\x03";
  header += std::string(2, '\0');
  for (int shift : {21, 14, 7, 0}) header += static_cast<char>((n >> shift) & 0x7F);
  // 200 frames of MPEG-1 Layer III, 128 kbit/s, 44.1 kHz (417 bytes each).
  std::string frame = "\xFF\xFB\x90\x64" + std::string(413, '\0');
  std::string audio;
  for (int i = 0; i < 200; ++i) audio += frame;
  return header + body + audio;
}

void BM_TitleFromTagsPictureFirst(benchmark::State& state) {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("lyrano-bench-" + std::to_string(getpid()) + ".mp3");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string bytes = PictureMp3(state.range(0) != 0);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string ansi = cp::PathToAnsi(path);
  std::string title;
  std::string singer;
  for (auto _ : state) {
    TitleFromTags(ansi, title, singer);
    benchmark::DoNotOptimize(title);
    benchmark::DoNotOptimize(singer);
  }
  std::filesystem::remove(path);
  bool ok = state.range(0) != 0 ? title == "\xD6\xD0\xCE\xC4" && singer == "\xB8\xE8\xCA\xD6"
                                : title == "Bench title" && singer == "Bench singer";
  if (!ok) state.SkipWithError("wrong result");
}
BENCHMARK(BM_TitleFromTagsPictureFirst)
    ->ArgName("chinese")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
