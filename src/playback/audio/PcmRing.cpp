#include "playback/audio/PcmRing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lyrano::audio {

PcmRing::PcmRing(size_t capacity) {
  size_t cap = std::bit_ceil(std::max<size_t>(capacity, 4096));
  data_ = std::make_unique<uint8_t[]>(cap);
  mask_ = cap - 1;
}

size_t PcmRing::Writable() const {
  uint64_t used = written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
  return Capacity() - static_cast<size_t>(used);
}

size_t PcmRing::Readable() const {
  return static_cast<size_t>(written_.load(std::memory_order_acquire) -
                             read_.load(std::memory_order_acquire));
}

size_t PcmRing::Write(const uint8_t* data, size_t n) {
  n = std::min(n, Writable());
  if (n == 0) return 0;
  uint64_t w = written_.load(std::memory_order_relaxed);
  size_t at = static_cast<size_t>(w) & mask_;
  size_t head = std::min(n, Capacity() - at);
  std::memcpy(data_.get() + at, data, head);
  std::memcpy(data_.get(), data + head, n - head);
  written_.store(w + n, std::memory_order_release);
  return n;
}

PcmRing::Pieces PcmRing::Peek(size_t n) const {
  n = std::min(n, Readable());
  size_t at = static_cast<size_t>(read_.load(std::memory_order_relaxed)) & mask_;
  size_t head = std::min(n, Capacity() - at);
  Pieces p;
  p.first = {data_.get() + at, head};
  if (n > head) p.second = {data_.get(), n - head};
  return p;
}

void PcmRing::Consume(size_t n) {
  n = std::min(n, Readable());
  read_.store(read_.load(std::memory_order_relaxed) + n, std::memory_order_release);
}

void PcmRing::Reset() {
  written_.store(0, std::memory_order_release);
  read_.store(0, std::memory_order_release);
}

}  // namespace lyrano::audio
