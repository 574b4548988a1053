// Builds tag bytes by hand so every version, flag and encoding can be tried.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/ID3v2Frames.h"

namespace tagbytes {

inline std::string BE(uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
inline std::string LE(uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
inline std::string Synchsafe(uint32_t v) {
  std::string s;
  for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (7 * i)) & 0x7F);
  return s;
}
inline std::string U16LE(const std::u16string& t) {
  std::string s;
  for (char16_t c : t) s += LE(c, 2);
  return s;
}
inline std::string U16BE(const std::u16string& t) {
  std::string s;
  for (char16_t c : t) s += BE(c, 2);
  return s;
}

struct Frame {
  std::string id;
  std::string content;  // as stored, after any frame-level extras
  uint8_t formatFlags = 0;
  int64_t sizeOverride = -1;
};

// An ID3v2 tag of major `version`; `flags` 0x80 unsynchronises the frames of
// versions 2 and 3 here. `tagSize` overrides the header's size when >= 0.
inline std::string Id3v2(int version, const std::vector<Frame>& frames, uint8_t flags = 0,
                         const std::string& extended = "", size_t padding = 0,
                         int64_t tagSize = -1) {
  std::string body = extended;
  for (const Frame& f : frames) {
    auto size = static_cast<uint32_t>(f.sizeOverride >= 0 ? f.sizeOverride : f.content.size());
    body += f.id;
    if (version == 2) body += BE(size, 3);
    if (version == 3) body += BE(size, 4);
    if (version == 4) body += Synchsafe(size);
    if (version != 2) body += std::string(1, '\0') + static_cast<char>(f.formatFlags);
    body += f.content;
  }
  body += std::string(padding, '\0');
  if ((flags & 0x80) && version < 4) {
    // Unsynchronisation may follow every FF with a 00; readers drop them all.
    std::string u;
    for (char c : body) {
      u += c;
      if (static_cast<unsigned char>(c) == 0xFF) u += '\0';
    }
    body = u;
  }
  auto size = static_cast<uint32_t>(tagSize >= 0 ? tagSize : static_cast<int64_t>(body.size()));
  std::string out = "ID3" + std::string(1, static_cast<char>(version)) + std::string(1, '\0') +
                    static_cast<char>(flags) + Synchsafe(size) + body;
  if (version == 4 && (flags & 0x10)) out += "3DI" + out.substr(3, 7);
  return out;
}

// A text frame's content: the encoding byte, then the bytes.
inline std::string Text(int encoding, const std::string& bytes) {
  return std::string(1, static_cast<char>(encoding)) + bytes;
}

// The terminator of a string in an ID3v2 text encoding.
inline std::string Nul(int encoding) {
  return std::string(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
}
// A synchronised lyrics frame's content: the encoding, language, time stamp
// format (2: milliseconds), content type 1 (lyrics), descriptor, then each
// text (bytes as given, terminator added) followed by its time.
struct TimedEntry {
  std::string text;
  uint32_t time;
};
inline std::string Sylt(int encoding, const std::vector<TimedEntry>& entries, int format = 2,
                        const std::string& descriptor = "") {
  std::string s = std::string(1, static_cast<char>(encoding)) + "eng" +
                  static_cast<char>(format) + '\x01' + descriptor + Nul(encoding);
  for (const TimedEntry& e : entries) s += e.text + Nul(encoding) + BE(e.time, 4);
  return s;
}
// An unsynchronised lyrics frame's content: encoding, language, descriptor, text.
inline std::string Uslt(int encoding, const std::string& text,
                        const std::string& descriptor = "") {
  return std::string(1, static_cast<char>(encoding)) + "eng" + descriptor + Nul(encoding) + text;
}

inline std::string Id3v1(const std::string& title, const std::string& artist) {
  std::string t = "TAG" + title.substr(0, 30);
  t.resize(33, '\0');
  t += artist.substr(0, 30);
  t.resize(128, '\0');
  return t;
}

// ASF objects: a GUID as stored, a 64-bit size and the body.
template <size_t N>
std::string Bytes(const char (&a)[N]) {
  return std::string(a, N - 1);
}
inline const std::string kHeaderGuid =
    Bytes("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
inline const std::string kContentGuid =
    Bytes("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
inline const std::string kExtendedGuid =
    Bytes("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50");
inline const std::string kOtherGuid(16, '\x11');

inline std::string AsfObject(const std::string& guid, const std::string& body,
                             int64_t sizeOverride = -1) {
  return guid + LE(sizeOverride >= 0 ? sizeOverride : body.size() + 24, 8) + body;
}
// Content Description: five strings (UTF-16LE bytes as given, lengths as stored).
inline std::string ContentDescription(const std::vector<std::string>& strings) {
  std::string body;
  for (size_t i = 0; i < 5; ++i) body += LE(i < strings.size() ? strings[i].size() : 0, 2);
  for (const std::string& s : strings) body += s;
  return AsfObject(kContentGuid, body);
}
struct Descriptor {
  std::u16string name;
  uint16_t type;
  std::string value;
};
inline std::string ExtendedContentDescription(const std::vector<Descriptor>& ds) {
  std::string body = LE(ds.size(), 2);
  for (const Descriptor& d : ds) {
    std::string name = U16LE(d.name + u'\0');
    body += LE(name.size(), 2) + name + LE(d.type, 2) + LE(d.value.size(), 2) + d.value;
  }
  return AsfObject(kExtendedGuid, body);
}
inline std::string Asf(const std::vector<std::string>& objects, int64_t count = -1) {
  std::string all;
  for (const std::string& o : objects) all += o;
  return kHeaderGuid + LE(30 + all.size(), 8) +
         LE(count >= 0 ? count : static_cast<int64_t>(objects.size()), 4) + "\x01\x02" + all;
}

}  // namespace tagbytes
