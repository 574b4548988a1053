// The one SDL audio device: 44100 Hz, 16-bit stereo. Its callback only mixes
// the attached channels, clips and pads silence; when a channel hands over its
// last sample the callback calls `onEnd`, which must only wake another thread.
//
// An idle player costs nothing: the device is paused while no attached channel
// plays, and closed once nothing has played for `kIdleClose` (a paused SDL
// device still wakes its thread every buffer to write silence). It reopens
// when a channel starts playing. Closing only after a while keeps a quick
// pause and resume free of the reopening delay.
//
// Threads: Open/Close on one control thread; Attach, Detach, Lock and
// UpdateRunning from any thread except the callback. The callback needs only
// the output lock, which is never held while the device opens or closes.
#pragma once

#include <SDL2/SDL.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "playback/audio/Channel.h"

namespace lyrano::audio {

class Output {
 public:
  static constexpr std::chrono::milliseconds kIdleClose{2000};

  Output();
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Opens the device once to check there is one. False with `error` set when
  // SDL has no usable output device.
  bool Open(std::function<void()> onEnd, std::string* error);
  void Close();
  // Whether the SDL device itself is open at the moment (false while idle).
  bool DeviceOpen() const;

  // The output lock: holds off the callback for the guard's lifetime.
  class Lock {
   public:
    explicit Lock(const Output& out) : lock_(out.mixMutex_) {}

   private:
    std::lock_guard<std::mutex> lock_;
  };

  // Must be called with the output lock held. A channel must be detached before
  // it is destroyed.
  void Attach(Channel* channel);
  void Detach(Channel* channel);

  // Runs the device when an attached channel plays (reopening it if it was
  // closed), pauses it otherwise. False only when a channel plays but the
  // device cannot be reopened.
  bool UpdateRunning();

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Mix(Uint8* stream, size_t len);
  // Both under runMutex_.
  bool OpenDevice(std::string* error);
  void CloseDevice();
  void CloserLoop();

  std::function<void()> onEnd_;  // set at open

  // The output lock; the callback mixes with it held.
  mutable std::mutex mixMutex_;
  std::vector<Channel*> channels_;  // under mixMutex_
  std::vector<int32_t> acc_;        // callback only

  // Serialises run, pause, open and close decisions; the callback never takes it.
  mutable std::mutex runMutex_;
  std::condition_variable runCv_;
  bool subsystemUp_ = false;      // under runMutex_
  SDL_AudioDeviceID device_ = 0;  // under runMutex_
  bool running_ = false;          // under runMutex_
  bool quit_ = false;             // under runMutex_
  // When the idle device closes; unset while something plays or it is closed.
  std::optional<std::chrono::steady_clock::time_point> closeAt_;  // under runMutex_
  std::thread closer_;
};

}  // namespace lyrano::audio
