// The two ID3 readers. Each object reads one file once: ReadFromFile opens the
// file read-only, reads the tag, closes the file and reports the outcome; the
// texts are valid after an Ok result and are cleaned (blanks, control
// characters and NUL trimmed). Not thread-safe per object; separate objects may
// be used on separate threads.
#pragma once

#include <cstdint>
#include <string>

#include "tags/TagIO.h"

// ID3v1 and ID3v1.1: the last 128 bytes of the file, starting "TAG".
class TID3v1Tag {
 public:
  // `path` in the local code page. NoFile, NoTag (also for files under 128
  // bytes), ReadError (ErrorText() says why) or Ok.
  tags::TagResult ReadFromFile(const std::string& path);

  const std::u16string& Title() const { return title_; }
  const std::u16string& Artist() const { return artist_; }
  const std::string& ErrorText() const { return error_; }

 private:
  std::u16string title_;
  std::u16string artist_;
  std::string error_;
};

// ID3v2.2, 2.3 and 2.4 at the start of the file. Only the wanted frames are
// read into memory (the whole tag when it is unsynchronised), never more than
// the file holds. Frames are taken while they fit: a frame running past the tag
// or the file ends the walk and the frames before it stand.
class TID3v2Tag {
 public:
  // Reads the lyrics frames as well (left out by default: titles are read for
  // whole lists of files, lyrics for the one song that starts).
  void WantLyrics() { wantLyrics_ = true; }

  // `path` in the local code page. NoFile, NoTag (no "ID3", an unknown version,
  // a compressed version 2 tag), Corrupt (an extended header larger than the
  // tag), ReadError / OutOfMemory (ErrorText() says why) or Ok.
  tags::TagResult ReadFromFile(const std::string& path);

  // From the first TIT2 / TT2 and the first TPE1 / TP1 frame; empty when absent
  // or when that frame's content is not usable.
  const std::u16string& Title() const { return title_; }
  const std::u16string& Artist() const { return artist_; }
  // With WantLyrics: the lines of the first SYLT / SLT frame that yields any,
  // and the text of the first USLT / ULT frame that holds one. Frames larger
  // than tags::kMaxLyricFrameBytes are passed over.
  const tags::TTagLyrics& Lyrics() const { return lyrics_; }
  int MajorVersion() const { return version_; }
  // Header, frames and footer as the header declares them.
  uint64_t TagSize() const { return tagSize_; }
  const std::string& ErrorText() const { return error_; }

 private:
  // The bytes after the tag header: the file itself, or the resynchronised tag
  // in memory. Offsets are measured by the caller against `size`.
  struct FrameSource {
    tags::FileWindow* file;
    std::string memory;
    uint64_t size;
    tags::TagFile::Status Read(uint64_t offset, size_t n, std::string& out);
  };
  tags::TagResult ReadFrames(FrameSource& source, uint8_t flags);

  std::u16string title_;
  std::u16string artist_;
  tags::TTagLyrics lyrics_;
  bool wantLyrics_ = false;
  int version_ = 0;
  uint64_t tagSize_ = 0;
  std::string error_;
};
