#include "playlist/PlaylistFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include "common/FileIO.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"

namespace fs = std::filesystem;

namespace {

using Fd = fileio::UniqueFd;

[[noreturn]] void ThrowCreateError(std::string_view name, int err) {
  throw lyrano::FileError("Cannot create file \"" + std::string(name) + "\". " +
                          fileio::SystemErrorText(err));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A new, empty file beside `target`, named after it; the name goes to `tmp`.
Fd CreateTemporary(const fs::path& target, fs::path& tmp) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // Keep the name well under the 255-byte limit of one path component.
  std::string base = target.filename().string().substr(0, 120);
  std::random_device rd;
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[17];
    unsigned long long r = (static_cast<unsigned long long>(rd()) << 32) ^ rd();
    auto [end, ec] = std::to_chars(suffix, suffix + sizeof suffix - 1, r, 16);
    (void)ec;
    tmp = folder / ("." + base + "." + std::string(suffix, end) + ".tmp");
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return Fd();
}

}  // namespace

TPlaylistReadResult ParsePlaylistText(std::string_view text) {
  TPlaylistReadResult result;
  result.Status = TPlaylistReadStatus::Complete;
  size_t lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    std::string_view line = funPub::NextLine(text, start);
    ++lineNo;
    if (line.find('|') == std::string_view::npos) continue;
    std::vector<std::string> fields = funPub::SplitString(line, "|");
    TPlaylistEntry entry;
    entry.Title = std::move(fields[0]);
    entry.geshou = std::move(fields[1]);
    try {
      entry.SongId = fields.size() >= 3 ? funPub::StrToInt(fields[2]) : 0;
    } catch (const lyrano::ConvertError& e) {
      result.Status = TPlaylistReadStatus::Malformed;
      result.Error = e.what();
      result.ErrorLine = lineNo;
      return result;
    }
    if (fields.size() >= 4) entry.mp3Patch = std::move(fields[3]);
    result.Entries.push_back(std::move(entry));
  }
  return result;
}

TPlaylistReadResult ReadPlaylistFile(std::string_view fileName) {
  std::optional<std::string> bytes = fileio::ReadFileIfPresent(fileName, kMaxPlaylistFileBytes);
  if (!bytes) return {};
  return ParsePlaylistText(*bytes);
}

std::string CurrentFileAfterLoad(const TPlaylistReadResult& result, std::string_view fileName,
                                 std::string_view currentFile) {
  switch (result.Status) {
    case TPlaylistReadStatus::Complete:
      return std::string(fileName);
    case TPlaylistReadStatus::Malformed:
      return std::string();
    case TPlaylistReadStatus::Missing:
      break;
  }
  return std::string(currentFile);
}

std::string FormatPlaylistLine(const TPlaylistEntry& entry) {
  char id[16];
  auto [end, ec] = std::to_chars(id, id + sizeof id, entry.SongId);
  (void)ec;
  std::string line;
  line.reserve(entry.Title.size() + entry.geshou.size() + entry.mp3Patch.size() + 20);
  line += entry.Title;
  line += '|';
  line += entry.geshou;
  line += '|';
  line.append(id, end);
  line += '|';
  line += funPub::Trim(entry.mp3Patch);
  line += "\r\n";
  return line;
}

std::string FormatPlaylistText(const std::vector<TPlaylistEntry>& entries) {
  std::string text;
  for (const TPlaylistEntry& entry : entries) text += FormatPlaylistLine(entry);
  return text;
}

void WritePlaylistFile(std::string_view fileName, const std::vector<TPlaylistEntry>& entries) {
  if (fileName.empty()) return;
  const std::string text = FormatPlaylistText(entries);
  fs::path target = cp::AnsiToPath(fileName);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // Renaming would replace a file we may not write to: refuse as a plain
  // overwrite would.
  if (exists && !S_ISDIR(old.st_mode) && ::access(target.c_str(), W_OK) != 0) {
    ThrowCreateError(fileName, errno);
  }

  fs::path tmp;
  Fd fd = CreateTemporary(target, tmp);
  if (fd.get() < 0) ThrowCreateError(fileName, errno);
  auto fail = [&](int err) {
    fd.Close();
    ::unlink(tmp.c_str());
    ThrowCreateError(fileName, err);
  };
  if (exists && S_ISREG(old.st_mode)) ::fchmod(fd.get(), old.st_mode & 07777);
  if (!WriteAll(fd.get(), text)) fail(errno);
  if (::fdatasync(fd.get()) != 0) fail(errno);
  if (!fd.Close()) fail(errno);
  if (::rename(tmp.c_str(), target.c_str()) != 0) fail(errno);
  // Make the rename itself durable; the data is already safe either way.
  fs::path folder = target.parent_path();
  Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}
