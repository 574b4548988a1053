#include "common/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "common/codepage.h"
#include "common/errors.h"

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

std::string SystemErrorText(int err) {
  return cp::Utf8ToAnsi(std::generic_category().message(err));
}

}  // namespace fileio
