// LRC text into the lyric timeline.
#include "FuzzInput.h"
#include "common/errors.h"
#include "lyrics/LrcParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLyricTimeline timeline;
  try {
    ParseLyricText(timeline, fuzz::Bytes(data, size));
  } catch (const lyrano::PatternError&) {
    // the documented failure: the matcher gave up
  }
  if (timeline.Times.size() != timeline.Texts.size()) __builtin_trap();
  return 0;
}
