#include "playback/audio/Engine.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <vector>

namespace lyrano::audio {

Engine& Engine::Get() {
  static Engine engine;
  return engine;
}

Engine::~Engine() {
  {
    std::lock_guard k(kickMutex_);
    quit_ = true;
  }
  kickCv_.notify_all();
  if (notifier_.joinable()) {
    // A procedure that ends the process runs on the notifier itself.
    if (notifier_.get_id() == std::this_thread::get_id()) {
      notifier_.detach();
    } else {
      notifier_.join();
    }
  }
  std::unordered_map<DWORD, Entry> streams;
  {
    std::lock_guard lock(mutex_);
    streams.swap(streams_);
    syncs_.clear();
    ready_ = false;
  }
  for (auto& [handle, entry] : streams) entry.stream->Close();
  streams.clear();
  output_.Close();
}

bool Engine::Init(int device, DWORD freq, std::string* error) {
  std::lock_guard init(initMutex_);
  if (initialised_) {
    *error = "already initialised";
    return false;
  }
  if (device != -1) {
    *error = "only the default device (-1) is supported";
    return false;
  }
  if (freq != kRate) {
    *error = "only 44100 Hz output is supported";
    return false;
  }
  // The player has no log; failures come back as values. LYRANO_FFMPEG_LOG
  // lets FFmpeg's messages through, for diagnosing a file that will not play.
  if (!std::getenv("LYRANO_FFMPEG_LOG")) av_log_set_level(AV_LOG_QUIET);
  if (!output_.Open([this] { Kick(); }, error)) return false;
  initialised_ = true;
  notifier_ = std::thread(&Engine::NotifierLoop, this);
  std::lock_guard lock(mutex_);
  notifierId_ = notifier_.get_id();
  ready_ = true;
  return true;
}

DWORD Engine::NextHandle() {
  if (lastHandle_ == UINT32_MAX) return 0;
  return ++lastHandle_;
}

DWORD Engine::CreateStream(const Source& source, std::string* error) {
  {
    std::lock_guard lock(mutex_);
    if (!ready_) {
      *error = "the audio output is not initialised";
      return 0;
    }
  }
  std::unique_ptr<Stream> stream = Stream::Open(source, output_, error);
  if (!stream) return 0;
  std::lock_guard lock(mutex_);
  DWORD handle = NextHandle();
  if (handle == 0) {
    *error = "out of handles";
    return 0;  // the stream closes as it goes out of scope
  }
  streams_.emplace(handle, Entry{std::shared_ptr<Stream>(std::move(stream)), 0});
  return handle;
}

std::shared_ptr<Stream> Engine::Find(DWORD handle) const {
  if (handle == 0) return nullptr;
  std::lock_guard lock(mutex_);
  auto it = streams_.find(handle);
  return it == streams_.end() ? nullptr : it->second.stream;
}

bool Engine::Free(DWORD handle) {
  std::shared_ptr<Stream> stream;
  {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    if (handle == 0 || it == streams_.end()) return false;
    stream = std::move(it->second.stream);
    streams_.erase(it);
    std::erase_if(syncs_, [&](const auto& s) { return s.second.stream == handle; });
  }
  stream->Close();
  return true;
}

DWORD Engine::SetSync(DWORD stream, DWORD type, SYNCPROC proc, void* user) {
  if (proc == nullptr || (type & ~BASS_SYNC_ONETIME) != BASS_SYNC_END) return 0;
  std::lock_guard lock(mutex_);
  auto it = stream == 0 ? streams_.end() : streams_.find(stream);
  if (it == streams_.end()) return 0;
  DWORD handle = NextHandle();
  if (handle != 0) {
    syncs_.emplace(handle, Sync{stream, type, proc, user, it->second.stream->EndCount()});
  }
  return handle;
}

bool Engine::RemoveSync(DWORD stream, DWORD sync) {
  std::unique_lock lock(mutex_);
  bool removed = false;
  auto it = syncs_.find(sync);
  if (sync != 0 && it != syncs_.end() && it->second.stream == stream) {
    syncs_.erase(it);
    removed = true;
  }
  // A procedure that has just started finishes before the caller goes on, so
  // it cannot act on whatever the caller does next.
  if (std::this_thread::get_id() != notifierId_) {
    inFlightDone_.wait(lock, [&] { return sync == 0 || inFlight_ != sync; });
  }
  return removed;
}

void Engine::Kick() {
  {
    std::lock_guard k(kickMutex_);
    kicked_ = true;
  }
  kickCv_.notify_one();
}

void Engine::NotifierLoop() {
  for (;;) {
    {
      std::unique_lock k(kickMutex_);
      kickCv_.wait(k, [&] { return kicked_ || quit_; });
      if (quit_) return;
      kicked_ = false;
    }
    RunDueSyncs();
    // A stream that ended may have been the last one playing.
    output_.UpdateRunning();
  }
}

void Engine::RunDueSyncs() {
  std::vector<DWORD> due;
  {
    std::lock_guard lock(mutex_);
    for (auto& [handle, entry] : streams_) {
      uint32_t ends = entry.stream->EndCount();
      if (ends == entry.endsReported) continue;
      entry.endsReported = ends;
      for (const auto& [id, sync] : syncs_) {
        // Only ends after the sync was set count.
        if (sync.stream == handle && sync.armedAt != ends) due.push_back(id);
      }
    }
  }
  for (DWORD id : due) {
    Sync sync;
    {
      std::lock_guard lock(mutex_);
      auto it = syncs_.find(id);
      if (it == syncs_.end()) continue;  // removed or freed meanwhile
      sync = it->second;
      if ((sync.type & BASS_SYNC_ONETIME) != 0) syncs_.erase(it);
      inFlight_ = id;
    }
    sync.proc(id, sync.stream, 0, sync.user);
    {
      std::lock_guard lock(mutex_);
      inFlight_ = 0;
    }
    inFlightDone_.notify_all();
  }
}

}  // namespace lyrano::audio
