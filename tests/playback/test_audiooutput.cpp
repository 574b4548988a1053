// What actually comes out of the output, captured with SDL's disk driver. The
// engine is one per process and the driver is chosen before BASS_Init, so each
// case runs this test program again as a child in "probe" mode: it plays one
// scenario and exits before any test runs. The parent compares the captured
// samples with the file decoded by the ffmpeg tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTestUtil.h"

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

// ---- probe mode (child process) ----

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

void Sleep(std::chrono::milliseconds d) {
  std::this_thread::sleep_for(d);
}

int Probe(const std::string& scenario) {
  const std::string file = Env("LYRANO_AUDIO_PROBE_FILE");
  const float volume = std::strtof(Env("LYRANO_AUDIO_PROBE_VOLUME").c_str(), nullptr);
  BOOL init = BASS_Init(-1, 44100, 0, nullptr, nullptr);
  if (scenario == "no-device") {
    HSTREAM h = BASS_StreamCreateFile(0, file.c_str(), 0, 0, 0);
    std::printf("init %d open %u\n", init, h);
    return 0;
  }
  if (init == 0) return 3;
  HSTREAM h = BASS_StreamCreateFile(0, file.c_str(), 0, 0, 0);
  if (h == 0) return 4;
  SyncRecorder rec;
  rec.Arm(h);
  BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, volume);
  if (BASS_ChannelPlay(h, 0) == 0) return 5;
  auto position = [h] { return BASS_ChannelGetPosition(h, BASS_POS_BYTE); };
  if (scenario == "pause") {
    WaitUntil([&] { return position() >= 88200; });
    BASS_ChannelPause(h);
    QWORD before = position();
    Sleep(1000ms);
    std::printf("paused %llu %llu\n", static_cast<unsigned long long>(before),
                static_cast<unsigned long long>(position()));
    BASS_ChannelPlay(h, 0);
  } else if (scenario == "idle") {
    WaitUntil([&] { return position() >= 88200; });
    BASS_ChannelPause(h);
    QWORD before = position();
    bool released = WaitUntil([] { return SdlOutputThreads() == 0; });
    std::printf("released %d at %llu\n", released ? 1 : 0, static_cast<unsigned long long>(before));
    BASS_ChannelPlay(h, 0);
  } else if (scenario == "seek") {
    WaitUntil([&] { return position() >= 88200; });
    BASS_ChannelSetPosition(h, 3 * 176400, BASS_POS_BYTE);
    std::printf("seeked %llu\n", static_cast<unsigned long long>(position()));
  } else if (scenario == "free") {
    WaitUntil([&] { return position() >= 88200; });
    QWORD at = position();
    BASS_StreamFree(h);
    std::printf("freed %llu\n", static_cast<unsigned long long>(at));
    Sleep(500ms);
    return 0;
  }
  WaitUntil([&] { return rec.calls > 0; }, 30s);
  std::printf("ended %d position %llu\n", rec.calls.load(),
              static_cast<unsigned long long>(position()));
  Sleep(200ms);  // the device writes on for a while
  return 0;
}

// Runs before main when this program was started as a probe; std::exit runs
// the engine's teardown, which closes the capture file.
const bool kProbeChecked = [] {
  std::string scenario = Env("LYRANO_AUDIO_PROBE");
  if (scenario.empty()) return true;
  int rc = Probe(scenario);
  std::fflush(stdout);
  std::exit(rc);
}();

// ---- the tests (parent process) ----

using testsupport::ShellQuote;

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);  // data() may be null
  return s;
}

struct Capture {
  int rc = -1;
  std::string out;           // the probe's report
  std::vector<int16_t> pcm;  // interleaved stereo as the device got it
};

Capture RunProbe(const std::string& scenario, const std::filesystem::path& file, float volume,
                 const std::string& driver = "disk") {
  static_cast<void>(kProbeChecked);
  testsupport::TempDir dir;
  auto raw = dir / "out.raw";
  std::string cmd =
      "LYRANO_AUDIO_PROBE=" + scenario + " LYRANO_AUDIO_PROBE_FILE=" + ShellQuote(file.string()) +
      " LYRANO_AUDIO_PROBE_VOLUME=" + std::to_string(volume) + " SDL_AUDIODRIVER=" + driver +
      " SDL_DISKAUDIOFILE=" + ShellQuote(raw.string()) + " " +
      ShellQuote(std::filesystem::read_symlink("/proc/self/exe").string()) + " 2>/dev/null";
  Capture c;
  c.rc = testsupport::RunCommand(cmd, &c.out);
  c.pcm = Samples(testsupport::ReadFile(raw));
  return c;
}

// The file as the ffmpeg tool decodes it, at its own rate and channel count.
std::vector<int16_t> Reference(const std::filesystem::path& file) {
  std::string bytes;
  testsupport::RunCommand(
      "ffmpeg -nostdin -loglevel error -i " + ShellQuote(file.string()) + " -f s16le -", &bytes);
  return Samples(bytes);
}

// The stretch from the first to the last non-zero frame.
std::vector<int16_t> Sounding(const std::vector<int16_t>& pcm) {
  size_t first = 0, last = 0;
  bool any = false;
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    if (pcm[i] != 0 || pcm[i + 1] != 0) {
      if (!any) first = i;
      any = true;
      last = i + 2;
    }
  }
  return any ? std::vector<int16_t>(pcm.begin() + first, pcm.begin() + last)
             : std::vector<int16_t>();
}

int Peak(const std::vector<int16_t>& s) {
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

// Rising zero crossings of the left channel per second.
double Pitch(const std::vector<int16_t>& stereo) {
  int crossings = 0;
  for (size_t i = 2; i < stereo.size(); i += 2) crossings += stereo[i - 2] < 0 && stereo[i] >= 0;
  return crossings / (static_cast<double>(stereo.size() / 2) / 44100.0);
}

// The longest run of silent frames; its start frame in `at`.
size_t LongestSilence(const std::vector<int16_t>& stereo, size_t* at) {
  size_t best = 0, run = 0;
  for (size_t f = 0; f < stereo.size() / 2; ++f) {
    run = stereo[2 * f] == 0 && stereo[2 * f + 1] == 0 ? run + 1 : 0;
    if (run > best) {
      best = run;
      *at = f + 1 - run;
    }
  }
  return best;
}

// A 44.1 kHz stereo WAV comes out bit for bit, and the position at the end is
// exactly what was written.
TEST(AudioOutput, ToneComesOutBitForBit) {
  auto file = Tone("out-stereo.wav", Spec(1.0, 44100, 2));
  Capture c = RunProbe("play", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  EXPECT_EQ(c.out, "ended 1 position 176400\n");
  std::vector<int16_t> ref = Reference(file);
  std::vector<int16_t> heard = Sounding(c.pcm);
  ASSERT_EQ(heard.size(), Sounding(ref).size());
  EXPECT_TRUE(heard == Sounding(ref));
  EXPECT_NEAR(Pitch(heard), 440.0, 5.0);
}

// A mono file plays on both channels at its own level (no 3 dB loss), after
// resampling from 22050 Hz.
TEST(AudioOutput, MonoPlaysAtFullLevelOnBothChannels) {
  auto file = Tone("out-mono.wav", Spec(1.0, 22050, 1));
  Capture c = RunProbe("play", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  std::vector<int16_t> heard = Sounding(c.pcm);
  ASSERT_GT(heard.size(), 2u * 44100 * 9 / 10);
  bool same = true;
  for (size_t i = 0; i + 1 < heard.size(); i += 2) same &= heard[i] == heard[i + 1];
  EXPECT_TRUE(same);
  int ref = Peak(Reference(file));
  EXPECT_NEAR(Peak(heard), ref, ref * 0.03);
  EXPECT_NEAR(Pitch(heard), 440.0, 5.0);
  EXPECT_NEAR(static_cast<double>(heard.size() / 2), 44100.0, 64.0);
}

TEST(AudioOutput, VolumeScalesEverySample) {
  auto file = Tone("out-stereo.wav", Spec(1.0, 44100, 2));
  Capture c = RunProbe("play", file, 0.25f);
  ASSERT_EQ(c.rc, 0) << c.out;
  std::vector<int16_t> ref = Sounding(Reference(file));
  std::vector<int16_t> heard = Sounding(c.pcm);
  ASSERT_GT(heard.size(), 0u);
  // The first sounding sample may differ by the rounding of a quiet start.
  size_t offset = 0;
  while (offset < ref.size() && std::abs(ref[offset] / 4) == 0) offset += 2;
  size_t mismatches = 0;
  for (size_t i = 0; i < heard.size() && offset + i < ref.size(); ++i) {
    mismatches += std::abs(heard[i] - ref[offset + i] / 4.0) > 1.0;
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_NEAR(Peak(heard), Peak(ref) / 4.0, 2.0);
}

// While paused nothing is written and nothing is lost: the sound has one gap,
// and the parts around it add up to the whole file.
TEST(AudioOutput, PauseProducesNoSamplesAndLosesNone) {
  auto file = Tone("out-two.wav", Spec(2.0, 44100, 2));
  Capture c = RunProbe("pause", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  unsigned long long before = 0, after = 0;
  ASSERT_EQ(std::sscanf(c.out.c_str(), "paused %llu %llu", &before, &after), 2) << c.out;
  EXPECT_EQ(before, after);
  std::vector<int16_t> heard = Sounding(c.pcm);
  size_t gapAt = 0;
  size_t gap = LongestSilence(heard, &gapAt);
  EXPECT_GT(gap, 44100u * 8 / 10);  // about the second the probe waited
  EXPECT_NEAR(static_cast<double>(gapAt) * 4, static_cast<double>(before), 512 * 4);
  // Around the gap: the whole file, give or take a silent sample at its edges.
  EXPECT_NEAR(static_cast<double>(heard.size() / 2 - gap), 2 * 44100.0, 2.0);
}

// The idle engine closes the device and the next play opens it again: the
// disk driver then starts its file afresh, and what it gets is exactly the
// rest of the file from where the pause left it, nothing lost or repeated.
TEST(AudioOutput, ReopenedDevicePlaysTheRestAfterTheIdleRelease) {
  auto file = Tone("out-two.wav", Spec(2.0, 44100, 2));
  Capture c = RunProbe("idle", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  unsigned long long before = 0;
  int released = 0;
  ASSERT_EQ(std::sscanf(c.out.c_str(), "released %d at %llu", &released, &before), 2) << c.out;
  EXPECT_EQ(released, 1);
  EXPECT_NE(c.out.find("ended 1 position 352800\n"), std::string::npos) << c.out;
  std::vector<int16_t> ref = Reference(file);
  ASSERT_GT(ref.size(), before / 2);
  std::vector<int16_t> rest = Sounding({ref.begin() + static_cast<long>(before / 2), ref.end()});
  std::vector<int16_t> heard = Sounding(c.pcm);
  ASSERT_EQ(heard.size(), rest.size());
  EXPECT_TRUE(heard == rest);
}

// A seek while playing: the output gets the file up to some point, maybe
// silence while the new place is read, then the file from exactly the new
// place to its end; nothing of the old place comes after the jump. The file
// is a WAV whose frames name their own index.
TEST(AudioOutput, AfterASeekTheNextSamplesAreTheNewPlaces) {
  testsupport::TempDir dir;
  auto file = dir / "count.wav";
  std::string log;
  ASSERT_EQ(
      testsupport::RunCommand(
          "ffmpeg -nostdin -loglevel error -y -f lavfi -i " +
              ShellQuote("aevalsrc=exprs=mod(n\\,32768)/32768|floor(n/32768)/32768:s=44100:d=5") +
              " -c:a pcm_s16le " + ShellQuote(file.string()) + " 2>&1",
          &log),
      0)
      << log;
  Capture c = RunProbe("seek", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  EXPECT_NE(c.out.find("seeked 529200"), std::string::npos) << c.out;
  EXPECT_NE(c.out.find("ended 1 position 882000"), std::string::npos) << c.out;
  auto index = [&](size_t f) { return int64_t{c.pcm[2 * f + 1]} * 32768 + c.pcm[2 * f]; };
  const size_t frames = c.pcm.size() / 2;
  // The device's silence before the start, and the file's first frame, are zeros.
  size_t f = 0;
  while (f < frames && index(f) == 0) ++f;
  ASSERT_LT(f, frames);
  ASSERT_EQ(index(f), 1);
  while (f + 1 < frames && index(f + 1) == index(f) + 1) ++f;
  ASSERT_GE(index(f), 22050) << "the start did not play in order";
  ++f;
  while (f < frames && index(f) == 0) ++f;  // silence while seeking
  ASSERT_LT(f, frames);
  EXPECT_EQ(index(f), 132300) << "the first sample after the jump";
  int64_t want = 132300;
  size_t out = 0;
  for (; f < frames && want < 220500; ++f, ++want) out += index(f) != want;
  EXPECT_EQ(out, 0u) << "frames out of order after the jump";
  EXPECT_EQ(want, 220500) << "the rest of the file did not come out";
}

// Freeing stops the sound at once: what came out is what the position said.
TEST(AudioOutput, FreeStopsTheSoundAtOnce) {
  auto file = Tone("out-three.wav", Spec(3.0, 44100, 2));
  Capture c = RunProbe("free", file, 1.0f);
  ASSERT_EQ(c.rc, 0) << c.out;
  unsigned long long at = 0;
  ASSERT_EQ(std::sscanf(c.out.c_str(), "freed %llu", &at), 1) << c.out;
  std::vector<int16_t> heard = Sounding(c.pcm);
  // At most one device buffer (512 frames) went out between reading the
  // position and the free.
  EXPECT_GE(heard.size() * 2 + 8, at);
  EXPECT_LE(heard.size() * 2, at + 512 * 4);
  EXPECT_LT(heard.size() / 2, 44100u * 2);
}

TEST(AudioOutput, NoOutputDeviceMeansEveryOpenFails) {
  auto file = Tone("out-stereo.wav", Spec(1.0, 44100, 2));
  Capture c = RunProbe("no-device", file, 1.0f, "no-such-driver");
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.out, "init 0 open 0\n");
}

}  // namespace
