#include "online/PatternDialect.h"

#include <cctype>
#include <cstring>

#include "common/errors.h"

namespace regexpr::detail {
namespace {

bool IsOptionLetter(char c) {
  return c != '\0' && std::strchr("imsxgrnJU", c) != nullptr;
}

// Callout strings and verb names are literal text up to their end, whatever
// brackets or parentheses they hold; both walks below must skip them exactly
// as PCRE2 reads them, or a "(" or "[" inside one is taken for pattern.

// At "(?C": the index just past the callout's ")". "(?C)", "(?Cn)", or a
// string between delimiters ("{" closes with "}"), a doubled closing delimiter
// standing for itself.
size_t CalloutEnd(std::string_view p, size_t i) {
  size_t k = i + 3;
  static constexpr std::string_view kOpeners = "`'\"^%#${";
  if (k < p.size() && kOpeners.find(p[k]) != std::string_view::npos) {
    const char close = p[k] == '{' ? '}' : p[k];
    for (++k; k < p.size(); ++k) {
      if (p[k] != close) continue;
      if (k + 1 < p.size() && p[k + 1] == close) {
        ++k;
        continue;
      }
      ++k;
      break;
    }
  }
  size_t end = p.find(')', k);
  return end == std::string_view::npos ? p.size() : end + 1;
}

// Names after "(*" that open a group (assertions, atomic groups, script runs)
// rather than a verb.
enum class StarGroup { None, Assertion, Group };

StarGroup StarGroupKind(std::string_view name) {
  static constexpr std::string_view kAssertions[] = {"pla",
                                                     "plb",
                                                     "nla",
                                                     "nlb",
                                                     "napla",
                                                     "naplb",
                                                     "positive_lookahead",
                                                     "positive_lookbehind",
                                                     "negative_lookahead",
                                                     "negative_lookbehind",
                                                     "non_atomic_positive_lookahead",
                                                     "non_atomic_positive_lookbehind"};
  static constexpr std::string_view kGroups[] = {"atomic", "sr", "asr", "script_run",
                                                 "atomic_script_run"};
  for (std::string_view a : kAssertions) {
    if (name == a) return StarGroup::Assertion;
  }
  for (std::string_view g : kGroups) {
    if (name == g) return StarGroup::Group;
  }
  return StarGroup::None;
}

// At "(*": what it opens, and where its body (a group) or its end (a verb,
// with or without a name running to the first ")") is.
struct Star {
  StarGroup kind = StarGroup::None;
  size_t next = 0;  // group: first byte of the body; verb: just past its ")"
};

Star ReadStar(std::string_view p, size_t i) {
  size_t k = i + 2;
  while (k < p.size() && (std::isalnum(static_cast<unsigned char>(p[k])) || p[k] == '_')) ++k;
  if (k < p.size() && p[k] == ':') {
    StarGroup kind = StarGroupKind(p.substr(i + 2, k - i - 2));
    if (kind != StarGroup::None) return {kind, k + 1};
  }
  size_t end = p.find(')', k);
  return {StarGroup::None, end == std::string_view::npos ? p.size() : end + 1};
}

// ---------------------------------------------------------------------------
// Translation of the dialect into PCRE2 syntax: \s and \S without VT, and the
// inline options g (greedy, PCRE2's U inverted) and r (no meaning in byte mode).
// `origin` maps every byte of the result back to the pattern for error positions.

void Emit(Translation& t, std::string_view s, size_t from) {
  t.text += s;
  t.origin.insert(t.origin.end(), s.size(), from);
}

class Translator {
 public:
  explicit Translator(std::string_view p) : p_(p) {}

  Translation Run() {
    xStack_.push_back(false);
    while (i_ < p_.size()) {
      if (inClass_) {
        ClassByte();
      } else {
        PlainByte();
      }
    }
    out_.origin.push_back(p_.size());
    return std::move(out_);
  }

 private:
  void Copy(size_t n) {
    n = std::min(n, p_.size() - i_);
    for (size_t k = 0; k < n; ++k) Emit(out_, p_.substr(i_ + k, 1), i_ + k);
    i_ += n;
  }

  // Copies \Q...\E (or to the end) unchanged.
  void CopyQuoted() {
    size_t end = p_.find("\\E", i_ + 2);
    Copy(end == std::string_view::npos ? p_.size() - i_ : end + 2 - i_);
  }

  void Escape() {
    if (i_ + 1 >= p_.size()) {
      Copy(1);  // trailing backslash: PCRE2 reports it
      return;
    }
    char d = p_[i_ + 1];
    if (d == 's' || d == 'S') {
      std::string_view rep;
      if (inClass_) {
        rep = d == 's' ? "\\t\\n\\f\\r\\x20" : "\\x00-\\x08\\x0b\\x0e-\\x1f\\x21-\\xff";
      } else {
        rep = d == 's' ? "[\\t\\n\\f\\r\\x20]" : "[^\\t\\n\\f\\r\\x20]";
      }
      Emit(out_, rep, i_);
      i_ += 2;
    } else if (d == 'Q') {
      CopyQuoted();
    } else if (d == 'c') {
      Copy(3);
    } else {
      Copy(2);
    }
  }

  void ClassByte() {
    char c = p_[i_];
    if (c == '\\') {
      Escape();
    } else if (c == '[' && i_ + 1 < p_.size() &&
               (p_[i_ + 1] == ':' || p_[i_ + 1] == '.' || p_[i_ + 1] == '=')) {
      size_t end = p_.find(std::string{p_[i_ + 1], ']'}, i_ + 2);
      Copy(end == std::string_view::npos ? 1 : end + 2 - i_);
    } else {
      if (c == ']') inClass_ = false;
      Copy(1);
    }
  }

  void PlainByte() {
    char c = p_[i_];
    if (c == '\\') {
      Escape();
    } else if (c == '[') {
      inClass_ = true;
      Copy(1);
      if (i_ < p_.size() && p_[i_] == '^') Copy(1);
      if (i_ < p_.size() && p_[i_] == ']') Copy(1);  // a leading ']' is literal
    } else if (c == '(' && p_.substr(i_, 3) == "(?#") {
      size_t end = p_.find(')', i_);
      Copy(end == std::string_view::npos ? p_.size() - i_ : end + 1 - i_);
    } else if (c == '(' && p_.substr(i_, 3) == "(?C") {
      Copy(CalloutEnd(p_, i_) - i_);
    } else if (c == '(' && p_.substr(i_, 2) == "(*" && ReadStar(p_, i_).kind == StarGroup::None) {
      Copy(ReadStar(p_, i_).next - i_);
    } else if (c == '(' && p_.substr(i_, 2) == "(?") {
      OptionGroupOrOther();
    } else if (c == '(') {
      xStack_.push_back(xStack_.back());
      Copy(1);
    } else if (c == ')') {
      if (xStack_.size() > 1) xStack_.pop_back();
      Copy(1);
    } else if (c == '#' && xStack_.back()) {
      size_t end = p_.find('\n', i_);
      Copy(end == std::string_view::npos ? p_.size() - i_ : end + 1 - i_);
    } else {
      Copy(1);
    }
  }

  // "(?flags)" or "(?flags:" is rewritten; any other "(?" construct is copied.
  // A leading "^" (all of imnsx off first) is kept.
  void OptionGroupOrOther() {
    size_t j = i_ + 2;
    const bool caret = j < p_.size() && p_[j] == '^';
    if (caret) ++j;
    const size_t letters = j;
    while (j < p_.size() && (IsOptionLetter(p_[j]) || p_[j] == '-')) ++j;
    if (j >= p_.size() || (p_[j] != ')' && p_[j] != ':') || (j == i_ + 2)) {
      xStack_.push_back(xStack_.back());
      Copy(2);
      return;
    }
    std::string on = caret ? "^" : "", off;
    bool negate = false;
    bool x = caret ? false : xStack_.back();
    for (size_t k = letters; k < j; ++k) {
      char f = p_[k];
      if (f == '-') {
        negate = true;
      } else if (f == 'g') {
        (negate ? on : off) += 'U';
      } else if (f != 'r') {
        (negate ? off : on) += f;
        if (f == 'x') x = !negate;
      }
    }
    const bool scoped = p_[j] == ':';
    std::string rep;
    if (!on.empty() || !off.empty() || scoped) {
      rep = "(?" + on + (off.empty() ? "" : "-" + off) + (scoped ? ":" : ")");
    }
    Emit(out_, rep, i_);
    i_ = j + 1;
    if (scoped) {
      xStack_.push_back(x);
    } else {
      xStack_.back() = x;
    }
  }

  std::string_view p_;
  size_t i_ = 0;
  bool inClass_ = false;
  std::vector<bool> xStack_;
  Translation out_;
};

// ---------------------------------------------------------------------------
// The check PCRE2 does not make: a repeat (max above one) of something that can
// match the empty string, such as "(a*)*", "(a?)+", "()*" or "(x|)*". It runs on
// a pattern PCRE2 has already accepted. Constructs whose width is unclear
// (back references, recursion, conditions) count as non-empty.

class EmptyRepeatCheck {
 public:
  explicit EmptyRepeatCheck(std::string_view p) : p_(p) {}

  void Run() {
    while (i_ < p_.size()) {
      Alternation(false);
      if (i_ < p_.size()) ++i_;  // an unbalanced ')' PCRE2 would have refused
    }
  }

 private:
  struct Atom {
    bool present = false;
    bool empty = false;
  };

  bool At(size_t k, char c) const { return k < p_.size() && p_[k] == c; }

  // Parses up to (not past) the ')' closing the group or the end.
  bool Alternation(bool x) {
    bool anyEmpty = false;
    bool seqEmpty = true;
    while (i_ < p_.size()) {
      char c = p_[i_];
      if (c == ')') break;
      if (c == '|') {
        anyEmpty = anyEmpty || seqEmpty;
        seqEmpty = true;
        ++i_;
        continue;
      }
      if (x && std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
        continue;
      }
      if (x && c == '#') {
        size_t end = p_.find('\n', i_);
        i_ = end == std::string_view::npos ? p_.size() : end + 1;
        continue;
      }
      Atom a = ParseAtom(x);
      if (!a.present) continue;
      Quantifier(a);
      seqEmpty = seqEmpty && a.empty;
    }
    return anyEmpty || seqEmpty;
  }

  void Quantifier(Atom& a) {
    if (i_ >= p_.size()) return;
    size_t at = i_;
    long min = 0;
    long max = -1;  // unbounded
    char c = p_[i_];
    if (c == '*') {
      ++i_;
    } else if (c == '+') {
      min = 1;
      ++i_;
    } else if (c == '?') {
      max = 1;
      ++i_;
    } else if (c == '{') {
      if (!Braces(min, max)) return;
    } else {
      return;
    }
    if (a.empty && (max < 0 || max > 1)) {
      ThrowPatternError("quantifier operand could be empty", at, p_);
    }
    if (min == 0) a.empty = true;
    if (At(i_, '?') || At(i_, '+')) ++i_;  // lazy or possessive
  }

  // "{n}", "{n,}" or "{n,m}"; anything else is a literal brace.
  bool Braces(long& min, long& max) {
    size_t k = i_ + 1;
    auto digits = [&](long& v) {
      size_t s = k;
      v = 0;
      while (k < p_.size() && std::isdigit(static_cast<unsigned char>(p_[k]))) {
        if (v < 100000) v = v * 10 + (p_[k] - '0');
        ++k;
      }
      return k > s;
    };
    if (!digits(min)) return false;
    if (At(k, '}')) {
      max = min;
    } else if (At(k, ',')) {
      ++k;
      if (At(k, '}')) {
        max = -1;
      } else if (!digits(max) || !At(k, '}')) {
        return false;
      }
    } else {
      return false;
    }
    i_ = k + 1;
    return true;
  }

  Atom ParseAtom(bool& x) {
    char c = p_[i_];
    switch (c) {
      case '(':
        return Group(x);
      case '[':
        SkipClass();
        return {true, false};
      case '\\':
        return EscapeAtom();
      case '^':
      case '$':
        ++i_;
        return {true, true};
      default:
        ++i_;
        return {true, false};
    }
  }

  // Body of a group from i_ to its ')' (consumed).
  bool Body(bool x) {
    bool empty = Alternation(x);
    if (i_ < p_.size()) ++i_;
    return empty;
  }

  void SkipTo(char close) {
    size_t end = p_.find(close, i_);
    i_ = end == std::string_view::npos ? p_.size() : end + 1;
  }

  // Each nested group costs stack frames: bounded, since PCRE2's own limit
  // is only known to hold for the groups as PCRE2 reads them.
  class DepthGuard {
   public:
    explicit DepthGuard(EmptyRepeatCheck& c) : c_(c) {
      if (++c_.depth_ > kMaxNesting) {
        ThrowPatternError("parentheses nested too deeply", c_.i_, c_.p_);
      }
    }
    ~DepthGuard() { --c_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    EmptyRepeatCheck& c_;
  };

  Atom Group(bool& x) {
    DepthGuard guard(*this);
    if (At(i_ + 1, '*')) {  // (*VERB), (*VERB:name) or (*assertion:...)
      Star star = ReadStar(p_, i_);
      i_ = star.next;
      switch (star.kind) {
        case StarGroup::Assertion:
          Body(x);
          return {true, true};
        case StarGroup::Group:
          return {true, Body(x)};
        case StarGroup::None:
          break;
      }
      return {false, false};
    }
    if (!At(i_ + 1, '?')) {
      ++i_;
      return {true, Body(x)};
    }
    size_t k = i_ + 2;
    if (k >= p_.size()) {
      i_ = k;
      return {false, false};
    }
    char d = p_[k];
    // Inline options: "(?flags)" changes the rest of the group, "(?flags:" opens one.
    if (IsOptionLetter(d) || d == '-' || d == '^') {
      size_t j = k;
      bool nx = x;
      bool negate = false;
      while (j < p_.size() && (IsOptionLetter(p_[j]) || p_[j] == '-' || p_[j] == '^')) {
        if (p_[j] == '-') negate = true;
        if (p_[j] == '^') nx = false;
        if (p_[j] == 'x') nx = !negate;
        ++j;
      }
      if (At(j, ')')) {
        x = nx;
        i_ = j + 1;
        return {false, false};
      }
      if (At(j, ':')) {
        i_ = j + 1;
        return {true, Body(nx)};
      }
    }
    switch (d) {
      case '#':
        SkipTo(')');
        return {false, false};
      case 'C':
        i_ = CalloutEnd(p_, i_);
        return {false, false};
      case ':':
      case '|':
      case '>':
        i_ = k + 1;
        return {true, Body(x)};
      case '=':
      case '!':
        i_ = k + 1;
        Body(x);
        return {true, true};
      case '<':
        if (At(k + 1, '=') || At(k + 1, '!')) {
          i_ = k + 2;
          Body(x);
          return {true, true};
        }
        i_ = k;
        SkipTo('>');
        return {true, Body(x)};
      case '\'':
        i_ = k + 1;
        SkipTo('\'');
        return {true, Body(x)};
      case 'P':
        if (At(k + 1, '<')) {
          i_ = k;
          SkipTo('>');
          return {true, Body(x)};
        }
        SkipTo(')');  // (?P=name) or (?P>name)
        return {true, false};
      case '(': {
        // Conditional group: skip the condition, then its branches.
        i_ = k;
        if (At(k + 1, '?') || At(k + 1, '*')) {
          bool ignored = x;
          ParseAtom(ignored);
        } else {
          SkipTo(')');
        }
        Body(x);
        return {true, false};
      }
      default:
        SkipTo(')');  // recursion and subroutine calls: (?R) (?1) (?&name)
        return {true, false};
    }
  }

  void SkipClass() {
    ++i_;
    if (At(i_, '^')) ++i_;
    if (At(i_, ']')) ++i_;
    while (i_ < p_.size()) {
      char c = p_[i_];
      if (c == '\\') {
        if (At(i_ + 1, 'Q')) {
          size_t end = p_.find("\\E", i_ + 2);
          i_ = end == std::string_view::npos ? p_.size() : end + 2;
        } else {
          i_ += 2;
        }
      } else if (c == '[' && (At(i_ + 1, ':') || At(i_ + 1, '.') || At(i_ + 1, '='))) {
        size_t end = p_.find(std::string{p_[i_ + 1], ']'}, i_ + 2);
        i_ = end == std::string_view::npos ? i_ + 1 : end + 2;
      } else if (c == ']') {
        ++i_;
        return;
      } else {
        ++i_;
      }
    }
  }

  // Skips "{...}" right at i_, if present.
  void SkipBraces() {
    if (At(i_, '{')) SkipTo('}');
  }

  Atom EscapeAtom() {
    if (i_ + 1 >= p_.size()) {
      ++i_;
      return {true, false};
    }
    char d = p_[i_ + 1];
    i_ += 2;
    switch (d) {
      case 'b':
      case 'B':
      case 'A':
      case 'z':
      case 'Z':
      case 'G':
      case 'K':
        return {true, true};
      case 'E':
        return {false, false};
      case 'Q': {
        size_t end = p_.find("\\E", i_);
        size_t stop = end == std::string_view::npos ? p_.size() : end;
        bool any = stop > i_;
        i_ = end == std::string_view::npos ? p_.size() : end + 2;
        return {any, false};
      }
      case 'c':
        if (i_ < p_.size()) ++i_;
        return {true, false};
      case 'x':
      case 'o':
      case 'N':
      case 'p':
      case 'P':
        if (At(i_, '{')) {
          SkipBraces();
        } else if (d == 'x') {
          for (int n = 0;
               n < 2 && i_ < p_.size() && std::isxdigit(static_cast<unsigned char>(p_[i_])); ++n) {
            ++i_;
          }
        } else if (d == 'p' || d == 'P') {
          if (i_ < p_.size()) ++i_;
        }
        return {true, false};
      case 'g':
      case 'k':
        if (At(i_, '{')) {
          SkipTo('}');
        } else if (At(i_, '<')) {
          SkipTo('>');
        } else if (At(i_, '\'')) {
          ++i_;
          SkipTo('\'');
        } else {
          if (At(i_, '-') || At(i_, '+')) ++i_;
          while (i_ < p_.size() && std::isdigit(static_cast<unsigned char>(p_[i_]))) ++i_;
        }
        return {true, false};
      default:
        if (std::isdigit(static_cast<unsigned char>(d))) {
          while (i_ < p_.size() && std::isdigit(static_cast<unsigned char>(p_[i_]))) ++i_;
        }
        return {true, false};
    }
  }

  // PCRE2 refuses more than 250 by default; a rule never comes near either.
  static constexpr int kMaxNesting = 1000;

  std::string_view p_;
  size_t i_ = 0;
  int depth_ = 0;
};

}  // namespace

void ThrowPatternError(std::string_view problem, size_t pos, std::string_view pattern) {
  throw lyrano::PatternError("Bad regular expression: " + std::string(problem) + " at position " +
                             std::to_string(pos + 1) + " in \"" + std::string(pattern) + "\"");
}

Translation TranslatePattern(std::string_view pattern) {
  return Translator(pattern).Run();
}

void CheckEmptyRepeats(std::string_view pattern) {
  EmptyRepeatCheck(pattern).Run();
}

}  // namespace regexpr::detail
