// Shared text helpers. Texts are bytes in the local code page unless a comment
// says otherwise; all functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace funPub {

// Cuts S at every occurrence of Separator: n separators give n + 1 fields.
std::vector<std::string> SplitString(std::string_view s, std::string_view separator);

// The line of `text` that starts at `pos`, without its end (CR, LF or CR LF);
// moves `pos` past that end. Call while pos < text.size(): a last line without
// an end is returned too, and a text ending in a line end yields no empty line.
std::string_view NextLine(std::string_view text, size_t& pos);

// Removes bytes up to 0x20 (blanks and control characters) at both ends.
std::string Trim(std::string_view s);

// Every occurrence of `from` replaced by `to` (case-sensitive, left to right).
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Decimal (optionally signed), or hexadecimal with a "$" or "0x" prefix, within
// 32-bit signed range; leading blanks allowed. Anything else throws
// lyrano::ConvertError("'<text>' is not a valid integer value"), a NUL in the text
// shown as \0.
int32_t StrToInt(std::string_view s);
// The same rules without throwing.
bool TryStrToInt(std::string_view s, int32_t& out);

// Form-style URL encoding of bytes (callers pass UTF-8): letters, digits and
// ! $ ' ( ) * - . @ _ stay, space becomes "+", the rest "%xx" in lower case.
// Stops at the first NUL.
std::string UrlEncode(std::string_view bytes);

// Resolves `relative` against `base` and canonicalises the result ("." and ".."
// removed, unsafe characters percent-encoded, trailing white space removed).
// Returns an empty text when the two cannot be combined or the result is not
// an http or https address.
std::string CombineUrl(std::string_view base, std::string_view relative);

// The directory of an address, ending in "/", without query.
std::string UrlDirectory(std::string_view url);

// &quot; &lt; &gt; &nbsp; &amp; in that order, nothing else.
std::string DecodeHtmlEntities(std::string_view s);

// \u0026 \u0022 \u0027 in that order, nothing else.
std::string DecodeJsonEscapes(std::string_view s);

// Truncate toward zero, then add one when the fraction is at least 0.5.
int32_t RoundHalfUp(double seconds);

// "M:SS": minutes unpadded and unlimited, seconds padded to two digits.
std::string FormatSeconds(int64_t seconds);

}  // namespace funPub
