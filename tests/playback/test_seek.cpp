// Seeking, in the decoder and through the BASS calls. The fixture that makes
// a seek's result visible is a WAV whose every sample frame names its own
// index (left: index mod 32768, right: index div 32768), so the first frame
// after a seek tells exactly where the decoder landed. Lossy formats are
// checked against a straight decode of the same file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AudioTestUtil.h"
#include "common/codepage.h"
#include "playback/audio/Decoder.h"

using namespace audiotest;
using namespace std::chrono_literals;
using lyrano::audio::Decoder;
using lyrano::audio::Source;

namespace {

constexpr QWORD kSecond = 176400;

// A WAV of `seconds` whose frames count themselves; made once per process.
std::filesystem::path CountingWav(double seconds, int rate = 44100) {
  static testsupport::TempDir dir;
  std::string name = "count" + std::to_string(seconds) + "_" + std::to_string(rate) + ".wav";
  std::filesystem::path path = dir / name;
  if (std::filesystem::exists(path)) return path;
  std::string graph =
      "aevalsrc=exprs=mod(n\\,32768)/32768|floor(n/32768)/32768:s=" + std::to_string(rate) +
      ":d=" + std::to_string(seconds);
  std::string out;
  int rc = testsupport::RunCommand("ffmpeg -nostdin -loglevel error -y -f lavfi -i " +
                                       testsupport::ShellQuote(graph) + " -c:a pcm_s16le " +
                                       testsupport::ShellQuote(path.string()) + " 2>&1",
                                   &out);
  EXPECT_EQ(rc, 0) << out;
  return path;
}

// The index a counting frame names.
int64_t IndexAt(const std::vector<uint8_t>& pcm, size_t frame) {
  int16_t s[2];
  std::memcpy(s, pcm.data() + frame * 4, 4);
  return static_cast<int64_t>(s[1]) * 32768 + s[0];
}

std::unique_ptr<Decoder> OpenDecoder(const std::filesystem::path& file) {
  std::string error;
  auto d = Decoder::Open(Source::FromAnsiPath(cp::PathToAnsi(file)), nullptr, &error);
  EXPECT_TRUE(d) << error;
  return d;
}

// At least `bytes` of PCM (less only at the end).
std::vector<uint8_t> ReadSome(Decoder& d, size_t bytes) {
  std::vector<uint8_t> pcm;
  while (pcm.size() < bytes && d.Read(pcm) == Decoder::Status::Data) {
  }
  return pcm;
}

std::vector<uint8_t> ReadAll(Decoder& d) {
  return ReadSome(d, SIZE_MAX);
}

// The frame offset in `whole` where `piece` matches best, searched within
// `around` +- `radius` frames; the sum of absolute differences in `error`.
int64_t BestMatch(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& piece,
                  int64_t around, int64_t radius, double* error) {
  auto sample = [](const std::vector<uint8_t>& v, size_t i) {
    int16_t s;
    std::memcpy(&s, v.data() + 2 * i, 2);
    return static_cast<int>(s);
  };
  const size_t n = std::min<size_t>(piece.size() / 2, 8192);
  int64_t best = -1;
  double bestError = 1e300;
  for (int64_t f = std::max<int64_t>(0, around - radius); f <= around + radius; ++f) {
    if (static_cast<size_t>(f) * 2 + n > whole.size() / 2) break;
    double e = 0;
    for (size_t i = 0; i < n && e < bestError; ++i)
      e += std::abs(sample(whole, f * 2 + i) - sample(piece, i));
    if (e < bestError) {
      bestError = e;
      best = f;
    }
  }
  *error = bestError / static_cast<double>(n);
  return best;
}

// Forwards, backwards, to the start, within the first preroll and to an odd
// frame: the next frame the decoder gives is the one asked for.
TEST(DecoderSeek, TheNextSampleIsTheOneAskedFor) {
  auto d = OpenDecoder(CountingWav(6.0));
  ASSERT_TRUE(d);
  ReadSome(*d, kSecond);
  for (int64_t frame : {132300LL, 44100LL, 0LL, 5000LL, 200001LL, 1LL, 250000LL}) {
    ASSERT_TRUE(d->Seek(static_cast<uint64_t>(frame) * 4)) << frame;
    std::vector<uint8_t> pcm = ReadSome(*d, 4096);
    ASSERT_GE(pcm.size(), 4096u) << frame;
    EXPECT_EQ(IndexAt(pcm, 0), frame);
    EXPECT_EQ(IndexAt(pcm, 1000), frame + 1000);
  }
}

// After the input has ended the decoder can seek back and decode on to the
// end again, every frame once.
TEST(DecoderSeek, SeekingBackAfterTheEndDecodesTheRestAgain) {
  auto d = OpenDecoder(CountingWav(2.0));
  ASSERT_TRUE(d);
  std::vector<uint8_t> all = ReadAll(*d);
  ASSERT_EQ(all.size(), 2 * kSecond);
  ASSERT_TRUE(d->Seek(kSecond));
  std::vector<uint8_t> rest = ReadAll(*d);
  ASSERT_EQ(rest.size(), kSecond);
  EXPECT_EQ(IndexAt(rest, 0), 44100);
  EXPECT_EQ(IndexAt(rest, rest.size() / 4 - 1), 88199);
}

// Formats with a codec delay, frames that depend on the ones before, or
// another rate than the output's: what comes after a seek is what a straight
// decode gives at that time.
TEST(DecoderSeek, LossyAndResampledFilesLandWhereAStraightDecodeIs) {
  struct Row {
    const char* name;
    testsupport::ToneSpec spec;
    int64_t tolerance;  // frames
    double error;       // mean difference per sample at the best match
  };
  // Bit for bit where nothing is resampled. A file at another rate lands on
  // the right sample, but its resampler starts afresh there, a fraction of a
  // sample off the straight decode's phase. WMA's timestamps are whole
  // milliseconds (44 samples).
  const Row rows[] = {
      {"seek.mp3", Spec(6.0, 44100, 2, "-b:a 192k"), 0, 1.0},
      {"seek48.mp3", Spec(6.0, 48000, 2, "-b:a 192k"), 0, 1500.0},
      {"seek.wma", Spec(6.0, 44100, 2, "-b:a 128k"), 44, 1.0},
      {"seek48.wav", Spec(6.0, 48000, 2), 0, 1500.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    static testsupport::TempDir dir;
    std::filesystem::path file = dir / row.name;
    std::string out;
    std::string ext = file.extension().string();
    // A chirp, the frequency rising with time: no two places alike.
    int rc = testsupport::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i " +
            testsupport::ShellQuote("aevalsrc=exprs=0.5*sin(2*PI*(200+300*t)*t)|0.5*sin(2*PI*(300+"
                                    "200*t)*t):s=" +
                                    std::to_string(row.spec.rate) + ":d=6") +
            " " + row.spec.extraArgs + " " + testsupport::ShellQuote(file.string()) + " 2>&1",
        &out);
    ASSERT_EQ(rc, 0) << out;
    auto whole = OpenDecoder(file);
    ASSERT_TRUE(whole);
    std::vector<uint8_t> reference = ReadAll(*whole);
    auto d = OpenDecoder(file);
    ASSERT_TRUE(d);
    ReadSome(*d, 2 * kSecond);
    for (int64_t frame : {176400LL, 66150LL, 220500LL}) {
      ASSERT_TRUE(d->Seek(static_cast<uint64_t>(frame) * 4));
      std::vector<uint8_t> piece = ReadSome(*d, 32768);
      double error = 0;
      int64_t at = BestMatch(reference, piece, frame, 3000, &error);
      EXPECT_NEAR(at, frame, row.tolerance) << "seek to " << frame;
      EXPECT_LT(error, row.error) << "seek to " << frame;
    }
  }
}

class EngineSeek : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(EnsureEngine()) << BASS_ErrorText(); }
  static QWORD Position(HSTREAM h) { return BASS_ChannelGetPosition(h, BASS_POS_BYTE); }
};

// The position reads the new place at once and goes on from there; the play
// state stays what it was.
TEST_F(EngineSeek, PositionMovesAtOnceAndThePlayStateStays) {
  HSTREAM h = OpenFile(CountingWav(6.0));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));
  ASSERT_TRUE(WaitUntil([&] { return Position(h) >= kSecond / 4; }));

  ASSERT_TRUE(BASS_ChannelSetPosition(h, 4 * kSecond + 2, BASS_POS_BYTE));
  EXPECT_EQ(Position(h), 4 * kSecond);  // whole frames
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  EXPECT_TRUE(WaitUntil([&] { return Position(h) > 4 * kSecond + kSecond / 10; }));
  EXPECT_LT(Position(h), 5 * kSecond);

  ASSERT_TRUE(BASS_ChannelSetPosition(h, kSecond, BASS_POS_BYTE));  // back
  EXPECT_EQ(Position(h), kSecond);
  EXPECT_TRUE(WaitUntil([&] { return Position(h) > kSecond + kSecond / 10; }));
  EXPECT_LT(Position(h), 2 * kSecond);

  ASSERT_TRUE(BASS_ChannelPause(h));
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 3 * kSecond, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);
  EXPECT_EQ(Position(h), 3 * kSecond);
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));  // resumes at the new place
  EXPECT_TRUE(WaitUntil([&] { return Position(h) > 3 * kSecond + kSecond / 10; }));
  EXPECT_LT(Position(h), 4 * kSecond);
  BASS_StreamFree(h);
}

// A seek before the end, one past it and one back from an ended stream: the
// end notification runs once for each end reached, never for the seek.
TEST_F(EngineSeek, EachEndReachedNotifiesOnce) {
  HSTREAM h = OpenFile(CountingWav(3.0));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  SyncRecorder rec;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, &SyncRecorder::Proc, &rec), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));
  QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  ASSERT_EQ(length, 3 * kSecond);

  // Near the end: it plays the rest and ends once, at the exact length.
  ASSERT_TRUE(BASS_ChannelSetPosition(h, length - kSecond / 5, BASS_POS_BYTE));
  EXPECT_EQ(rec.calls.load(), 0);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls.load() == 1; }));
  EXPECT_EQ(Position(h), length);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);

  // Back from the end: stopped there, and it plays on from there, not from
  // the start.
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 2 * kSecond, BASS_POS_BYTE));
  EXPECT_EQ(Position(h), 2 * kSecond);
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));
  EXPECT_GE(Position(h), 2 * kSecond);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls.load() == 2; }));

  // Past the end, playing: ends as reaching the end does.
  ASSERT_TRUE(BASS_ChannelSetPosition(h, kSecond, BASS_POS_BYTE));
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));
  ASSERT_TRUE(BASS_ChannelSetPosition(h, length + 10 * kSecond, BASS_POS_BYTE));
  EXPECT_EQ(Position(h), length);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls.load() == 3; }));
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
  EXPECT_EQ(Position(h), length);
  BASS_StreamFree(h);
  EXPECT_EQ(rec.calls.load(), 3);
}

// Many seeks in a row, as a drag along the gauge makes them: the last one
// wins and the stream plays on from there.
TEST_F(EngineSeek, ARunOfSeeksEndsWhereTheLastOneWent) {
  HSTREAM h = OpenFile(CountingWav(6.0));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  ASSERT_TRUE(BASS_ChannelPlay(h, 0));
  for (QWORD at = 0; at < 5 * kSecond; at += kSecond / 7)
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at, BASS_POS_BYTE));
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 2 * kSecond, BASS_POS_BYTE));
  EXPECT_EQ(Position(h), 2 * kSecond);
  EXPECT_TRUE(WaitUntil([&] { return Position(h) > 2 * kSecond + kSecond / 10; }));
  EXPECT_LT(Position(h), 3 * kSecond);
  BASS_StreamFree(h);
}

TEST_F(EngineSeek, BadHandlesAndModesAreRefused) {
  HSTREAM h = OpenFile(CountingWav(2.0));
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(BASS_ChannelSetPosition(0, kSecond, BASS_POS_BYTE));
  EXPECT_FALSE(BASS_ChannelSetPosition(h, kSecond, 1));
  EXPECT_EQ(Position(h), 0u);
  BASS_StreamFree(h);
  EXPECT_FALSE(BASS_ChannelSetPosition(h, kSecond, BASS_POS_BYTE));
}

}  // namespace
