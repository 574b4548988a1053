// The title lookup: its address, the stream address from encode and decode,
// and the lyric file named by lrcid, against a loopback lookup service.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include "common/errors.h"
#include "lyrics/LyricRetrieval.h"
#include "online/OnlineFixtures.h"
#include "support/TestSupport.h"

namespace {

using onlinetest::A;

TEST(LookupAddress, PlaceholdersAreFilledEveryTime) {
  EXPECT_EQ(lyrics::LookupAddress(A("h/q?t=《歌名》&a=《歌手》&t2=《歌名》&k=《钥匙》"), A("我 们"),
                                  "", 0.25),
            "http://h/q?t=%e6%88%91+%e4%bb%ac&a=&t2=%e6%88%91+%e4%bb%ac&k=0.25");
  // Without the key placeholder no random value appears.
  EXPECT_EQ(lyrics::LookupAddress(A("h/q?a=《歌手》"), "t", A("林"), 0.5),
            "http://h/q?a=%e6%9e%97");
}

TEST(LookupAddress, RandomValueIsFreshAndInGeneralFormat) {
  EXPECT_EQ(lyrics::FormatRandom(0.349824613802117), "0.349824613802117");
  EXPECT_EQ(lyrics::FormatRandom(0.5), "0.5");
  EXPECT_EQ(lyrics::FormatRandom(0.1234567890123456789), "0.123456789012346");
  std::set<double> seen;
  for (int i = 0; i < 20; ++i) {
    const double r = lyrics::FreshRandom();
    EXPECT_GE(r, 0.0);
    EXPECT_LT(r, 1.0);
    seen.insert(r);
  }
  EXPECT_EQ(seen.size(), 20u);
}

TEST(LookupAddress, LyricPathComesFromTheId) {
  onlinetest::ScopedEnv env("LYRANO_LYRIC_URL", "http://lrc.test");
  EXPECT_EQ(lyrics::LyricAddress("1234567"), "http://lrc.test/bdlrc/12345/1234567.lrc");
  EXPECT_EQ(lyrics::LyricAddress("57"), "http://lrc.test/bdlrc/0/57.lrc");
  EXPECT_EQ(lyrics::LyricAddress("00100"), "http://lrc.test/bdlrc/1/00100.lrc");  // as captured
  for (const char* bad : {"", "12a", "1.5", "99999999999"}) {
    EXPECT_THROW(lyrics::LyricAddress(bad), lyrano::ConvertError) << bad;
  }
}

// Answers /box with the page set for the asked title; serves /bdlrc/*.
class LookupService {
 public:
  LookupService() {
    server_.server().Get("/box", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      paths_.push_back("/box");
      queries_.push_back(req.get_param_value("t") + "|" + req.get_param_value("s"));
      auto it = pages_.find(req.get_param_value("t"));
      if (it == pages_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "text/xml; charset=utf-8");
    });
    server_.server().Get(R"(/bdlrc/\d+/(\d+)\.lrc)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           paths_.push_back(req.path);
                           if (req.matches[1] == "404") {
                             res.status = 404;
                             return;
                           }
                           res.set_content("[00:02]" + std::string(req.matches[1]), "text/plain");
                         });
    server_.Start();
    rules_ = onlinetest::SiteRules(server_.url("").substr(7));
  }
  void Page(const std::string& titleUtf8, const std::string& page) {
    std::lock_guard lock(mutex_);
    pages_[titleUtf8] = page;
  }
  std::vector<std::string> Paths() {
    std::lock_guard lock(mutex_);
    return paths_;
  }
  std::vector<std::string> Queries() {
    std::lock_guard lock(mutex_);
    return queries_;
  }
  std::string url(std::string_view path) const { return server_.url(path); }
  const TRuleValues& rules() const { return rules_; }

 private:
  testsupport::LoopbackServer server_;
  TRuleValues rules_;
  std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  std::vector<std::string> paths_;
  std::vector<std::string> queries_;
};

struct Found {
  std::string lyrics;
  std::string stream;
};

Found Find(LookupService& site, const std::string& title, const std::string& singer = "") {
  Found f{"x", "x"};
  FindSongAndLyric(title, singer, site.rules(), f.lyrics, f.stream);
  return f;
}

TEST(ReadLookupAnswer, ReadsAnAnswerWithoutAFetch) {
  const TRuleValues rules = onlinetest::SiteRules();
  lyrics::TLookupAnswer a = lyrics::ReadLookupAnswer(
      "<enc> http://h/d/x.mp3 </enc><dec> s.mp3 </dec><lrc>0</lrc>", rules);
  EXPECT_EQ(a.StreamAddress, "http://h/d/s.mp3");
  EXPECT_FALSE(a.LyricId.has_value());  // "0": no lyrics
  // An empty number is still a number to look up (and a conversion error there).
  a = lyrics::ReadLookupAnswer("<dec>s.mp3</dec><lrc> </lrc>", rules);
  EXPECT_EQ(a.StreamAddress, "");
  EXPECT_EQ(a.LyricId, std::optional<std::string>(""));
}

TEST(FindSongAndLyric, BlankTitleFetchesNothing) {
  LookupService site;
  for (const char* title : {"", "   ", "\t\r\n"}) {
    const Found f = Find(site, title, "singer");
    EXPECT_EQ(f.stream, "");
    EXPECT_EQ(f.lyrics, "");
  }
  EXPECT_TRUE(site.Paths().empty());
}

TEST(FindSongAndLyric, AnswersGiveStreamAndLyrics) {
  const std::string enc = "<enc> http://media.test/a/b/seed.mp3?q=1 </enc>";
  struct Case {
    const char* title;
    std::string page;
    std::string stream;
    std::string lyrics;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {"full",
       enc + "<dec> 55.mp3 </dec><lrc> 12345 </lrc>",
       "http://media.test/a/b/55.mp3",
       "[00:02]12345",
       {"/box", "/bdlrc/123/12345.lrc"}},
      {"lrcid zero",
       enc + "<dec>1.mp3</dec><lrc>0</lrc>",
       "http://media.test/a/b/1.mp3",
       "",
       {"/box"}},
      {"no lrcid", enc + "<dec>1.mp3</dec>", "http://media.test/a/b/1.mp3", "", {"/box"}},
      {"lyric missing",
       enc + "<dec>1.mp3</dec><lrc>404</lrc>",
       "http://media.test/a/b/1.mp3",
       "",
       {"/box", "/bdlrc/4/404.lrc"}},
      // The lyric file is fetched even though no stream address comes of it.
      {"no encode", "<dec>1.mp3</dec><lrc>57</lrc>", "", "", {"/box", "/bdlrc/0/57.lrc"}},
      {"blank decode", enc + "<dec>  </dec><lrc>57</lrc>", "", "", {"/box", "/bdlrc/0/57.lrc"}},
      {"blank encode", "<enc> </enc><dec>1.mp3</dec>", "", "", {"/box"}},
      {"not found", "", "", "", {"/box"}},
  };
  for (const Case& c : cases) {
    LookupService fresh;
    onlinetest::ScopedEnv lyricEnv("LYRANO_LYRIC_URL", fresh.url(""));
    if (!c.page.empty()) fresh.Page(c.title, c.page);
    const Found f = Find(fresh, c.title);
    EXPECT_EQ(f.stream, c.stream) << c.title;
    EXPECT_EQ(f.lyrics, c.lyrics) << c.title;
    EXPECT_EQ(fresh.Paths(), c.paths) << c.title;
  }
}

TEST(FindSongAndLyric, TitleAndSingerAreTrimmedAndSentAsUtf8) {
  LookupService site;
  onlinetest::ScopedEnv env("LYRANO_LYRIC_URL", site.url(""));
  site.Page("晚安 小镇", "<enc>http://m.test/d/x</enc><dec>57.wav</dec><lrc>0</lrc>");
  const Found f = Find(site, A("  晚安 小镇\t"), A(" 橙子乐队 "));
  EXPECT_EQ(f.stream, "http://m.test/d/57.wav");
  EXPECT_EQ(site.Queries(), (std::vector<std::string>{"晚安 小镇|橙子乐队"}));
}

TEST(FindSongAndLyric, BadLyricIdIsAConversionError) {
  LookupService site;
  onlinetest::ScopedEnv env("LYRANO_LYRIC_URL", site.url(""));
  site.Page("t", "<enc>http://m.test/d/x</enc><dec>1.wav</dec><lrc>abc</lrc>");
  std::string lyrics = "x";
  std::string stream = "x";
  EXPECT_THROW(FindSongAndLyric("t", "", site.rules(), lyrics, stream), lyrano::ConvertError);
  EXPECT_EQ(stream, "");
  EXPECT_EQ(lyrics, "");
}

}  // namespace
