#include "tags/ATL_WMAfile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>

using tags::TagFile;
using tags::TagResult;

namespace {

// GUIDs as stored: the first three fields little-endian.
constexpr char kHeaderObject[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
constexpr char kContentDescription[] =
    "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
constexpr char kExtendedContentDescription[] =
    "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50";
constexpr size_t kGuidSize = 16;
constexpr size_t kHeaderSize = 30;        // GUID, 64-bit size, 32-bit count, 2 reserved
constexpr size_t kObjectHeaderSize = 24;  // GUID, 64-bit size
constexpr size_t kMaxChars = 250;

constexpr uint16_t kTypeString = 0;
constexpr uint16_t kTypeDword = 3;

// The end of the walk when a read did not come back whole: a file that ends
// first keeps what was read, a failing read is an error. nullopt when it did.
std::optional<TagResult> WalkEnd(TagFile::Status status) {
  switch (status) {
    case TagFile::Status::Ok:
      return std::nullopt;
    case TagFile::Status::Short:
      return TagResult::Ok;
    case TagFile::Status::Error:
      break;
  }
  return TagResult::ReadError;
}

uint64_t LittleEndian64(std::string_view b, size_t pos) {
  return tags::LittleEndian(b, pos, 4) | (uint64_t{tags::LittleEndian(b, pos + 4, 4)} << 32);
}

// Reads fields of an object body that is already in memory; every read is
// measured against what remains and fails rather than run past it.
struct Cursor {
  std::string_view b;
  size_t pos = 0;

  bool Has(size_t n) const { return n <= b.size() - pos; }
  bool U16(uint32_t& v) {
    if (!Has(2)) return false;
    v = tags::LittleEndian(b, pos, 2);
    pos += 2;
    return true;
  }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    pos += n;
    return true;
  }
  // A UTF-16LE string of `bytes` bytes: at most the first `maxChars`
  // characters are kept, the rest (an odd last byte included) passed over.
  bool String(size_t bytes, std::u16string& out, size_t maxChars = kMaxChars) {
    if (!Has(bytes)) return false;
    size_t keep = std::min(bytes / 2, maxChars) * 2;
    out = tags::Utf16Bytes(b.substr(pos, keep), false);
    pos += bytes;
    return true;
  }
};

bool EqualsNoCase(const std::u16string& a, std::string_view ascii) {
  if (a.size() != ascii.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t c = a[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    char d = ascii[i];
    if (d >= 'a' && d <= 'z') d = static_cast<char>(d - 'a' + 'A');
    if (c != static_cast<char16_t>(d)) return false;
  }
  return true;
}

}  // namespace

TagResult TWMAfile::ReadFromFile(const std::string& path) {
  valid_ = false;
  title_.clear();
  artist_.clear();
  lyrics_.clear();
  TagFile file;
  if (TagResult r = file.Open(path); r != TagResult::Ok) return r;
  std::array<char, kHeaderSize> h{};
  // A file too short for the header is no ASF file.
  if (auto end = WalkEnd(file.ReadAt(0, h.data(), h.size()))) return *end;
  std::string_view hv(h.data(), h.size());
  if (std::memcmp(hv.data(), kHeaderObject, kGuidSize) != 0) return TagResult::Ok;
  valid_ = true;
  // Child objects lie inside the header object; when its size is implausible
  // the file's end is the only bound left.
  uint64_t limit = file.Size();
  const uint64_t headerSize = LittleEndian64(hv, 16);
  if (headerSize >= kHeaderSize && headerSize < limit) limit = headerSize;
  const uint32_t count = tags::LittleEndian(hv, 24, 4);

  tags::FileWindow region(file, 0, limit);
  uint64_t pos = kHeaderSize;
  try {
    std::string oh;
    std::string body;
    for (uint32_t i = 0; i < count && limit - pos >= kObjectHeaderSize; ++i) {
      if (auto end = WalkEnd(region.Read(pos, kObjectHeaderSize, oh))) return *end;
      const uint64_t size = LittleEndian64(oh, 16);
      // A size below the object header would never move on.
      if (size < kObjectHeaderSize) break;
      const bool fits = size <= limit - pos;
      const bool content = std::memcmp(oh.data(), kContentDescription, kGuidSize) == 0;
      const bool extended = std::memcmp(oh.data(), kExtendedContentDescription, kGuidSize) == 0;
      if (content || extended) {
        // A damaged last object is read as far as it goes, then the walk ends.
        uint64_t bodySize = (fits ? size : limit - pos) - kObjectHeaderSize;
        if (auto end = WalkEnd(
                region.Read(pos + kObjectHeaderSize, static_cast<size_t>(bodySize), body))) {
          return *end;
        }
        if (content) {
          ReadContentDescription(body);
        } else {
          ReadExtendedContentDescription(body);
        }
      }
      if (!fits) break;
      pos += size;
    }
  } catch (const std::bad_alloc&) {
    return TagResult::OutOfMemory;
  }
  return TagResult::Ok;
}

void TWMAfile::ReadContentDescription(std::string_view body) {
  Cursor c{body};
  std::array<uint32_t, 5> lengths{};
  for (uint32_t& len : lengths) {
    if (!c.U16(len)) return;
  }
  for (size_t k = 0; k < lengths.size(); ++k) {
    if (lengths[k] == 0) continue;  // absent
    std::u16string s;
    if (!c.String(lengths[k], s)) return;
    if (k == 0) title_ = tags::CleanTagText(std::move(s));
    if (k == 1) artist_ = tags::CleanTagText(std::move(s));
  }
}

void TWMAfile::ReadExtendedContentDescription(std::string_view body) {
  Cursor c{body};
  uint32_t count = 0;
  if (!c.U16(count)) return;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t nameLen = 0;
    uint32_t type = 0;
    uint32_t valueLen = 0;
    std::u16string name;
    if (!c.U16(nameLen) || !c.String(nameLen, name) || !c.U16(type) || !c.U16(valueLen)) return;
    name = tags::CleanTagText(std::move(name));
    const bool lyrics = EqualsNoCase(name, "WM/LYRICS");
    std::u16string value;
    if (type == kTypeString) {
      if (!c.String(valueLen, value, lyrics ? valueLen : kMaxChars)) return;
    } else if (type == kTypeDword && valueLen >= 4) {
      if (!c.Has(valueLen)) return;
      std::string digits = std::to_string(tags::LittleEndian(c.b, c.pos, 4));
      value.assign(digits.begin(), digits.end());
      c.Skip(valueLen);
    } else {
      if (!c.Skip(valueLen)) return;
      continue;
    }
    if (EqualsNoCase(name, "WM/TITLE")) {
      title_ = tags::CleanTagText(std::move(value));
    } else if (EqualsNoCase(name, "WM/AUTHOR")) {
      artist_ = tags::CleanTagText(std::move(value));
    } else if (lyrics && type == kTypeString) {
      lyrics_ = tags::CleanTagText(std::move(value));
    }
  }
}
