#include "common/funPub.h"

#include <cmath>
#include <limits>
#include <memory>

#include "common/WebModule.h"
#include "common/errors.h"

namespace funPub {

std::vector<std::string> SplitString(std::string_view s, std::string_view separator) {
  std::vector<std::string> fields;
  // An empty separator is never found: the whole text is one field.
  if (separator.empty()) {
    fields.emplace_back(s);
    return fields;
  }
  size_t start = 0;
  for (size_t at = s.find(separator); at != std::string_view::npos; at = s.find(separator, start)) {
    fields.emplace_back(s.substr(start, at - start));
    start = at + separator.size();
  }
  fields.emplace_back(s.substr(start));
  return fields;
}

std::string_view NextLine(std::string_view text, size_t& pos) {
  // A plain scan: find_first_of tests every byte against the set by a call.
  size_t start = pos;
  size_t end = start;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  pos = end + 1;
  if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return text.substr(start, end - start);
}

std::string Trim(std::string_view s) {
  size_t from = 0;
  size_t to = s.size();
  while (from < to && static_cast<unsigned char>(s[from]) <= 0x20) ++from;
  while (to > from && static_cast<unsigned char>(s[to - 1]) <= 0x20) --to;
  return std::string(s.substr(from, to - from));
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t start = 0;
  for (size_t at = s.find(from); at != std::string_view::npos; at = s.find(from, start)) {
    out.append(s.substr(start, at - start));
    out.append(to);
    start = at + from.size();
  }
  out.append(s.substr(start));
  return out;
}

bool TryStrToInt(std::string_view s, int32_t& out) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  // Magnitude up to 2^31 so that the most negative value fits.
  constexpr int64_t kLimit = int64_t{1} << 31;
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * base + digit;
    if (value > kLimit) return false;
  }
  if (!negative && value == kLimit) return false;
  out = static_cast<int32_t>(negative ? -value : value);
  return true;
}

int32_t StrToInt(std::string_view s) {
  int32_t value = 0;
  if (!TryStrToInt(s, value)) {
    // what() is a C string: a raw NUL (a UTF-16 file read as bytes) would end
    // the message there, so it is shown as \0.
    std::string shown;
    for (char c : s) {
      if (c == '\0') {
        shown += "\\0";
      } else {
        shown += c;
      }
    }
    throw lyrano::ConvertError("'" + shown + "' is not a valid integer value");
  }
  return value;
}

std::string UrlEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c == 0) break;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::string_view("!$'()*-.@_").find(ch) != std::string_view::npos) {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

namespace {

// Percent-encodes what may not stand in an address: blanks and controls,
// non-ASCII bytes and the characters RFC 1738 calls unsafe. '%' stays, so
// existing escapes survive.
std::string EncodeUnsafe(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F ||
        std::string_view("\"<>\\^`{|}").find(ch) != std::string_view::npos) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

std::string_view WithoutFragment(std::string_view url) {
  return url.substr(0, std::min(url.find('#'), url.size()));
}

bool HasWebScheme(std::string_view url) {
  auto starts = [&](std::string_view prefix) {
    if (url.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      char c = url[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

}  // namespace

std::string CombineUrl(std::string_view base, std::string_view relative) {
  const std::string b = EncodeUnsafe(Trim(base));
  const std::string r = EncodeUnsafe(Trim(relative));
  std::string result;
  if (r.empty() || r[0] == '#') {
    // The URL API drops the last path segment for these; the base itself (with
    // the new fragment, if any) is the answer, normalised like any other.
    std::string canonical;
    if (!web::Resolve(b, {}, canonical)) return {};
    result = std::string(WithoutFragment(canonical)) + r;
  } else if (!web::Resolve(b, r, result)) {
    return {};
  }
  // The URL API also resolves file: and other schemes; only web addresses are
  // a page's links.
  if (!HasWebScheme(result)) return {};
  return result;
}

std::string UrlDirectory(std::string_view url) {
  // Resolving a file name puts it in place of the last segment and drops the
  // query; taking it off again leaves the directory. Only that one occurrence
  // goes: a folder of the same name earlier in the path stays.
  constexpr std::string_view kDummy = "jiushihaowan.htnl";
  std::string combined = CombineUrl(url, kDummy);
  if (combined.size() >= kDummy.size() &&
      std::string_view(combined).substr(combined.size() - kDummy.size()) == kDummy) {
    combined.resize(combined.size() - kDummy.size());
  }
  return combined;
}

std::string DecodeHtmlEntities(std::string_view s) {
  std::string out = ReplaceAll(s, "&quot;", "\"");
  out = ReplaceAll(out, "&lt;", "<");
  out = ReplaceAll(out, "&gt;", ">");
  out = ReplaceAll(out, "&nbsp;", " ");
  return ReplaceAll(out, "&amp;", "&");
}

std::string DecodeJsonEscapes(std::string_view s) {
  std::string out = ReplaceAll(s, "\\u0026", "&");
  out = ReplaceAll(out, "\\u0022", "\"");
  return ReplaceAll(out, "\\u0027", "'");
}

int32_t RoundHalfUp(double seconds) {
  // Values outside the 32-bit range (and NaN) cannot be represented; clamp
  // rather than invoke undefined behaviour.
  if (std::isnan(seconds)) return 0;
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  if (seconds >= kMax) return std::numeric_limits<int32_t>::max();
  if (seconds <= kMin) return std::numeric_limits<int32_t>::min();
  double whole = std::trunc(seconds);
  auto t = static_cast<int32_t>(whole);
  return seconds - whole >= 0.5 ? t + 1 : t;
}

std::string FormatSeconds(int64_t seconds) {
  // Negative counts are not meant to be shown; give them a readable form
  // ("-1:05") instead of a garbled one.
  if (seconds < 0) {
    uint64_t magnitude = 0 - static_cast<uint64_t>(seconds);
    std::string text = "-" + std::to_string(magnitude / 60) + ":";
    uint64_t rest = magnitude % 60;
    if (rest < 10) text += '0';
    return text + std::to_string(rest);
  }
  int64_t rest = seconds % 60;
  std::string text = std::to_string(seconds / 60) + ":";
  if (rest < 10) text += '0';
  return text + std::to_string(rest);
}

}  // namespace funPub
