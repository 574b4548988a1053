#include "playback/audio/Output.h"

#include <algorithm>
#include <cstring>

namespace lyrano::audio {

Output::~Output() {
  Close();
}

bool Output::Open(std::function<void()> onEnd, std::string* error) {
  if (device_ != 0) return true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Lyrano");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error != nullptr) *error = SDL_GetError();
    return false;
  }
  subsystemUp_ = true;
  onEnd_ = std::move(onEnd);
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(kRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  // About 12 ms a buffer: a short way from the decoder to the ear.
  want.samples = 512;
  want.callback = &Output::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    if (error != nullptr) *error = SDL_GetError();
    Close();
    return false;
  }
  acc_.assign(static_cast<size_t>(have.samples) * 2, 0);
  return true;
}

void Output::Close() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  channels_.clear();
  running_ = false;
  if (subsystemUp_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemUp_ = false;
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

void Output::UpdateRunning() {
  if (device_ == 0) return;
  std::lock_guard guard(runMutex_);
  bool any = false;
  {
    Lock lock(*this);
    any = std::any_of(channels_.begin(), channels_.end(), [](const Channel* c) {
      return c->state.load(std::memory_order_acquire) == PlayState::Playing;
    });
  }
  if (any != running_) {
    SDL_PauseAudioDevice(device_, any ? 0 : 1);
    running_ = any;
  }
}

void SDLCALL Output::Callback(void* self, Uint8* stream, int len) {
  if (len > 0) static_cast<Output*>(self)->Mix(stream, static_cast<size_t>(len));
}

void Output::Mix(Uint8* stream, size_t len) {
  bool anyEnded = false;
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
  if (len > 0) std::memset(stream, 0, len);
  if (anyEnded && onEnd_) onEnd_();
}

}  // namespace lyrano::audio
