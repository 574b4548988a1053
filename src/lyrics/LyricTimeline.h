// The lyrics of the song that plays: timed lines in ascending order of time.
// One instance lives in TPlayerState for the whole run; it is filled by
// ParseLyricText (LrcParser.h) or FillFromTagLyrics (TagLyrics.h) and read,
// with Cursor moved, by the playback tick.
// Window's thread only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TLyricTimeline {
  // Whole seconds as decimal text ("0", "83", "600"), ascending after every fill.
  std::vector<std::string> Times;
  // The lyric text of the entry of Times at the same index; always the same length.
  std::vector<std::string> Texts;
  // Index of the current lyric line, 0 .. Times.size(). Reset to 0 by every fill.
  int Cursor = 0;
  // True while the lists hold the lyrics of the song now playing; the play
  // request clears it and sets it after a successful fill.
  bool HasLyrics = false;
  // Lyrics without times (a tag's plain text), one entry per line: shown from
  // the first line on and never moved. Times and Texts are empty while it is not.
  std::vector<std::string> StillLines;
  // The file's own "[offset:N]" in milliseconds (positive: the lines show that
  // much earlier), 0 without one. Applied to the position, never to Times.
  int OffsetMs = 0;

  size_t Count() const { return Times.size(); }
  void Clear() {
    Times.clear();
    Texts.clear();
    StillLines.clear();
    Cursor = 0;
    OffsetMs = 0;
  }
};

// The largest lyric offset, either way, of a file's tag or of a user's setting
// (an hour); larger ones are taken for garbage.
inline constexpr int kMaxLyricOffsetMs = 3600 * 1000;

// The number held by an entry of Times; nullopt for a text that is not one of
// ours (the lists are filled only by the parser, so that means a caller's bug).
std::optional<long long> LyricSeconds(std::string_view timeText);
