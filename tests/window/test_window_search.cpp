// The search box, the search button, result pages and the search list's
// commands, against a small music site on a loopback server.
#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTabWidget>

#include "WindowFixture.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowSearch : public wintest::WindowTest {
 protected:
  void Routes(httplib::Server& server) override {
    song_ = Tone("remote.mp3", 4.0, "ignored");
    server.Get("/search", [](const httplib::Request& req, httplib::Response& res) {
      std::string key = req.get_param_value("key");
      std::string page = "<html><ul id=\"list\">";
      if (key == "歌") {
        page += "<li data-id=\"5\"><b>甲<span>歌</span></b><i>乙</i></li>";
        page += "<li data-id=\"6\"><b>丙歌</b><i>nobody</i></li>";
        page += "<li data-id=\"7\"><b> </b></li>";
      }
      page += "</ul><a class=\"next\" href=\"/search?jump=1&amp;key=x\">next</a></html>";
      res.set_content(page, "text/html; charset=utf-8");
    });
    server.Get("/info", [this](const httplib::Request& req, httplib::Response& res) {
      std::string id = req.get_param_value("id");
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
    std::string region = "【我的正则区域开始】";
    auto add = [&](const char* key, const std::string& value) {
      region += std::string(key) + "=【" + value + "】\n";
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
    rulePage = "<html>" + region + "ver=【1】【我的正则区域结束】</html>";
  }

  void SearchFor(const char* utf8) {
    auto* edit = Child<QLineEdit>("spSkinEdit1");
    edit->setText(QString::fromUtf8(utf8));
    Click("RzBmpButton6");
  }
  fs::path song_;
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

TEST_F(WindowSearch, ResultsFillTheSearchListAndExpandTheWindow) {
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
  EXPECT_EQ(State().NextPageUrl, ServerBase() + "/search?jump=1&key=x");
  EXPECT_TRUE(Item("N17")->isEnabled());
  EXPECT_FALSE(Item("N16")->isEnabled());
  // The next page has no items: the list empties, the links are read again.
  RowMenu(box, 0, "N17");
  EXPECT_EQ(box->Count(), 0);
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
  EXPECT_TRUE(State().Lyrics.HasLyrics);
  EXPECT_EQ(Form().PlaylistBox()->Count(), 0);
  EXPECT_EQ(State().CurrentIndex, -1);

  // Add and play, twice: one row, saved at once.
  RowMenu(box, 1, "MenuItem2");
  RowMenu(box, 1, "MenuItem2");
  EXPECT_EQ(Form().PlaylistBox()->Count(), 1);
  EXPECT_EQ(State().CurrentIndex, 0);
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), G("丙歌||6|\r\n"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Title() == QString::fromUtf8("丙歌") && Playing(); }, 10000));

  // Batch add of the ticked rows: the one already there is reused, the last is current.
  RowMenu(box, 0, "N27");
  EXPECT_TRUE(box->Checked(0) && box->Checked(1));
  RowMenu(box, 0, "N13");
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), G("丙歌||6|\r\n甲歌|乙|5|\r\n"));
  EXPECT_EQ(State().CurrentIndex, 0);
}

}  // namespace
