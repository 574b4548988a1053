// How far the user has moved the lyrics of each song: milliseconds per song
// (positive: the lines show earlier), on top of the lyric file's own
// "[offset:]". Kept in a text file of the user's folder, never in the lyric
// file. Window's thread only.
//
// A song is named by a key: a local file by its path as the playlist row or
// the command line gives it; an online song (no path) by its title and singer,
// trimmed, so that the same song found by search, by its site number or by a
// playlist row is one song.
//
// The file ("lyrictiming.txt", local code page like the playlist files) holds
// one song a line, fields separated by a tab:
//   <milliseconds> TAB file TAB <path>
//   <milliseconds> TAB song TAB <title> TAB <singer>
// Inside a field "%" and the bytes below 0x20 and 0x7F are written as "%XX"
// (two hexadecimal digits). Lines that begin with "#", and lines that do not
// read as above (an unknown kind, a missing or extra field, a bad escape, a
// value that is no number, 0, or beyond kMaxLyricOffsetMs either way), are
// skipped; of two lines for one song the later counts.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

inline constexpr const char* kLyricOffsetFileName = "lyrictiming.txt";
// A larger file is not read: its offsets count as none, and it is not written.
inline constexpr size_t kMaxLyricOffsetFileBytes = 4u << 20;

// The key of a song (its fields escaped, a tab between them).
std::string LyricSongKey(std::string_view title, std::string_view singer, std::string_view path);

using TLyricOffsetMap = std::map<std::string, int>;

// The file's text into offsets per key; skips what it cannot read (see above).
TLyricOffsetMap ParseLyricOffsets(std::string_view text);
// The text of the file: a comment line, then one line per song with an offset
// other than 0, in key order.
std::string FormatLyricOffsets(const TLyricOffsetMap& offsets);

// The offsets of one file, read once when opened and written through on every
// change. Without a file (never opened) it keeps them for this run only.
class TLyricOffsetStore {
 public:
  // Reads the file at `path` (local code page). A missing, unreadable or
  // oversized file gives no offsets; it does not throw.
  void Open(const std::string& path);
  const std::string& Path() const { return path_; }

  // The offset of a song, 0 when none is kept.
  int Get(const std::string& key) const;
  // Sets a song's offset (0 removes it) and writes the file: the file is read
  // again first, so the other songs' lines it holds now are kept, and replaced
  // in one step (a new file renamed over it). Throws lyrano::FileError when the
  // file cannot be read (it is then left as it is) or written; the new value
  // holds for this run either way.
  void Set(const std::string& key, int offsetMs);

 private:
  std::string path_;
  TLyricOffsetMap offsets_;
};
