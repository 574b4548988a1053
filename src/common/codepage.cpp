#include "common/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace cp {
namespace {

// One iconv descriptor for the length of one conversion.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; a sequence that cannot be decoded or encoded is
  // replaced by `bad` (already in the target encoding) and skipped by
  // `badWidth` input bytes.
  std::string Run(std::string_view in, std::string_view bad, size_t badWidth) {
    std::string out;
    if (!ok()) return out;
    out.reserve(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (truncated input): substitute and move on.
        out.append(bad);
        size_t skip = std::min(badWidth, srcLeft);
        src += skip;
        srcLeft -= skip;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
constexpr std::string_view kEuroUtf8 = "\xE2\x82\xAC";

// A file-name byte that is no UTF-8 stands in internal text as a four-byte
// GB18030 code past the last one Unicode uses (lead 0xFE 0x39, then 0x81..,
// 0x30..0x39 counting the byte from 0x80): no character converts to it, so
// names that are text keep their usual bytes, and these come back unchanged.
constexpr unsigned char kEscapeLead = 0xFE;
constexpr unsigned char kEscapeSecond = 0x39;

void AppendEscape(std::string& out, unsigned char byte) {
  int index = byte - 0x80;
  out += static_cast<char>(kEscapeLead);
  out += static_cast<char>(kEscapeSecond);
  out += static_cast<char>(0x81 + index / 10);
  out += static_cast<char>(0x30 + index % 10);
}

// The file-name byte escaped at `at`, or -1 when no escape starts there.
int EscapedByte(std::string_view ansi, size_t at) {
  if (ansi.size() - at < 4) return -1;
  auto b = [&](size_t i) { return static_cast<unsigned char>(ansi[at + i]); };
  if (b(0) != kEscapeLead || b(1) != kEscapeSecond || b(2) < 0x81 || b(3) < 0x30 || b(3) > 0x39)
    return -1;
  int index = (b(2) - 0x81) * 10 + (b(3) - 0x30);
  return index < 0x80 ? 0x80 + index : -1;
}

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when none starts there.
size_t Utf8Length(std::string_view s, size_t at) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[at + i]); };
  unsigned char c = b(0);
  if (c < 0x80) return 1;
  size_t n = c >= 0xC2 && c <= 0xDF   ? 2
             : c >= 0xE0 && c <= 0xEF ? 3
             : c >= 0xF0 && c <= 0xF4 ? 4
                                      : 0;
  if (n == 0 || s.size() - at < n) return 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c == 0xE0) lo = 0xA0;
  if (c == 0xED) hi = 0x9F;
  if (c == 0xF0) lo = 0x90;
  if (c == 0xF4) hi = 0x8F;
  if (b(1) < lo || b(1) > hi) return 0;
  for (size_t i = 2; i < n; ++i)
    if (b(i) < 0x80 || b(i) > 0xBF) return 0;
  return n;
}

// GB18030 -> UTF-8; an escaped file-name byte becomes `escaped(byte)`.
template <typename Escaped>
std::string AnsiToUtf8With(std::string_view ansi, Escaped escaped) {
  // Plain ASCII needs no conversion; it is by far the common case.
  bool ascii = true;
  for (unsigned char c : ansi) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return std::string(ansi);
  // GB18030 leaves the single byte 0x80 undefined; CP936 reads it as the euro
  // sign. Convert around each such byte that stands as a lead byte, and
  // around escaped file-name bytes.
  std::string out;
  size_t start = 0;
  size_t i = 0;
  auto flush = [&] {
    Iconv conv("UTF-8", "GB18030");
    out += conv.Run(ansi.substr(start, i - start), kUtf8Replacement, 1);
  };
  while (i < ansi.size()) {
    unsigned char c = static_cast<unsigned char>(ansi[i]);
    int byte = c == kEscapeLead ? EscapedByte(ansi, i) : -1;
    if (c == 0x80) {
      flush();
      out += kEuroUtf8;
      start = ++i;
    } else if (byte >= 0) {
      flush();
      out += escaped(static_cast<unsigned char>(byte));
      start = i += 4;
    } else if (c >= 0x81 && c <= 0xFE && i + 1 < ansi.size()) {
      unsigned char c2 = static_cast<unsigned char>(ansi[i + 1]);
      // Four-byte GB18030 sequences have a digit as second byte.
      i = std::min(ansi.size(), i + ((c2 >= 0x30 && c2 <= 0x39) ? 4 : 2));
    } else {
      ++i;
    }
  }
  if (start < ansi.size()) flush();
  return out;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
  return AnsiToUtf8With(ansi, [](unsigned char) { return kUtf8Replacement; });
}

std::string Utf8ToAnsi(std::string_view utf8) {
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  bool ascii = true;
  for (unsigned char c : utf8) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return std::string(utf8);
  Iconv conv("GB18030", "UTF-8");
  return conv.Run(utf8, "?", 1);
}

std::string Utf16LEToAnsi(std::string_view bytes) {
  Iconv conv("GB18030", "UTF-16LE");
  return conv.Run(bytes.substr(0, bytes.size() & ~size_t{1}), "?", 2);
}

std::string Utf16BEToAnsi(std::string_view bytes) {
  Iconv conv("GB18030", "UTF-16BE");
  return conv.Run(bytes.substr(0, bytes.size() & ~size_t{1}), "?", 2);
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::string utf8 = AnsiToUtf8(ansi);
  Iconv conv("UTF-16LE", "UTF-8");
  std::string le = conv.Run(utf8, "\xFD\xFF", 1);
  std::u16string out(le.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                   (static_cast<unsigned char>(le[2 * i + 1]) << 8));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string le;
  le.reserve(text.size() * 2);
  for (char16_t c : text) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
  }
  return Utf16LEToAnsi(le);
}

std::filesystem::path AnsiToPath(std::string_view ansi) {
  return std::filesystem::path(AnsiToUtf8With(
      ansi, [](unsigned char byte) { return std::string(1, static_cast<char>(byte)); }));
}

std::string PathToAnsi(const std::filesystem::path& path) {
  const std::string& name = path.native();
  size_t at = 0;
  size_t length = 0;
  while (at < name.size() && (length = Utf8Length(name, at)) > 0) at += length;
  if (at == name.size()) return Utf8ToAnsi(name);
  // Not UTF-8: convert the text between the bad bytes and escape those.
  std::string out;
  size_t start = 0;
  Iconv conv("GB18030", "UTF-8");
  while (at < name.size()) {
    length = Utf8Length(name, at);
    if (length > 0) {
      at += length;
      continue;
    }
    out += conv.Run(std::string_view(name).substr(start, at - start), "?", 1);
    AppendEscape(out, static_cast<unsigned char>(name[at]));
    start = ++at;
  }
  out += conv.Run(std::string_view(name).substr(start), "?", 1);
  return out;
}

}  // namespace cp
