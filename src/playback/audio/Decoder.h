// FFmpeg behind one small interface: open a plain local file or an http(s)
// address, then pull 44100 Hz 16-bit stereo PCM out of it packet by packet.
//
// A local name is opened only as "file:" + absolute path with the file protocol
// alone, and demuxers that open further files or addresses (playlists, scripts,
// image sequences) are never chosen, so a name or a file's content cannot make
// the engine read anything but that one file. Addresses may use http and https
// only.
//
// Threads: Open on the caller's thread; afterwards one thread at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lyrano::audio {

struct Source {
  enum class Kind { File, Url };
  Kind kind = Kind::File;
  std::string target;  // FFmpeg's name: "file:/abs/path" or the encoded address

  // A local name in the local code page; empty target when it is no plain file.
  static Source FromAnsiPath(std::string_view ansiPath);
  // An http or https address in the local code page; empty target when the
  // scheme is another or the address holds control characters. Spaces and
  // non-ASCII text are percent-encoded as UTF-8.
  static Source FromAnsiUrl(std::string_view ansiUrl);
};

class Decoder {
 public:
  // Each network wait of the open (connecting, then probing) is bounded by this.
  static constexpr std::chrono::milliseconds kOpenWait{3000};
  // Mid-stream, an address that yields no sound for this long has ended.
  static constexpr std::chrono::milliseconds kStallLimit{10000};

  // Opens and probes `source`. `cancel`, when set, aborts any wait at once.
  // Empty with `error` set on failure.
  static std::unique_ptr<Decoder> Open(const Source& source, const std::atomic<bool>* cancel,
                                       std::string* error);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  enum class Status { Data, End };
  // Appends the PCM of the next decoded frames (whole frames, possibly none) to
  // `out`. End once the input is exhausted, broken or cancelled and the decoder
  // and resampler have been flushed; every later call returns End.
  Status Read(std::vector<uint8_t>& out);

  // Moves to `bytes` of output (a multiple of a sample frame): the demuxer goes
  // back to a point a little before it, the codec and the resampler start
  // afresh, and the samples before the target are decoded and dropped, so the
  // next Read begins exactly there. False, with the decoder where it was, when
  // the input cannot seek.
  bool Seek(uint64_t bytes);

  // Length in output bytes from the container's duration; nullopt when unknown.
  std::optional<uint64_t> LengthBytes() const { return length_; }

  // The longest metadata packet kept; a server's packet is at most 4080 bytes.
  static constexpr size_t kMaxMetaBytes = 4096;
  // The latest metadata packet of an internet radio stream, as sent
  // ("StreamTitle='...';") but without control characters and cut to
  // kMaxMetaBytes. False when no new packet has come since the last call.
  bool TakeMeta(std::string* text);

 private:
  struct Impl;
  explicit Decoder(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  std::optional<uint64_t> length_;
};

}  // namespace lyrano::audio
