#include "playback/audio/Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "common/codepage.h"
#include "playback/audio/Channel.h"

namespace lyrano::audio {
namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct SwrFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvFreer {
  void operator()(void* p) const { av_free(p); }
};
struct DictFreer {
  AVDictionary* dict = nullptr;
  ~DictFreer() { av_dict_free(&dict); }
};

// A broken input gets this many undecodable packets in a row before it counts as ended.
constexpr int kMaxDecodeErrors = 500;

// A seek lands this far before its target and decodes the stretch in
// between: a codec that carries state from frame to frame (an MP3's bit
// reservoir, overlapping transforms) is settled by the time the target comes.
constexpr double kSeekPrerollSeconds = 0.3;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string ErrorText(int code) {
  std::array<char, AV_ERROR_MAX_STRING_SIZE> buf{};
  av_strerror(code, buf.data(), buf.size());
  return buf.data();
}

// Demuxers that open other files or addresses named inside their input.
bool OpensOtherInputs(std::string_view name, Source::Kind kind) {
  static constexpr std::array<std::string_view, 7> kAlways = {
      "concat", "image2", "imf", "sdp", "rtsp", "rtp", "ffmetadata"};
  static constexpr std::array<std::string_view, 2> kLocal = {"hls", "dash"};
  if (std::find(kAlways.begin(), kAlways.end(), name) != kAlways.end()) return true;
  return kind == Source::Kind::File &&
         std::find(kLocal.begin(), kLocal.end(), name) != kLocal.end();
}

const std::string& DemuxerWhitelist(Source::Kind kind) {
  auto build = [](Source::Kind k) {
    std::string list;
    void* it = nullptr;
    while (const AVInputFormat* f = av_demuxer_iterate(&it)) {
      if (f->name == nullptr || OpensOtherInputs(f->name, k)) continue;
      if (!list.empty()) list += ',';
      list += f->name;
    }
    return list;
  };
  static const std::string file = build(Source::Kind::File);
  static const std::string url = build(Source::Kind::Url);
  return kind == Source::Kind::File ? file : url;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

Source Source::FromAnsiPath(std::string_view ansiPath) {
  Source s;
  s.kind = Kind::File;
  if (ansiPath.empty() || ansiPath.find('\0') != std::string_view::npos) return s;
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(cp::AnsiToPath(ansiPath), ec);
  // Plain files only: no directories, pipes or devices (an endless /dev/zero
  // would never end, a FIFO would block).
  if (ec || !std::filesystem::is_regular_file(p, ec) || ec) return s;
  s.target = "file:" + p.string();
  return s;
}

Source Source::FromAnsiUrl(std::string_view ansiUrl) {
  Source s;
  s.kind = Kind::Url;
  if (!StartsWithNoCase(ansiUrl, "http://") && !StartsWithNoCase(ansiUrl, "https://")) return s;
  for (unsigned char c : ansiUrl) {
    // Control characters would end up in the request head.
    if (c < 0x20 || c == 0x7f) return s;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string utf8 = cp::AnsiToUtf8(ansiUrl);
  // FFmpeg knows its protocols by their lower-case names.
  for (size_t i = 0; i < utf8.size() && utf8[i] != ':'; ++i) {
    if (utf8[i] >= 'A' && utf8[i] <= 'Z') utf8[i] = static_cast<char>(utf8[i] - 'A' + 'a');
  }
  std::string encoded;
  encoded.reserve(utf8.size());
  for (unsigned char c : utf8) {
    if (c <= 0x20 || c >= 0x7f) {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    } else {
      encoded += static_cast<char>(c);
    }
  }
  s.target = std::move(encoded);
  return s;
}

struct Decoder::Impl {
  const std::atomic<bool>* cancel = nullptr;
  std::atomic<int64_t> deadlineNs{0};  // 0: no deadline
  std::atomic<bool> timedOut{false};   // a wait ran past its deadline
  bool network = false;

  std::unique_ptr<AVFormatContext, FormatCloser> format;
  std::unique_ptr<AVCodecContext, CodecFreer> codec;
  std::unique_ptr<SwrContext, SwrFreer> swr;
  std::unique_ptr<AVPacket, PacketFreer> packet{av_packet_alloc()};
  std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
  int streamIndex = -1;

  // What the resampler was made for.
  int swrFormat = -1;
  int swrRate = 0;
  AVChannelLayout swrLayout{};

  bool draining = false;
  bool done = false;
  int errorsInARow = 0;

  // After a seek: output samples before `dropUntil` are dropped. `nextSample`
  // is the output sample the next converted sample stands for, -1 until the
  // first frame after the seek tells it.
  bool dropping = false;
  int64_t dropUntil = 0;
  int64_t nextSample = -1;
  // The timestamp of the first frame decoded from the start: output sample 0.
  // Later than the stream's start by the codec's lag for some codecs (WMA),
  // which every frame's timestamp then carries alike.
  int64_t originPts = AV_NOPTS_VALUE;
  // The metadata packet as the http protocol holds it, and the text made of it.
  std::string metaRaw;
  std::string meta;
  bool metaNew = false;

  ~Impl() { av_channel_layout_uninit(&swrLayout); }

  static int Interrupt(void* opaque) {
    auto* self = static_cast<Impl*>(opaque);
    if (self->cancel != nullptr && self->cancel->load(std::memory_order_relaxed)) return 1;
    int64_t deadline = self->deadlineNs.load(std::memory_order_relaxed);
    if (deadline == 0 || NowNs() <= deadline) return 0;
    self->timedOut.store(true, std::memory_order_relaxed);
    return 1;
  }

  void SetDeadline(std::chrono::milliseconds wait) {
    deadlineNs.store(network ? NowNs() + std::chrono::nanoseconds(wait).count() : 0);
  }

  void ReadMeta();
  bool MakeResampler(const AVFrame* f);
  void Convert(const AVFrame* f, std::vector<uint8_t>& out);
  void FlushResampler(std::vector<uint8_t>& out);
  int64_t StartPts() const;
  static int64_t PtsOf(const AVFrame* f);
  // Output sample of the frame's first sample, from its timestamp.
  int64_t SampleOf(const AVFrame* f) const;
  // Drops what was appended to `out` from `from` on that lies before the target.
  void DropBeforeTarget(std::vector<uint8_t>& out, size_t from);
};

int64_t Decoder::Impl::StartPts() const {
  const AVStream* st = format->streams[streamIndex];
  return st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
}

int64_t Decoder::Impl::PtsOf(const AVFrame* f) {
  return f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
}

int64_t Decoder::Impl::SampleOf(const AVFrame* f) const {
  int64_t pts = PtsOf(f);
  if (pts == AV_NOPTS_VALUE) return dropUntil;  // nothing to go by: take it as the target
  const AVStream* st = format->streams[streamIndex];
  int64_t origin = originPts != AV_NOPTS_VALUE ? originPts : StartPts();
  return av_rescale_q(pts - origin, st->time_base, AVRational{1, static_cast<int>(kRate)});
}

void Decoder::Impl::DropBeforeTarget(std::vector<uint8_t>& out, size_t from) {
  if (!dropping || out.size() <= from) return;
  auto got = static_cast<int64_t>((out.size() - from) / kFrameBytes);
  int64_t drop = std::clamp<int64_t>(dropUntil - nextSample, 0, got);
  out.erase(
      out.begin() + static_cast<std::ptrdiff_t>(from),
      out.begin() + static_cast<std::ptrdiff_t>(from + static_cast<size_t>(drop) * kFrameBytes));
  nextSample += got;
  if (nextSample >= dropUntil) dropping = false;
}

// The http protocol strips the metadata out of a radio stream and keeps the
// latest packet; looking it up copies a few bytes and never waits.
void Decoder::Impl::ReadMeta() {
  if (!network || !format || format->pb == nullptr) return;
  uint8_t* value = nullptr;
  if (av_opt_get(format->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &value) < 0) return;
  std::unique_ptr<uint8_t, AvFreer> owned(value);
  std::string_view raw = value != nullptr ? reinterpret_cast<const char*>(value) : "";
  if (raw != metaRaw) {
    metaRaw = raw;
    meta.clear();
    for (char c : raw.substr(0, kMaxMetaBytes)) {
      auto b = static_cast<unsigned char>(c);
      if (b >= 0x20 && b != 0x7F) meta += c;
    }
    metaNew = true;
  }
}

bool Decoder::Impl::MakeResampler(const AVFrame* f) {
  swr.reset();
  int channels = f->ch_layout.nb_channels;
  AVChannelLayout in{};
  if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&in, channels);
  } else if (av_channel_layout_copy(&in, &f->ch_layout) < 0) {
    return false;
  }
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, 2);
  SwrContext* raw = nullptr;
  int rc = swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, static_cast<int>(kRate), &in,
                               static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  swr.reset(raw);
  if (rc < 0 || raw == nullptr) return false;
  if (channels == 1) {
    // The default mono upmix lowers the level by 3 dB; a mono file should sound
    // as loud as the same signal in stereo.
    const double unity[2] = {1.0, 1.0};
    if (swr_set_matrix(raw, unity, 1) < 0) return false;
  }
  if (swr_init(raw) < 0) {
    swr.reset();
    return false;
  }
  swrFormat = f->format;
  swrRate = f->sample_rate;
  av_channel_layout_uninit(&swrLayout);
  av_channel_layout_copy(&swrLayout, &f->ch_layout);
  return true;
}

void Decoder::Impl::Convert(const AVFrame* f, std::vector<uint8_t>& out) {
  int channels = f->ch_layout.nb_channels;
  if (f->nb_samples <= 0 || channels <= 0 || channels > 64 || f->sample_rate <= 0 ||
      f->sample_rate > 2'000'000) {
    ++errorsInARow;
    return;
  }
  bool same = swr && swrFormat == f->format && swrRate == f->sample_rate &&
              av_channel_layout_compare(&swrLayout, &f->ch_layout) == 0;
  if (!same) {
    // The input changed shape mid-stream (an internet stream switching rate):
    // finish what the old resampler holds, then start a new one.
    FlushResampler(out);
    if (!MakeResampler(f)) {
      ++errorsInARow;
      return;
    }
  }
  int room = swr_get_out_samples(swr.get(), f->nb_samples);
  if (room <= 0) return;
  size_t old = out.size();
  out.resize(old + static_cast<size_t>(room) * kFrameBytes);
  uint8_t* dst = out.data() + old;
  int got = swr_convert(swr.get(), &dst, room, const_cast<const uint8_t**>(f->extended_data),
                        f->nb_samples);
  out.resize(old + static_cast<size_t>(std::max(got, 0)) * kFrameBytes);
}

void Decoder::Impl::FlushResampler(std::vector<uint8_t>& out) {
  if (!swr) return;
  for (int guard = 0; guard < 64; ++guard) {
    int room = swr_get_out_samples(swr.get(), 0);
    if (room <= 0) break;
    size_t old = out.size();
    out.resize(old + static_cast<size_t>(room) * kFrameBytes);
    uint8_t* dst = out.data() + old;
    int got = swr_convert(swr.get(), &dst, room, nullptr, 0);
    out.resize(old + static_cast<size_t>(std::max(got, 0)) * kFrameBytes);
    if (got <= 0) break;
  }
}

Decoder::Decoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Decoder::~Decoder() = default;

std::unique_ptr<Decoder> Decoder::Open(const Source& source, const std::atomic<bool>* cancel,
                                       std::string* error) {
  auto fail = [&](std::string why) -> std::unique_ptr<Decoder> {
    if (error != nullptr) *error = std::move(why);
    return nullptr;
  };
  if (source.target.empty()) {
    return fail(source.kind == Source::Kind::File ? "not a plain file"
                                                  : "not an http or https address");
  }
  auto impl = std::make_unique<Impl>();
  impl->cancel = cancel;
  impl->network = source.kind == Source::Kind::Url;
  if (!impl->packet || !impl->frame) return fail("out of memory");

  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return fail("out of memory");
  raw->interrupt_callback.callback = &Impl::Interrupt;
  raw->interrupt_callback.opaque = impl.get();

  DictFreer options;
  av_dict_set(&options.dict, "protocol_whitelist", impl->network ? "http,https,tcp,tls" : "file",
              0);
  av_dict_set(&options.dict, "format_whitelist", DemuxerWhitelist(source.kind).c_str(), 0);
  if (impl->network) {
    // Radio stations then send the title of what plays between the sound.
    av_dict_set(&options.dict, "icy", "1", 0);
    // Probing must not wait for megabytes or seconds of a live stream: an MP3
    // without timestamps would otherwise be read for 50 frames.
    av_dict_set(&options.dict, "probesize", "1048576", 0);
    av_dict_set(&options.dict, "analyzeduration", "1000000", 0);
    av_dict_set(&options.dict, "max_ts_probe", "2", 0);
  }
  impl->SetDeadline(kOpenWait);
  int rc = avformat_open_input(&raw, source.target.c_str(), nullptr, &options.dict);
  if (rc < 0) return fail("cannot open: " + ErrorText(rc));  // raw is freed
  impl->format.reset(raw);

  impl->SetDeadline(kOpenWait);
  rc = avformat_find_stream_info(raw, nullptr);
  if (rc < 0) return fail("cannot read the stream: " + ErrorText(rc));
  // An interrupted probe leaves the input at a false end.
  if (impl->timedOut.load()) return fail("no data arrived in time");
  const AVCodec* codec = nullptr;
  rc = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (rc < 0 || codec == nullptr) return fail("no audio in it");
  impl->streamIndex = rc;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    if (static_cast<int>(i) != impl->streamIndex) raw->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* stream = raw->streams[impl->streamIndex];

  impl->codec.reset(avcodec_alloc_context3(codec));
  if (!impl->codec) return fail("out of memory");
  if (avcodec_parameters_to_context(impl->codec.get(), stream->codecpar) < 0) {
    return fail("unusable codec parameters");
  }
  impl->codec->pkt_timebase = stream->time_base;
  impl->codec->thread_count = 1;
  rc = avcodec_open2(impl->codec.get(), codec, nullptr);
  if (rc < 0) return fail("cannot start the decoder: " + ErrorText(rc));
  impl->deadlineNs.store(0);

  std::optional<uint64_t> length;
  double seconds = -1;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && stream->time_base.den > 0) {
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    // An MP3's duration counts the encoder delay, which the decoder drops and
    // the stream reports as its start time.
    if (std::string_view(raw->iformat->name) == "mp3" && stream->start_time != AV_NOPTS_VALUE &&
        stream->start_time > 0) {
      seconds -= static_cast<double>(stream->start_time) * av_q2d(stream->time_base);
    }
  } else if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0) {
    seconds = static_cast<double>(raw->duration) / AV_TIME_BASE;
  }
  // Anything beyond a few years is a corrupt header, not a length.
  if (seconds > 0 && seconds < 1e8) {
    length = static_cast<uint64_t>(std::llround(seconds * kRate)) * kFrameBytes;
  }

  std::unique_ptr<Decoder> decoder(new Decoder(std::move(impl)));
  decoder->length_ = length;
  return decoder;
}

Decoder::Status Decoder::Read(std::vector<uint8_t>& out) {
  Impl& s = *impl_;
  if (s.done) return Status::End;
  const size_t before = out.size();
  s.SetDeadline(kStallLimit);
  auto finish = [&]() {
    size_t from = out.size();
    s.FlushResampler(out);
    s.DropBeforeTarget(out, from);
    s.done = true;
    s.deadlineNs.store(0);
    return out.size() > before ? Status::Data : Status::End;
  };
  for (;;) {
    int rc = avcodec_receive_frame(s.codec.get(), s.frame.get());
    if (rc == 0) {
      size_t from = out.size();
      if (s.originPts == AV_NOPTS_VALUE && !s.dropping) s.originPts = Impl::PtsOf(s.frame.get());
      if (s.dropping && s.nextSample < 0) s.nextSample = s.SampleOf(s.frame.get());
      s.Convert(s.frame.get(), out);
      s.DropBeforeTarget(out, from);
      av_frame_unref(s.frame.get());
      if (out.size() > before) {
        s.errorsInARow = 0;
        s.deadlineNs.store(0);
        return Status::Data;
      }
    } else if (rc == AVERROR_EOF) {
      return finish();
    } else if (rc != AVERROR(EAGAIN)) {
      ++s.errorsInARow;
    }
    if (s.errorsInARow > kMaxDecodeErrors) return finish();
    if (rc == 0) continue;
    if (s.draining) {
      if (rc == AVERROR(EAGAIN)) return finish();
      continue;
    }
    rc = av_read_frame(s.format.get(), s.packet.get());
    s.ReadMeta();
    if (rc < 0) {
      // The end of the input, a broken connection or a cancel: drain the decoder.
      avcodec_send_packet(s.codec.get(), nullptr);
      s.draining = true;
      continue;
    }
    if (s.packet->stream_index == s.streamIndex) {
      rc = avcodec_send_packet(s.codec.get(), s.packet.get());
      if (rc < 0 && rc != AVERROR(EAGAIN)) ++s.errorsInARow;
    }
    av_packet_unref(s.packet.get());
  }
}

bool Decoder::Seek(uint64_t bytes) {
  Impl& s = *impl_;
  const AVStream* st = s.format->streams[s.streamIndex];
  auto target = static_cast<int64_t>(std::min<uint64_t>(bytes / kFrameBytes, INT64_MAX / 2));
  double from = std::max(0.0, static_cast<double>(target) / kRate - kSeekPrerollSeconds);
  int64_t ts = s.StartPts() + av_rescale_q(std::llround(from * AV_TIME_BASE),
                                           AVRational{1, AV_TIME_BASE}, st->time_base);
  s.SetDeadline(kOpenWait);
  // At or before the point, never after it: the stretch up to the target is
  // decoded and dropped.
  int rc = avformat_seek_file(s.format.get(), s.streamIndex, INT64_MIN, ts, ts, 0);
  if (rc < 0) rc = av_seek_frame(s.format.get(), s.streamIndex, ts, AVSEEK_FLAG_BACKWARD);
  s.deadlineNs.store(0);
  if (rc < 0) return false;
  avcodec_flush_buffers(s.codec.get());
  s.swr.reset();
  s.draining = false;
  s.done = false;
  s.errorsInARow = 0;
  s.dropping = true;
  s.dropUntil = target;
  s.nextSample = -1;
  return true;
}

bool Decoder::TakeMeta(std::string* text) {
  if (!impl_->metaNew) return false;
  impl_->metaNew = false;
  *text = impl_->meta;
  return true;
}

}  // namespace lyrano::audio
