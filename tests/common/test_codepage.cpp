// Conversions at the edges: GB18030 internal text against UTF-8, UTF-16 and
// file-system paths.
#include <gtest/gtest.h>

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

}  // namespace
