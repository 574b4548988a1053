// The search address of the search button and the cutting of result pages.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "online/OnlineFixtures.h"
#include "online/Search.h"
#include "support/TestSupport.h"

namespace {

using onlinetest::A;

TEST(SearchAddress, BlankOrPlaceholderAsksForAKeyword) {
  onlinetest::ScopedEnv site("LYRANO_SITE_URL", "http://music.test");
  for (const char* text : {"", "   ", "\t\r\n", "关键字", "  关键字  "}) {
    EXPECT_EQ(search::SearchAddress(A(text)), std::nullopt) << text;
  }
  EXPECT_EQ(search::NoKeywordMessage(), A("请输入关键字"));
  EXPECT_EQ(search::KeywordPlaceholder(), A("关键字"));
  // Only the exact placeholder stands for "no keyword".
  EXPECT_EQ(search::SearchAddress(A("关键字们")),
            "http://music.test/search?jump=0&key=%e5%85%b3%e9%94%ae%e5%ad%97%e4%bb%ac");
}

TEST(SearchAddress, KeywordIsTrimmedAndSentAsEncodedUtf8) {
  onlinetest::ScopedEnv site("LYRANO_SITE_URL", "http://music.test");
  EXPECT_EQ(search::SearchAddress(A(" 我 们 ")),
            "http://music.test/search?jump=0&key=%e6%88%91+%e4%bb%ac");
  EXPECT_EQ(search::SearchAddress("a&b=c~'"), "http://music.test/search?jump=0&key=a%26b%3dc%7e'");
}

// A result page of the test site (UTF-8 source; cut as ANSI like a fetched page).
std::string Item(const std::string& inner) {
  return "<li>" + inner + "</li>\n";
}

const char* kRequested = "http://music.test/s/search?jump=0&key=x";

search::TResultPage Cut(const std::string& utf8Page) {
  search::TResultPage page;
  search::CutResultPage(A(utf8Page), kRequested, onlinetest::SiteRules(), page);
  return page;
}

TEST(ResultPage, ItemsBecomeRows) {
  const std::string page =
      "<html><a id='prev' href='/s/search?jump=1&amp;key=x'>prev</a><ol id=\"hits\">\n" +
      Item(
          "<b data-id=\"101\"></b><span class=\"t\"> <b>我们</b>的歌 </span>"
          "<span class=\"s\"><a href='/x'>林晓风</a></span>") +
      Item("<b data-id='31'></b><span class='t'>Rock'n'roll</span><span class=s>no</span>") +
      Item("<span class=\"t\">无号</span><span class=\"s\">某人</span>") +
      Item("<b data-id=\"7\"></b><span class=\"t\"><i></i></span><span class=\"s\">skip</span>") +
      Item(
          "<b data-id=\"8\"></b><span class=\"t\">无名</span><span class=\"s\">X</span>"
          "<i>nosinger</i>") +
      "</ol><a id=\"next\" href=\" search?jump=2&amp;key=x \">next</a></html>";
  std::vector<TPlaylistEntry> shown;
  search::TResultPage out;
  search::CutResultPage(A(page), kRequested, onlinetest::SiteRules(), out,
                        [&](const TPlaylistEntry& row) { shown.push_back(row); });
  const std::vector<TPlaylistEntry> expected = {
      {A("我们的歌"), A("林晓风"), 101, ""},
      {"Rock\"n\"roll", "", 31, ""},  // apostrophes show as double quotes
      {A("无号"), A("某人"), 0, ""},  // no song number
      {A("无名"), "", 8, ""},         // the no-singer marker wins over the pattern
  };
  EXPECT_EQ(out.Rows, expected);
  EXPECT_EQ(shown, expected);
  EXPECT_TRUE(out.HasNext);
  EXPECT_TRUE(out.HasPrev);
  // Resolved against the requested address, then entity-decoded.
  EXPECT_EQ(out.NextPageUrl, "http://music.test/s/search?jump=2&key=x");
  EXPECT_EQ(out.PrevPageUrl, "http://music.test/s/search?jump=1&key=x");
}

// A row may become a playlist line: a bar or a line break in its title or
// singer is replaced before the row is shown.
TEST(ResultPage, BarsAndLineBreaksInRowsAreReplaced) {
  const std::string page =
      "<ol id=\"hits\">" +
      Item("<b data-id=\"5\"></b><span class=\"t\">A|B</span><span class=\"s\">X\r\nY</span>") +
      Item("<span class=\"t\">Line\none</span><span class=\"s\">|</span>") + "</ol>";
  const std::string bar = std::string(kBarStandIn);
  const std::vector<TPlaylistEntry> expected = {{"A" + bar + "B", "X  Y", 5, ""},
                                                {"Line one", bar, 0, ""}};
  EXPECT_EQ(Cut(page).Rows, expected);
}

TEST(ResultPage, MissingPartsLeaveLinksAndNoRows) {
  const std::string next = "<a id=\"next\" href=\"p2\">";
  for (const std::string& page :
       {next + "no list here", next + "<ol id=\"hits\">\n</ol>", next + "<ol id=\"hits\"></ol>"}) {
    const search::TResultPage out = Cut(page);
    EXPECT_TRUE(out.Rows.empty()) << page;
    EXPECT_EQ(out.NextPageUrl, "http://music.test/s/p2");
    EXPECT_FALSE(out.HasPrev);
    EXPECT_EQ(out.PrevPageUrl, "");
  }
}

TEST(ResultPage, BadSongNumberKeepsTheRowsBeforeIt) {
  const std::string page = "<a id=\"prev\" href=\"p0\"><ol id=\"hits\">" +
                           Item("<b data-id=\"1\"></b><span class=\"t\">一</span>") +
                           Item("<b data-id=\"12abc\"></b><span class=\"t\">二</span>") +
                           Item("<b data-id=\"3\"></b><span class=\"t\">三</span>") + "</ol>";
  search::TResultPage out;
  EXPECT_THROW(search::CutResultPage(A(page), kRequested, onlinetest::SiteRules(), out),
               lyrano::ConvertError);
  ASSERT_EQ(out.Rows.size(), 1u);
  EXPECT_EQ(out.Rows[0].Title, A("一"));
  EXPECT_EQ(out.PrevPageUrl, "http://music.test/s/p0");
}

TEST(ResultPage, RejectedRulePatternIsAnError) {
  TRuleValues rules = onlinetest::SiteRules();
  rules.gequ = "(unbalanced";
  search::TResultPage out;
  const std::string page = "<ol id=\"hits\"><li><span class=\"t\">t</span></li></ol>";
  EXPECT_THROW(search::CutResultPage(page, kRequested, rules, out), lyrano::PatternError);
}

TEST(ResultPage, FetchedPageIsCutAgainstTheRequestedAddress) {
  testsupport::LoopbackServer server;
  server.server().Get("/a/start", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/b/moved");
  });
  server.server().Get("/b/moved", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        "<ol id=\"hits\"><li><span class=\"t\">歌</span><span class=\"s\">人</span></li></ol>"
        "<a id=\"next\" href=\"p2\">",
        "text/html; charset=utf-8");
  });
  server.server().Get("/gone",
                      [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  server.Start();

  search::TResultPage out;
  ASSERT_TRUE(search::FetchResultPage(server.url("/a/start"), onlinetest::SiteRules(), out));
  EXPECT_EQ(out.Rows, (std::vector<TPlaylistEntry>{{A("歌"), A("人"), 0, ""}}));
  EXPECT_EQ(out.NextPageUrl, server.url("/a/p2"));

  EXPECT_FALSE(search::FetchResultPage(server.url("/gone"), onlinetest::SiteRules(), out));
  EXPECT_TRUE(out.Rows.empty());
  EXPECT_FALSE(out.HasNext);
  // A page command before any search loads the empty address, which fails.
  EXPECT_FALSE(search::FetchResultPage("", onlinetest::SiteRules(), out));
}

}  // namespace
