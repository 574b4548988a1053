// Whole-file reading with the system's calls, for the small text files the
// program keeps (lyrics, playlists, profiles). No shared state: thread-safe.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace fileio {

// An owned file descriptor, closed when the owner goes.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) noexcept : fd_(fd) {}
  ~UniqueFd() { Close(); }
  UniqueFd(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd& operator=(UniqueFd&&) = delete;

  int get() const { return fd_; }
  // Gives up ownership without closing.
  int release();
  // Closes now; false (errno set) when the close reported an error.
  bool Close();

 private:
  int fd_;
};

enum class ReadStatus {
  Ok,       // Bytes holds the whole file
  Missing,  // nothing at the path (or a path through a file)
  Folder,   // a folder at the path
  Failed,   // it exists but cannot be read: Error says why
};

struct ReadResult {
  ReadStatus Status = ReadStatus::Missing;
  std::string Bytes;
  // With Failed, an errno value: the one the system gave, EINVAL for something
  // other than a regular file (a FIFO, a device), EFBIG above the cap.
  int Error = 0;
};

// Reads the regular file at `path` whole, refusing one of more than `maxBytes`
// bytes (also when it grows past the cap while being read). Opens without
// blocking, so a FIFO at the path fails at once instead of stalling.
ReadResult ReadWholeFile(const std::filesystem::path& path, size_t maxBytes);

// The same for a name in the local code page, for callers that count a folder
// as no file: nullopt when nothing (or a folder) is at `name`. Throws
// lyrano::FileError "Cannot open file "<name>". <reason>" when it cannot be read.
std::optional<std::string> ReadFileIfPresent(std::string_view name, size_t maxBytes);

// Replaces the content of the file at `path` with `bytes` in one step: the
// bytes go to a new file beside it, are flushed to disk and the new file is
// renamed over the old one, so a crash, a kill or a full disk leaves either the
// old or the new content, never a mix. A link is followed and the file it
// points at replaced; the old file's permissions are kept. Only a regular file
// (or nothing) is replaced: a folder gives EISDIR, a FIFO or a device EINVAL.
// After a successful replacement the temporary files that earlier, killed
// saves of the same file left behind are removed. Returns 0, or the errno value
// of the step that failed (the old file is then as it was and the temporary
// file gone).
int ReplaceFileContent(const std::filesystem::path& path, std::string_view bytes);

// The system's text for the errno value `err`, in the local code page.
std::string SystemErrorText(int err);

}  // namespace fileio
