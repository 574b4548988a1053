#include "online/RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <locale.h>

#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "online/PatternDialect.h"

namespace {

constexpr int kMaxGroups = 14;
// Per start position: enough for a lazy scan across a large page, small enough
// that catastrophic backtracking gives up within a fraction of a second.
constexpr uint32_t kMatchLimit = 10'000'000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;

struct CodeDeleter {
  void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct CompileContextDeleter {
  void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct MatchContextDeleter {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct TablesDeleter {
  void operator()(const uint8_t* p) const { pcre2_maketables_free(nullptr, p); }
};

// Character tables made in the C locale, whatever locale the process runs in,
// so that case folding and \w cover ASCII only.
const uint8_t* CLocaleTables() {
  static const std::unique_ptr<const uint8_t, TablesDeleter> tables = [] {
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    // Without a C locale object, PCRE2's built-in tables (also C) will do.
    if (c == static_cast<locale_t>(nullptr)) return std::unique_ptr<const uint8_t, TablesDeleter>();
    locale_t old = uselocale(c);
    const uint8_t* t = pcre2_maketables(nullptr);
    uselocale(old);
    freelocale(c);
    return std::unique_ptr<const uint8_t, TablesDeleter>(t);
  }();
  return tables.get();
}

std::string PcreMessage(int code) {
  PCRE2_UCHAR buf[256];
  if (pcre2_get_error_message(code, buf, sizeof buf) < 0) return "error " + std::to_string(code);
  return reinterpret_cast<const char*>(buf);
}

std::string_view CutAtNul(std::string_view s) {
  size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

struct TRegExpr::Impl {
  std::string pattern;
  std::string input;
  std::unique_ptr<pcre2_code, CodeDeleter> code;
  std::unique_ptr<pcre2_match_data, MatchDataDeleter> data;
  std::unique_ptr<pcre2_match_context, MatchContextDeleter> context;
  int groups = 0;
  // Offsets of the last match: 2 per group, -1 for a group that took no part.
  std::vector<long> ovector;
  bool matched = false;

  void Compile() {
    if (code) return;
    regexpr::detail::Translation t = regexpr::detail::TranslatePattern(pattern);
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> cc(
        pcre2_compile_context_create(nullptr));
    pcre2_set_character_tables(cc.get(), CLocaleTables());
    int err = 0;
    PCRE2_SIZE errOffset = 0;
    std::unique_ptr<pcre2_code, CodeDeleter> compiled(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(t.text.data()), t.text.size(),
                      PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP, &err,
                      &errOffset, cc.get()));
    if (!compiled) {
      size_t pos = errOffset < t.origin.size() ? t.origin[errOffset] : pattern.size();
      regexpr::detail::ThrowPatternError(PcreMessage(err), pos, pattern);
    }
    regexpr::detail::CheckEmptyRepeats(pattern);
    uint32_t count = 0;
    pcre2_pattern_info(compiled.get(), PCRE2_INFO_CAPTURECOUNT, &count);
    if (count > kMaxGroups) {
      throw lyrano::PatternError("Bad regular expression: too many groups (" +
                                 std::to_string(count) + ", at most " + std::to_string(kMaxGroups) +
                                 ") in \"" + pattern + "\"");
    }
    // Large pages with lazy scans are 10 to 20 times faster compiled to
    // machine code; without JIT support the interpreter runs as before.
    pcre2_jit_compile(compiled.get(), PCRE2_JIT_COMPLETE);
    data.reset(pcre2_match_data_create_from_pattern(compiled.get(), nullptr));
    context.reset(pcre2_match_context_create(nullptr));
    if (!data || !context) throw lyrano::PatternError("Regular expression: out of memory");
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
    groups = static_cast<int>(count);
    code = std::move(compiled);
  }

  bool MatchFrom(size_t start) {
    Compile();
    matched = false;
    ovector.assign(static_cast<size_t>(groups + 1) * 2, -1);
    if (start > input.size()) return false;
    int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(),
                         start, 0, data.get(), context.get());
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
      // Deep recursion outgrew the JIT stack: the interpreter, bounded by the
      // heap limit, decides.
      rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(), start,
                       PCRE2_NO_JIT, data.get(), context.get());
    }
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
        rc == PCRE2_ERROR_HEAPLIMIT) {
      throw lyrano::PatternError("Regular expression gave up: the match needs too much work (" +
                                 PcreMessage(rc) + ") for \"" + pattern + "\"");
    }
    if (rc < 0) {
      throw lyrano::PatternError("Regular expression error: " + PcreMessage(rc) + " for \"" +
                                 pattern + "\"");
    }
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
    uint32_t pairs = pcre2_get_ovector_count(data.get());
    for (uint32_t g = 0; g < pairs && g <= static_cast<uint32_t>(groups); ++g) {
      if (ov[2 * g] == PCRE2_UNSET || ov[2 * g + 1] < ov[2 * g]) continue;
      ovector[2 * g] = static_cast<long>(ov[2 * g]);
      ovector[2 * g + 1] = static_cast<long>(ov[2 * g + 1]);
    }
    matched = true;
    return true;
  }
};

TRegExpr::TRegExpr() : impl_(std::make_unique<Impl>()) {}

TRegExpr::TRegExpr(std::string_view pattern) : TRegExpr() {
  SetExpression(pattern);
}

TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(std::string_view pattern) {
  impl_->pattern.assign(pattern);
  impl_->code.reset();
  impl_->data.reset();
  impl_->context.reset();
  impl_->groups = 0;
  impl_->matched = false;
}

void TRegExpr::SetInputString(std::string_view input) {
  impl_->input.assign(CutAtNul(input));
  impl_->matched = false;
}

bool TRegExpr::Exec() {
  return impl_->MatchFrom(0);
}

bool TRegExpr::ExecNext() {
  if (!impl_->matched) return false;
  size_t start = static_cast<size_t>(impl_->ovector[1]);
  if (impl_->ovector[0] == impl_->ovector[1]) ++start;  // step over an empty match
  return impl_->MatchFrom(start);
}

std::string TRegExpr::Match(int n) const {
  if (!impl_->matched || n < 0 || n > impl_->groups) return {};
  long from = impl_->ovector[2 * static_cast<size_t>(n)];
  long to = impl_->ovector[2 * static_cast<size_t>(n) + 1];
  if (from < 0) return {};
  return impl_->input.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

long TRegExpr::MatchPos() const {
  return impl_->matched ? impl_->ovector[0] : -1;
}

long TRegExpr::MatchLen() const {
  return impl_->matched ? impl_->ovector[1] - impl_->ovector[0] : -1;
}

int TRegExpr::SubExprMatchCount() const {
  return impl_->code ? impl_->groups : 0;
}

std::string TRegExpr::Replace(std::string_view input, std::string_view replacement) {
  SetInputString(input);
  const std::string& in = impl_->input;
  std::string out;
  size_t copied = 0;
  bool found = Exec();
  while (found) {
    size_t from = static_cast<size_t>(impl_->ovector[0]);
    size_t to = static_cast<size_t>(impl_->ovector[1]);
    out.append(in, copied, from - copied);
    out.append(replacement);
    copied = to;
    found = ExecNext();
  }
  out.append(in, copied, std::string::npos);
  return out;
}

namespace regexpr {

std::string FirstGroup(std::string_view pattern, std::string_view input, int group) {
  TRegExpr re(pattern);
  re.SetInputString(input);
  if (!re.Exec()) return {};
  return re.Match(group);
}

}  // namespace regexpr
