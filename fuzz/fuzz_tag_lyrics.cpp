// The lyrics of a file's tag (the ID3v2 lyrics frames, the WMA WM/Lyrics
// attribute) into the lyric timeline, over a file holding the input.
#include "FuzzInput.h"
#include "lyrics/TagLyrics.h"
#include "playback/PlaybackTick.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::InputFile file("lyrics.mp3");
  if (!file.Write(fuzz::Bytes(data, size))) return 0;
  TLyricTimeline timeline;
  if (FillFromTagLyrics(timeline, ReadTagLyrics(file.Ansi()))) {
    volatile size_t n = timeline.Count() + tick::StillLyricFrame(timeline.StillLines).Green[0].size();
    (void)n;
  }
  return 0;
}
