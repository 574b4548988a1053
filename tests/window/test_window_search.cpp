// The search box, the search button, result pages and the search list's
// commands, against a small music site on a loopback server.
#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <map>

#include "WindowFixture.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowSearch : public wintest::WindowTest {
 protected:
  void Routes(httplib::Server& server) override {
    song_ = Tone("remote.mp3", 4.0, "ignored");
    // Page 1 (the search for "歌", also at /page1) links to page 2, page 2
    // back to page 1 and on to page 3, which has neither rows nor links.
    auto item = [](int id, const std::string& title, const std::string& singer) {
      return "<li data-id=\"" + std::to_string(id) + "\"><b>" + title + "</b><i>" + singer +
             "</i></li>";
    };
    auto list = [](const std::string& items, const std::string& links) {
      return "<html><ul id=\"list\">" + items + "</ul>" + links + "</html>";
    };
    const std::string page1 = list(item(5, "甲<span>歌</span>", "乙") + item(6, "丙歌", "nobody") +
                                       "<li data-id=\"7\"><b> </b></li>",
                                   "<a class=\"next\" href=\"/page2?x=1&amp;y=2\">next</a>");
    server.Get("/search", [=, this](const httplib::Request& req, httplib::Response& res) {
      std::string key = req.get_param_value("key");
      if (key == "静") gate_.WaitFor(std::chrono::seconds(20));  // a silent site
      std::string page;
      if (key == "歌") page = page1;
      if (key == "多") {
        // Enough rows that filling the list lets the window run many times.
        std::string items;
        for (int i = 1; i <= 3000; ++i) items += item(1000 + i, "多" + std::to_string(i), "");
        page = list(items, "");
      }
      if (page.empty())
        page = list("", "<a class=\"next\" href=\"/search?jump=1&amp;key=x\">n</a>");
      res.set_content(page, "text/html; charset=utf-8");
    });
    server.Get("/page1", [=](const httplib::Request&, httplib::Response& res) {
      res.set_content(page1, "text/html; charset=utf-8");
    });
    server.Get("/page2", [=](const httplib::Request& req, httplib::Response& res) {
      // The query of the link arrives decoded from its entity.
      std::string rows = req.get_param_value("y") == "2" ? item(8, "丁歌", "戊") : "";
      res.set_content(list(rows,
                           "<a class=\"prev\" href=\"page1\">p</a>"
                           "<a class=\"next\" href=\"/page3\">n</a>"),
                      "text/html; charset=utf-8");
    });
    server.Get("/page3", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html>nothing here</html>", "text/html; charset=utf-8");
    });
    server.Get("/info", [this](const httplib::Request& req, httplib::Response& res) {
      std::string id = req.get_param_value("id");
      if (id == "1") gate_.WaitFor(std::chrono::milliseconds(1500));  // slow
      if (id == "2") {                                                // silent
        gate_.WaitFor(std::chrono::seconds(20));
        return;
      }
      if (id == "3") {  // a byte every 2 s for a minute
        // Not a text type: the server would compress it and hold the bytes back.
        res.set_chunked_content_provider(
            "application/octet-stream", [this, n = 0](size_t, httplib::DataSink& sink) mutable {
              if (n++ == 30 || (n > 1 && gate_.WaitFor(std::chrono::seconds(2)))) {
                sink.done();
                return true;
              }
              return sink.write("x", 1);
            });
        return;
      }
      res.set_content("{\"mp3\":\"" + ServerBase() + "/song" + id + ".mp3\",\"xcode\":\"k" + id +
                          "\",\"lrc\":\"/lrc" + id + ".lrc\"}",
                      "application/json");
    });
    server.Get(R"(/song\d+\.mp3)", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(ReadBytes(song_), "audio/mpeg");
    });
    server.Get(R"(/lrc\d+\.lrc)", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("[00:00.50]first line\r\n[00:01.50]second line\r\n", "text/plain");
    });
  }

  void SetUp() override {
    WindowTest::SetUp();
    rulePage = SiteRulePage({});
  }
  void TearDown() override {
    gate_.Open();
    WindowTest::TearDown();
  }

  // The rule page of the test site, with some values replaced.
  std::string SiteRulePage(const std::map<std::string, std::string>& changed) {
    std::string region = "【我的正则区域开始】";
    auto add = [&](const char* key, const std::string& value) {
      auto it = changed.find(key);
      region += std::string(key) + "=【" + (it == changed.end() ? value : it->second) + "】\n";
    };
    add("listcat", "<ul id=&quot;list&quot;>(.+?)</ul>");
    add("tempOne", "<li(.+?)</li>");
    add("songid", "data-id=&quot;(\\d+)&quot;");
    add("gequ", "<b>(.+?)</b>");
    add("geshou", "<i>(.+?)</i>");
    add("emptygeshou", "nobody");
    add("nextpage", "<a class=&quot;next&quot; href=&quot;(.+?)&quot;>");
    add("prevpage", "<a class=&quot;prev&quot; href=&quot;(.+?)&quot;>");
    add("boxurl", "127.0.0.1:9/box");
    for (const char* key : {"encode", "httpdir", "decode", "lrcid"}) add(key, "x(.)x");
    add("jsurl", ServerBase().substr(7) + "/info?id=《歌曲ID》");
    add("jsmp3", "&quot;mp3&quot;:&quot;(.+?)&quot;");
    add("jsxcode", "&quot;xcode&quot;:&quot;(.+?)&quot;");
    add("jslrc", "&quot;lrc&quot;:&quot;(.+?)&quot;");
    return "<html>" + region + "ver=【1】【我的正则区域结束】</html>";
  }

  // Waits until the load a command started has filled the panel.
  bool Settled() {
    return QTest::qWaitFor([&] { return !Form().ResultsLoading(); }, 10000);
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> out;
    for (int i = 0; i < Form().SearchBox()->Count(); ++i)
      out.push_back(cp::AnsiToUtf8(Form().SearchBox()->Entry(i).Title));
    return out;
  }
  using Strings = std::vector<std::string>;

  void SearchFor(const char* utf8, bool settle = true) {
    auto* edit = Child<QLineEdit>("spSkinEdit1");
    edit->setText(QString::fromUtf8(utf8));
    Click("RzBmpButton6");
    if (settle) {
      ASSERT_TRUE(Settled());
    }
  }
  // Milliseconds since `start`.
  static long Since(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
  }
  bool WaitTitle(const char* title, int ms) {
    return QTest::qWaitFor([&] { return Title() == title && Playing(); }, ms);
  }

  fs::path song_;
  testsupport::Gate gate_;  // opened before the server stops
};

TEST_F(WindowSearch, PlaceholderAndEmptyKeyword) {
  Start();
  ASSERT_TRUE(WaitReady());
  auto* edit = Child<QLineEdit>("spSkinEdit1");
  SearchFor("  ");
  EXPECT_EQ(Messages(), std::vector<std::string>{"请输入关键字"});
  EXPECT_EQ(edit->text(), QString::fromUtf8("关键字"));
  // Entering the box empties the placeholder; leaving it empty puts it back.
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(edit, &in);
  EXPECT_TRUE(edit->text().isEmpty());
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(edit, &out);
  EXPECT_EQ(edit->text(), QString::fromUtf8("关键字"));
  // A real keyword is left alone either way.
  edit->setText(QString::fromUtf8("我们的歌"));
  QApplication::sendEvent(edit, &in);
  QApplication::sendEvent(edit, &out);
  EXPECT_EQ(edit->text(), QString::fromUtf8("我们的歌"));
}

TEST_F(WindowSearch, ResultsFillTheSearchListAndPagesFollowTheirLinks) {
  Start();
  ASSERT_TRUE(WaitReady());
  SearchFor("歌");
  TCnScroolStoreBox* box = Form().SearchBox();
  ASSERT_EQ(box->Count(), 2);
  EXPECT_EQ(box->Entry(0), (TPlaylistEntry{G("甲歌"), G("乙"), 5, ""}));
  EXPECT_EQ(box->Entry(1), (TPlaylistEntry{G("丙歌"), "", 6, ""}));
  EXPECT_EQ(Child<QTabWidget>("spSkinPageControl1")->currentWidget()->objectName(),
            "spSkinTabSheet2");
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 405);
  EXPECT_EQ(State().NextPageUrl, ServerBase() + "/page2?x=1&y=2");
  EXPECT_TRUE(Item("N17")->isEnabled());
  EXPECT_FALSE(Item("N16")->isEnabled());

  // "下一页" loads page 2: its rows, and both links of page 2.
  RowMenu(box, 0, "N17");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Titles(), Strings{"丁歌"});
  EXPECT_EQ(State().PrevPageUrl, ServerBase() + "/page1");
  EXPECT_EQ(State().NextPageUrl, ServerBase() + "/page3");
  EXPECT_TRUE(Item("N16")->isEnabled());
  EXPECT_TRUE(Item("N17")->isEnabled());

  // "上一页" goes back to page 1's rows and state.
  RowMenu(box, 0, "N16");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Titles(), (Strings{"甲歌", "丙歌"}));
  EXPECT_FALSE(Item("N16")->isEnabled());
  EXPECT_EQ(State().PrevPageUrl, "");

  // A page without rows or links leaves neither link nor page item behind.
  RowMenu(box, 0, "N17");
  ASSERT_TRUE(Settled());
  RowMenu(box, 0, "N17");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(box->Count(), 0);
  EXPECT_FALSE(Item("N16")->isEnabled());
  EXPECT_FALSE(Item("N17")->isEnabled());
  EXPECT_EQ(State().NextPageUrl, "");
  EXPECT_EQ(State().PrevPageUrl, "");
}

// A second search while the first page still fills replaces it: the panel
// ends with the second page's rows only, never a mix.
TEST_F(WindowSearch, ASearchDuringAFillReplacesIt) {
  Start();
  ASSERT_TRUE(WaitReady());
  TCnScroolStoreBox* box = Form().SearchBox();
  QTimer during;
  during.setInterval(0);
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (box->Count() < 10) return;
    during.stop();
    SearchFor("歌", false);
  });
  during.start();
  SearchFor("多");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !during.isActive(); }, 10000));
  ASSERT_TRUE(Settled());
  QTest::qWait(100);
  EXPECT_EQ(Titles(), (Strings{"甲歌", "丙歌"}));
  EXPECT_EQ(State().NextPageUrl, ServerBase() + "/page2?x=1&y=2");
}

// Error boxes show a quoted pattern as text; a rejected link pattern stops
// the load before the page item it drives changes.
TEST_F(WindowSearch, ARejectedLinkPatternKeepsThePageItemsAndIsShownAsText) {
  rulePage = SiteRulePage({{"nextpage", "<ul class=&quot;next&quot;>(<li>"}});
  Start();
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(Item("N16")->isEnabled() && Item("N17")->isEnabled());
  SearchFor("歌");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages().empty(); }, 5000));
  EXPECT_NE(Messages()[0].find("<ul class=\"next\">(<li>"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Form().SearchBox()->Count(), 0);
  EXPECT_TRUE(Item("N16")->isEnabled());
  EXPECT_TRUE(Item("N17")->isEnabled());
  // The markup check of every box runs at the end of the test.
}

TEST_F(WindowSearch, AuditionAddAndBatchAdd) {
  wintest::WriteText(Dir() / "playlist.txt", "");
  Start();
  ASSERT_TRUE(WaitReady());
  SearchFor("歌");
  TCnScroolStoreBox* box = Form().SearchBox();
  ASSERT_EQ(box->Count(), 2);

  // Audition: plays the stream with its lyrics, the playlist stays as it was.
  RowMenu(box, 0, "MenuItem1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Playing(); }, 10000));
  EXPECT_EQ(Title(), QString::fromUtf8("甲歌"));
  EXPECT_TRUE(Player().Lyrics().HasLyrics);
  EXPECT_EQ(Form().PlaylistBox()->Count(), 0);
  EXPECT_EQ(Player().CurrentIndex(), -1);

  // Add and play, twice: one row, saved at once.
  RowMenu(box, 1, "MenuItem2");
  RowMenu(box, 1, "MenuItem2");
  EXPECT_EQ(Form().PlaylistBox()->Count(), 1);
  EXPECT_EQ(Player().CurrentIndex(), 0);
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), G("丙歌||6|\r\n"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Title() == QString::fromUtf8("丙歌") && Playing(); }, 10000));

  // Batch add of the ticked rows: the one already there is reused, the last is current.
  RowMenu(box, 0, "N27");
  EXPECT_TRUE(box->Checked(0) && box->Checked(1));
  RowMenu(box, 0, "N13");
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), G("丙歌||6|\r\n甲歌|乙|5|\r\n"));
  EXPECT_EQ(Player().CurrentIndex(), 0);
}

// Online songs are looked up off the window's thread. The latest play command
// wins: a lookup it replaces is dropped even when its answer comes later.
TEST_F(WindowSearch, TheLatestPlayCommandWinsOverASlowLookup) {
  fs::path b = Tone("b.mp3", 6.0, "Song B");
  WritePlaylist({{"Slow", "", 1, ""}, {"Song B", "", 0, cp::PathToAnsi(b)}, {"Fast", "", 5, ""}});
  Start();
  ASSERT_TRUE(WaitReady());
  auto start = std::chrono::steady_clock::now();
  DoubleClickRow(Form().PlaylistBox(), 0);
  EXPECT_LT(Since(start), 500) << "the window waited for the song information";
  EXPECT_TRUE(Form().SongLoading());
  DoubleClickRow(Form().PlaylistBox(), 2);
  ASSERT_TRUE(WaitTitle("Fast", 10000));
  QTest::qWait(2000);  // the slow answer has come and gone
  EXPECT_EQ(Title(), "Fast");
  EXPECT_EQ(Player().CurrentIndex(), 2);

  // Next while a lookup runs: the next row plays, the lookup is dropped.
  DoubleClickRow(Form().PlaylistBox(), 0);
  Click("RzBmpButton1");
  ASSERT_TRUE(WaitTitle("Song B", 10000));
  QTest::qWait(2000);
  EXPECT_EQ(Title(), "Song B");
  EXPECT_EQ(Player().CurrentIndex(), 1);
}

// A site that answers nothing: the lookup fails after the 3 s wait and the
// next row plays, the window answering meanwhile.
TEST_F(WindowSearch, ASilentSiteFailsAfterThreeSecondsAndTheNextRowPlays) {
  fs::path b = Tone("b.mp3", 3.0, "Song B");
  WritePlaylist({{"Silent", "", 2, ""}, {"Song B", "", 0, cp::PathToAnsi(b)}});
  Start();
  ASSERT_TRUE(WaitReady());
  auto start = std::chrono::steady_clock::now();
  DoubleClickRow(Form().PlaylistBox(), 0);
  EXPECT_LT(Since(start), 500);
  ASSERT_TRUE(WaitTitle("Song B", 10000));
  EXPECT_GE(Since(start), 3000);
  EXPECT_LE(Since(start), 6500);

  // A search of a silent site: the panel empties at once, stays empty, and
  // the load ends after the same wait.
  SearchFor("歌");
  ASSERT_EQ(Form().SearchBox()->Count(), 2);
  start = std::chrono::steady_clock::now();
  SearchFor("静", false);
  EXPECT_LT(Since(start), 500);
  EXPECT_EQ(Form().SearchBox()->Count(), 0);
  EXPECT_TRUE(Form().ResultsLoading());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().ResultsLoading(); }, 10000));
  EXPECT_GE(Since(start), 3000);
  EXPECT_LE(Since(start), 6000);
  EXPECT_EQ(Form().SearchBox()->Count(), 0);
  EXPECT_TRUE(Item("N17")->isEnabled());  // kept from the last page that came
}

// A site that sends a byte every 2 s never trips the 3 s wait; the whole
// lookup is cut after 20 s. The window ticks on all the while.
TEST_F(WindowSearch, ADrippingSiteIsCutAfterTwentySecondsWhileTheWindowTicks) {
  fs::path b = Tone("b.mp3", 3.0, "Song B");
  WritePlaylist({{"Drip", "", 3, ""}, {"Song B", "", 0, cp::PathToAnsi(b)}});
  Start();
  ASSERT_TRUE(WaitReady());
  int ticks = 0;
  QObject::connect(Form().findChild<QTimer*>("Timer1"), &QTimer::timeout, [&] { ++ticks; });
  auto start = std::chrono::steady_clock::now();
  DoubleClickRow(Form().PlaylistBox(), 0);
  EXPECT_LT(Since(start), 500);
  QTest::qWait(3000);
  EXPECT_GE(ticks, 10);
  ASSERT_TRUE(WaitTitle("Song B", 45000));
  EXPECT_GE(Since(start), 20000);
  EXPECT_LE(Since(start), 40000);
}

// Closing the window stops a running lookup at once: the window goes without
// waiting for the site.
TEST_F(WindowSearch, ClosingStopsASlowLookupAtOnce) {
  WritePlaylist({{"Drip", "", 3, ""}});
  Start();
  ASSERT_TRUE(WaitReady());
  DoubleClickRow(Form().PlaylistBox(), 0);
  QTest::qWait(500);
  auto start = std::chrono::steady_clock::now();
  CloseAndDestroy();
  EXPECT_LT(Since(start), 2000);
}

}  // namespace

namespace {

// "载入其他列表" while 2,000 ticked results are being added to the playlist:
// the other list must be neither filled with the rest of the batch nor
// written over.
TEST_F(WindowSearch, LoadingAnotherListDuringABatchAddLeavesItAsItWas) {
  wintest::WriteText(Dir() / "playlist.txt", "");
  const std::string other = G("外|外人|0|/o.mp3\r\n");
  wintest::WriteText(Dir() / "other.txt", other);
  Start();
  ASSERT_TRUE(WaitReady());
  SearchFor("多");
  TCnScroolStoreBox* results = Form().SearchBox();
  ASSERT_TRUE(QTest::qWaitFor([&] { return results->Count() == 3000; }, 20000));
  for (int i = 0; i < 2000; ++i) results->SetChecked(i, true);
  dialogAnswers["OpenDialog2"] = {(Dir() / "other.txt").string()};
  bool tried = false;
  QTimer during;
  during.setInterval(0);
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (Form().PlaylistBox()->Count() == 0) return;
    during.stop();
    tried = true;
    Item("N20")->trigger();
  });
  during.start();
  Item("N13")->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Player().Busy(); }, 60000));
  EXPECT_TRUE(tried);
  EXPECT_EQ(ReadBytes(Dir() / "other.txt"), other);
  EXPECT_EQ(Form().PlaylistBox()->Count(), 2000);
}

}  // namespace
