#include "common/FileIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <random>
#include <system_error>
#include <utility>

#include "common/codepage.h"
#include "common/errors.h"

namespace fs = std::filesystem;

namespace fileio {

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

int UniqueFd::release() {
  return std::exchange(fd_, -1);
}

bool UniqueFd::Close() {
  if (fd_ < 0) return true;
  int rc = ::close(std::exchange(fd_, -1));
  return rc == 0;
}

namespace {

ReadResult Failure(int err) {
  ReadResult r;
  r.Status = ReadStatus::Failed;
  r.Error = err;
  return r;
}

}  // namespace

ReadResult ReadWholeFile(const std::filesystem::path& path, size_t maxBytes) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    int err = errno;
    if (err == ENOENT || err == ENOTDIR) return {};
    return Failure(err);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Failure(errno);
  if (S_ISDIR(st.st_mode)) {
    ReadResult r;
    r.Status = ReadStatus::Folder;
    return r;
  }
  if (!S_ISREG(st.st_mode)) return Failure(EINVAL);
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
    return Failure(EFBIG);
  }
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t filled = 0;
  while (true) {
    // The file may have grown since fstat; read on to its end, within the cap.
    if (filled == bytes.size()) {
      if (bytes.size() >= maxBytes) {
        char probe = 0;
        ssize_t n = ::read(fd.get(), &probe, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failure(errno);
        if (n > 0) return Failure(EFBIG);
        break;
      }
      bytes.resize(std::min(maxBytes, std::max<size_t>(bytes.size() * 2, 4096)));
    }
    ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure(errno);
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  bytes.resize(filled);
  ReadResult r;
  r.Status = ReadStatus::Ok;
  r.Bytes = std::move(bytes);
  return r;
}

std::optional<std::string> ReadFileIfPresent(std::string_view name, size_t maxBytes) {
  ReadResult r = ReadWholeFile(cp::AnsiToPath(name), maxBytes);
  switch (r.Status) {
    case ReadStatus::Ok:
      return std::move(r.Bytes);
    case ReadStatus::Missing:
    case ReadStatus::Folder:
      return std::nullopt;
    case ReadStatus::Failed:
      break;
  }
  throw lyrano::FileError("Cannot open file \"" + std::string(name) + "\". " +
                          SystemErrorText(r.Error));
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The start of the names of `target`'s temporary files: ".<name>." (the name
// cut well under the 255-byte limit of one path component).
std::string TemporaryPrefix(const fs::path& target) {
  return "." + target.filename().string().substr(0, 120) + ".";
}

bool IsTemporaryName(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() + 4 || name.substr(0, prefix.size()) != prefix) return false;
  std::string_view middle = name.substr(prefix.size());
  if (middle.substr(middle.size() - 4) != ".tmp") return false;
  middle.remove_suffix(4);
  if (middle.empty() || middle.size() > 16) return false;
  return std::all_of(middle.begin(), middle.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A new, empty file beside `target`, locked for as long as it is open so that
// another save can tell it from the leftover of a killed one.
UniqueFd CreateTemporary(const fs::path& folder, const std::string& prefix, fs::path& tmp) {
  std::random_device rd;
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[17];
    unsigned long long r = (static_cast<unsigned long long>(rd()) << 32) ^ rd();
    auto [end, ec] = std::to_chars(suffix, suffix + sizeof suffix - 1, r, 16);
    (void)ec;
    tmp = folder / (prefix + std::string(suffix, end) + ".tmp");
    UniqueFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() >= 0) {
      ::flock(fd.get(), LOCK_EX);
      return fd;
    }
    if (errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return UniqueFd();
}

// Removes the temporary files of earlier saves of the same file whose writer
// is gone (killed or crashed): nobody holds their lock any more.
void RemoveLeftovers(const fs::path& folder, const std::string& prefix) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (!IsTemporaryName(p.filename().string(), prefix)) continue;
    UniqueFd fd(::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) continue;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) ::unlink(p.c_str());
  }
}

}  // namespace

int ReplaceFileContent(const fs::path& path, std::string_view bytes) {
  fs::path target = path;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    // Replace the file the link points at, not the link.
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // Only a regular file is replaced: renaming over a folder, a FIFO or a
  // device would destroy what is there instead of writing to it.
  if (exists && S_ISDIR(old.st_mode)) return EISDIR;
  if (exists && !S_ISREG(old.st_mode)) return EINVAL;
  // Renaming would replace a file we may not write to: refuse as a plain
  // overwrite would.
  if (exists && ::access(target.c_str(), W_OK) != 0) return errno;

  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const std::string prefix = TemporaryPrefix(target);
  fs::path tmp;
  UniqueFd fd = CreateTemporary(folder, prefix, tmp);
  if (fd.get() < 0) return errno;
  auto fail = [&](int err) {
    fd.Close();
    ::unlink(tmp.c_str());
    return err;
  };
  // Keep the permissions of the file we replace; a new one gets the usual.
  if (exists) ::fchmod(fd.get(), old.st_mode & 07777);
  if (!WriteAll(fd.get(), bytes)) return fail(errno);
  if (::fdatasync(fd.get()) != 0) return fail(errno);
  // Renamed while still open and locked, so no other save takes it for a
  // leftover in between.
  if (::rename(tmp.c_str(), target.c_str()) != 0) return fail(errno);
  fd.Close();
  // Make the rename itself durable; the data is already safe either way.
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  RemoveLeftovers(folder, prefix);
  return 0;
}

std::string SystemErrorText(int err) {
  return cp::Utf8ToAnsi(std::generic_category().message(err));
}

}  // namespace fileio
