// Conversions at the edges: GB18030 internal text against UTF-8, UTF-16 and
// file-system paths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/codepage.h"

namespace {

using namespace std::string_literals;

struct Pair {
  const char* name;
  std::string ansi;
  std::string utf8;
};

// Texts that convert both ways without loss.
const std::vector<Pair>& RoundTrips() {
  static const std::vector<Pair> pairs = {
      {"ascii", "Hello, 1|2", "Hello, 1|2"},
      {"empty", "", ""},
      {"gbk chinese", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"gbk markers", "\xA1\xBE\xA1\xBF", "\xE3\x80\x90\xE3\x80\x91"},  // 【】
      {"gbk trail byte 0x80", "\x81\x80", "\xE4\xBA\x90"},
      {"hangul, not in gbk", "\x82\x37\xCF\x35", "\xEA\xB0\x80"},
      {"astral, not in gbk", "\x95\x32\x82\x36", "\xF0\xA0\x80\x80"},
      {"nul inside", "a\0\xD6\xD0"s, "a\0\xE4\xB8\xAD"s},
  };
  return pairs;
}

TEST(Codepage, Utf8RoundTrips) {
  for (const auto& p : RoundTrips()) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(cp::AnsiToUtf8(p.ansi), p.utf8);
    EXPECT_EQ(cp::Utf8ToAnsi(p.utf8), p.ansi);
  }
}

TEST(Codepage, Utf16RoundTrips) {
  for (const auto& p : RoundTrips()) {
    SCOPED_TRACE(p.name);
    std::u16string wide = cp::AnsiToUtf16(p.ansi);
    EXPECT_EQ(cp::Utf16ToAnsi(wide), p.ansi);
    std::string le;
    std::string be;
    for (char16_t c : wide) {
      le += static_cast<char>(c & 0xFF);
      le += static_cast<char>(c >> 8);
      be += static_cast<char>(c >> 8);
      be += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(cp::Utf16LEToAnsi(le), p.ansi);
    EXPECT_EQ(cp::Utf16BEToAnsi(be), p.ansi);
  }
  EXPECT_EQ(cp::AnsiToUtf16("\xD6\xD0"), u"\u4E2D");
  EXPECT_EQ(cp::AnsiToUtf16("\x95\x32\x82\x36"), u"\U00020000");
}

TEST(Codepage, EuroByteReadsAsCp936Does) {
  EXPECT_EQ(cp::AnsiToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(cp::AnsiToUtf8("a\x80\xD6\xD0\x80"), "a\xE2\x82\xAC\xE4\xB8\xAD\xE2\x82\xAC");
  EXPECT_EQ(cp::AnsiToUtf16("\x80"), u"\u20AC");
}

TEST(Codepage, MalformedInputIsReplacedNotLost) {
  // UTF-8 side: each bad byte becomes '?', the rest converts.
  EXPECT_EQ(cp::Utf8ToAnsi("a\xFF"
                           "b"),
            "a?b");
  EXPECT_EQ(cp::Utf8ToAnsi("\xE4\xB8"), "??");
  EXPECT_EQ(cp::Utf8ToAnsi("\xC0\x80x"), "??x");
  // GB18030 side: U+FFFD stands for what cannot be read.
  EXPECT_EQ(cp::AnsiToUtf8("a\xFF"
                           "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(cp::AnsiToUtf8("b\xD6"), "b\xEF\xBF\xBD");
  // UTF-16: a lone surrogate, and an odd last byte that is ignored.
  EXPECT_EQ(cp::Utf16LEToAnsi("\x00\xD8"
                              "a\x00"s),
            "?a");
  EXPECT_EQ(cp::Utf16LEToAnsi("a\x00"
                              "b"s),
            "a");
  EXPECT_EQ(cp::Utf16BEToAnsi(""), "");
}

TEST(Codepage, Utf8ByteOrderMarkIsDropped) {
  EXPECT_EQ(cp::Utf8ToAnsi("\xEF\xBB\xBF"
                           "abc"),
            "abc");
  EXPECT_EQ(cp::Utf8ToAnsi("\xEF\xBB\xBF\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(cp::Utf8ToAnsi("\xEF\xBB\xBF"), "");
}

TEST(Codepage, PathsKeepEveryCharacter) {
  const std::string ansi = "/tmp/\xB8\xE8 \x82\x37\xCF\x35\x80.mp3";
  std::filesystem::path p = cp::AnsiToPath(ansi);
  EXPECT_EQ(p.string(), "/tmp/\xE6\xAD\x8C \xEA\xB0\x80\xE2\x82\xAC.mp3");
  // The euro sign comes back in its GB18030 form, which reads the same.
  EXPECT_EQ(cp::AnsiToUtf8(cp::PathToAnsi(p)), p.string());
  EXPECT_EQ(cp::PathToAnsi(cp::AnsiToPath("/a/\xB8\xE8.mp3")), "/a/\xB8\xE8.mp3");
}

// A file name that is not UTF-8 (GBK bytes from an archive made elsewhere)
// keeps its bytes through internal text, a playlist line and back, and shows
// one replacement character per byte that is no character.
TEST(Codepage, PathsThatAreNotUtf8KeepTheirBytes) {
  const std::vector<std::string> names = {
      "/m/\xB8\xE8.mp3",                       // GBK, not UTF-8
      "/m/\xE6\xAD\x8C\xFF-\xE4\xB8.mp3",      // valid, a stray byte, a cut sequence
      "\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80",  // overlong, surrogate, past U+10FFFF
      "\x80\xFE\x39\x81\x30",                  // bytes that look like an escape
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string ansi = cp::PathToAnsi(std::filesystem::path(name));
    EXPECT_EQ(ansi.find('?'), std::string::npos);
    EXPECT_EQ(cp::AnsiToPath(ansi).string(), name);
    EXPECT_EQ(cp::AnsiToPath(std::string(ansi)).native(), name);
  }
  // Only the bad bytes change: valid text around them is the usual GB18030.
  std::string ansi = cp::PathToAnsi(std::filesystem::path("\xE6\xAD\x8C\xB8\xE8"));
  EXPECT_EQ(ansi.substr(0, 2), "\xB8\xE8");
  EXPECT_EQ(cp::AnsiToUtf8(ansi), "\xE6\xAD\x8C\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(cp::AnsiToUtf16(ansi), u"\u6B4C\uFFFD\uFFFD");
  // Any bytes at all (short random names, biased towards the high half).
  std::mt19937 random(14);
  for (int n = 0; n < 2000; ++n) {
    std::string name(1 + random() % 12, ' ');
    for (char& c : name)
      c = static_cast<char>(random() % 3 == 0 ? 1 + random() % 127 : 0x80 + random() % 128);
    if (name.starts_with("\xEF\xBB\xBF")) continue;  // a byte-order mark is dropped as text
    ASSERT_EQ(cp::AnsiToPath(cp::PathToAnsi(std::filesystem::path(name))).native(), name);
  }
  // Names that are text are stored as before.
  EXPECT_EQ(cp::PathToAnsi(std::filesystem::path("/a/\xE6\xAD\x8C.mp3")), "/a/\xB8\xE8.mp3");
}

}  // namespace
