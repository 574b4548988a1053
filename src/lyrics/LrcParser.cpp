#include "lyrics/LrcParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>

#include "common/FileIO.h"
#include "common/funPub.h"
#include "online/RegExpr.h"

namespace {

constexpr long long kMaxSeconds = std::numeric_limits<int32_t>::max();

// A run of the digits 0-9 as a number no larger than kMaxSeconds.
std::optional<long long> ParseDigits(std::string_view s) {
  if (s.empty()) return std::nullopt;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  long long value = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || ptr != s.data() + s.size() || value > kMaxSeconds) return std::nullopt;
  return value;
}

// Appends the entries of one line, sharing `budget` (bytes of lyric text still
// allowed) with the other lines of the same parse.
void ParseLine(TLyricTimeline& timeline, std::string_view line, size_t& budget) {
  // Every tag of the line gets the text after the line's last "]"; any rest that
  // still yields a tag ends with that same "]", so it is found once.
  const std::string_view text = line.substr(LastPos("]", line));
  std::string_view rest = line;
  while (true) {
    size_t open = rest.find('[');
    if (open == std::string_view::npos) return;
    size_t close = rest.find(']');
    if (close == std::string_view::npos || close < open) return;
    std::optional<std::string> seconds = TimeTagToSeconds(rest.substr(open + 1, close - open));
    if (!seconds) return;
    if (text.size() > budget) return;
    budget -= text.size();
    timeline.Times.push_back(std::move(*seconds));
    timeline.Texts.emplace_back(text);
    rest.remove_prefix(close + 1);
  }
}

// Size-balanced sequence with split and merge by position (an implicit treap):
// rotating a group and appending to it each take O(log n).
class SequencePool {
 public:
  explicit SequencePool(size_t capacity) { nodes_.reserve(capacity); }

  // A one-element sequence holding `value`; returns its root.
  int Make(size_t value) {
    seed_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = seed_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    nodes_.push_back(Node{value, z ^ (z >> 31), -1, -1, 1});
    return static_cast<int>(nodes_.size() - 1);
  }

  size_t Size(int t) const { return t < 0 ? 0 : nodes_[static_cast<size_t>(t)].size; }

  int Merge(int a, int b) {
    if (a < 0) return b;
    if (b < 0) return a;
    if (At(a).priority > At(b).priority) {
      At(a).right = Merge(At(a).right, b);
      Update(a);
      return a;
    }
    At(b).left = Merge(a, At(b).left);
    Update(b);
    return b;
  }

  // The first k elements of t, and the rest.
  std::pair<int, int> Split(int t, size_t k) {
    if (t < 0) return {-1, -1};
    size_t leftSize = Size(At(t).left);
    if (k <= leftSize) {
      auto [a, b] = Split(At(t).left, k);
      At(t).left = b;
      Update(t);
      return {a, t};
    }
    auto [a, b] = Split(At(t).right, k - leftSize - 1);
    At(t).right = a;
    Update(t);
    return {t, b};
  }

  // Moves the first r elements to the back.
  int RotateLeft(int t, size_t r) {
    size_t n = Size(t);
    if (n == 0 || r % n == 0) return t;
    auto [a, b] = Split(t, r % n);
    return Merge(b, a);
  }

  void Collect(int t, std::vector<size_t>& out) const {
    // Iterative in-order walk: a degenerate shape must not exhaust the stack.
    std::vector<int> stack;
    while (t >= 0 || !stack.empty()) {
      while (t >= 0) {
        stack.push_back(t);
        t = nodes_[static_cast<size_t>(t)].left;
      }
      t = stack.back();
      stack.pop_back();
      out.push_back(nodes_[static_cast<size_t>(t)].value);
      t = nodes_[static_cast<size_t>(t)].right;
    }
  }

 private:
  struct Node {
    size_t value;
    uint64_t priority;
    int left;
    int right;
    size_t size;
  };
  Node& At(int t) { return nodes_[static_cast<size_t>(t)]; }
  void Update(int t) { At(t).size = 1 + Size(At(t).left) + Size(At(t).right); }

  std::vector<Node> nodes_;
  uint64_t seed_ = 0x5DEECE66Dull;
};

// Counts per key rank with prefix sums.
class RankCounter {
 public:
  explicit RankCounter(size_t n) : tree_(n + 1, 0) {}
  void Add(size_t rank) {
    for (size_t i = rank + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  // How many were added with a rank below `rank`.
  size_t Below(size_t rank) const {
    size_t sum = 0;
    for (size_t i = rank; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<size_t> tree_;
};

}  // namespace

std::optional<int> LyricOffsetTag(std::string_view line) {
  size_t open = 0;
  while (open < line.size() && static_cast<unsigned char>(line[open]) <= ' ') ++open;
  constexpr std::string_view kName = "[offset:";
  if (line.size() - open < kName.size()) return std::nullopt;
  for (size_t k = 0; k < kName.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(line[open + k])) != kName[k]) return std::nullopt;
  }
  size_t close = line.find(']', open);
  if (close == std::string_view::npos) return std::nullopt;
  std::string value = funPub::Trim(line.substr(open + kName.size(), close - open - kName.size()));
  std::string_view digits = value;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  std::optional<long long> ms = ParseDigits(digits);
  if (!ms || *ms > kMaxLyricOffsetMs) return std::nullopt;
  return static_cast<int>(negative ? -*ms : *ms);
}

size_t LastPos(std::string_view sub, std::string_view text) {
  if (sub.empty()) return 0;
  size_t at = text.rfind(sub);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::optional<std::string> TimeTagToSeconds(std::string_view tag) {
  size_t colon = tag.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  size_t end = tag.find('.');
  if (end == std::string_view::npos) end = tag.find(']');
  if (end == std::string_view::npos || end < colon) return std::nullopt;
  std::optional<long long> minutes = ParseDigits(tag.substr(0, colon));
  std::optional<long long> seconds = ParseDigits(tag.substr(colon + 1, end - colon - 1));
  if (!minutes || !seconds) return std::nullopt;
  // Both parts are at most kMaxSeconds, so this cannot overflow.
  long long total = *minutes * 60 + *seconds;
  if (total > kMaxSeconds) return std::nullopt;
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, total);
  (void)ec;
  return std::string(buf, ptr);
}

void ParseLyricLine(TLyricTimeline& timeline, std::string_view line) {
  size_t budget = kMaxLyricTextBytes;
  ParseLine(timeline, line, budget);
}

std::vector<size_t> LyricExchangeOrder(const std::vector<long long>& times) {
  const size_t n = times.size();
  std::vector<size_t> order;
  if (n == 0) return order;
  // The first pass (i = 0) leaves the maximum at position 0: the successive
  // left-to-right maxima each move one place along the chain of maxima.
  std::vector<size_t> a(n);
  for (size_t k = 0; k < n; ++k) a[k] = k;
  size_t held = a[0];
  for (size_t j = 1; j < n; ++j) {
    if (times[a[j]] > times[held]) std::swap(a[j], held);
  }
  a[0] = held;
  // From then on positions 0..i-1 are sorted and hold the maximum, so pass i
  // only walks that prefix: a[i] lands behind all entries of equal or smaller
  // time, and every run of equal greater times passes its first entry on to
  // its end, i.e. each such run rotates left by one. Track each run of equal
  // times as its own sequence; a run's pending rotations are the passes with a
  // smaller time since its last change, counted per key rank.
  std::vector<long long> keys(times);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  auto rankOf = [&](size_t index) {
    return static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), times[index]) -
                               keys.begin());
  };
  SequencePool pool(n);
  RankCounter smaller(keys.size());
  std::vector<int> runs(keys.size(), -1);
  std::vector<size_t> seen(keys.size(), 0);
  auto catchUp = [&](size_t rank) {
    size_t now = smaller.Below(rank);
    runs[rank] = pool.RotateLeft(runs[rank], now - seen[rank]);
    seen[rank] = now;
  };
  runs[rankOf(a[0])] = pool.Make(a[0]);
  for (size_t i = 1; i < n; ++i) {
    size_t rank = rankOf(a[i]);
    catchUp(rank);
    runs[rank] = pool.Merge(runs[rank], pool.Make(a[i]));
    smaller.Add(rank);
  }
  order.reserve(n);
  for (size_t rank = 0; rank < keys.size(); ++rank) {
    catchUp(rank);
    pool.Collect(runs[rank], order);
  }
  return order;
}

void ParseLyricText(TLyricTimeline& timeline, std::string_view text) {
  timeline.Clear();
  TRegExpr plainTag("(?i)\\[\\d+\\:\\d+\\]");
  TRegExpr fractionTag("(?i)\\[\\d+\\:\\d+\\.\\d+\\]");
  size_t budget = kMaxLyricTextBytes;
  size_t start = 0;
  while (start < text.size()) {
    std::string_view line = funPub::NextLine(text, start);
    // Both patterns need a "["; most lines without one are skipped unsearched.
    if (line.find('[') == std::string_view::npos) continue;
    if (std::optional<int> offset = LyricOffsetTag(line)) timeline.OffsetMs = *offset;
    plainTag.SetInputString(line);
    bool tagged = plainTag.Exec();
    if (!tagged) {
      fractionTag.SetInputString(line);
      tagged = fractionTag.Exec();
    }
    if (tagged) ParseLine(timeline, line, budget);
  }

  std::vector<long long> seconds;
  seconds.reserve(timeline.Times.size());
  for (const std::string& t : timeline.Times) seconds.push_back(LyricSeconds(t).value_or(0));
  std::vector<size_t> order = LyricExchangeOrder(seconds);
  std::vector<std::string> times;
  std::vector<std::string> texts;
  times.reserve(order.size());
  texts.reserve(order.size());
  for (size_t k : order) {
    times.push_back(std::move(timeline.Times[k]));
    texts.push_back(std::move(timeline.Texts[k]));
  }
  timeline.Times = std::move(times);
  timeline.Texts = std::move(texts);
}

bool LoadLyricFile(TLyricTimeline& timeline, std::string_view path) {
  std::optional<std::string> bytes = fileio::ReadFileIfPresent(path, kMaxLyricFileBytes);
  if (!bytes) return false;
  ParseLyricText(timeline, *bytes);
  return true;
}
