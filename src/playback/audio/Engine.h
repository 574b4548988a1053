// The engine behind BASS.h: the handle table, the output device and the
// notification thread that runs end procedures.
//
// Locks, in the only order they may nest: a stream's control lock, then the
// output's run lock, then the output lock (held by the SDL callback), then
// `kickMutex_`. `mutex_` guards the
// tables and is never held while taking another lock or calling a procedure.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "playback/BASS.h"
#include "playback/audio/Decoder.h"
#include "playback/audio/Output.h"
#include "playback/audio/Stream.h"

namespace lyrano::audio {

class Engine {
 public:
  static Engine& Get();

  bool Init(int device, DWORD freq, std::string* error);
  // 0 with `error` set on failure.
  DWORD CreateStream(const Source& source, std::string* error);
  bool Free(DWORD handle);
  // Null for 0, an unknown or a freed handle.
  std::shared_ptr<Stream> Find(DWORD handle) const;

  DWORD SetSync(DWORD stream, DWORD type, SYNCPROC proc, void* user);
  // After this returns the procedure is neither running nor will it run
  // (unless called from that very procedure).
  bool RemoveSync(DWORD stream, DWORD sync);

 private:
  Engine() = default;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  struct Entry {
    std::shared_ptr<Stream> stream;
    uint32_t endsReported = 0;
  };
  struct Sync {
    DWORD stream = 0;
    DWORD type = 0;
    SYNCPROC proc = nullptr;
    void* user = nullptr;
    uint32_t armedAt = 0;  // the stream's end count when the sync was set
  };

  DWORD NextHandle();  // under mutex_; 0 when the 32-bit range is used up
  void Kick();         // from the SDL callback
  void NotifierLoop();
  void RunDueSyncs();

  std::mutex initMutex_;
  bool initialised_ = false;  // under initMutex_; read under mutex_ via ready_
  Output output_;

  mutable std::mutex mutex_;
  bool ready_ = false;  // under mutex_
  std::unordered_map<DWORD, Entry> streams_;
  std::map<DWORD, Sync> syncs_;
  DWORD lastHandle_ = 0;
  DWORD inFlight_ = 0;                    // the sync whose procedure is running
  std::condition_variable inFlightDone_;  // with mutex_

  std::mutex kickMutex_;
  std::condition_variable kickCv_;
  bool kicked_ = false;  // under kickMutex_
  bool quit_ = false;    // under kickMutex_
  std::thread notifier_;
  std::thread::id notifierId_;  // set before the thread runs procedures
};

}  // namespace lyrano::audio
