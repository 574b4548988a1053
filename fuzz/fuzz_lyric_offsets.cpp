// The user's lyric offsets file into offsets per song: every value read is
// within the limits, and what is written reads back the same.
#include "FuzzInput.h"
#include "lyrics/LyricOffsets.h"
#include "lyrics/LyricTimeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLyricOffsetMap offsets = ParseLyricOffsets(fuzz::Bytes(data, size));
  for (const auto& [key, offset] : offsets) {
    if (offset == 0 || offset > kMaxLyricOffsetMs || offset < -kMaxLyricOffsetMs) __builtin_trap();
    if (key.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  if (ParseLyricOffsets(FormatLyricOffsets(offsets)) != offsets) __builtin_trap();
  return 0;
}
