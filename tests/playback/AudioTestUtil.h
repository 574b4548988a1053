// Helpers for the audio engine tests: one engine per process on the dummy
// driver, tone files made once per process, polling with generous bounds and a
// recorder for end notifications.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "playback/BASS.h"
#include "support/TestSupport.h"

namespace audiotest {

constexpr double kBytesPerSecond = 176400.0;

// BASS_Init once per process (the test main selects the dummy driver).
inline bool EnsureEngine() {
  static const bool ok = BASS_Init(-1, 44100, 0, nullptr, nullptr) != 0;
  return ok;
}

// A tone file made with ffmpeg, kept for the whole process under a shared folder.
inline std::filesystem::path Tone(const std::string& name, const testsupport::ToneSpec& spec) {
  static testsupport::TempDir dir;
  static std::mutex mutex;
  static std::map<std::string, std::filesystem::path> made;
  std::lock_guard lock(mutex);
  auto it = made.find(name);
  if (it != made.end()) return it->second;
  std::filesystem::path path = dir / name;
  testsupport::MakeTone(path, spec);
  made.emplace(name, path);
  return path;
}

inline testsupport::ToneSpec Spec(double seconds, int rate = 44100, int channels = 2,
                                  std::string extra = {}) {
  testsupport::ToneSpec s;
  s.seconds = seconds;
  s.rate = rate;
  s.channels = channels;
  s.extraArgs = std::move(extra);
  return s;
}

inline HSTREAM OpenFile(const std::filesystem::path& path) {
  return BASS_StreamCreateFile(0, path.string().c_str(), 0, 0, 0);
}

// Polls `pred` every few milliseconds; false when `limit` passes first. The
// limits are far above what the checks need: they only keep a broken engine
// from hanging the test.
template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  return true;
}

// SDL's output threads in this process ("SDLAudioP<n>"): one while the device
// is open, none once the idle engine has released it.
inline int SdlOutputThreads() {
  int n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::ifstream comm(it->path() / "comm");
    std::string name;
    std::getline(comm, name);
    n += name.rfind("SDLAudioP", 0) == 0;
  }
  return n;
}

// Counts end notifications and remembers the last one's arguments and thread.
struct SyncRecorder {
  std::atomic<int> calls{0};
  std::atomic<HSYNC> sync{0};
  std::atomic<DWORD> channel{0};
  std::atomic<DWORD> data{~DWORD{0}};
  std::atomic<void*> user{nullptr};
  std::mutex mutex;
  std::thread::id thread;

  static void Proc(HSYNC s, DWORD c, DWORD d, void* u) {
    auto* self = static_cast<SyncRecorder*>(u);
    {
      std::lock_guard lock(self->mutex);
      self->thread = std::this_thread::get_id();
    }
    self->sync = s;
    self->channel = c;
    self->data = d;
    self->user = u;
    ++self->calls;
  }
  HSYNC Arm(HSTREAM stream) {
    return BASS_ChannelSetSync(stream, BASS_SYNC_END | BASS_SYNC_ONETIME, 0, &Proc, this);
  }
  std::thread::id Thread() {
    std::lock_guard lock(mutex);
    return thread;
  }
};

}  // namespace audiotest
