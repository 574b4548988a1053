// The shared text helpers: field splitting, integers, URL encoding and
// combination, entity and escape decoding, rounding and time text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/funPub.h"

namespace {

using namespace std::string_literals;
using Fields = std::vector<std::string>;

TEST(FunPubSplit, NSeparatorsGiveNPlusOneFields) {
  EXPECT_EQ(funPub::SplitString("a||b", "|"), (Fields{"a", "", "b"}));
  EXPECT_EQ(funPub::SplitString("a|", "|"), (Fields{"a", ""}));
  EXPECT_EQ(funPub::SplitString("|a", "|"), (Fields{"", "a"}));
  EXPECT_EQ(funPub::SplitString("", "|"), (Fields{""}));
  EXPECT_EQ(funPub::SplitString("abc", "|"), (Fields{"abc"}));
  EXPECT_EQ(funPub::SplitString("a<>b<><>", "<>"), (Fields{"a", "b", "", ""}));
  // Exact bytes: the second byte of a GBK character may equal the separator.
  EXPECT_EQ(funPub::SplitString("\x95|x|y", "|"), (Fields{"\x95", "x", "y"}));
  // An empty separator cannot be found; no endless loop.
  EXPECT_EQ(funPub::SplitString("ab", ""), (Fields{"ab"}));
}

// Every way a line can end, blank lines kept, no phantom line after a last end.
TEST(FunPubText, NextLineEndsAtCrOrLfOrCrLf) {
  struct Case {
    std::string text;
    Fields lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a"}},
      {"a\r", {"a"}},
      {"\n\n", {"", ""}},
      {"\r\r\n\n\r", {"", "", "", ""}},
      {"a\n\r b", {"a", "", " b"}},
      {"x\0y\r\n\xC4\xE3"s, {"x\0y"s, "\xC4\xE3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Fields lines;
    size_t pos = 0;
    while (pos < c.text.size()) lines.emplace_back(funPub::NextLine(c.text, pos));
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(FunPubText, TrimAndReplaceAll) {
  EXPECT_EQ(funPub::Trim(" \t\r\n a b \x01\x20"), "a b");
  EXPECT_EQ(funPub::Trim("   "), "");
  EXPECT_EQ(funPub::Trim("\x80 "), "\x80");  // high bytes are text, not blanks
  EXPECT_EQ(funPub::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(funPub::ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(funPub::ReplaceAll("a.b.", ".", ".."), "a..b..");
}

TEST(FunPubStrToInt, AcceptsDecimalAndHex) {
  const std::vector<std::pair<std::string, int32_t>> good = {
      {"0", 0},
      {"42", 42},
      {"-7", -7},
      {"+7", 7},
      {"  12", 12},
      {"007", 7},
      {"$1F", 31},
      {"0x1f", 31},
      {"0XFF", 255},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"$7FFFFFFF", 2147483647},
  };
  for (const auto& [text, value] : good) {
    SCOPED_TRACE(text);
    EXPECT_EQ(funPub::StrToInt(text), value);
  }
}

TEST(FunPubStrToInt, RejectsEverythingElseWithTheExactText) {
  for (std::string text : {""s, " "s, "-"s, "12 "s, "1.5"s, "abc"s, "0x"s, "$"s, "2147483648"s,
                           "-2147483649"s, "99999999999999999999"s, "1e3"s, "\xA3\xB1"s}) {
    SCOPED_TRACE(text);
    int32_t out = 99;
    EXPECT_FALSE(funPub::TryStrToInt(text, out));
    EXPECT_EQ(out, 99);
    try {
      funPub::StrToInt(text);
      ADD_FAILURE() << "no error";
    } catch (const lyrano::ConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
    }
  }
  int32_t out = 0;
  EXPECT_FALSE(funPub::TryStrToInt("1\0"s, out));
  EXPECT_FALSE(funPub::TryStrToInt("1\0002"s, out));
}

TEST(FunPubStrToInt, ErrorTextShowsANulInsteadOfEndingThere) {
  // The text travels as a C string (what()): a raw NUL would cut it to "'".
  try {
    funPub::StrToInt("\0001\0002"s);
    FAIL() << "no error";
  } catch (const lyrano::ConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'\\01\\02' is not a valid integer value");
  }
}

TEST(FunPubUrlEncode, FormStyle) {
  EXPECT_EQ(funPub::UrlEncode("a b~"), "a+b%7e");
  EXPECT_EQ(funPub::UrlEncode("\xC3\xA9"), "%c3%a9");
  EXPECT_EQ(funPub::UrlEncode("@!'$()*-._"), "@!'$()*-._");
  EXPECT_EQ(funPub::UrlEncode("AZaz09"), "AZaz09");
  EXPECT_EQ(funPub::UrlEncode("&=+/?%#\n"), "%26%3d%2b%2f%3f%25%23%0a");
  EXPECT_EQ(funPub::UrlEncode("ab\0cd"s), "ab");
  EXPECT_EQ(funPub::UrlEncode(""), "");
}

TEST(FunPubCombineUrl, ResolvesAndCanonicalises) {
  struct Case {
    const char* base;
    const char* relative;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"http://h/a/b/c", "d", "http://h/a/b/d"},
      {"http://h/a/b/c", "../d/./e", "http://h/a/d/e"},
      {"http://h/a/b/c", "/x?p=1&q=2", "http://h/x?p=1&q=2"},
      {"http://h/a/b/c?q=1", "?p=2", "http://h/a/b/c?p=2"},
      {"http://h/a/b/c", "//other:8080/x", "http://other:8080/x"},
      {"http://h/a/b/c", "https://s.example/y", "https://s.example/y"},
      {"http://h/a/b/c", "HTTP://X/y", "http://X/y"},
      {"http://h/a/b/c", "/../../x", "http://h/x"},
      {"http://h/a/b/c", "d e", "http://h/a/b/d%20e"},
      {"http://h/a/b/c", "d\t \r\n", "http://h/a/b/d"},
      {"http://h/a/b/c", "  d", "http://h/a/b/d"},
      {"http://h/a/b/c", "\xB8\xE8<x>|\"", "http://h/a/b/%B8%E8%3Cx%3E%7C%22"},
      {"http://h/a/b/c", "d%20e", "http://h/a/b/d%20e"},
      // A bare fragment or an empty address keeps the whole base.
      {"http://h/a/b/c?q#old", "#new", "http://h/a/b/c?q#new"},
      {"http://h/a/b/c?q#old", "", "http://h/a/b/c?q"},
      {"http://h/a/./b/c", "", "http://h/a/b/c"},
      // Nothing but web addresses come out.
      {"http://h/a/b/c", "file:///etc/passwd", ""},
      {"http://h/a/b/c", "javascript:void(0)", ""},
      {"http://h/a/b/c", "mailto:x@y", ""},
      {"ftp://h/a", "b", ""},
      {"", "b", ""},
      {"not a url", "b", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " + " + c.relative);
    EXPECT_EQ(funPub::CombineUrl(c.base, c.relative), c.expected);
  }
}

TEST(FunPubUrlDirectory, DropsLastSegmentAndQuery) {
  EXPECT_EQ(funPub::UrlDirectory("http://h.example:81/a/b.mp3?x=1&y=2"), "http://h.example:81/a/");
  EXPECT_EQ(funPub::UrlDirectory("http://h/a/"), "http://h/a/");
  EXPECT_EQ(funPub::UrlDirectory("http://h"), "http://h/");
  EXPECT_EQ(funPub::UrlDirectory("http://h/jiushihaowan.htnl/x"), "http://h/jiushihaowan.htnl/");
  EXPECT_EQ(funPub::UrlDirectory(""), "");
}

TEST(FunPubDecode, HtmlEntitiesInOrderAndNothingElse) {
  EXPECT_EQ(funPub::DecodeHtmlEntities("&quot;a&quot; &lt;b&gt; c&nbsp;d &amp; e"),
            "\"a\" <b> c d & e");
  // "&amp;" goes last, so an encoded entity is decoded only once.
  EXPECT_EQ(funPub::DecodeHtmlEntities("&amp;quot;"), "&quot;");
  EXPECT_EQ(funPub::DecodeHtmlEntities("&amp;lt;"), "&lt;");
  EXPECT_EQ(funPub::DecodeHtmlEntities("&QUOT;&Amp;&#38;&apos;"), "&QUOT;&Amp;&#38;&apos;");
  EXPECT_EQ(funPub::DecodeHtmlEntities(""), "");
}

TEST(FunPubDecode, JsonEscapesInOrderAndNothingElse) {
  EXPECT_EQ(funPub::DecodeJsonEscapes("a\\u0026b\\u0022c\\u0027d"), "a&b\"c'd");
  EXPECT_EQ(funPub::DecodeJsonEscapes("\\U0026\\u0041\\n\\u002"), "\\U0026\\u0041\\n\\u002");
  // "\u0026" becomes "&" first; what it forms afterwards is left alone.
  EXPECT_EQ(funPub::DecodeJsonEscapes("\\u0026amp;"), "&amp;");
}

TEST(FunPubTime, RoundHalfUp) {
  const std::vector<std::pair<double, int32_t>> cases = {
      {2.5, 3},
      {2.49, 2},
      {3.5, 4},
      {0.0, 0},
      {0.4999, 0},
      {-1.5, -1},
      {-1.6, -1},
      {-0.2, 0},
      {7.0, 7},
      {1e12, std::numeric_limits<int32_t>::max()},
      {-1e12, std::numeric_limits<int32_t>::min()},
      {std::nan(""), 0},
  };
  for (const auto& [x, expected] : cases) {
    SCOPED_TRACE(x);
    EXPECT_EQ(funPub::RoundHalfUp(x), expected);
  }
}

TEST(FunPubTime, FormatSeconds) {
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {0, "0:00"},      {5, "0:05"},
      {9, "0:09"},      {10, "0:10"},
      {69, "1:09"},     {70, "1:10"},
      {59, "0:59"},     {60, "1:00"},
      {-10, "-0:10"},   {-70, "-1:10"},
      {83, "1:23"},     {600, "10:00"},
      {6000, "100:00"}, {-5, "-0:05"},
      {-65, "-1:05"},   {std::numeric_limits<int64_t>::min(), "-153722867280912930:08"},
  };
  for (const auto& [s, text] : cases) {
    SCOPED_TRACE(s);
    EXPECT_EQ(funPub::FormatSeconds(s), text);
  }
}

}  // namespace
