// Playlist text files: one entry per line, Title|geshou|SongId|mp3Patch, CR LF
// after every line, local code page, no header. Plain functions over a list of
// entries; the window moves the list into and out of its playlist panel.
// Window's thread only.
//
// Loading, and which file becomes current (TPlayerState.PlaylistFile):
//   Missing    no file at the name: change nothing (rows, CurrentIndex, file).
//   Complete   every line was read: replace the rows with Entries,
//              CurrentIndex = -1, and make the file current.
//   Malformed  a line's SongId is not a whole number: reading stopped there.
//              Replace the rows with Entries (the lines before it), show Error,
//              CurrentIndex = -1, and make NO file current (PlaylistFile empty).
//              Later saves then write nothing until the user creates a list or
//              saves the list under a name, so the lines after the bad one are
//              never overwritten, neither in this file nor in the file that was
//              current before.
//   A file that exists but cannot be read throws lyrano::FileError before
//   anything is read: change nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/PlaylistEntry.h"

enum class TPlaylistReadStatus { Missing, Complete, Malformed };

struct TPlaylistReadResult {
  TPlaylistReadStatus Status = TPlaylistReadStatus::Missing;
  // The entries read, in file order; with Malformed, those before the bad line.
  std::vector<TPlaylistEntry> Entries;
  // With Malformed: "'<field>' is not a valid integer value".
  std::string Error;
  // With Malformed: 1-based number of the bad line among all lines of the file.
  size_t ErrorLine = 0;
};

// The current playlist file after a load of `fileName` with `result`, by the
// rule above: unchanged for Missing, `fileName` for Complete, none ("") for
// Malformed.
std::string CurrentFileAfterLoad(const TPlaylistReadResult& result, std::string_view fileName,
                                 std::string_view currentFile);

// Reads the playlist file `fileName` (local code page; opened with
// cp::AnsiToPath). A folder at the name counts as no file. Throws
// lyrano::FileError "Cannot open file "<name>". <reason>" when the file exists
// but cannot be read (no permission, not a regular file, larger than
// kMaxPlaylistFileBytes, an I/O error).
TPlaylistReadResult ReadPlaylistFile(std::string_view fileName);

// The same over text already in memory; Status is Complete or Malformed.
// Lines end at CR, LF or CR LF; a line without "|" is skipped; the fields are
// cut with funPub::SplitString and nothing is trimmed. A missing SongId field
// reads as 0, a missing path as empty, fields after the fourth are ignored.
TPlaylistReadResult ParsePlaylistText(std::string_view text);

// Title|geshou|SongId|mp3Patch with the path trimmed, followed by CR LF. Title
// and singer go through StorableText, so no road that skipped it can break the
// file.
std::string FormatPlaylistLine(const TPlaylistEntry& entry);
// Every entry's line; an empty list gives an empty text.
std::string FormatPlaylistText(const std::vector<TPlaylistEntry>& entries);

// Writes the entries to `fileName`; an empty name writes nothing. The text goes
// to a new file in the same folder, is flushed to disk and then renamed over the
// target, so a crash or a full disk leaves either the old or the new content,
// never a part. A target that is a symbolic link is replaced where it points.
// On failure the old file is left as it was, the temporary file is removed, and
// lyrano::FileError "Cannot create file "<name>". <reason>" is thrown.
void WritePlaylistFile(std::string_view fileName, const std::vector<TPlaylistEntry>& entries);

// Playlist files larger than this are refused as unreadable. A real list of
// 10,000 songs takes under 1 MB; a file of bare "|" lines costs about 50 times
// its size in memory as entries, so the cap also bounds that.
inline constexpr size_t kMaxPlaylistFileBytes = 16u << 20;
