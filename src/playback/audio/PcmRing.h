// A single-producer, single-consumer ring of PCM bytes. The decoder thread
// writes, the output callback reads; neither blocks or allocates. The running
// total of bytes read is the stream's position.
//
// Threads: Write/Writable on the producer only, Read*/Consume on the consumer
// only, Readable/ReadTotal anywhere. Reset only while neither side runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace lyrano::audio {

class PcmRing {
 public:
  // `capacity` is rounded up to a power of two (at least 4096 bytes).
  explicit PcmRing(size_t capacity);

  size_t Capacity() const { return mask_ + 1; }

  // Producer: copies up to `n` bytes, returns how many were taken.
  size_t Write(const uint8_t* data, size_t n);
  size_t Writable() const;

  // Consumer: at most two contiguous pieces covering the first `n` readable bytes.
  struct Piece {
    const uint8_t* data = nullptr;
    size_t size = 0;
  };
  struct Pieces {
    Piece first, second;
  };
  Pieces Peek(size_t n) const;
  void Consume(size_t n);

  size_t Readable() const;
  // Bytes consumed since the last Reset.
  uint64_t ReadTotal() const { return read_.load(std::memory_order_acquire); }
  // Bytes written since the last Reset.
  uint64_t WriteTotal() const { return written_.load(std::memory_order_acquire); }

  void Reset();

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t mask_;
  // Running totals; the indices are the totals masked. Written by one side each.
  std::atomic<uint64_t> written_{0};
  std::atomic<uint64_t> read_{0};
};

}  // namespace lyrano::audio
