// The code-page helpers: UTF-8 classification and every GB18030 conversion.
#include "FuzzInput.h"
#include "common/codepage.h"
#include "online/IEgetHttp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = fuzz::Bytes(data, size);
  IEgetHttp::Utf8Class cls = IEgetHttp::ClassifyUtf8(in);
  std::string utf8 = cp::AnsiToUtf8(in);
  std::string ansi = cp::Utf8ToAnsi(in);
  if (cls == IEgetHttp::Utf8Class::AllAscii && ansi != in) __builtin_trap();
  // GB18030 holds all of Unicode: well-formed UTF-8 survives the round trip.
  // The classification lets encoded surrogates (ED A0..BF) pass, which no
  // code page holds: they become '?' like any character a code page lacks.
  bool surrogates = false;
  for (size_t k = 0; k + 1 < in.size(); ++k) {
    surrogates = surrogates || (in[k] == '\xED' && static_cast<unsigned char>(in[k + 1]) >= 0xA0);
  }
  if (cls != IEgetHttp::Utf8Class::NotUtf8 && !surrogates &&
      in.find('\0') == std::string_view::npos && !in.starts_with("\xEF\xBB\xBF") &&
      cp::AnsiToUtf8(ansi) != in) {
    __builtin_trap();
  }
  // Any file name without NUL keeps its bytes through internal text (a
  // leading byte-order mark is text, and dropped as text is).
  if (!in.empty() && in.find('\0') == std::string_view::npos && !in.starts_with("\xEF\xBB\xBF") &&
      cp::AnsiToPath(cp::PathToAnsi(std::filesystem::path(std::string(in)))).native() != in) {
    __builtin_trap();
  }
  std::string le = cp::Utf16LEToAnsi(in);
  std::string be = cp::Utf16BEToAnsi(in);
  std::u16string u16 = cp::AnsiToUtf16(in);
  std::string back = cp::Utf16ToAnsi(u16);
  volatile size_t n = utf8.size() + le.size() + be.size() + back.size() +
                      IEgetHttp::PageToAnsi(in).size() + cp::PathToAnsi(cp::AnsiToPath(in)).size();
  (void)n;
  return 0;
}
