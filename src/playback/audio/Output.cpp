#include "playback/audio/Output.h"

#include <algorithm>
#include <cstring>

namespace lyrano::audio {
namespace {

// The mixing step, in samples (both channels); SDL's buffer is mixed in pieces
// of this size whatever the device asked for.
constexpr size_t kMixSamples = 2048;

}  // namespace

Output::Output() : acc_(kMixSamples, 0) {}

Output::~Output() {
  Close();
}

bool Output::Open(std::function<void()> onEnd, std::string* error) {
  std::unique_lock run(runMutex_);
  if (subsystemUp_) return true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Lyrano");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error != nullptr) *error = SDL_GetError();
    return false;
  }
  subsystemUp_ = true;
  onEnd_ = std::move(onEnd);
  if (!OpenDevice(error)) {
    run.unlock();
    Close();
    return false;
  }
  quit_ = false;
  // Nothing plays yet: the checked device goes when idle, like any other.
  closeAt_ = std::chrono::steady_clock::now() + kIdleClose;
  closer_ = std::thread(&Output::CloserLoop, this);
  return true;
}

void Output::Close() {
  {
    std::lock_guard run(runMutex_);
    quit_ = true;
  }
  runCv_.notify_all();
  if (closer_.joinable()) closer_.join();
  std::lock_guard run(runMutex_);
  CloseDevice();
  {
    Lock lock(*this);
    channels_.clear();
  }
  if (subsystemUp_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemUp_ = false;
  }
}

bool Output::DeviceOpen() const {
  std::lock_guard run(runMutex_);
  return device_ != 0;
}

bool Output::OpenDevice(std::string* error) {
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(kRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  // About 12 ms a buffer: a short way from the decoder to the ear.
  want.samples = 512;
  want.callback = &Output::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants. The
  // device opens paused.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    if (error != nullptr) *error = SDL_GetError();
    return false;
  }
  running_ = false;
  return true;
}

void Output::CloseDevice() {
  if (device_ != 0) {
    // Waits for SDL's thread, which may be waiting for the output lock: the
    // caller holds only runMutex_.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  running_ = false;
  closeAt_.reset();
}

void Output::CloserLoop() {
  std::unique_lock run(runMutex_);
  while (!quit_) {
    if (!closeAt_) {
      runCv_.wait(run);
    } else if (std::chrono::steady_clock::now() < *closeAt_) {
      runCv_.wait_until(run, *closeAt_);
    } else {
      CloseDevice();
    }
  }
}

void Output::Attach(Channel* channel) {
  if (std::find(channels_.begin(), channels_.end(), channel) == channels_.end()) {
    channels_.push_back(channel);
  }
}

void Output::Detach(Channel* channel) {
  channels_.erase(std::remove(channels_.begin(), channels_.end(), channel), channels_.end());
}

bool Output::UpdateRunning() {
  std::lock_guard run(runMutex_);
  if (!subsystemUp_ || quit_) return true;
  bool any = false;
  {
    Lock lock(*this);
    any = std::any_of(channels_.begin(), channels_.end(), [](const Channel* c) {
      return c->state.load(std::memory_order_acquire) == PlayState::Playing;
    });
  }
  if (any) {
    closeAt_.reset();
    if (device_ == 0 && !OpenDevice(nullptr)) return false;
    if (!running_) {
      SDL_PauseAudioDevice(device_, 0);
      running_ = true;
    }
  } else {
    if (running_) {
      SDL_PauseAudioDevice(device_, 1);
      running_ = false;
    }
    if (device_ != 0 && !closeAt_) {
      closeAt_ = std::chrono::steady_clock::now() + kIdleClose;
      runCv_.notify_all();
    }
  }
  return true;
}

void SDLCALL Output::Callback(void* self, Uint8* stream, int len) {
  if (len > 0) static_cast<Output*>(self)->Mix(stream, static_cast<size_t>(len));
}

void Output::Mix(Uint8* stream, size_t len) {
  bool anyEnded = false;
  {
    Lock lock(*this);
    while (len >= kFrameBytes) {
      size_t samples = std::min(len / 2, acc_.size()) & ~size_t{1};
      if (samples == 0) break;
      std::fill_n(acc_.begin(), samples, 0);
      for (Channel* c : channels_) anyEnded |= c->MixInto(acc_.data(), samples);
      for (size_t i = 0; i < samples; ++i) {
        auto s = static_cast<int16_t>(std::clamp<int32_t>(acc_[i], -32768, 32767));
        std::memcpy(stream + 2 * i, &s, 2);
      }
      stream += samples * 2;
      len -= samples * 2;
    }
  }
  if (len > 0) std::memset(stream, 0, len);
  if (anyEnded && onEnd_) onEnd_();
}

}  // namespace lyrano::audio
