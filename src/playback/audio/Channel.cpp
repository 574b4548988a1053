#include "playback/audio/Channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lyrano::audio {
namespace {

void AddScaled(int32_t* acc, const uint8_t* bytes, size_t size, int32_t gain) {
  size_t count = size / 2;
  for (size_t i = 0; i < count; ++i) {
    int16_t s;
    std::memcpy(&s, bytes + 2 * i, 2);
    acc[i] += (static_cast<int32_t>(s) * gain) >> 16;
  }
}

}  // namespace

bool Channel::MixInto(int32_t* acc, size_t samples) {
  if (state.load(std::memory_order_acquire) != PlayState::Playing) return false;
  // What the ring holds belongs to the old position; the new one is on its way.
  if (seeking.load(std::memory_order_acquire)) return false;
  // The end flag is read before the fill level: once it is set, every byte of
  // the stream is already in the ring.
  bool ended = inputEnded.load(std::memory_order_acquire);
  size_t available = ring.Readable();
  if (stalled.load(std::memory_order_relaxed)) {
    if (!ended && available < kResumeBytes) return false;
    stalled.store(false, std::memory_order_relaxed);
  }
  size_t want = samples * 2;
  size_t n = std::min(available, want) & ~size_t{kFrameBytes - 1};
  if (n > 0) {
    float v = std::clamp(volume.load(std::memory_order_relaxed), 0.0f, 1.0f);
    auto gain = static_cast<int32_t>(std::lround(v * 65536.0f));
    PcmRing::Pieces pieces = ring.Peek(n);
    AddScaled(acc, pieces.first.data, pieces.first.size, gain);
    if (pieces.second.size > 0) {
      AddScaled(acc + pieces.first.size / 2, pieces.second.data, pieces.second.size, gain);
    }
    ring.Consume(n);
    // Pairs with the fence in WaitForRoom: either the decoder sees the room, or
    // this sees it waiting.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (producerWaiting_.load() && ring.Writable() >= RefillThreshold()) {
      std::lock_guard lock(wakeMutex_);
      wake_.notify_all();
    }
  }
  if (n == want) return false;
  if (ended && ring.Readable() == 0) {
    state.store(PlayState::Ended, std::memory_order_release);
    ends.fetch_add(1, std::memory_order_release);
    return true;
  }
  stalled.store(true, std::memory_order_relaxed);
  return false;
}

void Channel::NotifyProgress() {
  std::lock_guard lock(wakeMutex_);
  wake_.notify_all();
}

void Channel::WakeAll() {
  NotifyProgress();
}

}  // namespace lyrano::audio
