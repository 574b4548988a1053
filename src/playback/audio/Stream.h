// One open stream: its source, its decoder thread and its channel on the output.
// The decoder thread keeps the channel's ring filled ahead of the output and
// sleeps while it is full.
//
// Threads: control calls (Play, Pause, Stop, SetPosition, Close, SetVolume)
// from any thread, serialised by `control_`; they never run on the output
// callback. A seek is a request the decoder thread carries out, so the caller
// never waits for the input (a slow disk, a server).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "playback/audio/Channel.h"
#include "playback/audio/Decoder.h"
#include "playback/audio/Output.h"

namespace lyrano::audio {

class Stream {
 public:
  // The ring holds about 1.5 s of sound.
  static constexpr size_t kRingBytes = 256 * 1024;

  // Opens `source` and waits until the first sound is buffered (or the whole
  // stream, if shorter). Null with `error` set on failure.
  static std::unique_ptr<Stream> Open(const Source& source, Output& output, std::string* error);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Starts or resumes; from the beginning when `restart` is set or the stream
  // has ended. False when the stream is closed or cannot be reopened.
  bool Play(bool restart);
  // False unless the stream was playing.
  bool Pause();
  bool Stop();
  // Detaches from the output (the sound stops at once) and ends the decoder
  // thread. Every later control call fails.
  void Close();

  // Moves to `bytes` (rounded down to a sample frame, at most the length):
  // from now on the position reads `bytes` and the output gets nothing older.
  // The play state stays, except that an ended stream becomes stopped there. A
  // position at or past the length ends the stream as its last sample does.
  // False when the stream is closed or its length is unknown.
  bool SetPosition(uint64_t bytes);

  PlayState State() const { return channel_.state.load(std::memory_order_acquire); }
  bool Stalled() const { return channel_.stalled.load(std::memory_order_relaxed); }
  void SetVolume(float v) { channel_.volume.store(v, std::memory_order_relaxed); }
  float Volume() const { return channel_.volume.load(std::memory_order_relaxed); }
  uint64_t Position() const;
  uint32_t EndCount() const { return channel_.ends.load(std::memory_order_acquire); }
  // Exact once the input has ended, else the container's figure, if any.
  std::optional<uint64_t> Length() const;
  // The latest metadata packet of a radio stream; empty when none has come
  // since the stream (re)started.
  std::string Meta() const;

 private:
  Stream(const Source& source, Output& output);
  // Starts the decoder thread for `decoder_` and waits for the first sound.
  bool StartDecoding(std::string* error);
  void StopDecoding();
  void DecodeLoop();
  // Decoder thread: carries out the latest seek request. False when the input
  // has nothing more at the new position (the target is at the end).
  bool TakeSeek(std::vector<uint8_t>& pending, size_t& offset);
  // Decoder thread: the input has ended at the current position.
  void InputEnded();
  // Decoder thread: the new position's sound is buffered (or ended).
  void SeekSettled();

  const Source source_;  // set at open
  Output& output_;
  Channel channel_;

  std::mutex control_;
  bool closed_ = false;  // under control_

  // Handed to the decoder thread while it runs; touched by control calls only
  // while it does not.
  std::unique_ptr<Decoder> decoder_;
  std::thread thread_;
  std::atomic<bool> stop_{false};

  // Under the output lock; the decoder thread (or a control call while it
  // does not run) writes them, and it may read them without the lock.
  uint64_t base_ = 0;        // the position of the ring's first byte
  uint64_t seekTarget_ = 0;  // the latest seek request
  size_t prebuffer_ = 0;     // set at open: what a seek waits for before sounding

  // Written by the decoder thread, read anywhere.
  std::atomic<uint64_t> containerLength_{0};
  std::atomic<bool> containerLengthKnown_{false};

  mutable std::mutex metaMutex_;
  std::string meta_;  // under metaMutex_
};

}  // namespace lyrano::audio
