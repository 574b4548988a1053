// The pattern dialect: options in effect, byte-mode semantics, search / search
// next / replace, and the patterns the dialect must refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.h"
#include "online/PatternDialect.h"
#include "online/RegExpr.h"

namespace {

using namespace std::string_literals;

// All successive matches (group 0) of pattern over input.
std::vector<std::string> AllMatches(std::string_view pattern, std::string_view input) {
  TRegExpr re(pattern);
  re.SetInputString(input);
  std::vector<std::string> out;
  for (bool found = re.Exec(); found; found = re.ExecNext()) out.push_back(re.Match(0));
  return out;
}

struct MatchCase {
  const char* name;
  std::string pattern;
  std::string input;
  bool found;
  std::string group1;
};

TEST(RegExprDialect, MatchesAsTheRulesExpect) {
  const std::vector<MatchCase> cases = {
      // Options: dot matches line breaks; no case folding without (?i).
      {"dot spans lines", "a(.+)b", "a\r\nx\nb", true, "\r\nx\n"},
      {"case sensitive by default", "ver=(\\d)", "VER=7", false, ""},
      {"inline i", "(?i)ver=【(\\d+)】", "VER=【7】", true, "7"},
      {"inline -i turns it off", "(?i)a(?-i)(b)", "Ab AB", true, "b"},
      {"ascii folding in GBK second byte", "(?i)(\x81\x41)", "\x81\x61", true, "\x81\x61"},
      {"no folding of high bytes", "(?i)(\xC0)", "\xE0", false, ""},
      {"no folding of high bytes 2", "(?i)(\xE0)", "\xC0", false, ""},
      // ^ and $ at the ends only.
      {"dollar not before final LF", "(x)$", "x\n", false, ""},
      {"dollar at very end", "(x)$", "ax", true, "x"},
      {"dollar not at inner line end", "(a)$", "a\nb", false, ""},
      {"caret not after LF", "^(b)", "a\nb", false, ""},
      {"inline m enables line anchors", "(?m)^(b)", "a\nb", true, "b"},
      {"inline -s stops dot at LF", "(?-s)a(.)", "a\n", false, ""},
      // \s is space, tab, LF, CR, FF; never VT.
      {"s matches FF", "a(\\s)b", "a\fb", true, "\f"},
      {"s never VT", "a\\sb", "a\vb", false, ""},
      {"S matches VT", "a(\\S)b", "a\vb", true, "\v"},
      {"S not space", "a\\Sb", "a b", false, ""},
      {"class with s no VT", "a[\\s]b", "a\vb", false, ""},
      {"s after a group never VT", "(a)\\sb", "a\vb", false, ""},
      {"s at the very end never VT", "a\\s", "a\v", false, ""},
      {"class with s and x", "a([x\\s]+)b", "ax \txb", true, "x \tx"},
      {"negated class with s", "a([^\\s]+)b", "a\vzb", true, "\vz"},
      {"class with S", "a([\\S]+)b", "a\v\x80zb", true, "\v\x80z"},
      {"negated class with S", "a([^\\S]+)b", "a \r\nb", true, " \r\n"},
      {"escaped backslash then s", "a\\\\s", "a\\s", true, ""},
      {"quoted s stays literal", "\\Q\\s\\E(x)", "\\sx", true, "x"},
      {"x mode comment", "(?x) a (b) # \\s [\n c", "abc", true, "b"},
      // \d and \w are ASCII.
      {"d digits", "(\\d+)", "ab123c", true, "123"},
      {"w ascii only", "(\\w+)", "\xC4\xE3_aZ9\xBA\xC3", true, "_aZ9"},
      // Greedy by default, lazy forms, inline g.
      {"greedy", "<(.+)>", "<a><b>", true, "a><b"},
      {"lazy", "<(.+?)>", "<a><b>", true, "a"},
      {"lazy braces", "(a{1,3}?)", "aaa", true, "a"},
      {"inline -g makes lazy", "(?-g)<(.+)>", "<a><b>", true, "a"},
      {"inline g restores greedy", "(?-g)(?g)<(.+)>", "<a><b>", true, "a><b"},
      {"inline r is ignored", "(?r)(a)", "a", true, "a"},
      // Alternation prefers the earlier alternative.
      {"earlier alternative wins", "(a|ab)", "ab", true, "a"},
      {"escaped punctuation", "(?i)\\[(\\d+)\\:(\\d+)\\]", "[01:23]", true, "01"},
      // The NUL byte ends the input.
      {"nothing after NUL", "(b)", "a\0b"s, false, ""},
      {"match before NUL", "(a+)", "aa\0a"s, true, "aa"},
      {"group that took no part", "(x)?y", "y", true, ""},
      // Question mark over an empty-able operand is harmless and allowed.
      {"optional empty group", "(a*)?b", "b", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRegExpr re(c.pattern);
    re.SetInputString(c.input);
    EXPECT_EQ(re.Exec(), c.found);
    EXPECT_EQ(re.Match(1), c.group1);
  }
}

TEST(RegExprDialect, FixedPatternsOfTheSystem) {
  std::string page =
      "head\r\n【我的正则区域开始】listcat=【<ul>(.+?)</ul>】\r\n"
      "ver=【12】\r\n【我的正则区域结束】tail";
  std::string region =
      regexpr::FirstGroup("(?i)【我的正则区域开始】(.+?)【我的正则区域结束】", page);
  EXPECT_EQ(region, "listcat=【<ul>(.+?)</ul>】\r\nver=【12】\r\n");
  EXPECT_EQ(regexpr::FirstGroup("(?i)listcat=【(.+?)】", region), "<ul>(.+?)</ul>");
  EXPECT_EQ(regexpr::FirstGroup("(?i)ver=【(\\d+)】", region), "12");

  TRegExpr tags("(?i)<.+?>");
  EXPECT_EQ(tags.Replace("<b>x</b>", ""), "x");
  EXPECT_EQ(tags.Replace("<>", ""), "<>");
  EXPECT_EQ(tags.Replace("a<b\r\nc>d<", ""), "ad<");

  EXPECT_EQ(AllMatches("(?i)\\[\\d+\\:\\d+\\.\\d+\\]", "[00:01.50]a[00:02]b[1:2.3]"),
            (std::vector<std::string>{"[00:01.50]", "[1:2.3]"}));
}

TEST(RegExprSearch, NextMatchesAreSuccessiveAndNonOverlapping) {
  EXPECT_EQ(AllMatches("a.", "aaaab"), (std::vector<std::string>{"aa", "aa"}));
  // After an empty match the search goes on one byte further.
  EXPECT_EQ(AllMatches("x*", "axxb"), (std::vector<std::string>{"", "xx", "", ""}));
  EXPECT_EQ(AllMatches("", "ab"), (std::vector<std::string>{"", "", ""}));
  // ^ holds only at the first byte, even for later searches.
  EXPECT_EQ(AllMatches("^a", "aaa"), (std::vector<std::string>{"a"}));

  TRegExpr re("(\\d)(x)?");
  re.SetInputString("a1b2x");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.MatchPos(), 1);
  EXPECT_EQ(re.MatchLen(), 1);
  EXPECT_EQ(re.SubExprMatchCount(), 2);
  ASSERT_TRUE(re.ExecNext());
  EXPECT_EQ(re.Match(0), "2x");
  EXPECT_EQ(re.Match(2), "x");
  EXPECT_EQ(re.Match(3), "");
  EXPECT_EQ(re.Match(-1), "");
  EXPECT_FALSE(re.ExecNext());
  EXPECT_EQ(re.Match(0), "");
  EXPECT_EQ(re.MatchPos(), -1);
  EXPECT_FALSE(re.ExecNext());  // stays false after the end
  // Exec starts again from the first byte.
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.Match(1), "1");
}

TEST(RegExprSearch, OneMatcherManyPatternsEachFromTheStart) {
  TRegExpr re;
  re.SetInputString("id=5 name=x id=6");
  re.SetExpression("name=(\\w)");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.Match(1), "x");
  re.SetExpression("id=(\\d)");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.Match(1), "5");
  re.SetInputString("none");
  EXPECT_FALSE(re.Exec());
  EXPECT_EQ(re.Match(1), "");
}

TEST(RegExprSearch, ReplaceAll) {
  TRegExpr re("a*");
  // Empty matches between bytes are replaced too, as in Perl's s///g.
  EXPECT_EQ(re.Replace("baac", "-"), "-b--c-");
  TRegExpr digits("\\d+");
  EXPECT_EQ(digits.Replace("a12b3", ""), "ab");
  EXPECT_EQ(digits.Replace("", ""), "");
  // The input ends at NUL here too.
  EXPECT_EQ(digits.Replace("1a\0002"s, ""), "a");
}

struct BadPattern {
  std::string pattern;
  std::string mentions;  // part of the error text
};

TEST(RegExprErrors, BadPatternsAreReportedOnUse) {
  const std::vector<BadPattern> cases = {
      {"(ab", "position"},
      {"ab)", "position"},
      {"abc\\", "position"},
      {"[z-a]", "position"},
      {"a{3,1}", "position"},
      {"(a*)*", "empty"},
      {"(a?)+", "empty"},
      {"()*", "empty"},
      {"(x|)*", "empty"},
      {"(?:a*b*){2,}", "empty"},
      {"(?i)x(\\s*)+", "empty"},
      {"(?:(a|b?)c?)*", "empty"},
      // What comes after an escape, a lookbehind or a class is still checked.
      {"\\N(a*)*", "empty"},
      {"(?<!a)(b*)*", "empty"},
      {"[a:](b*)*x:]", "empty"},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)", "groups"},
      {"(?<n>a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)", "groups"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    TRegExpr re(c.pattern);  // constructing is fine; the search reports it
    re.SetInputString("abc");
    try {
      re.Exec();
      ADD_FAILURE() << "no error";
    } catch (const lyrano::PatternError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
    EXPECT_THROW(re.Exec(), lyrano::PatternError);  // stays bad until replaced
  }
}

TEST(RegExprErrors, PositionPointsIntoTheOriginalPattern) {
  // \s is rewritten internally; the reported position must still be the user's.
  TRegExpr re("\\s\\s\\s(");
  re.SetInputString("x");
  try {
    re.Exec();
    FAIL();
  } catch (const lyrano::PatternError& e) {
    EXPECT_NE(std::string(e.what()).find("position 8"), std::string::npos) << e.what();
  }
  TRegExpr q("ab(c*)*");
  q.SetInputString("x");
  try {
    q.Exec();
    FAIL();
  } catch (const lyrano::PatternError& e) {
    EXPECT_NE(std::string(e.what()).find("position 7"), std::string::npos) << e.what();
  }
}

TEST(RegExprErrors, AcceptedLimitsAndLookalikes) {
  // Exactly 14 groups, a non-capturing group on top, and repeats over non-empty
  // operands are all fine.
  TRegExpr re("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(?:n)(o)");
  re.SetInputString("abcdefghijklmno");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.Match(14), "o");
  for (const char* ok : {"(a+)*", "(?:a|b)+", "(a*b)*", "(a*){1}", "(a*){0,1}", "x{2}", "a{,3}",
                         "\\(*", "[()]*", "(?#(a*)x*", "\\Q(a*)*\\E", "(?=a)a*", "(\\d)\\1*"}) {
    SCOPED_TRACE(ok);
    TRegExpr r(ok);
    r.SetInputString("x");
    EXPECT_NO_THROW(r.Exec());
  }
}

// A rule page is outside input: constructs that hide parentheses and brackets
// (callout strings, verb names, comments) must be read as PCRE2 reads them.
TEST(RegExprHostile, CalloutStringsAreReadWithTheirDelimiters) {
  // Each "(" inside the string was once taken for a group, one stack frame each.
  const std::string deep = "(?C{)" + std::string(60000, '(') + "})x";
  EXPECT_EQ(AllMatches(deep, "axbx"), (std::vector<std::string>{"x", "x"}));
  // "()*" inside a string is no group, hence no empty repeat.
  EXPECT_EQ(AllMatches("(?C')()*')x", "ax"), std::vector<std::string>{"x"});
  const std::pair<char, char> delimiters[] = {{'`', '`'}, {'\'', '\''}, {'"', '"'}, {'^', '^'},
                                              {'%', '%'}, {'#', '#'},   {'$', '$'}, {'{', '}'}};
  for (auto [open, close] : delimiters) {
    // A doubled closing delimiter stands for itself and does not end the string.
    const std::string string = std::string("(a*)*") + close + close + "([)";
    const std::string pattern = std::string("(?C") + open + string + close + ")a\\sb";
    SCOPED_TRACE(pattern);
    EXPECT_EQ(AllMatches(pattern, "xa b"), std::vector<std::string>{"a b"});
  }
  // A real empty repeat after a callout is still refused.
  EXPECT_THROW(AllMatches("(?C'x')(a*)*", "a"), lyrano::PatternError);
  EXPECT_THROW(AllMatches("(?(?C'(')(a*)*|b)", "a"), lyrano::PatternError);
}

TEST(RegExprHostile, VerbNamesRunToTheFirstParenthesis) {
  for (const char* pattern : {"(*MARK:[)a\\sb", "(*:[)a\\sb", "(*PRUNE:[)a\\sb", "(*THEN:[)a\\sb",
                              "(*MARK:\\)a\\sb", "(?C'[')a\\sb", "(?#[)a\\sb", "(?^x)#[\na\\sb"}) {
    SCOPED_TRACE(pattern);
    EXPECT_EQ(AllMatches(pattern, "a b"), std::vector<std::string>{"a b"});
    EXPECT_TRUE(AllMatches(pattern, "a\vb").empty());
  }
  EXPECT_EQ(AllMatches("(*MARK:[)a\\Sb", "a b|axb"), std::vector<std::string>{"axb"});
  // A verb name ends at the first ")": what follows is pattern again.
  EXPECT_THROW(AllMatches("(*MARK:(a)(b*)*", "b"), lyrano::PatternError);
  // Assertions written with "(*" are groups like their "(?" forms.
  EXPECT_THROW(AllMatches("(*atomic:(a*)*)", "a"), lyrano::PatternError);
  EXPECT_EQ(AllMatches("(*pla:ab)a", "aab"), std::vector<std::string>{"a"});
}

TEST(RegExprHostile, DeepNestingIsAClearErrorNotACrash) {
  // PCRE2 refuses it first ...
  const std::string nested = std::string(60000, '(') + std::string(60000, ')');
  EXPECT_THROW(AllMatches(nested, "a"), lyrano::PatternError);
  // ... and the dialect's own check stops at a depth of its own.
  try {
    regexpr::detail::CheckEmptyRepeats(nested);
    FAIL() << "no error";
  } catch (const lyrano::PatternError& e) {
    EXPECT_NE(std::string(e.what()).find("nested too deeply"), std::string::npos) << e.what();
  }
  EXPECT_NO_THROW(regexpr::detail::CheckEmptyRepeats(std::string(200, '(') + "a" +
                                                     std::string(200, ')') + "*"));
}

TEST(RegExprErrors, RunawayMatchStopsWithAnError) {
  // Exponential backtracking: each 'a' can be taken two ways and the match
  // fails only at the end.
  TRegExpr re("(a|aa)+b");
  re.SetInputString(std::string(60, 'a') + "cb");
  EXPECT_THROW(re.Exec(), lyrano::PatternError);
  // The same matcher still works on a sane input.
  re.SetInputString("aab");
  EXPECT_TRUE(re.Exec());
}

TEST(RegExprDialect, LargeLazyScanIsNotARunaway) {
  std::string page = "<p>" + std::string(2'000'000, 'x') + "</p>";
  EXPECT_EQ(regexpr::FirstGroup("(?i)<p>(.+?)</p>", page).size(), 2'000'000u);
}

}  // namespace
