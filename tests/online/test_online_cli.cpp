// lyrano-cli's online commands end to end against a loopback site, and the real
// lyrano-demo service on a free port.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "lyrics/LyricRetrieval.h"
#include "online/IEgetHttp.h"
#include "online/OnlineFixtures.h"
#include "online/ResolveSong.h"
#include "online/RuleSet.h"
#include "online/Search.h"
#include "support/TestSupport.h"

extern char** environ;

namespace {

using testsupport::CliRun;
using testsupport::ShellQuote;

// Runs lyrano-cli with the three addresses pointing at `base`.
CliRun RunCli(const std::string& base, const std::string& args,
              const std::string& rulePath = "/rules.html") {
  return testsupport::RunCli(args, "LYRANO_RULE_URL=" + ShellQuote(base + rulePath) +
                                       " LYRANO_SITE_URL=" + ShellQuote(base) +
                                       " LYRANO_LYRIC_URL=" + ShellQuote(base));
}

// A small site: rule pages, one result page per keyword, song information,
// the title lookup and lyric files.
class CliSite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(testsupport::BuiltProgram("lyrano-cli")))
        << "build lyrano-cli first";
    auto& s = server_.server();
    s.Get("/rules.html", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(onlinetest::RulePage(rules_, "1"), "text/html; charset=utf-8");
    });
    s.Get("/broken.html", [this](const httplib::Request&, httplib::Response& res) {
      TRuleValues partial = rules_;
      partial.jsurl.clear();
      res.set_content(onlinetest::RulePage(partial, "3"), "text/html; charset=utf-8");
    });
    s.Get("/search", [](const httplib::Request& req, httplib::Response& res) {
      const std::string key = req.get_param_value("key");
      if (key == "none") return void(res.status = 404);
      if (key == "plain") return res.set_content("<p>no list</p>", "text/html");
      std::string page = "<a id='prev' href='/search?jump=0&amp;key=p'>";
      page += "<ol id=\"hits\"><li><b data-id=\"11\"></b><span class=\"t\">" + key +
              "</span><span class=\"s\">歌\t手</span></li>";
      if (key == "bad") page += "<li><b data-id=\"x\"></b><span class=\"t\">t</span></li>";
      page += "<li><span class=\"t\">二</span><i>nosinger</i></li></ol>";
      res.set_content(page, "text/html; charset=utf-8");
    });
    s.Get("/info", [this](const httplib::Request& req, httplib::Response& res) {
      const std::string id = req.get_param_value("id");
      if (id != "11") return void(res.status = 404);
      res.set_content(
          R"({"mp3":")" + server_.url("/s/11.mp3") + R"(","xcode":"c0de","lrc":"/bdlrc/0/11.lrc"})",
          "application/json");
    });
    s.Get("/box", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.get_param_value("t") != "歌名" || req.get_param_value("s") != "歌手") {
        return void(res.set_content("<none/>", "text/xml"));
      }
      res.set_content("<enc>" + server_.url("/s/x") + "</enc><dec>11.mp3</dec><lrc>11</lrc>",
                      "text/xml");
    });
    s.Get("/bdlrc/0/11.lrc", [](const httplib::Request&, httplib::Response& res) {
      // GBK with every kind of line end and an empty line.
      res.set_content(onlinetest::A("[00:01]第一\r\n[00:02]二\r\r[00:03]三\n"), "text/plain");
    });
    server_.Start();
    rules_ = onlinetest::SiteRules(server_.url("").substr(7));
  }

  std::string base() const { return server_.url(""); }

  testsupport::LoopbackServer server_;
  TRuleValues rules_;
};

TEST_F(CliSite, RulesListsKeysReadinessAndMessages) {
  CliRun run = RunCli(base(), "rules");
  EXPECT_EQ(run.rc, 0) << run.err;
  std::string expected;
  for (const rules::RuleKey& key : rules::kRuleKeys) {
    expected += std::string(key.name) + "\t" + cp::AnsiToUtf8(rules_.*key.field) + "\n";
  }
  EXPECT_EQ(run.out, expected + "ready\t1\n");

  run = RunCli(base(), "rules", "/broken.html");
  EXPECT_EQ(run.rc, 1);
  EXPECT_NE(run.out.find("jsurl\t\n"), std::string::npos);
  const std::string tail =
      "ready\t0\nmessage\t云库获取失败，请检测网络！或升级到最新版本！\n"
      "message\t您当前使用的并不是最新版本！请及时升级，保证正常使用。\n";
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);

  run = RunCli(base(), "rules", "/missing.html");
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.out.substr(run.out.size() - 8), "ready\t0\n");
}

TEST_F(CliSite, SearchPrintsRowsAndLinks) {
  CliRun run = RunCli(base(), "search ' 我们 '");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out, "row\t11\t我们\t歌\\t手\nrow\t0\t二\t\nnext\t\nprev\t" + base() +
                         "/search?jump=0&key=p\n");

  run = RunCli(base(), "search ' 关键字 '");
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.out, "message\t请输入关键字\n");

  run = RunCli(base(), "search none");  // the page cannot be fetched
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.out, "");

  run = RunCli(base(), "search plain");  // no list part: no rows, still a success
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out, "next\t\nprev\t\n");

  run = RunCli(base(), "search bad");
  EXPECT_EQ(run.rc, 2);
  EXPECT_EQ(run.out, "row\t11\tbad\t歌\\t手\n");
  EXPECT_EQ(run.err, "'x' is not a valid integer value\n");

  run = RunCli(base(), "page " + ShellQuote(base() + "/search?key=p"));
  EXPECT_EQ(run.rc, 0);
  EXPECT_EQ(run.out.substr(0, 12), "row\t11\tp\t歌");

  run = RunCli(base(), "search x", "/broken.html");
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.out, "ready\t0\n");
}

TEST_F(CliSite, ResolveAndFindPrintStreamAndLyricLines) {
  const std::string lyrics = "lyric\t[00:01]第一\nlyric\t[00:02]二\nlyric\t\nlyric\t[00:03]三\n";
  CliRun run = RunCli(base(), "resolve 11");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out, "stream\t" + base() + "/s/11.mp3?xcode=c0de\n" + lyrics);

  run = RunCli(base(), "find ' 歌名 ' 歌手");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out, "stream\t" + base() + "/s/11.mp3\n" + lyrics);

  for (const char* args : {"resolve 12", "resolve 0", "find 歌名", "find ' '"}) {
    run = RunCli(base(), args);
    EXPECT_EQ(run.rc, 1) << args;
    EXPECT_EQ(run.out, "stream\t\n") << args;
  }
  run = RunCli(base(), "resolve eleven");
  EXPECT_EQ(run.rc, 2);
  EXPECT_NE(run.err.find("eleven"), std::string::npos);
}

// The demo service as a child process on a port of its own choosing.
class DemoProcess {
 public:
  DemoProcess() {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string program = testsupport::BuiltProgram("lyrano-demo").string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--port"),
                    const_cast<char*>("0"), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The first line names the address; EOF if the service could not start.
    std::string line;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(fds[0]);
    const size_t at = line.find("http://127.0.0.1:");
    if (at != std::string::npos) base_ = line.substr(at, line.find('/', at + 7) - at);
  }
  ~DemoProcess() {
    if (pid_ > 0 && !stopped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Sends `sig` and returns the exit status (-1 unless it exited normally).
  int Stop(int sig) {
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    stopped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& base() const { return base_; }

 private:
  pid_t pid_ = -1;
  bool stopped_ = false;
  std::string base_;
};

TEST(DemoService, ServesRulesAndSearchesToTheCli) {
  ASSERT_TRUE(std::filesystem::exists(testsupport::BuiltProgram("lyrano-demo")));
  DemoProcess demo;
  ASSERT_FALSE(demo.base().empty());

  CliRun run = RunCli(demo.base(), "rules");
  EXPECT_EQ(run.rc, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\nready\t1\n"), std::string::npos);
  EXPECT_EQ(run.out.find("message"), std::string::npos);

  run = RunCli(demo.base(), "search 我们的歌");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find("\t我们的歌谣\t"), std::string::npos) << run.out;

  run = RunCli(demo.base(), "search 全部");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find("next\t" + demo.base() + "/search?jump=1&key="), std::string::npos)
      << run.out;
  // The title lookup gives the same song's stream.
  run = RunCli(demo.base(), "find 晚安小镇 橙子乐队");
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out.rfind("stream\t" + demo.base() + "/audio/57.wav?xcode=", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\nlyric\t[ti:晚安小镇]\n"), std::string::npos) << run.out;
  EXPECT_EQ(demo.Stop(SIGTERM), 0);

  DemoProcess second;
  ASSERT_FALSE(second.base().empty());
  EXPECT_EQ(second.Stop(SIGINT), 0);
}

// What a stream address answers, redirects not followed.
struct StreamAnswer {
  int status = 0;
  bool chunked = false;
  std::string location;
  std::string body;
};

StreamAnswer Get(const std::string& base, const std::string& url) {
  StreamAnswer a;
  httplib::Client client(base);
  client.set_follow_location(false);
  client.set_read_timeout(30, 0);  // a first request makes the song's audio
  auto res = client.Get(url.substr(base.size()));
  if (!res) return a;
  a.status = res->status;
  a.chunked = res->get_header_value("Transfer-Encoding") == "chunked";
  a.location = res->get_header_value("Location");
  a.body = res->body;
  return a;
}

// Every road of the demo catalogue, as a new user meets it from the search
// box: paging (one page in GBK), a row without a song number, titles longer
// than the caption cut or with an apostrophe or an entity, WAV and MP3 streams
// (one chunked, one behind a redirect), a song without lyrics and one whose
// stream fails.
TEST(DemoService, EveryRoadOfTheCatalogue) {
  ASSERT_TRUE(std::filesystem::exists(testsupport::BuiltProgram("lyrano-demo")));
  DemoProcess demo;
  ASSERT_FALSE(demo.base().empty());
  onlinetest::ScopedEnv site("LYRANO_SITE_URL", demo.base());
  onlinetest::ScopedEnv lyric("LYRANO_LYRIC_URL", demo.base());

  std::string page;
  ASSERT_TRUE(IEgetHttp::FetchPage(demo.base() + "/rules.html", page));
  const rules::RulePageReading reading = rules::ReadRulePage(true, page);
  ASSERT_TRUE(reading.ready);

  // The pages of a keyword, following the next links; their addresses too.
  std::vector<std::string> addresses;
  auto pages = [&](const char* keyword) {
    std::vector<std::vector<TPlaylistEntry>> out;
    addresses.clear();
    std::string url = *search::SearchAddress(onlinetest::A(keyword));
    for (int n = 0; !url.empty() && n < 10; ++n) {
      search::TResultPage result;
      EXPECT_TRUE(search::FetchResultPage(url, reading.values, result)) << url;
      EXPECT_FALSE(result.Rows.empty()) << url;
      out.push_back(result.Rows);
      addresses.push_back(url);
      url = result.NextPageUrl;
    }
    return out;
  };
  EXPECT_GE(pages("夏天").size(), 2u);
  const auto ours = pages("我们的歌");
  ASSERT_GE(ours.size(), 3u);
  // The second page is GBK HTML, read the same.
  std::string raw;
  ASSERT_TRUE(IEgetHttp::FetchRaw(addresses[1], raw));
  EXPECT_EQ(IEgetHttp::ClassifyUtf8(raw), IEgetHttp::Utf8Class::NotUtf8);
  EXPECT_NE(raw.find("charset=\"gbk\""), std::string::npos);
  const auto all = pages("全部");
  ASSERT_GE(all.size(), 4u);

  int withoutId = 0, longTitle = 0, apostrophe = 0, entity = 0, withoutSinger = 0;
  for (const auto& rows : ours) {
    for (const TPlaylistEntry& row : rows) {
      withoutId += row.SongId == 0;
      longTitle += row.Title.size() > 20;
      apostrophe += row.Title.find('"') != std::string::npos;  // the page's ' shows as "
      entity += row.Title.find("&amp;") != std::string::npos;  // titles are not decoded
    }
  }
  EXPECT_GE(withoutId, 1);
  EXPECT_GE(longTitle, 1);
  EXPECT_GE(apostrophe, 1);
  EXPECT_GE(entity, 1);

  std::set<std::string> distinct;
  int played = 0, mp3 = 0, chunked = 0, redirected = 0, failed = 0, silent = 0, lookedUp = 0;
  for (const auto& rows : all) {
    for (const TPlaylistEntry& song : rows) {
      SCOPED_TRACE(cp::AnsiToUtf8(song.Title));
      if (song.geshou.empty()) ++withoutSinger;
      std::string stream, lyrics;
      if (song.SongId != 0) {
        ResolveSong(song.SongId, reading.values, stream, lyrics);
      } else {
        // The title lookup, as the player runs it for a row without a number.
        CliRun run = RunCli(demo.base(), "find " + ShellQuote(cp::AnsiToUtf8(song.Title)) + " " +
                                             ShellQuote(cp::AnsiToUtf8(song.geshou)));
        ASSERT_EQ(run.rc, 0) << run.err;
        ASSERT_EQ(run.out.rfind("stream\t", 0), 0u) << run.out;
        stream = run.out.substr(7, run.out.find('\n') - 7);
        const size_t at = run.out.find("\nlyric\t");
        if (at != std::string::npos) lyrics = run.out.substr(at + 7);
        ++lookedUp;
      }
      ASSERT_FALSE(stream.empty());
      if (lyrics.empty()) {
        ++silent;
      } else {
        EXPECT_NE(lyrics.find("[00:0"), std::string::npos);  // timed lines
      }
      StreamAnswer answer = Get(demo.base(), stream);
      if (answer.status == 302) {
        ++redirected;
        EXPECT_EQ(answer.location.rfind(demo.base() + "/audio/", 0), 0u) << answer.location;
        answer = Get(demo.base(), answer.location);
      }
      if (answer.status == 404) {
        ++failed;
        std::string body;
        EXPECT_FALSE(IEgetHttp::FetchRaw(stream, body));
        continue;
      }
      ASSERT_EQ(answer.status, 200);
      ++played;
      chunked += answer.chunked;
      const std::string& audio = answer.body;
      ASSERT_GT(audio.size(), 1000u);
      if (audio.substr(0, 4) == "RIFF") {
        EXPECT_EQ(audio.substr(8, 4), "WAVE");
      } else {
        // An MP3 with its ID3 tag, as the encoder writes it.
        EXPECT_EQ(audio.substr(0, 3), "ID3");
        ++mp3;
      }
      distinct.insert(audio);
    }
  }
  EXPECT_EQ(static_cast<int>(distinct.size()), played);
  EXPECT_GE(played, 12);
  EXPECT_GE(mp3, 3);
  EXPECT_EQ(chunked, 1);
  EXPECT_EQ(redirected, 1);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(silent, 1);
  EXPECT_GE(lookedUp, 1);
  EXPECT_GT(withoutSinger, 0);

  // An address without its access code is refused.
  std::string body;
  EXPECT_FALSE(IEgetHttp::FetchRaw(demo.base() + "/audio/57.wav", body));
  EXPECT_EQ(demo.Stop(SIGTERM), 0);
}

}  // namespace
