#include "playback/audio/Stream.h"

namespace lyrano::audio {
namespace {

// What counts as ready to play: a file plays at once from a small head start; an
// address buffers half a second so it does not stall right away.
size_t PrebufferBytes(Source::Kind kind) {
  return kind == Source::Kind::File ? 16 * 1024 : kBytesPerSecond / 2;
}

}  // namespace

Stream::Stream(const Source& source, Output& output)
    : source_(source),
      output_(output),
      channel_(kRingBytes),
      prebuffer_(PrebufferBytes(source.kind)) {}

Stream::~Stream() {
  Close();
}

std::unique_ptr<Stream> Stream::Open(const Source& source, Output& output, std::string* error) {
  std::unique_ptr<Stream> stream(new Stream(source, output));
  stream->decoder_ = Decoder::Open(source, &stream->stop_, error);
  if (!stream->decoder_) return nullptr;
  if (!stream->StartDecoding(error)) return nullptr;
  return stream;
}

bool Stream::StartDecoding(std::string* error) {
  if (auto length = decoder_->LengthBytes()) {
    containerLength_.store(*length);
    containerLengthKnown_.store(true);
  } else {
    containerLengthKnown_.store(false);
  }
  {
    std::lock_guard lock(metaMutex_);
    meta_.clear();
  }
  stop_.store(false);
  thread_ = std::thread(&Stream::DecodeLoop, this);
  auto ready = [&] { return channel_.inputEnded.load() || channel_.ring.Readable() >= prebuffer_; };
  channel_.WaitForProgress(ready, std::chrono::steady_clock::now() + Decoder::kOpenWait);
  // Short of the head start but some sound came: a slow source still plays.
  if (channel_.ring.Readable() > 0) return true;
  bool ended = channel_.inputEnded.load();
  StopDecoding();
  if (error != nullptr) *error = ended ? "no sound in it" : "no sound arrived in time";
  return false;
}

void Stream::StopDecoding() {
  stop_.store(true);
  channel_.WakeAll();
  if (thread_.joinable()) thread_.join();
  decoder_.reset();
}

void Stream::DecodeLoop() {
  std::vector<uint8_t> pending;
  std::string meta;
  size_t offset = 0;
  bool ended = false;  // the input has nothing more at the current position
  auto stopping = [this] { return stop_.load(std::memory_order_relaxed); };
  auto asked = [this] {
    return stop_.load(std::memory_order_relaxed) || channel_.seekPending.load();
  };
  while (!stopping()) {
    if (channel_.seekPending.load()) {
      if (!TakeSeek(pending, offset)) {
        InputEnded();
        ended = true;
      } else {
        ended = false;
      }
      continue;
    }
    if (ended) {
      // An ended input waits for a seek back (or the end of the stream).
      channel_.WaitUntil(asked);
      continue;
    }
    if (offset == pending.size()) {
      pending.clear();
      offset = 0;
      Decoder::Status status = decoder_->Read(pending);
      if (decoder_->TakeMeta(&meta)) {
        std::lock_guard lock(metaMutex_);
        meta_.swap(meta);
      }
      if (status == Decoder::Status::End) {
        InputEnded();
        ended = true;
      }
      continue;
    }
    offset += channel_.ring.Write(pending.data() + offset, pending.size() - offset);
    channel_.NotifyProgress();
    if (channel_.seeking.load() && channel_.ring.Readable() >= prebuffer_) SeekSettled();
    if (offset < pending.size()) channel_.WaitForRoom(asked);
  }
  if (!ended) {
    channel_.inputEnded.store(true, std::memory_order_release);
    channel_.NotifyProgress();
  }
}

void Stream::InputEnded() {
  // The end: the exact length is now known.
  containerLength_.store(base_ + channel_.ring.WriteTotal());
  containerLengthKnown_.store(true);
  channel_.inputEnded.store(true, std::memory_order_release);
  channel_.NotifyProgress();
  SeekSettled();
}

void Stream::SeekSettled() {
  Output::Lock lock(output_);
  // A newer request keeps the output waiting for its own position.
  if (!channel_.seekPending.load()) channel_.seeking.store(false, std::memory_order_release);
}

bool Stream::TakeSeek(std::vector<uint8_t>& pending, size_t& offset) {
  uint64_t target;
  {
    Output::Lock lock(output_);
    target = seekTarget_;
    channel_.seekPending.store(false);
  }
  std::optional<uint64_t> length = Length();
  bool atEnd = length && target >= *length;
  if (!atEnd && !decoder_->Seek(target)) {
    // The input cannot seek: play on from where it was.
    SeekSettled();
    return !channel_.inputEnded.load();
  }
  pending.clear();
  offset = 0;
  Output::Lock lock(output_);
  // The callback is held off and this thread is the only writer.
  channel_.ring.Reset();
  channel_.inputEnded.store(false);
  channel_.stalled.store(false);
  base_ = target;
  return !atEnd;
}

std::optional<uint64_t> Stream::Length() const {
  if (!containerLengthKnown_.load()) return std::nullopt;
  return containerLength_.load();
}

std::string Stream::Meta() const {
  std::lock_guard lock(metaMutex_);
  return meta_;
}

bool Stream::Play(bool restart) {
  std::lock_guard guard(control_);
  if (closed_) return false;
  if (restart || State() == PlayState::Ended) {
    {
      Output::Lock lock(output_);
      channel_.state.store(PlayState::Stopped);
    }
    StopDecoding();
    {
      Output::Lock lock(output_);
      channel_.ring.Reset();
      channel_.inputEnded.store(false);
      channel_.stalled.store(false);
      channel_.seekPending.store(false);
      channel_.seeking.store(false);
      base_ = 0;
    }
    std::string error;
    stop_.store(false);
    decoder_ = Decoder::Open(source_, &stop_, &error);
    if (!decoder_ || !StartDecoding(&error)) {
      output_.UpdateRunning();
      return false;
    }
  }
  PlayState before;
  {
    Output::Lock lock(output_);
    output_.Attach(&channel_);
    before = State();
    channel_.state.store(PlayState::Playing);
  }
  if (!output_.UpdateRunning()) {
    // The device went away while idle: the stream stays as it was.
    Output::Lock lock(output_);
    if (State() == PlayState::Playing) channel_.state.store(before);
    return false;
  }
  return true;
}

uint64_t Stream::Position() const {
  Output::Lock lock(output_);
  return channel_.seeking.load() ? seekTarget_ : base_ + channel_.ring.ReadTotal();
}

bool Stream::SetPosition(uint64_t bytes) {
  std::lock_guard guard(control_);
  std::optional<uint64_t> length = Length();
  if (closed_ || !length) return false;
  bytes = std::min(bytes, *length) / kFrameBytes * kFrameBytes;
  {
    Output::Lock lock(output_);
    seekTarget_ = bytes;
    channel_.seeking.store(true, std::memory_order_release);
    channel_.seekPending.store(true);
    // Back from the end: a later play goes on from here, not from the start.
    if (State() == PlayState::Ended && bytes < *length) channel_.state.store(PlayState::Stopped);
  }
  channel_.WakeAll();
  return true;
}

bool Stream::Pause() {
  std::lock_guard guard(control_);
  if (closed_) return false;
  {
    Output::Lock lock(output_);
    if (State() != PlayState::Playing) return false;
    channel_.state.store(PlayState::Paused);
  }
  output_.UpdateRunning();
  return true;
}

bool Stream::Stop() {
  std::lock_guard guard(control_);
  if (closed_) return false;
  {
    Output::Lock lock(output_);
    PlayState s = State();
    if (s == PlayState::Playing || s == PlayState::Paused) channel_.state.store(PlayState::Stopped);
  }
  output_.UpdateRunning();
  return true;
}

void Stream::Close() {
  std::lock_guard guard(control_);
  if (closed_) return;
  closed_ = true;
  {
    Output::Lock lock(output_);
    output_.Detach(&channel_);
    channel_.state.store(PlayState::Stopped);
  }
  StopDecoding();
  output_.UpdateRunning();
}

}  // namespace lyrano::audio
