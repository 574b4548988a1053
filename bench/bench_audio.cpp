// Audio engine figures: decode-and-resample speed (times real time, one core),
// time from opening a local MP3 to its first sample at the output, and the
// resident memory each open stream costs, and the CPU an idle engine uses.
// Runs on the dummy output driver.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "playback/BASS.h"
#include "playback/audio/Decoder.h"

namespace fs = std::filesystem;

namespace {

// Test audio made once per run: a tone over noise, so the codec has real work.
class Files {
 public:
  Files() {
    dir_ = fs::temp_directory_path() / ("lyrano-bench-audio-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    Make("song.mp3", "-c:a libmp3lame -b:a 192k");
    Make("song.wma", "-c:a wmav2 -b:a 128k");
  }
  ~Files() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path operator/(const char* name) const { return dir_ / name; }
  static constexpr double kSeconds = 30.0;

 private:
  void Make(const char* name, const char* codec) {
    std::string cmd =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "'sine=frequency=440:sample_rate=44100:duration=30' -f lavfi -i "
        "'anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=30' "
        "-filter_complex amix=inputs=2 -ac 2 " +
        std::string(codec) + " '" + (dir_ / name).string() + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
  }
  fs::path dir_;
};

const Files& TestFiles() {
  static Files files;
  return files;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void DecodeAll(benchmark::State& state, const char* name) {
  const std::string path = (TestFiles() / name).string();
  auto source = lyrano::audio::Source::FromAnsiPath(path);
  double audioSeconds = 0;
  double cpuSeconds = 0;
  std::vector<uint8_t> pcm;
  for (auto _ : state) {
    double cpuStart = ThreadCpuSeconds();
    std::string error;
    auto decoder = lyrano::audio::Decoder::Open(source, nullptr, &error);
    if (!decoder) {
      state.SkipWithError(error.c_str());
      return;
    }
    uint64_t bytes = 0;
    for (;;) {
      pcm.clear();
      if (decoder->Read(pcm) == lyrano::audio::Decoder::Status::End) break;
      bytes += pcm.size();
    }
    cpuSeconds += ThreadCpuSeconds() - cpuStart;
    audioSeconds += static_cast<double>(bytes) / 176400.0;
  }
  // Seconds of sound per second of work on this one thread: times real time,
  // whatever else the machine is doing.
  state.counters["x_realtime_cpu"] = cpuSeconds > 0 ? audioSeconds / cpuSeconds : 0;
}

void BM_DecodeMp3_192k(benchmark::State& state) {
  DecodeAll(state, "song.mp3");
}
void BM_DecodeWma(benchmark::State& state) {
  DecodeAll(state, "song.wma");
}
BENCHMARK(BM_DecodeMp3_192k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeWma)->Unit(benchmark::kMillisecond)->UseRealTime();

bool Engine() {
  static const bool ok = BASS_Init(-1, 44100, 0, nullptr, nullptr) != 0;
  return ok;
}

// BASS_StreamCreateFile and BASS_ChannelPlay until the output has taken the
// first bytes (what the listener would hear one device buffer later).
void BM_OpenToFirstSample(benchmark::State& state) {
  if (!Engine()) {
    state.SkipWithError("no output");
    return;
  }
  const std::string path = (TestFiles() / "song.mp3").string();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    HSTREAM h = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    BASS_ChannelPlay(h, 0);
    while (BASS_ChannelGetPosition(h, 0) == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    BASS_StreamFree(h);
    // Let the device go idle again, as between two songs.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
}
BENCHMARK(BM_OpenToFirstSample)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);

// Resuming a paused stream after the idle engine released the device: the
// play call reopens it, until the output takes the next bytes.
void BM_ResumeAfterIdleRelease(benchmark::State& state) {
  if (!Engine()) {
    state.SkipWithError("no output");
    return;
  }
  const std::string path = (TestFiles() / "song.mp3").string();
  HSTREAM h = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
  BASS_ChannelPlay(h, 0);
  for (auto _ : state) {
    BASS_ChannelPause(h);
    QWORD at = BASS_ChannelGetPosition(h, 0);
    // Longer than the engine keeps an idle device.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    auto start = std::chrono::steady_clock::now();
    BASS_ChannelPlay(h, 0);
    while (BASS_ChannelGetPosition(h, 0) == at)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  BASS_StreamFree(h);
}
BENCHMARK(BM_ResumeAfterIdleRelease)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

// Open (not playing) then free: what switching songs costs the caller.
void BM_OpenFree(benchmark::State& state) {
  if (!Engine()) {
    state.SkipWithError("no output");
    return;
  }
  const std::string path = (TestFiles() / "song.mp3").string();
  for (auto _ : state) {
    HSTREAM h = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    BASS_StreamFree(h);
  }
}
BENCHMARK(BM_OpenFree)->Unit(benchmark::kMillisecond)->UseRealTime();

// CPU (user + system, every thread) of an engine that plays nothing, over 20 s:
// argument 0 with no stream, 1 with one stream paused after playing a moment
// (what a player window with a paused song costs). Run alone, in a fresh
// process: --benchmark_filter=Idle.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

void BM_IdleCpu(benchmark::State& state) {
  if (!Engine()) {
    state.SkipWithError("no output");
    return;
  }
  constexpr double kSeconds = 20.0;
  const std::string path = (TestFiles() / "song.mp3").string();
  double share = 0;
  for (auto _ : state) {
    HSTREAM h = 0;
    if (state.range(0) == 1) {
      h = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
      BASS_ChannelPlay(h, 0);
      while (BASS_ChannelGetPosition(h, 0) < 44100)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      BASS_ChannelPause(h);
    }
    double before = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    share = 100.0 * (CpuSeconds() - before) / wall;
    state.SetIterationTime(wall);
    if (h != 0) BASS_StreamFree(h);
  }
  state.counters["cpu_percent"] = share;
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// Twenty streams open and filled at once; the growth of the resident set per
// stream. Freed memory stays with the allocator, so only the first round in a
// fresh process tells: run it alone (--benchmark_filter=Resident).
void BM_ResidentPerStream(benchmark::State& state) {
  if (!Engine()) {
    state.SkipWithError("no output");
    return;
  }
  const std::string path = (TestFiles() / "song.mp3").string();
  constexpr int kStreams = 20;
  double perStream = 0;
  for (auto _ : state) {
    long before = ResidentKb();
    std::vector<HSTREAM> handles;
    for (int i = 0; i < kStreams; ++i)
      handles.push_back(BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0));
    // Let every decoder thread fill its buffer.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    perStream = static_cast<double>(ResidentKb() - before) / kStreams;
    for (HSTREAM h : handles) BASS_StreamFree(h);
  }
  state.counters["rss_kb_per_stream"] = perStream;
}
BENCHMARK(BM_ResidentPerStream)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
