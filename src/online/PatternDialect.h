// Pattern text handling for the dialect, ahead of PCRE2: the translation of
// the dialect's own syntax and the check PCRE2 does not make. Used by RegExpr.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace regexpr::detail {

// The pattern in PCRE2 syntax. `origin[k]` is the pattern offset that byte k
// of `text` came from (one extra entry for the end), for error positions.
struct Translation {
  std::string text;
  std::vector<size_t> origin;
};

// \s and \S become explicit classes without VT (in and outside brackets);
// the inline option g becomes PCRE2's U inverted and r is dropped. Everything
// else is copied; a malformed pattern is left for PCRE2 to report.
Translation TranslatePattern(std::string_view pattern);

// Throws lyrano::PatternError when a repeat with a maximum above one applies
// to something that can match the empty string ("(a*)*", "(a?)+", "()*").
// Call only with a pattern PCRE2 has accepted.
void CheckEmptyRepeats(std::string_view pattern);

// "Bad regular expression: <problem> at position <pos + 1> in "<pattern>"".
[[noreturn]] void ThrowPatternError(std::string_view problem, size_t pos, std::string_view pattern);

}  // namespace regexpr::detail
