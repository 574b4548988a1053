// The decoder's output when the input changes shape mid-stream: an MP3 whose
// second half has another sample rate (two files joined, as an internet stream
// switching rate delivers it) must still come out as 44.1 kHz PCM of its whole
// length, each half at its own pace.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "playback/audio/Decoder.h"
#include "support/TestSupport.h"

namespace {

using lyrano::audio::Decoder;
using lyrano::audio::Source;

std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Seconds of PCM the decoder gives for the whole file.
double DecodedSeconds(const std::filesystem::path& file) {
  std::string error;
  auto decoder = Decoder::Open(Source::FromAnsiPath(cp::PathToAnsi(file)), nullptr, &error);
  EXPECT_TRUE(decoder) << error;
  if (!decoder) return 0;
  std::vector<uint8_t> pcm;
  while (decoder->Read(pcm) == Decoder::Status::Data) {
  }
  return static_cast<double>(pcm.size()) / 176400.0;
}

TEST(DecoderShape, ARateChangeMidStreamKeepsEachPartsLength) {
  testsupport::TempDir dir;
  // No tags and no header frame: the join is frames, then frames.
  const std::string plain = "-write_xing 0 -id3v2_version 0 -write_id3v1 0";
  testsupport::ToneSpec spec;
  spec.seconds = 2.0;
  spec.extraArgs = plain;
  testsupport::MakeTone(dir / "a.mp3", spec);
  spec.rate = 22050;
  testsupport::MakeTone(dir / "b.mp3", spec);
  std::ofstream(dir / "joined.mp3", std::ios::binary)
      << Bytes(dir / "a.mp3") << Bytes(dir / "b.mp3");
  ASSERT_NEAR(DecodedSeconds(dir / "a.mp3"), 2.0, 0.1);
  ASSERT_NEAR(DecodedSeconds(dir / "b.mp3"), 2.0, 0.1);
  EXPECT_NEAR(DecodedSeconds(dir / "joined.mp3"), 4.0, 0.2);
}

}  // namespace
