#include "common/codepage.h"

#include <iconv.h>

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

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
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
  // sign. Convert around each such byte that stands as a lead byte.
  std::string out;
  size_t start = 0;
  size_t i = 0;
  while (i < ansi.size()) {
    unsigned char c = static_cast<unsigned char>(ansi[i]);
    if (c == 0x80) {
      Iconv conv("UTF-8", "GB18030");
      out += conv.Run(ansi.substr(start, i - start), kUtf8Replacement, 1);
      out += kEuroUtf8;
      start = ++i;
    } else if (c >= 0x81 && c <= 0xFE && i + 1 < ansi.size()) {
      unsigned char c2 = static_cast<unsigned char>(ansi[i + 1]);
      // Four-byte GB18030 sequences have a digit as second byte.
      i += (c2 >= 0x30 && c2 <= 0x39) ? 4 : 2;
    } else {
      ++i;
    }
  }
  if (start < ansi.size()) {
    Iconv conv("UTF-8", "GB18030");
    out += conv.Run(ansi.substr(start), kUtf8Replacement, 1);
  }
  return out;
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
  return std::filesystem::path(AnsiToUtf8(ansi));
}

std::string PathToAnsi(const std::filesystem::path& path) { return Utf8ToAnsi(path.string()); }

}  // namespace cp
