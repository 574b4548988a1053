#include "tags/Mp3FileUtils.h"

#include <array>
#include <new>

#include "common/codepage.h"
#include "tags/ID3v2Frames.h"

using tags::TagFile;
using tags::TagResult;

namespace {

constexpr size_t kV1Size = 128;
constexpr size_t kV2HeaderSize = 10;

// Header flags.
constexpr uint8_t kUnsync = 0x80;
constexpr uint8_t kV2Compression = 0x40;
constexpr uint8_t kExtendedHeader = 0x40;
constexpr uint8_t kFooter = 0x10;

}  // namespace

TagResult TID3v1Tag::ReadFromFile(const std::string& path) {
  title_.clear();
  artist_.clear();
  TagFile file;
  if (TagResult r = file.Open(path); r != TagResult::Ok) return r;
  if (file.Size() < kV1Size) return TagResult::NoTag;
  std::array<char, kV1Size> tag{};
  switch (file.ReadAt(file.Size() - kV1Size, tag.data(), tag.size())) {
    case TagFile::Status::Ok:
      break;
    case TagFile::Status::Short:
      return TagResult::NoTag;
    case TagFile::Status::Error:
      error_ = file.ErrorText();
      return TagResult::ReadError;
  }
  std::string_view v(tag.data(), tag.size());
  if (v.substr(0, 3) != "TAG") return TagResult::NoTag;
  title_ = tags::CleanTagText(cp::AnsiToUtf16(v.substr(3, 30)));
  artist_ = tags::CleanTagText(cp::AnsiToUtf16(v.substr(33, 30)));
  return TagResult::Ok;
}

TagResult TID3v2Tag::ReadFromFile(const std::string& path) {
  title_.clear();
  artist_.clear();
  version_ = 0;
  tagSize_ = 0;
  TagFile file;
  if (TagResult r = file.Open(path); r != TagResult::Ok) return r;
  std::array<char, kV2HeaderSize> h{};
  switch (file.ReadAt(0, h.data(), h.size())) {
    case TagFile::Status::Ok:
      break;
    case TagFile::Status::Short:
      return TagResult::NoTag;
    case TagFile::Status::Error:
      error_ = file.ErrorText();
      return TagResult::ReadError;
  }
  std::string_view hv(h.data(), h.size());
  if (hv.substr(0, 3) != "ID3") return TagResult::NoTag;
  const int version = static_cast<unsigned char>(hv[3]);
  const auto flags = static_cast<uint8_t>(hv[5]);
  if (version < 2 || version > 4) return TagResult::NoTag;
  if (version == 2 && (flags & kV2Compression)) return TagResult::NoTag;
  version_ = version;
  const uint32_t size = tags::Synchsafe(hv, 6);
  tagSize_ = uint64_t{size} + kV2HeaderSize + ((version == 4 && (flags & kFooter)) ? 10 : 0);

  try {
    // ReadUpTo never reads (or allocates) past the end of the file, whatever
    // the header claims; frames that do not fit are dropped by the walk.
    std::string body;
    if (file.ReadUpTo(kV2HeaderSize, size, body) == TagFile::Status::Error) {
      error_ = file.ErrorText();
      return TagResult::ReadError;
    }
    if (version < 4 && (flags & kUnsync)) body = tags::Resynchronise(body);
    return ReadFrames(body, flags);
  } catch (const std::bad_alloc&) {
    error_ = "Out of memory while reading the tag of \"" + path + "\"";
    return TagResult::OutOfMemory;
  }
}

TagResult TID3v2Tag::ReadFrames(std::string_view frames, uint8_t flags) {
  size_t pos = 0;
  if (version_ >= 3 && (flags & kExtendedHeader)) {
    if (frames.size() < 4) return TagResult::Corrupt;
    // Version 3 counts the bytes after the size field; version 4 counts the
    // whole extended header, size field included.
    uint64_t skip = 0;
    if (version_ == 3) {
      skip = tags::BigEndian(frames, 0, 4);
    } else {
      uint32_t whole = tags::Synchsafe(frames, 0);
      if (whole < 6) return TagResult::Corrupt;
      skip = whole - 4;
    }
    if (skip > frames.size() - 4) return TagResult::Corrupt;
    pos = 4 + static_cast<size_t>(skip);
  }
  const char* titleId = version_ == 2 ? "TT2" : "TIT2";
  const char* artistId = version_ == 2 ? "TP1" : "TPE1";
  bool haveTitle = false;
  bool haveArtist = false;
  TID3v2Frame frame;
  while (!(haveTitle && haveArtist) &&
         frame.ReadFrom(frames, pos, version_) == TID3v2Frame::Parse::Frame) {
    if (!haveTitle && frame.ID() == titleId) {
      haveTitle = true;
      title_ = frame.GetText();
    } else if (!haveArtist && frame.ID() == artistId) {
      haveArtist = true;
      artist_ = frame.GetText();
    }
  }
  return TagResult::Ok;
}
