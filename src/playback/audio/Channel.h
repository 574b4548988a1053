// The output side of one stream: its PCM ring, its play state and volume, and
// the mixing step the output callback runs for it. The decoder thread fills the
// ring; the callback drains it; control calls change the state while holding
// the output lock, so the callback never sees a state change half-way.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "playback/audio/PcmRing.h"

namespace lyrano::audio {

// 44100 Hz, 16-bit, stereo.
constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrameBytes = 4;
constexpr uint32_t kBytesPerSecond = kRate * kFrameBytes;

enum class PlayState : int {
  Stopped,  // created, or stopped by a call; playing resumes where it stopped
  Playing,  // includes stalled
  Paused,
  Ended,  // the last sample has been handed to the output
};

class Channel {
 public:
  explicit Channel(size_t ringBytes) : ring(ringBytes) {}

  // Output callback only: adds this channel's next `samples` samples (interleaved
  // stereo) to `acc`, scaled by the volume. Returns true when this call handed
  // over the last sample of the stream.
  bool MixInto(int32_t* acc, size_t samples);

  // Decoder thread: sleeps until the ring has room for a refill or `stop` is set.
  template <class Stop>
  void WaitForRoom(Stop stop);
  // Decoder thread: tells waiters (the opener) that data or the end arrived.
  void NotifyProgress();
  // Opener: waits until `ready()` holds or `deadline` passes; true when ready.
  template <class Ready>
  bool WaitForProgress(Ready ready, std::chrono::steady_clock::time_point deadline);
  // Decoder thread: sleeps until `wake()` holds.
  template <class Wake>
  void WaitUntil(Wake wake);
  // Wakes every waiter (stop and seek requests).
  void WakeAll();

  PcmRing ring;
  // Written by control calls under the output lock and by the callback (Ended).
  std::atomic<PlayState> state{PlayState::Stopped};
  // Callback only, read anywhere: playing but waiting for data.
  std::atomic<bool> stalled{false};
  // Decoder thread: set after the last write into the ring.
  std::atomic<bool> inputEnded{false};
  std::atomic<float> volume{1.0f};
  // Callback only, read anywhere: how many times the stream reached its end.
  std::atomic<uint32_t> ends{0};
  // A seek was asked for and the decoder thread has not taken it yet.
  std::atomic<bool> seekPending{false};
  // From a seek request until the sound of the new position is buffered: the
  // callback hands over nothing, neither stalls nor ends.
  std::atomic<bool> seeking{false};

 private:
  // The ring refills in large steps so the decoder thread wakes rarely.
  size_t RefillThreshold() const { return ring.Capacity() / 2; }
  // A stalled stream resumes once a quarter second is buffered (or the input ended).
  static constexpr size_t kResumeBytes = kBytesPerSecond / 4;

  std::mutex wakeMutex_;
  std::condition_variable wake_;
  std::atomic<bool> producerWaiting_{false};
};

template <class Stop>
void Channel::WaitForRoom(Stop stop) {
  std::unique_lock lock(wakeMutex_);
  producerWaiting_.store(true);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  wake_.wait(lock, [&] { return stop() || ring.Writable() >= RefillThreshold(); });
  producerWaiting_.store(false);
}

template <class Wake>
void Channel::WaitUntil(Wake wake) {
  std::unique_lock lock(wakeMutex_);
  wake_.wait(lock, wake);
}

template <class Ready>
bool Channel::WaitForProgress(Ready ready, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(wakeMutex_);
  return wake_.wait_until(lock, deadline, ready);
}

}  // namespace lyrano::audio
