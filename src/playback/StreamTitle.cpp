#include "playback/StreamTitle.h"

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/IEgetHttp.h"

namespace streamtitle {
namespace {

auto Byte(std::string_view s, size_t i) {
  return static_cast<unsigned char>(s[i]);
}

bool IsKeyChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Nothing but blanks, control bytes and the packet's NUL padding from `i` on.
bool OnlyPadding(std::string_view s, size_t i) {
  for (; i < s.size(); ++i)
    if (Byte(s, i) > 0x20) return false;
  return true;
}

// At `i` (after optional blanks) begins a field: a name, then "='".
bool FieldStartsAt(std::string_view s, size_t i) {
  while (i < s.size() && s[i] == ' ') ++i;
  size_t name = i;
  while (i < s.size() && IsKeyChar(Byte(s, i))) ++i;
  return i > name && i + 1 < s.size() && s[i] == '=' && s[i + 1] == '\'';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = Byte(a, i), y = Byte(b, i);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Valid in the local code page: GBK's one- and two-byte codes, GB18030's
// four-byte ones, and the single byte 0x80.
bool IsLocalText(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = Byte(s, i);
    if (b <= 0x80) {
      ++i;
      continue;
    }
    if (b == 0xFF || i + 1 >= s.size()) return false;
    unsigned char b2 = Byte(s, i + 1);
    if ((b2 >= 0x40 && b2 <= 0x7E) || (b2 >= 0x80 && b2 <= 0xFE)) {
      i += 2;
    } else if (b2 >= 0x30 && b2 <= 0x39 && i + 3 < s.size() && Byte(s, i + 2) >= 0x81 &&
               Byte(s, i + 2) <= 0xFE && Byte(s, i + 3) >= 0x30 && Byte(s, i + 3) <= 0x39) {
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

// Latin-1 as UTF-8, without its control characters (0x80 to 0x9F).
std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c >= 0xA0) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Valid UTF-8 without the control characters U+0080 to U+009F.
std::string DropC1(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (Byte(s, i) == 0xC2 && i + 1 < s.size() && Byte(s, i + 1) < 0xA0) {
      ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

// The length of the local-code-page character at `i`.
size_t CharLength(std::string_view s, size_t i) {
  unsigned char b = Byte(s, i);
  if (b <= 0x80 || b == 0xFF || i + 1 >= s.size()) return 1;
  unsigned char b2 = Byte(s, i + 1);
  if (b2 >= 0x30 && b2 <= 0x39) return i + 3 < s.size() ? 4 : 1;
  return 2;
}

std::string Cut(std::string_view s, size_t maxBytes) {
  size_t end = 0;
  while (end < s.size()) {
    size_t next = end + CharLength(s, end);
    if (next > maxBytes) break;
    end = next;
  }
  return std::string(s.substr(0, end));
}

}  // namespace

std::optional<std::string> FieldOf(std::string_view packet) {
  const size_t n = packet.size();
  size_t pos = 0;
  while (pos < n) {
    while (pos < n && Byte(packet, pos) <= 0x20) ++pos;
    size_t eq = packet.find('=', pos);
    if (eq == std::string_view::npos) return std::nullopt;
    std::string_view name = packet.substr(pos, eq - pos);
    size_t start = eq + 1;
    size_t end = n;
    size_t next = n;
    if (start < n && packet[start] == '\'') {
      ++start;
      // The closing quote is the one after which the packet ends or the next
      // field begins; any other quote belongs to the value.
      for (size_t j = start; j < n; ++j) {
        if (packet[j] != '\'') continue;
        size_t after = j + 1;
        if (after < n && packet[after] == ';') {
          ++after;
        } else if (!OnlyPadding(packet, after)) {
          continue;
        }
        if (OnlyPadding(packet, after) || FieldStartsAt(packet, after)) {
          end = j;
          next = after;
          break;
        }
      }
    } else {
      size_t semicolon = packet.find(';', start);
      if (semicolon != std::string_view::npos) {
        end = semicolon;
        next = semicolon + 1;
      }
    }
    if (EqualsNoCase(funPub::Trim(name), "StreamTitle"))
      return std::string(packet.substr(start, end - start));
    pos = next;
  }
  return std::nullopt;
}

std::string ToAnsi(std::string_view bytes) {
  std::string clean;
  clean.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) clean += c;
  }
  std::string ansi;
  if (IEgetHttp::ClassifyUtf8(clean) != IEgetHttp::Utf8Class::NotUtf8) {
    ansi = cp::Utf8ToAnsi(DropC1(clean));
  } else if (IsLocalText(clean)) {
    ansi = std::move(clean);
  } else {
    ansi = cp::Utf8ToAnsi(Latin1ToUtf8(clean));
  }
  return funPub::Trim(Cut(funPub::Trim(ansi), kMaxTitleBytes));
}

TStreamSong Split(std::string_view ansiTitle) {
  TStreamSong song;
  size_t dash = ansiTitle.find(" - ");
  if (dash != std::string_view::npos) {
    song.Singer = funPub::Trim(ansiTitle.substr(0, dash));
    song.Title = funPub::Trim(ansiTitle.substr(dash + 3));
    if (!song.Singer.empty() && !song.Title.empty()) return song;
  }
  return TStreamSong{funPub::Trim(ansiTitle), {}};
}

std::optional<TStreamSong> SongOf(std::string_view packet) {
  std::optional<std::string> field = FieldOf(packet);
  if (!field) return std::nullopt;
  return Split(ToAnsi(*field));
}

}  // namespace streamtitle
