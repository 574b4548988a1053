// The lyric lines' menu: a right click on the tab "歌词" offers the three
// timing commands, which reach the core and move the red line at once, with
// the window shown or hidden. The timing itself is tested at the core
// (tests/player).
#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

#include "WindowFixture.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowLyricTiming : public wintest::WindowTest {
 protected:
  // Opens the menu with a right click on a lyric line and chooses `item`.
  void LyricMenu(const char* item) {
    auto* line = Child<QLabel>("Label7");
    QPoint local = line->rect().center();
    QContextMenuEvent ev(QContextMenuEvent::Mouse, local, line->mapToGlobal(local));
    QApplication::sendEvent(line, &ev);
    auto* menu = Child<QMenu>("spSkinPopupMenu5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 1000));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(Item(item)).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 1000));
  }
  QString Red() { return Child<QLabel>("Label4")->text(); }
};

TEST_F(WindowLyricTiming, TheMenuMovesTheLinesAndTheSongKeepsItsTiming) {
  fs::path song = Tone("timed.mp3", 12.0, "Timed", "");
  wintest::WriteText(Dir() / "timed.lrc", G("[00:01.00]一\r\n[00:05.00]五\r\n[00:09.00]九\r\n"));
  WritePlaylist({{"Timed", "", 0, cp::PathToAnsi(song)}});
  Start();
  ASSERT_TRUE(WaitReady());
  Child<QTabWidget>("spSkinPageControl1")->setCurrentIndex(2);
  Click("RzBmpButton4");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Red() == QString::fromUtf8("一"); }, 8000));
  Click("RzBmpButton3");  // paused between 0.5 s and 2 s
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Playing(); }, 2000));

  auto* menu = Child<QMenu>("spSkinPopupMenu5");
  QStringList captions;
  for (QAction* a : menu->actions()) captions << a->text();
  EXPECT_EQ(captions,
            QStringList({QString::fromUtf8("歌词提前0.5秒"), QString::fromUtf8("歌词延后0.5秒"),
                         QString::fromUtf8("歌词时间复原")}));

  for (int k = 0; k < 10; ++k) LyricMenu("N28");  // 5 s earlier
  EXPECT_EQ(Player().LyricOffsetMs(), 5000);
  EXPECT_EQ(Red(), QString::fromUtf8("五"));
  LyricMenu("N30");
  EXPECT_EQ(Red(), QString::fromUtf8("一"));
  for (int k = 0; k < 4; ++k) LyricMenu("N29");  // 2 s later: no line yet
  EXPECT_EQ(Player().LyricOffsetMs(), -2000);
  EXPECT_EQ(Red(), "");
  EXPECT_EQ(Child<QLabel>("Label5")->text(), QString::fromUtf8("一"));
  std::string stored = ReadBytes(Dir() / "lyrictiming.txt");
  EXPECT_NE(stored.find("-2000\tfile\t" + cp::PathToAnsi(song) + "\n"), std::string::npos)
      << stored;
  EXPECT_EQ(ReadBytes(song.parent_path() / "timed.lrc"),
            G("[00:01.00]一\r\n[00:05.00]五\r\n[00:09.00]九\r\n"));

  // The keys [, \ and ] run the same commands wherever the focus is.
  auto key = [&](Qt::Key k) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &Form();
    QTest::keyClick(target, k);
  };
  key(Qt::Key_BracketLeft);
  EXPECT_EQ(Player().LyricOffsetMs(), -1500);
  key(Qt::Key_Backslash);
  EXPECT_EQ(Player().LyricOffsetMs(), 0);
  EXPECT_EQ(Red(), QString::fromUtf8("一"));
  key(Qt::Key_BracketRight);
  key(Qt::Key_BracketRight);
  EXPECT_EQ(Player().LyricOffsetMs(), -1000);
  EXPECT_EQ(Red(), "");

  // Hidden in the tray, the same command does the same.
  Form().hide();
  Item("N30")->trigger();
  EXPECT_EQ(Player().LyricOffsetMs(), 0);
  EXPECT_EQ(Red(), QString::fromUtf8("一"));
  EXPECT_EQ(ReadBytes(Dir() / "lyrictiming.txt").find("\tfile\t"), std::string::npos);
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
