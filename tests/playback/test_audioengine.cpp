// The audio engine through the BASS calls, on real files made with ffmpeg and
// the dummy output driver (real-time pacing, no device).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "AudioTestUtil.h"
#include "common/codepage.h"

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

class AudioEngine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(EnsureEngine()) << BASS_ErrorText(); }
};

size_t CountEntries(const char* dir) {
  std::error_code ec;
  size_t n = 0;
  for (auto it = std::filesystem::directory_iterator(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    ++n;
  }
  return n;
}

// Every format the player meets, in mono and stereo at the common rates: the
// length is right within one codec frame, the stream plays to its end, the
// final position equals the exact length, and the end notification runs once.
TEST_F(AudioEngine, FormatsPlayToTheirEndWithTheRightLength) {
  struct Row {
    const char* name;
    int rate;
    int channels;
    int frameSamples;  // one codec frame, at the file's rate
  };
  const Row rows[] = {
      {"f1.mp3", 44100, 2, 1152},  {"f2.mp3", 22050, 1, 1152},  {"f3.wma", 44100, 2, 2048},
      {"f4.wma", 48000, 1, 2048},  {"f5.ogg", 48000, 2, 2048},  {"f6.ogg", 22050, 1, 2048},
      {"f7.flac", 22050, 1, 4608}, {"f8.flac", 48000, 2, 4608}, {"f9.wav", 48000, 2, 1},
      {"f10.wav", 22050, 1, 1},    {"f11.wav", 44100, 2, 1},
  };
  const double seconds = 0.6;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto path = Tone(r.name, Spec(seconds, r.rate, r.channels));
    // Output bytes of one codec frame, plus resampler rounding.
    const double tolerance = r.frameSamples * 44100.0 / r.rate * 4 + 64;
    HSTREAM h = OpenFile(path);
    ASSERT_NE(h, 0u) << BASS_ErrorText();
    QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    ASSERT_NE(length, BASS_ERROR_VALUE);
    EXPECT_NEAR(static_cast<double>(length), seconds * kBytesPerSecond, tolerance);
    EXPECT_EQ(length % 4, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);  // opened, not started

    SyncRecorder rec;
    ASSERT_NE(rec.Arm(h), 0u);
    ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    QWORD exact = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_NEAR(static_cast<double>(exact), seconds * kBytesPerSecond, tolerance);
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), exact);
    EXPECT_EQ(BASS_StreamFree(h), 1);
  }
}

TEST_F(AudioEngine, FiveSecondFilesReportTheirLengthBeforePlaying) {
  const std::pair<const char*, double> rows[] = {{"five.mp3", 1152}, {"five.wma", 2048}};
  for (const auto& [name, frame] : rows) {
    SCOPED_TRACE(name);
    HSTREAM h = OpenFile(Tone(name, Spec(5.0, 44100, 2, "-b:a 192k")));
    ASSERT_NE(h, 0u) << BASS_ErrorText();
    QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_NEAR(static_cast<double>(length), 882000.0, frame * 4);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 882000), 5.0);
    BASS_StreamFree(h);
  }
}

// The position is what the output has taken: it moves forward at about the
// speed of time, never backwards, never beyond the length.
TEST_F(AudioEngine, PositionFollowsPlaybackInRealTime) {
  HSTREAM h = OpenFile(Tone("three.mp3", Spec(3.0)));
  ASSERT_NE(h, 0u);
  QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 0u);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  auto start = std::chrono::steady_clock::now();
  QWORD last = 0;
  bool monotonic = true;
  while (std::chrono::steady_clock::now() - start < 800ms) {
    QWORD p = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    monotonic &= p >= last && p <= length && p % 4 == 0;
    last = p;
    std::this_thread::sleep_for(5ms);
  }
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double played = BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
  EXPECT_TRUE(monotonic);
  // Broad bounds: the dummy device paces in real time, one buffer at a time.
  EXPECT_GT(played, wall * 0.4);
  EXPECT_LT(played, wall * 1.5 + 0.1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  BASS_StreamFree(h);
}

TEST_F(AudioEngine, PauseResumeAndStopKeepThePosition) {
  HSTREAM h = OpenFile(Tone("three.mp3", Spec(3.0)));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(BASS_ChannelPause(h), 0);  // not playing yet
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > 20000; }));

  ASSERT_EQ(BASS_ChannelPause(h), 1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);
  QWORD paused = BASS_ChannelGetPosition(h, 0);
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), paused);
  EXPECT_EQ(BASS_ChannelPause(h), 0);  // twice: still paused
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);

  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);  // resumes where it paused
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > paused; }));
  EXPECT_LT(BASS_ChannelGetPosition(h, 0), paused + 176400);

  ASSERT_EQ(BASS_ChannelStop(h), 1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
  QWORD stopped = BASS_ChannelGetPosition(h, 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), stopped);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  EXPECT_GE(BASS_ChannelGetPosition(h, 0), stopped);

  ASSERT_EQ(BASS_ChannelPlay(h, 1), 1);  // restart: from the beginning
  EXPECT_LT(BASS_ChannelGetPosition(h, 0), stopped);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  BASS_StreamFree(h);
}

TEST_F(AudioEngine, EndNotificationRunsOnceOnAnEngineThreadWithItsArguments) {
  HSTREAM h = OpenFile(Tone("short.mp3", Spec(0.3)));
  ASSERT_NE(h, 0u);
  SyncRecorder rec;
  HSYNC sync = rec.Arm(h);
  ASSERT_NE(sync, 0u);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(rec.calls, 1);
  EXPECT_NE(rec.Thread(), std::this_thread::get_id());
  EXPECT_EQ(rec.sync, sync);
  EXPECT_EQ(rec.channel, h);
  EXPECT_EQ(rec.data, 0u);
  EXPECT_EQ(rec.user, &rec);
  // A one-time notification is gone once it ran.
  EXPECT_EQ(BASS_ChannelRemoveSync(h, sync), 0);

  // Playing an ended stream starts it over; the one-time notification stays gone.
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STOPPED; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(rec.calls, 1);
  BASS_StreamFree(h);
}

TEST_F(AudioEngine, RemovedOrFreedNotificationsNeverRun) {
  auto path = Tone("short.mp3", Spec(0.3));
  // Removed before the end.
  HSTREAM a = OpenFile(path);
  SyncRecorder removed;
  HSYNC sync = removed.Arm(a);
  EXPECT_EQ(BASS_ChannelRemoveSync(a, sync), 1);
  EXPECT_EQ(BASS_ChannelRemoveSync(a, sync), 0);
  ASSERT_EQ(BASS_ChannelPlay(a, 0), 1);
  // Freed while playing, just before the end.
  HSTREAM b = OpenFile(path);
  SyncRecorder freed;
  freed.Arm(b);
  ASSERT_EQ(BASS_ChannelPlay(b, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(b, 0) > 30000; }));
  EXPECT_EQ(BASS_StreamFree(b), 1);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelIsActive(a) == BASS_ACTIVE_STOPPED; }));
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(removed.calls, 0);
  EXPECT_EQ(freed.calls, 0);
  BASS_StreamFree(a);
}

// Removing a notification while the stream is ending: after RemoveSync returns
// the procedure must neither start nor still be running.
TEST_F(AudioEngine, RemoveSyncRacingTheEndNeverLetsItRunAfterwards) {
  auto path = Tone("tiny.wav", Spec(0.1));
  struct Probe {
    std::atomic<bool> removed{false};
    std::atomic<bool> running{false};
    std::atomic<int> late{0};
    std::atomic<int> calls{0};
    static void Proc(HSYNC, DWORD, DWORD, void* u) {
      auto* p = static_cast<Probe*>(u);
      p->running = true;
      std::this_thread::sleep_for(2ms);  // widen the window
      if (p->removed) ++p->late;
      ++p->calls;
      p->running = false;
    }
  };
  int fired = 0;
  for (int i = 0; i < 12; ++i) {
    Probe probe;
    HSTREAM h = OpenFile(path);
    ASSERT_NE(h, 0u);
    HSYNC sync = BASS_ChannelSetSync(h, BASS_SYNC_END | BASS_SYNC_ONETIME, 0, &Probe::Proc, &probe);
    QWORD length = BASS_ChannelGetLength(h, 0);
    ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
    // Aim at the last buffer or so, varying the moment a little.
    QWORD aim = length - std::min<QWORD>(length, 2048 * (i % 4));
    WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) >= aim; });
    BASS_ChannelRemoveSync(h, sync);
    probe.removed = true;
    EXPECT_FALSE(probe.running);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(probe.late, 0);
    EXPECT_LE(probe.calls, 1);
    fired += probe.calls;
    BASS_StreamFree(h);
  }
  RecordProperty("fired_before_removal", fired);
}

TEST_F(AudioEngine, ZeroAndFreedHandlesFailWithoutEffect) {
  HSTREAM h = OpenFile(Tone("three.mp3", Spec(3.0)));
  ASSERT_NE(h, 0u);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_EQ(BASS_StreamFree(h), 1);
  for (DWORD bad : {DWORD{0}, h, h + 1000000}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(BASS_ChannelIsActive(bad), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelPlay(bad, 0), 0);
    EXPECT_EQ(BASS_ChannelPause(bad), 0);
    EXPECT_EQ(BASS_ChannelStop(bad), 0);
    EXPECT_EQ(BASS_ChannelGetLength(bad, 0), BASS_ERROR_VALUE);
    EXPECT_EQ(BASS_ChannelGetPosition(bad, 0), BASS_ERROR_VALUE);
    EXPECT_LT(BASS_ChannelBytes2Seconds(bad, 176400), 0.0);
    EXPECT_EQ(BASS_ChannelSetAttribute(bad, BASS_ATTRIB_VOL, 0.5f), 0);
    SyncRecorder rec;
    EXPECT_EQ(rec.Arm(bad), 0u);
    EXPECT_EQ(BASS_ChannelRemoveSync(bad, 1), 0);
    EXPECT_EQ(BASS_StreamFree(bad), 0);
  }
}

TEST_F(AudioEngine, ArgumentsOutsideWhatThePlayerPassesAreRefused) {
  auto path = Tone("three.mp3", Spec(3.0));
  const std::string name = path.string();
  EXPECT_EQ(BASS_StreamCreateFile(1, name.c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_StreamCreateFile(0, name.c_str(), 10, 0, 0), 0u);
  EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, 0), 0u);
  EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);
  EXPECT_STRNE(BASS_ErrorText(), "");
  EXPECT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 0);  // already initialised

  HSTREAM h = OpenFile(path);
  ASSERT_NE(h, 0u);
  EXPECT_STREQ(BASS_ErrorText(), "");
  float volume = 0;
  EXPECT_EQ(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &volume), 1);
  EXPECT_EQ(volume, 1.0f);
  EXPECT_EQ(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f), 1);
  EXPECT_EQ(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &volume), 1);
  EXPECT_EQ(volume, 0.5f);
  EXPECT_EQ(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 7.0f), 1);  // clamped
  EXPECT_EQ(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &volume), 1);
  EXPECT_EQ(volume, 1.0f);
  EXPECT_EQ(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, std::nanf("")), 0);
  EXPECT_EQ(BASS_ChannelSetAttribute(h, 99, 0.5f), 0);
  EXPECT_EQ(BASS_ChannelGetAttribute(h, 99, &volume), 0);
  EXPECT_EQ(BASS_ChannelGetAttribute(0, BASS_ATTRIB_VOL, &volume), 0);
  EXPECT_EQ(BASS_ChannelGetLength(h, 1), BASS_ERROR_VALUE);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 1), BASS_ERROR_VALUE);
  SyncRecorder rec;
  EXPECT_EQ(BASS_ChannelSetSync(h, 1, 0, &SyncRecorder::Proc, &rec), 0u);  // not "end"
  EXPECT_EQ(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, nullptr, nullptr), 0u);
  // The error value converts to a tiny negative time, not millions of years.
  double t = BASS_ChannelBytes2Seconds(h, BASS_ERROR_VALUE);
  EXPECT_LT(t, 0.0);
  EXPECT_GT(t, -1.0);
  BASS_StreamFree(h);
}

// A name is a plain file or nothing: no FFmpeg protocols, devices, folders,
// playlists that pull in other files, or files without sound.
TEST_F(AudioEngine, NamesThatAreNoPlainAudioFileFailCleanly) {
  testsupport::TempDir dir;
  auto real = Tone("three.mp3", Spec(3.0));
  testsupport::WriteFile(dir / "garbage.mp3", std::string(20000, '\x5a'));
  testsupport::WriteFile(dir / "empty.mp3", "");
  testsupport::WriteFile(dir / "text.wma", "just some words, not a song\n");
  testsupport::WriteFile(dir / "list.ffconcat",
                         "ffconcat version 1.0\nfile '" + real.string() + "'\n");
  testsupport::WriteFile(dir / "list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3,\nfile:" +
                                                real.string() + "\n#EXT-X-ENDLIST\n");
  std::string tagOnly = "ID3";
  tagOnly += std::string("\x03\x00\x00\x00\x00\x00\x0a", 7) + std::string(10, '\0');
  testsupport::WriteFile(dir / "tagonly.mp3", tagOnly);
  std::filesystem::create_directory(dir / "folder.mp3");
  const std::string names[] = {
      (dir / "missing.mp3").string(),
      "",
      (dir / "garbage.mp3").string(),
      (dir / "empty.mp3").string(),
      (dir / "text.wma").string(),
      (dir / "list.ffconcat").string(),
      (dir / "list.m3u8").string(),
      (dir / "tagonly.mp3").string(),
      (dir / "folder.mp3").string(),
      "concat:" + real.string() + "|" + real.string(),
      "pipe:0",
      "/dev/zero",
      "file:" + real.string(),
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(BASS_StreamCreateFile(0, name.c_str(), 0, 0, 0), 0u);
    EXPECT_STRNE(BASS_ErrorText(), "");
  }
}

TEST_F(AudioEngine, LocalCodePageNamesAndDamagedFilesStillPlay) {
  testsupport::TempDir dir;
  auto source = Tone("three.mp3", Spec(3.0));
  // "歌曲 一.mp3" on disk; the player hands the engine its GB18030 form.
  const std::string utf8Name = "\xE6\xAD\x8C\xE6\x9B\xB2 \xE4\xB8\x80.mp3";
  std::filesystem::copy_file(source, dir / utf8Name);
  const std::string ansi = cp::Utf8ToAnsi((dir / utf8Name).string());
  HSTREAM h = BASS_StreamCreateFile(0, ansi.c_str(), 0, 0, 0);
  EXPECT_NE(h, 0u) << BASS_ErrorText();
  BASS_StreamFree(h);

  // The first third of a song plays as far as it goes.
  std::string bytes = testsupport::ReadFile(source);
  testsupport::WriteFile(dir / "cut.mp3", bytes.substr(0, bytes.size() / 3));
  h = OpenFile(dir / "cut.mp3");
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  BASS_StreamFree(h);
}

// Handles are never reused, and opening and freeing leaves no thread or file
// descriptor behind. The count is 1000 unless LYRANO_AUDIO_CYCLES says otherwise
// (the valgrind job uses fewer, as it runs fifty times slower).
TEST_F(AudioEngine, OpenFreeCyclesLeakNothing) {
  int cycles = 1000;
  if (const char* env = std::getenv("LYRANO_AUDIO_CYCLES")) cycles = std::max(1, std::atoi(env));
  auto mp3 = Tone("short.mp3", Spec(0.3));
  auto wav = Tone("tiny.wav", Spec(0.1));
  // Warm up once so lazily made globals do not count.
  BASS_StreamFree(OpenFile(mp3));
  size_t fds = CountEntries("/proc/self/fd");
  size_t threads = CountEntries("/proc/self/task");
  std::set<HSTREAM> seen;
  SyncRecorder rec;
  for (int i = 0; i < cycles; ++i) {
    HSTREAM h = OpenFile(i % 2 == 0 ? mp3 : wav);
    ASSERT_NE(h, 0u) << i << ": " << BASS_ErrorText();
    ASSERT_TRUE(seen.insert(h).second) << "handle reused: " << h;
    if (i % 10 == 0) {
      BASS_ChannelPlay(h, 0);
      rec.Arm(h);
    }
    ASSERT_EQ(BASS_StreamFree(h), 1);
  }
  EXPECT_EQ(rec.calls, 0);
  // The output device of the last played stream is let go after its idle
  // delay, and its thread ends on its own schedule; wait for it (generously,
  // for a busy machine) before counting. A thread that never ends still fails.
  for (int i = 0; i < 100 && CountEntries("/proc/self/task") > threads; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

// An idle engine releases the output device (a paused SDL device still wakes
// every buffer), and whatever play call comes next reopens it: the position
// stays where it was while released, playing resumes from it, the stream plays
// to its end with one notification, the device goes again after the end, and
// an ended stream restarts from the beginning.
TEST_F(AudioEngine, IdleDeviceIsReleasedAndPlayingReopensIt) {
  const std::pair<const char*, BOOL (*)(DWORD)> holds[] = {{"pause", &BASS_ChannelPause},
                                                           {"stop", &BASS_ChannelStop}};
  for (const auto& [name, hold] : holds) {
    SCOPED_TRACE(name);
    HSTREAM h = OpenFile(Tone("idle.wav", Spec(1.5)));
    ASSERT_NE(h, 0u);
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    SyncRecorder rec;
    ASSERT_NE(rec.Arm(h), 0u);
    ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) >= 44100; }));
    ASSERT_EQ(hold(h), 1);
    const QWORD held = BASS_ChannelGetPosition(h, 0);
    const DWORD state = BASS_ChannelIsActive(h);

    ASSERT_TRUE(WaitUntil([] { return SdlOutputThreads() == 0; }));
    EXPECT_EQ(BASS_ChannelGetPosition(h, 0), held);
    EXPECT_EQ(BASS_ChannelIsActive(h), state);

    ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
    // SDL's new thread names itself once it runs.
    EXPECT_TRUE(WaitUntil([] { return SdlOutputThreads() == 1; }));
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > held; }));
    EXPECT_LT(BASS_ChannelGetPosition(h, 0), held + 176400);
    ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
    EXPECT_EQ(BASS_ChannelGetPosition(h, 0), length);
    EXPECT_NE(rec.Thread(), std::this_thread::get_id());

    ASSERT_TRUE(WaitUntil([] { return SdlOutputThreads() == 0; }));
    EXPECT_EQ(rec.calls, 1);
    ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);  // ended: from the beginning
    ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > 0; }));
    EXPECT_LT(BASS_ChannelGetPosition(h, 0), held);
    EXPECT_EQ(BASS_StreamFree(h), 1);
    EXPECT_EQ(rec.calls, 1);
  }
}

}  // namespace
