// The pattern dialect every rule and fixed pattern is written in, over PCRE2
// 8-bit in byte mode:
//  - "." matches every byte, "$" only at the very end, "^" only at the start;
//  - no case folding unless the pattern turns it on inline ("(?i)"), and then for
//    ASCII letters only;
//  - \s is space, tab, LF, CR and FF (not VT), \d is 0-9, \w is 0-9 A-Z a-z _;
//  - at most 14 capture groups; a quantifier on something that can match empty
//    ("(a*)*") is an error;
//  - the input is seen only up to its first NUL byte;
//  - a runaway match stops after a bounded amount of work with an error.
// Errors are thrown as lyrano::PatternError on first use (Exec), naming the
// problem and, for syntax errors, the position in the pattern.
//
// A TRegExpr belongs to one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class TRegExpr {
 public:
  TRegExpr();
  explicit TRegExpr(std::string_view pattern);
  ~TRegExpr();
  TRegExpr(const TRegExpr&) = delete;
  TRegExpr& operator=(const TRegExpr&) = delete;

  // Sets a new pattern; it is compiled (and checked) at the next Exec.
  void SetExpression(std::string_view pattern);
  // Keeps a copy of the input up to its first NUL byte.
  void SetInputString(std::string_view input);

  // Leftmost match from the first byte of the input.
  bool Exec();
  // Next non-overlapping match after the previous one (one byte further when the
  // previous match was empty). False once no further match exists.
  bool ExecNext();

  // Text of group n of the last match (0 is the whole match); empty when the
  // group took no part, n is out of range, or there was no match.
  std::string Match(int n) const;
  // Byte offset of the whole last match within the input (0-based), -1 if none.
  long MatchPos() const;
  long MatchLen() const;
  // Number of capture groups in the compiled pattern (valid after Exec).
  int SubExprMatchCount() const;

  // The input with every non-overlapping match replaced by `replacement`.
  std::string Replace(std::string_view input, std::string_view replacement);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

namespace regexpr {
// Convenience for "one matcher, one search": group `group` of the first match
// of pattern on input, or empty. Throws like Exec.
std::string FirstGroup(std::string_view pattern, std::string_view input, int group = 1);
}  // namespace regexpr
