// What the tag readers share: the outcome of a read, a read-only file handle
// that tells the end of a file from a failing disk, and the text clean-up every
// reader applies. Internal to src/tags; callers use the reader classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tags {

// Outcome of one reader's read. Only ReadError and OutOfMemory carry a message
// worth showing the user; the rest are what a file without (good) tags gives.
enum class TagResult {
  Ok,           // the tag was read; its texts may still be empty
  NoFile,       // missing, not a regular file, or not openable
  NoTag,        // no tag of this kind, or the file ends before its header does
  Corrupt,      // a header field that cannot be right (for example a size past the file)
  ReadError,    // the file system failed while reading
  OutOfMemory,  // a tag too large to hold in memory
};

const char* DescribeTagResult(TagResult result);

// True when the failure is one the user should hear about (the file is there and
// has something, but the machine could not read it).
inline bool IsReportable(TagResult result) {
  return result == TagResult::ReadError || result == TagResult::OutOfMemory;
}

// A file opened read-only for the life of the object. Reads are positioned, so
// one handle serves readers that jump around the file.
class TagFile {
 public:
  enum class Status { Ok, Short, Error };

  TagFile() = default;
  ~TagFile();
  TagFile(const TagFile&) = delete;
  TagFile& operator=(const TagFile&) = delete;

  // Opens `ansiPath` (local code page) for reading. Refuses anything that is not
  // a regular file, so a FIFO or a device can never block or flood a reader.
  TagResult Open(const std::string& ansiPath);
  uint64_t Size() const { return size_; }

  // Reads exactly `n` bytes at `offset`. Short when the file ends first, Error
  // when the system call fails (see ErrorText()).
  Status ReadAt(uint64_t offset, void* dst, size_t n);
  // Reads up to `n` bytes at `offset` into `out`, fewer when the file ends.
  Status ReadUpTo(uint64_t offset, size_t n, std::string& out);

  // "Cannot read file "<path>". <reason>" for the last failed read.
  const std::string& ErrorText() const { return error_; }

 private:
  Status Read(uint64_t offset, char* dst, size_t n, size_t& got);

  int fd_ = -1;
  uint64_t size_ = 0;
  std::string path_;
  std::string error_;
};

// Reads a region [base, base + size) of a file through a window of 16 KB, so a
// walk over many small records costs one system call per window, not per
// record. Reads larger than the window go straight to the file.
class FileWindow {
 public:
  FileWindow(TagFile& file, uint64_t base, uint64_t size) : file_(file), base_(base), size_(size) {}
  uint64_t Size() const { return size_; }
  // Exactly `n` bytes at `offset` of the region, which the caller has measured
  // against Size(). Short when the file has shrunk.
  TagFile::Status Read(uint64_t offset, size_t n, std::string& out);

 private:
  TagFile& file_;
  uint64_t base_;
  uint64_t size_;
  std::string window_;
  uint64_t windowStart_ = 0;
};

// One line of timed lyrics: when it starts, in milliseconds, and its text.
struct TTimedText {
  uint32_t Ms = 0;
  std::u16string Text;
};

// Lyrics stored in a tag: timed lines in ascending order of time, and a whole
// text kept as written (it may hold LRC time tags, or none). Either may be empty.
struct TTagLyrics {
  std::vector<TTimedText> Timed;
  std::u16string Text;
  bool Empty() const { return Timed.empty() && Text.empty(); }
};

// A lyrics frame or attribute larger than this holds no lyrics worth reading
// (real ones take a few kilobytes) and is passed over unread.
inline constexpr uint32_t kMaxLyricFrameBytes = 1u << 20;

// Removes characters up to U+0020 (blanks, control characters, NUL) at both
// ends, then cuts at a NUL left inside: what follows a NUL in a tag field is
// either a further value or leftover bytes, never part of the title.
std::u16string CleanTagText(std::u16string text);

// Byte-order helpers over a view the caller has already measured.
inline uint32_t BigEndian(std::string_view b, size_t pos, size_t n) {
  uint32_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | static_cast<unsigned char>(b[pos + i]);
  return v;
}
inline uint32_t Synchsafe(std::string_view b, size_t pos) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 7) | (static_cast<unsigned char>(b[pos + i]) & 0x7F);
  return v;
}
inline uint32_t LittleEndian(std::string_view b, size_t pos, size_t n) {
  uint32_t v = 0;
  for (size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[pos + i]);
  return v;
}

// Local code page / UTF-8 to UTF-16 and back, going straight through for plain
// ASCII, the common case in tags (a full conversion opens a converter each time).
std::u16string AnsiToText(std::string_view ansi);
std::u16string Utf8ToText(std::string_view utf8);
std::string TextToAnsi(std::u16string_view text);

// UTF-16 bytes to text; an odd last byte is dropped.
std::u16string Utf16Bytes(std::string_view bytes, bool bigEndian);

}  // namespace tags
