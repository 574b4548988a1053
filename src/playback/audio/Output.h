// The one SDL audio device: 44100 Hz, 16-bit stereo. Its callback only mixes
// the attached channels, clips and pads silence; when a channel hands over its
// last sample the callback calls `onEnd`, which must only wake another thread.
// The device is paused while no attached channel plays, so an idle player
// costs nothing.
//
// Threads: Open/Close on one control thread; Attach, Detach, Lock and
// UpdateRunning from any thread except the callback.
#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "playback/audio/Channel.h"

namespace lyrano::audio {

class Output {
 public:
  Output() = default;
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // False with `error` set when SDL has no usable output device.
  bool Open(std::function<void()> onEnd, std::string* error);
  void Close();
  bool IsOpen() const { return device_ != 0; }

  // Holds off the callback for the guard's lifetime.
  class Lock {
   public:
    explicit Lock(const Output& out) : device_(out.device_) {
      if (device_ != 0) SDL_LockAudioDevice(device_);
    }
    ~Lock() {
      if (device_ != 0) SDL_UnlockAudioDevice(device_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    SDL_AudioDeviceID device_;
  };

  // Must be called with the output lock held. A channel must be detached before
  // it is destroyed.
  void Attach(Channel* channel);
  void Detach(Channel* channel);

  // Runs the device when an attached channel plays, pauses it otherwise.
  void UpdateRunning();

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Mix(Uint8* stream, size_t len);

  SDL_AudioDeviceID device_ = 0;
  bool subsystemUp_ = false;
  std::function<void()> onEnd_;  // set at open
  // Under the output lock (the callback runs with it held).
  std::vector<Channel*> channels_;
  std::vector<int32_t> acc_;
  // Serialises run/pause decisions.
  std::mutex runMutex_;
  bool running_ = false;
};

}  // namespace lyrano::audio
