// Song number to stream address and lyrics, against a loopback song
// information service.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

#include "common/errors.h"
#include "online/Addresses.h"
#include "online/OnlineFixtures.h"
#include "online/ResolveSong.h"
#include "support/TestSupport.h"

namespace {

using onlinetest::A;

// Answers /info?id=N with answers[N]; serves /lrc/* and counts every request.
class InfoService {
 public:
  InfoService() {
    server_.server().Get("/info", [this](const httplib::Request& req, httplib::Response& res) {
      Count(req.path);
      std::lock_guard lock(mutex_);
      auto it = answers_.find(req.get_param_value("id"));
      if (it == answers_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "application/json");
    });
    server_.server().Get(
        R"(/lrc/(\w+)\.lrc)", [this](const httplib::Request& req, httplib::Response& res) {
          Count(req.path);
          if (req.matches[1] == "missing") {
            res.status = 404;
            return;
          }
          res.set_content("[00:01.00]" + std::string(req.matches[1]) + "\r\n", "text/plain");
        });
    server_.Start();
    rules_ = onlinetest::SiteRules(server_.url("").substr(7));
  }
  void Answer(const std::string& id, const std::string& json) {
    std::lock_guard lock(mutex_);
    answers_[id] = json;
  }
  int Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<std::string> Paths() {
    std::lock_guard lock(mutex_);
    return paths_;
  }
  std::string url(std::string_view path) const { return server_.url(path); }
  const TRuleValues& rules() const { return rules_; }

 private:
  void Count(const std::string& path) {
    std::lock_guard lock(mutex_);
    ++requests_;
    paths_.push_back(path);
  }
  testsupport::LoopbackServer server_;
  TRuleValues rules_;
  std::mutex mutex_;
  std::map<std::string, std::string> answers_;
  std::vector<std::string> paths_;
  int requests_ = 0;
};

struct Resolved {
  std::string stream;
  std::string lyrics;
};

Resolved Resolve(InfoService& site, int32_t id) {
  Resolved r{"x", "x"};
  ResolveSong(id, site.rules(), r.stream, r.lyrics);
  return r;
}

TEST(ReadSongInformation, ReadsAnAnswerWithoutAFetch) {
  const TRuleValues rules = onlinetest::SiteRules();
  TSongInformation info =
      ReadSongInformation(R"({"mp3":"http:\/\/h\/a.mp3","xcode":"q","lrc":"\/l\/1.lrc"})", rules);
  EXPECT_EQ(info.StreamAddress, "http://h/a.mp3?xcode=q");
  EXPECT_EQ(info.LyricUrl, addresses::SiteUrl() + "/l/1.lrc");
  // Without an access code there is no stream; the lyric address still stands.
  info = ReadSongInformation(R"({"mp3":"http://h/a.mp3","lrc":"http://l/2.lrc"})", rules);
  EXPECT_EQ(info.StreamAddress, "");
  EXPECT_EQ(info.LyricUrl, "http://l/2.lrc");
}

TEST(ResolveSong, NoSongNumberFetchesNothing) {
  InfoService site;
  for (int32_t id : {0, -5}) {
    const Resolved r = Resolve(site, id);
    EXPECT_EQ(r.stream, "");
    EXPECT_EQ(r.lyrics, "");
  }
  EXPECT_EQ(site.Requests(), 0);
}

TEST(ResolveSong, AnswersGiveStreamAndLyrics) {
  InfoService site;
  onlinetest::ScopedEnv env("LYRANO_SITE_URL", site.url(""));
  const std::string audio = site.url("/a/1.mp3");
  struct Case {
    const char* name;
    std::string json;
    std::string stream;
    std::string lyrics;
  };
  const Case cases[] = {
      {"site-relative lyric address",
       R"({"mp3":" )" + audio + R"( ","xcode":"K1","lrc":" /lrc/one.lrc "})", audio + "?xcode=K1",
       "[00:01.00]one\r\n"},
      {"absolute lyric address",
       R"({"mp3":")" + audio + R"(","xcode":"K","lrc":")" + site.url("/lrc/two.lrc") + R"("})",
       audio + "?xcode=K", "[00:01.00]two\r\n"},
      {"address already holds the code",
       R"({"mp3":")" + audio + R"(?xcode=OLD","xcode":"NEW","lrc":""})", audio + "?xcode=OLD", ""},
      {"lyric fetch fails", R"({"mp3":")" + audio + R"(","xcode":"K","lrc":"/lrc/missing.lrc"})",
       audio + "?xcode=K", ""},
  };
  int id = 1;
  for (const Case& c : cases) {
    site.Answer(std::to_string(id), c.json);
    const Resolved r = Resolve(site, id++);
    EXPECT_EQ(r.stream, c.stream) << c.name;
    EXPECT_EQ(r.lyrics, c.lyrics) << c.name;
  }
}

TEST(ResolveSong, EscapesAreUndoneAroundTheCapture) {
  InfoService site;
  onlinetest::ScopedEnv env("LYRANO_SITE_URL", site.url(""));
  // Patterns that capture the quotes of the values with them.
  TRuleValues rules = site.rules();
  rules.jsmp3 = "\"mp3\":(.+?),";
  rules.jsxcode = "\"xcode\":(.+?),";
  rules.jslrc = "\"lrc\":(.+?)}";
  site.Answer("9", R"({"mp3":"http:\/\/127.0.0.1\/a.mp3?u=1\u0026v=\"2\"","xcode":"\u0022Q\u0022",)"
                   R"("lrc":"\/lrc\/three.lrc"})");
  std::string stream;
  std::string lyrics;
  ResolveSong(9, rules, stream, lyrics);
  EXPECT_EQ(stream, "http://127.0.0.1/a.mp3?u=1&v=2?xcode=Q");
  EXPECT_EQ(lyrics, "[00:01.00]three\r\n");
}

TEST(ResolveSong, MissingAudioOrCodeEmptiesBothOutputs) {
  InfoService site;
  onlinetest::ScopedEnv env("LYRANO_SITE_URL", site.url(""));
  site.Answer("1", R"({"mp3":"http://h/a.mp3","xcode":"","lrc":"/lrc/one.lrc"})");
  site.Answer("2", R"({"xcode":"K","lrc":"/lrc/two.lrc"})");
  for (int32_t id : {1, 2, 3}) {  // 3: the information request fails
    const Resolved r = Resolve(site, id);
    EXPECT_EQ(r.stream, "") << id;
    EXPECT_EQ(r.lyrics, "") << id;
  }
  // The lyric files were fetched all the same; nothing after a failed request.
  EXPECT_EQ(site.Paths(),
            (std::vector<std::string>{"/info", "/lrc/one.lrc", "/info", "/lrc/two.lrc", "/info"}));
}

TEST(ResolveSong, TemplateTakesTheNumberAtEveryPlaceholder) {
  InfoService site;
  TRuleValues rules = site.rules();
  rules.jsurl = site.url("").substr(7) + A("/info?id=《歌曲ID》&again=《歌曲ID》");
  site.Answer("42", R"({"mp3":"http://h/42.mp3","xcode":"K","lrc":""})");
  std::string stream;
  std::string lyrics;
  ResolveSong(42, rules, stream, lyrics);
  EXPECT_EQ(stream, "http://h/42.mp3?xcode=K");

  rules.jsmp3 = "(";
  EXPECT_THROW(ResolveSong(42, rules, stream, lyrics), lyrano::PatternError);
  EXPECT_EQ(stream, "");
}

}  // namespace
