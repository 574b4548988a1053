// LRC text into the lyric timeline. A line carries one or more time tags
// ("[m:ss]" or "[m:ss.xx]") followed by its text; every tag of a line gets that
// text. A line that begins with "[offset:N]" sets the timeline's OffsetMs.
// Other bracketed tags (title, artist) and untagged lines add nothing, and a
// malformed tag only ends its own line: parsing never fails.
// All text is in the local code page. Window's thread only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lyrics/LyricTimeline.h"

// Replaces the timeline's lists with the timed lines of `text` (whole LRC
// content; lines end at CR, LF or CR LF), sorted by time, and sets Cursor to 0.
// OffsetMs becomes the value of the last line LyricOffsetTag accepts, else 0.
// HasLyrics is the caller's to set. Entries of equal time end in the order the
// exchange procedure of LyricExchangeOrder gives, not in file order.
// Throws only lyrano::PatternError, should the pattern engine fail.
void ParseLyricText(TLyricTimeline& timeline, std::string_view text);

// Appends one entry per time tag at the front of `line`: the first tag is the
// text from the first "[" to the first "]", then the same again on the rest of
// the line after that "]", while the rest holds a "[". Every entry gets the text
// after the last "]" of the line. The first tag that is not a time ends the line;
// entries added before it stay. A line without "[" adds nothing.
void ParseLyricLine(TLyricTimeline& timeline, std::string_view line);

// "1:23.45]" -> "83": minutes before the first ":", seconds up to the first "."
// (or, without a ".", up to the first "]"), fraction truncated. nullopt when a
// part is empty, holds anything but the digits 0-9, or the total does not fit in
// a 32-bit signed integer.
std::optional<std::string> TimeTagToSeconds(std::string_view tag);

// The milliseconds of a line whose first tag (after leading blanks) is
// "[offset:N]": "offset" in any case, N an optional sign and decimal digits with
// blanks around, at most kMaxLyricOffsetMs either way. Positive N means the
// lines show earlier. nullopt for any other line.
std::optional<int> LyricOffsetTag(std::string_view line);

// 1-based position of the start of the last occurrence of `sub` in `text`;
// 0 when there is none or `sub` is empty.
size_t LastPos(std::string_view sub, std::string_view text);

// Reads the file's bytes as local-code-page text (no byte-order mark or UTF-8
// detection) and parses them with ParseLyricText. Returns false, leaving the
// timeline untouched, when no file exists at `path` (a folder counts as none).
// A file that exists but cannot be read (no permission, not a regular file,
// larger than kMaxLyricFileBytes, an I/O error) throws lyrano::FileError
// ("Cannot open file "<path>". <reason>") before the timeline is touched.
bool LoadLyricFile(TLyricTimeline& timeline, std::string_view path);

// The order in which entries with these times end after the exchange procedure
//   for i in 0..n-1: for j in 0..n-1: if t[j] > t[i] then exchange i and j
// (ascending; equal times in the order that procedure leaves them), computed in
// O(n log n). Element k of the result is the input index of the entry that ends
// at position k.
std::vector<size_t> LyricExchangeOrder(const std::vector<long long>& times);

// Lyric files larger than this are refused as unreadable (real ones take a few
// kilobytes; every short line costs about ten times its size as an entry).
inline constexpr size_t kMaxLyricFileBytes = 4u << 20;
// One parse stores at most this many bytes of lyric text; a line whose text no
// longer fits ends there. It stops a line with thousands of tags and a long text
// from multiplying its size in memory; real lyrics stay far below it.
inline constexpr size_t kMaxLyricTextBytes = 16u << 20;
