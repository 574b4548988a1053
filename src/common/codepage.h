// Conversions at the edges of the program. Internal text is std::string holding
// bytes in the local code page ("ANSI"), which is GB18030: byte-for-byte CP936/GBK
// for every GBK character and lossless for the rest of Unicode. The single byte
// 0x80 decodes as the euro sign, as CP936 does.
//
// All functions are thread-safe (each call owns its iconv descriptor) and never
// throw for bad input: malformed sequences become '?' (U+FFFD on the Unicode side).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace cp {

// GB18030 -> UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 -> GB18030. A leading UTF-8 byte-order mark is dropped.
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-16 bytes (little- or big-endian, no byte-order mark handling) -> GB18030.
// An odd last byte is ignored.
std::string Utf16LEToAnsi(std::string_view bytes);
std::string Utf16BEToAnsi(std::string_view bytes);
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text);

// File-system paths (UTF-8 on Linux) <-> internal text. A name that is not
// UTF-8 keeps every byte: each byte that is no character is held in internal
// text as a code no character has, which AnsiToPath turns back into the byte
// and AnsiToUtf8/AnsiToUtf16 show as U+FFFD. Names that are text convert as
// any other text.
std::filesystem::path AnsiToPath(std::string_view ansi);
std::string PathToAnsi(const std::filesystem::path& path);

}  // namespace cp
