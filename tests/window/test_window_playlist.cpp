// The playlist commands of the row menu, each checked against the file's bytes
// (local code page, CR LF) right after the command.
#include <QAction>
#include <QTimer>

#include "WindowFixture.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowPlaylist : public wintest::WindowTest {
 protected:
  std::string Line(const char* utf8Title, const char* utf8Singer, int id, const fs::path& path) {
    return G(utf8Title) + "|" + G(utf8Singer) + "|" + std::to_string(id) + "|" +
           cp::PathToAnsi(path) + "\r\n";
  }
  std::string PlaylistBytes() { return ReadBytes(Dir() / "playlist.txt"); }
  TCnScroolStoreBox* Box() { return Form().PlaylistBox(); }
};

TEST_F(WindowPlaylist, AddLocalMusicAppendsSavesAndPlaysTheLast) {
  fs::path a = Tone("a.mp3", 3.0, "歌A", "歌手甲");
  fs::path b = Tone("b.mp3", 3.0, "歌B", "");
  fs::path c = Tone("c.wma", 3.0, "歌C", "歌手丙");
  const std::string first = G("旧歌|旧人|7|\r\n");
  wintest::WriteText(Dir() / "playlist.txt", first);
  Start();
  ASSERT_TRUE(WaitReady());
  dialogAnswers["OpenDialog1"] = {a.string(), b.string(), c.string()};
  RowMenu(Box(), 0, "N19");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Box()->Count() == 4; }, 10000));
  EXPECT_EQ(PlaylistBytes(), first + Line("歌A", "歌手甲", 0, a) + Line("歌B", "Lyrano", 0, b) +
                                 Line("歌C", "歌手丙", 0, c));
  EXPECT_EQ(Player().CurrentIndex(), 3);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Title() == QString::fromUtf8("歌C") && Playing(); }, 10000));
  EXPECT_NE(std::find(events.begin(), events.end(), "dialog:OpenDialog1:选取音乐"), events.end());

  // Adding a file already in the list appends nothing and plays that row.
  const std::string before = PlaylistBytes();
  dialogAnswers["OpenDialog1"] = {a.string()};
  RowMenu(Box(), 0, "N19");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Title() == QString::fromUtf8("歌A") && Playing(); }, 10000));
  EXPECT_EQ(Player().CurrentIndex(), 1);
  EXPECT_EQ(Box()->Count(), 4);
  EXPECT_EQ(PlaylistBytes(), before);

  // A cancelled dialog changes nothing.
  dialogAnswers["OpenDialog1"] = {};
  RowMenu(Box(), 0, "N19");
  EXPECT_EQ(Box()->Count(), 4);
}

// Tag texts with a bar or a line break, and a path with a bar: the list file
// keeps one four-field line per song and reads back the same rows.
TEST_F(WindowPlaylist, BarsAndLineBreaksNeverBreakTheListFile) {
  fs::path good = Tone("good.mp3", 3.0, "前|后", "甲\n乙");
  fs::path barred = Tone("a|b.mp3", 3.0, "坏");
  const std::string first = G("旧歌|旧人|7|\r\n");
  wintest::WriteText(Dir() / "playlist.txt", first);
  Start();
  ASSERT_TRUE(WaitReady());
  dialogAnswers["OpenDialog1"] = {barred.string(), good.string()};
  RowMenu(Box(), 0, "N19");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Box()->Count() == 2; }, 10000));
  const std::string line = G("前｜后|甲 乙|0|") + cp::PathToAnsi(good) + "\r\n";
  EXPECT_EQ(PlaylistBytes(), first + line);
  // The path the file cannot hold is refused and named (paths with a line
  // break too: see StorablePath).
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].rfind("以下文件的路径含有", 0), 0u) << Messages()[0];
  EXPECT_NE(Messages()[0].find(barred.string()), std::string::npos);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QString::fromUtf8("前｜后"); }, 10000));

  // The same file again is the same row; a reload gives the same rows.
  dialogAnswers["OpenDialog1"] = {good.string()};
  RowMenu(Box(), 0, "N19");
  EXPECT_EQ(Box()->Count(), 2);
  EXPECT_EQ(PlaylistBytes(), first + line);
  dialogAnswers["OpenDialog2"] = {(Dir() / "playlist.txt").string()};
  RowMenu(Box(), 0, "N20");
  ASSERT_EQ(Box()->Count(), 2);
  EXPECT_EQ(Box()->Entry(1), (TPlaylistEntry{G("前｜后"), G("甲 乙"), 0, cp::PathToAnsi(good)}));
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "playlist.txt");

  // A refused file alone adds nothing and saves nothing.
  dialogAnswers["OpenDialog1"] = {barred.string()};
  RowMenu(Box(), 0, "N19");
  EXPECT_EQ(Box()->Count(), 2);
  EXPECT_EQ(PlaylistBytes(), first + line);
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(WindowPlaylist, DeleteClearInvertAndDeleteTicked) {
  std::string l0 = G("零|甲|0|/m/0.mp3\r\n"), l1 = G("一|乙|11|\r\n"), l2 = G("二||0|\r\n"),
              l3 = G("三|丁|0|/m/3.mp3  \r\n");
  wintest::WriteText(Dir() / "playlist.txt", l0 + l1 + l2 + l3);
  Start();
  ASSERT_EQ(Box()->Count(), 4);
  Form().AddToPlaylist(G("二"), "", 0, false, "");  // row 2 becomes current
  ASSERT_EQ(Player().CurrentIndex(), 2);
  // Deleting an earlier row keeps the same song current; the path is saved trimmed.
  RowMenu(Box(), 1, "N2");
  EXPECT_EQ(Player().CurrentIndex(), 1);
  EXPECT_EQ(PlaylistBytes(), l0 + l2 + G("三|丁|0|/m/3.mp3\r\n"));
  // Deleting the current row makes the one before it current.
  RowMenu(Box(), 1, "N2");
  EXPECT_EQ(Player().CurrentIndex(), 0);
  EXPECT_EQ(PlaylistBytes(), l0 + G("三|丁|0|/m/3.mp3\r\n"));
  // Row 0 while current: stays 0 with rows left.
  RowMenu(Box(), 0, "N2");
  EXPECT_EQ(Player().CurrentIndex(), 0);
  EXPECT_EQ(Box()->Count(), 1);

  // Inverting ticks saves nothing; deleting the ticked rows saves.
  wintest::WriteText(Dir() / "playlist.txt", l0 + l1 + l2 + l3);
  Form().LoadPlaylist(AppDir() + "playlist.txt");
  Box()->SetChecked(1, true);
  Box()->SetChecked(2, true);
  const std::string before = PlaylistBytes();
  RowMenu(Box(), 0, "N24");
  EXPECT_FALSE(Box()->Checked(1));
  EXPECT_TRUE(Box()->Checked(0));
  EXPECT_EQ(PlaylistBytes(), before);
  RowMenu(Box(), 0, "N24");
  RowMenu(Box(), 0, "N12");
  EXPECT_EQ(PlaylistBytes(), l0 + G("三|丁|0|/m/3.mp3\r\n"));

  // Clearing leaves an empty file, and the next start keeps it empty.
  RowMenu(Box(), 0, "N3");
  EXPECT_EQ(Box()->Count(), 0);
  EXPECT_EQ(Player().CurrentIndex(), -1);
  EXPECT_EQ(PlaylistBytes(), "");
}

TEST_F(WindowPlaylist, NewLoadAndSaveAsMoveTheCurrentFile) {
  const std::string text = G("甲|歌手|0|/a.mp3\r\n乙||5|\r\n乙||5|\r\n");
  wintest::WriteText(Dir() / "playlist.txt", text);
  const std::string other = G("外|外人|0|/o.mp3\r\n");
  wintest::WriteText(Dir() / "other.txt", other);
  Start();

  // Save as: the new file gets the list; a later delete changes only it.
  dialogAnswers["SaveDialog1"] = {(Dir() / "saved").string()};
  RowMenu(Box(), 0, "N22");
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "saved.txt");
  EXPECT_EQ(ReadBytes(Dir() / "saved.txt"), text);
  RowMenu(Box(), 0, "N2");
  EXPECT_EQ(ReadBytes(Dir() / "saved.txt"), G("乙||5|\r\n乙||5|\r\n"));
  EXPECT_EQ(PlaylistBytes(), text);

  // Load another list: rows replaced, file current, nothing playing changes.
  Form().AddToPlaylist(G("乙"), "", 5, false, "");  // a row becomes current
  ASSERT_EQ(Player().CurrentIndex(), 0);
  dialogAnswers["OpenDialog2"] = {(Dir() / "other.txt").string()};
  RowMenu(Box(), 0, "N20");
  EXPECT_EQ(Box()->Count(), 1);
  EXPECT_EQ(Player().CurrentIndex(), -1);
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "other.txt");
  EXPECT_EQ(ReadBytes(Dir() / "other.txt"), other);

  // New list over an existing file: emptied without asking, and current.
  dialogAnswers["SaveDialog1"] = {(Dir() / "playlist.txt").string()};
  RowMenu(Box(), 0, "N23");
  EXPECT_EQ(Box()->Count(), 0);
  EXPECT_EQ(PlaylistBytes(), "");
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "playlist.txt");
  EXPECT_EQ(ReadBytes(Dir() / "other.txt"), other);
  std::vector<std::string> titles;
  for (const auto& e : events)
    if (e.rfind("dialog:", 0) == 0) titles.push_back(e);
  EXPECT_EQ(titles, (std::vector<std::string>{"dialog:SaveDialog1:歌曲列表文件",
                                              "dialog:OpenDialog2:歌曲列表文件",
                                              "dialog:SaveDialog1:歌曲列表文件"}));
}

// Commands given while another list is still filling the panel are ignored:
// they would write half of the new list over the file that is still current.
TEST_F(WindowPlaylist, ListCommandsWaitForALoadingList) {
  const std::string text = G("甲|歌手|0|/a.mp3\r\n乙||0|/b.mp3\r\n");
  wintest::WriteText(Dir() / "playlist.txt", text);
  std::string other;
  for (int i = 0; i < 20000; ++i) other += "row " + std::to_string(i) + "||0|/m/x.mp3\r\n";
  wintest::WriteText(Dir() / "other.txt", other);
  Start();
  dialogAnswers["OpenDialog2"] = {(Dir() / "other.txt").string()};
  bool tried = false;
  QTimer during;
  during.setInterval(0);
  QObject::connect(&during, &QTimer::timeout, [&] {
    // On a fast machine the load may yield only once, right after it cleared
    // the panel, so act from that moment on (an empty panel or the new rows).
    const TCnAppStoreBox* first = Box()->Item(0);
    if (first != nullptr && first->Title() != "row 0") return;
    if (Box()->Count() >= 20000) return;
    during.stop();
    tried = true;
    // Clear, delete the ticked rows and save as, while rows are still arriving.
    Item("N3")->trigger();
    Item("N12")->trigger();
    dialogAnswers["SaveDialog1"] = {(Dir() / "copy.txt").string()};
    Item("N22")->trigger();
  });
  during.start();
  RowMenu(Box(), 0, "N20");
  // The file becomes current once its last row is in.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Player().PlaylistFile() == AppDir() + "other.txt"; }, 20000));
  EXPECT_TRUE(tried);
  EXPECT_EQ(Box()->Count(), 20000);
  EXPECT_EQ(PlaylistBytes(), text);
  EXPECT_FALSE(fs::exists(Dir() / "copy.txt"));
  EXPECT_EQ(ReadBytes(Dir() / "other.txt"), other);
}

TEST_F(WindowPlaylist, NewListThatCannotBeCreatedChangesNothing) {
  const std::string text = G("甲|歌手|0|/a.mp3\r\n");
  wintest::WriteText(Dir() / "playlist.txt", text);
  Start();
  // No file can be created in /proc, not even by root.
  dialogAnswers["SaveDialog1"] = {"/proc/lyrano-test.txt"};
  RowMenu(Box(), 0, "N23");
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Box()->Count(), 1);
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "playlist.txt");
  EXPECT_EQ(PlaylistBytes(), text);
}

}  // namespace
