#include "tags/TagIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/codepage.h"

namespace tags {

const char* DescribeTagResult(TagResult result) {
  switch (result) {
    case TagResult::Ok:
      return "tag read";
    case TagResult::NoFile:
      return "no readable file";
    case TagResult::NoTag:
      return "no tag";
    case TagResult::Corrupt:
      return "corrupt tag";
    case TagResult::ReadError:
      return "read error";
    case TagResult::OutOfMemory:
      return "out of memory";
  }
  return "unknown tag result";
}

TagFile::~TagFile() {
  if (fd_ >= 0) ::close(fd_);
}

TagResult TagFile::Open(const std::string& ansiPath) {
  path_ = ansiPath;
  std::string native = cp::AnsiToPath(ansiPath).string();
  // O_NONBLOCK keeps open() itself from waiting on a FIFO; regular files ignore it.
  fd_ = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return TagResult::NoFile;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return TagResult::NoFile;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  return TagResult::Ok;
}

TagFile::Status TagFile::Read(uint64_t offset, char* dst, size_t n, size_t& got) {
  got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd_, dst + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      error_ = "Cannot read file \"" + path_ + "\". " + cp::Utf8ToAnsi(std::strerror(errno));
      return Status::Error;
    }
    if (r == 0) return Status::Short;
    got += static_cast<size_t>(r);
  }
  return Status::Ok;
}

TagFile::Status TagFile::ReadAt(uint64_t offset, void* dst, size_t n) {
  size_t got = 0;
  return Read(offset, static_cast<char*>(dst), n, got);
}

TagFile::Status TagFile::ReadUpTo(uint64_t offset, size_t n, std::string& out) {
  uint64_t avail = offset < size_ ? size_ - offset : 0;
  out.resize(static_cast<size_t>(std::min<uint64_t>(n, avail)));
  size_t got = 0;
  Status s = Read(offset, out.data(), out.size(), got);
  // The file may have shrunk since Open(): what arrived is the whole.
  out.resize(got);
  return s == Status::Short ? Status::Ok : s;
}

TagFile::Status FileWindow::Read(uint64_t offset, size_t n, std::string& out) {
  constexpr size_t kWindow = 16 * 1024;
  if (n > kWindow) {
    out.resize(n);
    return file_.ReadAt(base_ + offset, out.data(), n);
  }
  if (offset < windowStart_ || offset + n > windowStart_ + window_.size()) {
    windowStart_ = offset;
    size_t want = static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - offset));
    if (file_.ReadUpTo(base_ + offset, want, window_) == TagFile::Status::Error) {
      window_.clear();
      return TagFile::Status::Error;
    }
    if (window_.size() < n) return TagFile::Status::Short;
  }
  out.assign(window_, static_cast<size_t>(offset - windowStart_), n);
  return TagFile::Status::Ok;
}

std::u16string CleanTagText(std::u16string text) {
  auto trim = [](std::u16string& t) {
    size_t b = 0;
    while (b < t.size() && t[b] <= u' ') ++b;
    size_t e = t.size();
    while (e > b && t[e - 1] <= u' ') --e;
    t = t.substr(b, e - b);
  };
  trim(text);
  size_t nul = text.find(u'\0');
  if (nul != std::u16string::npos) {
    text.resize(nul);
    trim(text);
  }
  return text;
}

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsAscii(std::u16string_view text) {
  for (char16_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::u16string AnsiToText(std::string_view ansi) {
  if (IsAscii(ansi)) return std::u16string(ansi.begin(), ansi.end());
  return cp::AnsiToUtf16(ansi);
}

std::u16string Utf8ToText(std::string_view utf8) {
  if (IsAscii(utf8)) return std::u16string(utf8.begin(), utf8.end());
  return cp::AnsiToUtf16(cp::Utf8ToAnsi(utf8));
}

std::string TextToAnsi(std::u16string_view text) {
  if (IsAscii(text)) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
    return out;
  }
  return cp::Utf16ToAnsi(text);
}

std::u16string Utf16Bytes(std::string_view bytes, bool bigEndian) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    auto a = static_cast<unsigned char>(bytes[2 * i]);
    auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  return out;
}

}  // namespace tags
