#include "tags/Mp3FileUtils.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

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

// The end of a tag read whose fixed-size block did not come back whole: a file
// ending first has no tag, a failing read is reported with the file's text.
// nullopt when the block was read.
std::optional<TagResult> BlockReadFailure(TagFile::Status status, const TagFile& file,
                                          std::string& error) {
  switch (status) {
    case TagFile::Status::Ok:
      return std::nullopt;
    case TagFile::Status::Short:
      return TagResult::NoTag;
    case TagFile::Status::Error:
      break;
  }
  error = file.ErrorText();
  return TagResult::ReadError;
}

}  // namespace

TagResult TID3v1Tag::ReadFromFile(const std::string& path) {
  title_.clear();
  artist_.clear();
  TagFile file;
  if (TagResult r = file.Open(path); r != TagResult::Ok) return r;
  if (file.Size() < kV1Size) return TagResult::NoTag;
  std::array<char, kV1Size> tag{};
  if (auto failed = BlockReadFailure(file.ReadAt(file.Size() - kV1Size, tag.data(), tag.size()),
                                     file, error_)) {
    return *failed;
  }
  std::string_view v(tag.data(), tag.size());
  if (v.substr(0, 3) != "TAG") return TagResult::NoTag;
  title_ = tags::CleanTagText(tags::AnsiToText(v.substr(3, 30)));
  artist_ = tags::CleanTagText(tags::AnsiToText(v.substr(33, 30)));
  return TagResult::Ok;
}

TagResult TID3v2Tag::ReadFromFile(const std::string& path) {
  title_.clear();
  artist_.clear();
  lyrics_ = {};
  version_ = 0;
  tagSize_ = 0;
  TagFile file;
  if (TagResult r = file.Open(path); r != TagResult::Ok) return r;
  std::array<char, kV2HeaderSize> h{};
  if (auto failed = BlockReadFailure(file.ReadAt(0, h.data(), h.size()), file, error_)) {
    return *failed;
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

  // Without whole-tag unsynchronisation the frames are walked in the file
  // itself and only the wanted ones are read, so a large picture costs nothing.
  // With it, frame sizes count the resynchronised bytes: the tag is read whole
  // (never more than the file holds) and walked in memory.
  tags::FileWindow window(file, kV2HeaderSize,
                          std::min<uint64_t>(size, file.Size() - kV2HeaderSize));
  FrameSource source{&window, {}, window.Size()};
  try {
    if (version < 4 && (flags & kUnsync)) {
      std::string raw;
      if (file.ReadUpTo(kV2HeaderSize, size, raw) == TagFile::Status::Error) {
        error_ = file.ErrorText();
        return TagResult::ReadError;
      }
      source.memory = tags::Resynchronise(raw);
      source.file = nullptr;
      source.size = source.memory.size();
    }
    TagResult r = ReadFrames(source, flags);
    if (r == TagResult::ReadError) error_ = file.ErrorText();
    return r;
  } catch (const std::bad_alloc&) {
    error_ = "Out of memory while reading the tag of \"" + path + "\"";
    return TagResult::OutOfMemory;
  }
}

TagFile::Status TID3v2Tag::FrameSource::Read(uint64_t offset, size_t n, std::string& out) {
  if (file != nullptr) return file->Read(offset, n, out);
  out.assign(memory, static_cast<size_t>(offset), n);
  return TagFile::Status::Ok;
}

TagResult TID3v2Tag::ReadFrames(FrameSource& source, uint8_t flags) {
  const uint64_t end = source.size;
  uint64_t pos = 0;
  std::string bytes;
  if (version_ >= 3 && (flags & kExtendedHeader)) {
    if (end < 4) return TagResult::Corrupt;
    if (TagFile::Status s = source.Read(0, 4, bytes); s != TagFile::Status::Ok) {
      return s == TagFile::Status::Error ? TagResult::ReadError : TagResult::Corrupt;
    }
    // Version 3 counts the bytes after the size field; version 4 counts the
    // whole extended header, size field included.
    uint64_t skip = 0;
    if (version_ == 3) {
      skip = tags::BigEndian(bytes, 0, 4);
    } else {
      uint32_t whole = tags::Synchsafe(bytes, 0);
      if (whole < 6) return TagResult::Corrupt;
      skip = whole - 4;
    }
    if (skip > end - 4) return TagResult::Corrupt;
    pos = 4 + skip;
  }
  const char* titleId = version_ == 2 ? "TT2" : "TIT2";
  const char* artistId = version_ == 2 ? "TP1" : "TPE1";
  const char* syncedId = version_ == 2 ? "SLT" : "SYLT";
  const char* unsyncedId = version_ == 2 ? "ULT" : "USLT";
  const size_t headerSize = TID3v2Frame::HeaderSize(version_);
  bool haveTitle = false;
  bool haveArtist = false;
  // Without lyrics wanted, they count as found: the walk ends with the texts.
  bool haveSynced = !wantLyrics_;
  bool haveUnsynced = !wantLyrics_;
  TID3v2Frame frame;
  while (!(haveTitle && haveArtist && haveSynced) && end - pos >= headerSize) {
    TagFile::Status s = source.Read(pos, headerSize, bytes);
    if (s == TagFile::Status::Error) return TagResult::ReadError;
    if (s == TagFile::Status::Short || !frame.ReadHeader(bytes, version_)) break;
    pos += headerSize;
    // A frame running past the tag (or the file) ends the walk; the frames
    // before it stand.
    if (frame.Size() > end - pos) break;
    const bool title = !haveTitle && frame.ID() == titleId;
    const bool artist = !haveArtist && frame.ID() == artistId;
    const bool lyric = frame.Size() <= tags::kMaxLyricFrameBytes;
    const bool synced = lyric && !haveSynced && frame.ID() == syncedId;
    const bool unsynced = lyric && !haveUnsynced && frame.ID() == unsyncedId;
    if (title || artist || synced || unsynced) {
      s = source.Read(pos, frame.Size(), bytes);
      if (s == TagFile::Status::Error) return TagResult::ReadError;
      if (s == TagFile::Status::Short) break;
      frame.SetData(std::move(bytes));
      if (title || artist) {
        (title ? title_ : artist_) = frame.GetText();
        (title ? haveTitle : haveArtist) = true;
      } else if (synced) {
        lyrics_.Timed = frame.GetSyncedLyrics();
        haveSynced = !lyrics_.Timed.empty();
      } else {
        lyrics_.Text = frame.GetUnsyncedLyrics();
        haveUnsynced = !lyrics_.Text.empty();
      }
    }
    pos += frame.Size();
  }
  return TagResult::Ok;
}
