#include "online/IEgetHttp.h"

#include <string>

#include "common/WebModule.h"
#include "common/codepage.h"

namespace IEgetHttp {
namespace {

constexpr char kUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; Trident/5.0; SLCC2; .NET CLR 2.0.50727; "
    ".NET CLR 3.5.30729; .NET CLR 3.0.30729; Media Center PC 6.0)";

}  // namespace

std::string GetUserAgent() {
  // No platform user-agent service on this system: always the fixed text.
  return kUserAgent;
}

bool FetchRaw(std::string_view url, std::string& body, const std::atomic<bool>* cancel) {
  return web::FetchRaw(url, kUserAgent, body, cancel);
}

bool FetchPage(std::string_view url, std::string& page, const std::atomic<bool>* cancel) {
  page.clear();
  try {
    std::string body;
    if (!web::FetchRaw(url, kUserAgent, body, cancel)) return false;
    page = PageToAnsi(body);
    return true;
  } catch (...) {
    page.clear();
    return false;
  }
}

Utf8Class ClassifyUtf8(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < n && byte(i) < 0x80) ++i;
  if (i == n) return Utf8Class::AllAscii;
  while (i < n) {
    unsigned char c = byte(i);
    size_t len;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (c < 0x80) {
      len = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c == 0xE0) {
      len = 3;
      lo = 0xA0;
    } else if (c >= 0xE1 && c <= 0xEF) {
      len = 3;
    } else if (c == 0xF0) {
      len = 4;
      lo = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3) {
      len = 4;
    } else if (c == 0xF4) {
      len = 4;
      hi = 0x8F;
    } else {
      return Utf8Class::NotUtf8;
    }
    if (len > n - i) return Utf8Class::NotUtf8;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cont = byte(i + k);
      // Only the second byte has a narrowed range.
      unsigned char min = k == 1 ? lo : 0x80;
      unsigned char max = k == 1 ? hi : 0xBF;
      if (cont < min || cont > max) return Utf8Class::NotUtf8;
    }
    i += len;
  }
  return Utf8Class::WellFormedUtf8;
}

std::string PageToAnsi(std::string_view body) {
  if (ClassifyUtf8(body) == Utf8Class::WellFormedUtf8) return cp::Utf8ToAnsi(body);
  return std::string(body);
}

}  // namespace IEgetHttp
