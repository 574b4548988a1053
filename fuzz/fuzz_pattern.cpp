// The pattern dialect: the pattern, a NUL, then the subject. Every search,
// search next, group and replace is taken; a rejected pattern or a match that
// gives up is the documented error.
#include "FuzzInput.h"
#include "common/errors.h"
#include "online/PatternDialect.h"
#include "online/RegExpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [pattern, subject] = fuzz::SplitAtNul(fuzz::Bytes(data, size));
  regexpr::detail::Translation t = regexpr::detail::TranslatePattern(pattern);
  if (t.origin.size() != t.text.size() + 1) __builtin_trap();
  for (size_t from : t.origin) {
    if (from > pattern.size()) __builtin_trap();
  }
  try {
    TRegExpr re(pattern);
    re.SetInputString(subject);
    int rounds = 0;
    for (bool found = re.Exec(); found && rounds < 64; found = re.ExecNext(), ++rounds) {
      if (re.MatchPos() < 0 ||
          static_cast<size_t>(re.MatchPos() + re.MatchLen()) > subject.size()) {
        __builtin_trap();
      }
      for (int g = 0; g <= re.SubExprMatchCount(); ++g) {
        volatile size_t n = re.Match(g).size();
        (void)n;
      }
    }
    volatile size_t n = re.Replace(subject, "").size();
    (void)n;
  } catch (const lyrano::PatternError&) {
  }
  return 0;
}
