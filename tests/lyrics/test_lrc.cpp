// LRC text into the sorted lyric timeline.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/errors.h"
#include "lyrics/LrcParser.h"
#include "support/TestSupport.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const TLyricTimeline& t) {
  EXPECT_EQ(t.Times.size(), t.Texts.size());
  Entries out;
  for (size_t k = 0; k < t.Times.size() && k < t.Texts.size(); ++k) {
    out.emplace_back(t.Times[k], t.Texts[k]);
  }
  return out;
}

Entries Parse(std::string_view text) {
  TLyricTimeline t;
  ParseLyricText(t, text);
  return EntriesOf(t);
}

// The exchange procedure exactly as written, quadratic.
template <typename T>
void LiteralExchangeSort(std::vector<long long>& times, std::vector<T>& payload) {
  for (size_t i = 0; i < times.size(); ++i) {
    for (size_t j = 0; j < times.size(); ++j) {
      if (times[j] > times[i]) {
        std::swap(times[i], times[j]);
        std::swap(payload[i], payload[j]);
      }
    }
  }
}

TEST(LrcParser, ParsesLinesIntoSortedEntries) {
  struct Case {
    const char* name;
    std::string text;
    Entries expected;
  };
  const Case cases[] = {
      {"two tags share the text", "[00:01.00][00:05.50]Hello", {{"1", "Hello"}, {"5", "Hello"}}},
      {"fraction truncated", "[01:23.45]abc", {{"83", "abc"}}},
      {"short fields", "[1:2.5]x", {{"62", "x"}}},
      {"tag only", "[00:05]", {{"5", ""}}},
      {"leading zeros and large minutes", "[0100:007]x", {{"6007", "x"}}},
      {"sorted by time", "[00:10]b\n[00:05]a", {{"5", "a"}, {"10", "b"}}},
      {"compared as numbers", "[00:9]a\n[00:10]b\n[1:00]c", {{"9", "a"}, {"10", "b"}, {"60", "c"}}},
      {"equal times in exchange order",
       "[00:00]a\n[00:00]b\n[00:01]c",
       {{"0", "b"}, {"0", "a"}, {"1", "c"}}},
      {"text after the last bracket", "[00:12.00]Hello [world]", {{"12", ""}}},
      {"tags later in the line share the text", "[00:01]a[00:02]b", {{"1", "b"}, {"2", "b"}}},
      {"unclosed bracket stays in the text", "[00:01]abc[def", {{"1", "abc[def"}}},
      {"bad tag after good ones ends the line", "[00:01][xx:yy][00:03]z", {{"1", "z"}}},
      {"first group not a time", "[ar:Singer][00:01.00]Hi", {}},
      {"signed or blank parts are not numbers", "[-1:05][00:01]x\n[ 1:05][00:02]y", {}},
      {"minutes:seconds:hundredths", "[00:01:50]x\n[00:02:50][00:03]y", {}},
      {"closing bracket before the first opening", "]x[00:01]y", {}},
      {"tag not at the start", "  [00:03]x", {{"3", "x"}}},
      {"metadata only", "[ti:Title]\n[ar:Singer]\n[offset:500]\n", {}},
      {"empty text", "", {}},
      {"no time tags", "just words\n[not a tag]\n", {}},
      {"CR line ends", "[00:02]b\r[00:01]a\r", {{"1", "a"}, {"2", "b"}}},
      {"mixed line ends and blank lines",
       "\r\n[00:03]c\r\n\r\n[00:01]a\n\n[00:02]b\n\r",
       {{"1", "a"}, {"2", "b"}, {"3", "c"}}},
      {"GBK text kept as bytes", "[00:01]\xC4\xE3\xBA\xC3\r\n", {{"1", "\xC4\xE3\xBA\xC3"}}},
      {"largest time that fits", "[35791394:07]x", {{"2147483647", "x"}}},
      {"time beyond 32 bits", "[35791394:08]x\n[99999999999:00]y", {}},
      {"input ends at a NUL for the patterns", std::string("ab\0[00:01]x", 11), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(c.text), c.expected) << c.name;
  }
}

TEST(LrcParser, FillReplacesContentAndResetsCursorButNotFlag) {
  TLyricTimeline t;
  t.Times = {"7", "8"};
  t.Texts = {"old", "older"};
  t.Cursor = 2;
  t.HasLyrics = true;
  ParseLyricText(t, "[00:04]new");
  EXPECT_EQ(EntriesOf(t), (Entries{{"4", "new"}}));
  EXPECT_EQ(t.Cursor, 0);
  EXPECT_TRUE(t.HasLyrics);

  t.Cursor = 1;
  ParseLyricText(t, "no lyrics here");
  EXPECT_TRUE(t.Times.empty());
  EXPECT_TRUE(t.Texts.empty());
  EXPECT_EQ(t.Cursor, 0);
}

TEST(LrcParser, ParseLyricLineAppendsWithoutSorting) {
  TLyricTimeline t;
  ParseLyricLine(t, "[00:09]b");
  ParseLyricLine(t, "[00:01][00:00]a");
  ParseLyricLine(t, "no bracket 1:05]");
  EXPECT_EQ(EntriesOf(t), (Entries{{"9", "b"}, {"1", "a"}, {"0", "a"}}));
}

TEST(LrcParser, TimeTagToSeconds) {
  struct Case {
    const char* tag;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"1:23.45]", "83"}, {"0:5.99]", "5"},   {"10:0]", "600"}, {"1:2]", "62"},
      {"1:5.]", "65"},    {"1:2.x:3]", "62"}, {":5]", {}},      {"1:]", {}},
      {"a:5]", {}},       {"1:5", {}},        {"1.5:3]", {}},   {"1:2:3]", {}},
      {"1 :5]", {}},      {"1:+5]", {}},      {"", {}},         {"15]", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeTagToSeconds(c.tag), c.expected) << c.tag;
  }
}

TEST(LrcParser, LastPos) {
  EXPECT_EQ(LastPos("]", "a]b]c"), 4u);
  EXPECT_EQ(LastPos("]", "]"), 1u);
  EXPECT_EQ(LastPos("ab", "abab"), 3u);
  EXPECT_EQ(LastPos("]", "abc"), 0u);
  EXPECT_EQ(LastPos("", "abc"), 0u);
  EXPECT_EQ(LastPos("abcd", "abc"), 0u);
}

TEST(LrcParser, ExchangeOrderMatchesTheLiteralProcedure) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 3000; ++round) {
    size_t n = std::uniform_int_distribution<size_t>(0, 40)(rng);
    // Few distinct times, so most entries have equal times.
    long long range = std::uniform_int_distribution<long long>(0, round % 3 == 0 ? 2 : 8)(rng);
    std::vector<long long> times(n);
    for (auto& t : times) t = std::uniform_int_distribution<long long>(0, range)(rng);
    std::vector<size_t> expected(n);
    for (size_t k = 0; k < n; ++k) expected[k] = k;
    std::vector<long long> sorted = times;
    LiteralExchangeSort(sorted, expected);
    ASSERT_EQ(LyricExchangeOrder(times), expected) << "round " << round;
  }
  // One long input with many runs of equal times.
  std::vector<long long> times(2500);
  for (auto& t : times) t = std::uniform_int_distribution<long long>(0, 30)(rng);
  std::vector<size_t> expected(times.size());
  for (size_t k = 0; k < expected.size(); ++k) expected[k] = k;
  std::vector<long long> sorted = times;
  LiteralExchangeSort(sorted, expected);
  EXPECT_EQ(LyricExchangeOrder(times), expected);
}

TEST(LrcParser, ParsedOrderMatchesTheLiteralProcedureOnRandomFiles) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    std::vector<long long> times;
    std::vector<std::string> texts;
    int lines = std::uniform_int_distribution<int>(0, 30)(rng);
    for (int l = 0; l < lines; ++l) {
      std::string lyric = "L" + std::to_string(l);
      int tags = std::uniform_int_distribution<int>(1, 3)(rng);
      for (int g = 0; g < tags; ++g) {
        int sec = std::uniform_int_distribution<int>(0, 5)(rng);
        text += "[0:" + std::to_string(sec) + (g % 2 ? ".50]" : "]");
        times.push_back(sec);
        texts.push_back(lyric);
      }
      text += lyric + (l % 2 ? "\r\n" : "\n");
    }
    LiteralExchangeSort(times, texts);
    Entries expected;
    for (size_t k = 0; k < times.size(); ++k)
      expected.emplace_back(std::to_string(times[k]), texts[k]);
    ASSERT_EQ(Parse(text), expected) << text;
  }
}

TEST(LrcParser, HostileLinesStayBounded) {
  // Many tags on one line: handled without deep recursion, all kept.
  std::string many;
  for (int k = 0; k < 200000; ++k) many += "[0:1]";
  many += "x";
  TLyricTimeline t;
  ParseLyricText(t, many);
  EXPECT_EQ(t.Times.size(), 200000u);
  EXPECT_EQ(t.Texts.back(), "x");

  // Many tags times a long text would multiply the text in memory: the stored
  // text is capped and the line ends where the cap is reached.
  const size_t textSize = 256u << 10;
  std::string wide;
  for (int k = 0; k < 1000; ++k) wide += "[0:2]";
  wide += std::string(textSize, 'w');
  ParseLyricText(t, "[0:1]first\n" + wide + "\n[0:3]last\n");
  size_t fit = (kMaxLyricTextBytes - 5) / textSize;
  ASSERT_EQ(t.Times.size(), fit + 2);
  EXPECT_EQ(t.Texts.front(), "first");
  EXPECT_EQ(t.Texts.back(), "last");
}

TEST(LrcParser, LoadLyricFileReadsGbkBytes) {
  testsupport::TempDir dir;
  // A Korean file name is outside GBK; it reaches the file system intact.
  const std::string path = cp::PathToAnsi(dir / "\xEB\x85\xB8\xEB\x9E\x98.lrc");
  testsupport::WriteFile(
      cp::AnsiToPath(path),
      "[ti:\xB8\xE8]\r\n[00:02.10]\xCA\xC0\xBD\xE7\r\n[00:01]\xC4\xE3\xBA\xC3\r\n");
  TLyricTimeline t;
  t.Cursor = 3;
  ASSERT_TRUE(LoadLyricFile(t, path));
  EXPECT_EQ(EntriesOf(t), (Entries{{"1", "\xC4\xE3\xBA\xC3"}, {"2", "\xCA\xC0\xBD\xE7"}}));
  EXPECT_EQ(t.Cursor, 0);
}

TEST(LrcParser, LoadLyricFileMissingOrUnreadable) {
  testsupport::TempDir dir;
  TLyricTimeline t;
  t.Times = {"1"};
  t.Texts = {"kept"};
  t.Cursor = 1;
  const Entries before = EntriesOf(t);

  // No file, a folder, and a path through a file: nothing to load, nothing changes.
  std::filesystem::create_directory(dir / "folder.lrc");
  testsupport::WriteFile(dir / "plain", "x");
  for (const char* name : {"missing.lrc", "folder.lrc", "plain/sub.lrc"}) {
    EXPECT_FALSE(LoadLyricFile(t, cp::PathToAnsi(dir / name))) << name;
    EXPECT_EQ(EntriesOf(t), before);
    EXPECT_EQ(t.Cursor, 1);
  }

  // A FIFO exists but is no file to read: a clear error at once, no hang.
  const std::string fifo = cp::PathToAnsi(dir / "pipe.lrc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  try {
    LoadLyricFile(t, fifo);
    FAIL() << "no error for a FIFO";
  } catch (const lyrano::FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + fifo + "\". ", 0), 0u)
        << e.what();
  }
  EXPECT_EQ(EntriesOf(t), before);
  EXPECT_EQ(t.Cursor, 1);

  // Oversized files are refused; one at the limit is read.
  const std::string big = cp::PathToAnsi(dir / "big.lrc");
  testsupport::WriteFile(cp::AnsiToPath(big), "[00:01]x\n");
  std::filesystem::resize_file(cp::AnsiToPath(big), kMaxLyricFileBytes + 1);
  EXPECT_THROW(LoadLyricFile(t, big), lyrano::FileError);
  EXPECT_EQ(EntriesOf(t), before);
  std::filesystem::resize_file(cp::AnsiToPath(big), kMaxLyricFileBytes);
  ASSERT_TRUE(LoadLyricFile(t, big));
  EXPECT_EQ(EntriesOf(t), (Entries{{"1", "x"}}));
}

TEST(LrcParser, OffsetTagIsReadFromTheFrontOfItsLine) {
  struct Case {
    const char* line;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"[offset:500]", 500},
      {"[offset:+500]", 500},
      {"[offset:-250]", -250},
      {"[OFFSET: -250 ]", -250},
      {"  \t[Offset:100]", 100},
      {"[offset:0]", 0},
      {"[offset:3600000]", 3600000},
      {"[offset:500]trailing text", 500},
      {"[offset:3600001]", std::nullopt},
      {"[offset:99999999999999999999]", std::nullopt},
      {"[offset:]", std::nullopt},
      {"[offset:+]", std::nullopt},
      {"[offset:abc]", std::nullopt},
      {"[offset:1.5]", std::nullopt},
      {"[offset:5 0]", std::nullopt},
      {"[offset:--5]", std::nullopt},
      {"[offset:5", std::nullopt},
      {"[offset5]", std::nullopt},
      {"<offset:5]", std::nullopt},
      {"[offsets:5]", std::nullopt},
      {"x[offset:5]", std::nullopt},
      {"[ti:x][offset:5]", std::nullopt},
      {"[offse", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(LyricOffsetTag(c.line), c.expected) << c.line;
}

TEST(LrcParser, OffsetTagSetsTheTimelineOffsetAndLeavesTheLinesAsTheyWere) {
  TLyricTimeline t;
  ParseLyricText(t, "[ti:Song]\r\n[offset:+500]\r\n[00:01]a\r\n[offset:500][00:02]b\r\n");
  EXPECT_EQ(t.OffsetMs, 500);
  // A line that starts with the offset tag is no timed line, as before.
  EXPECT_EQ(EntriesOf(t), (Entries{{"1", "a"}}));
  // The last tag that reads counts; garbage is ignored.
  ParseLyricText(t, "[offset:100]\n[offset:-300]\n[offset:junk]\n[00:01]a");
  EXPECT_EQ(t.OffsetMs, -300);
  // Every fill starts from the file's own timing.
  ParseLyricText(t, "[offset:junk]\n[00:01]a");
  EXPECT_EQ(t.OffsetMs, 0);
  ParseLyricText(t, "[offset:700]");
  ParseLyricText(t, "[00:01]a");
  EXPECT_EQ(t.OffsetMs, 0);
}

}  // namespace
