// Seeking and keys in the window: a click or drag on the progress gauge and
// the arrow keys reach the core's seek, and the time label and the lyric
// lines follow at once; the keys act wherever the focus is in the window,
// except while the search box is typed in. The seek itself (and the lyric
// cursor's moves) are tested at the engine and at the core.
#include <QLabel>
#include <QLineEdit>

#include "WindowFixture.h"
#include "main/KeyCommands.h"
#include "main/controls/FlatGauge.h"

namespace fs = std::filesystem;
using keys::KeyCommand;
using keys::TKeyCommand;
using wintest::G;

namespace {

TEST(KeyCommands, EachKeyNamesItsCommandAndTypingKeepsThemAll) {
  struct Row {
    int key;
    Qt::KeyboardModifiers mods;
    bool typing;
    TKeyCommand want;
  };
  const Row rows[] = {
      {Qt::Key_Space, Qt::NoModifier, false, TKeyCommand::PlayPause},
      {Qt::Key_Left, Qt::NoModifier, false, TKeyCommand::SeekBack},
      {Qt::Key_Right, Qt::NoModifier, false, TKeyCommand::SeekForward},
      {Qt::Key_Up, Qt::NoModifier, false, TKeyCommand::VolumeUp},
      {Qt::Key_Down, Qt::NoModifier, false, TKeyCommand::VolumeDown},
      {Qt::Key_Left, Qt::KeypadModifier, false, TKeyCommand::SeekBack},
      {Qt::Key_F, Qt::ControlModifier, false, TKeyCommand::FocusSearch},
      {Qt::Key_F, Qt::ControlModifier | Qt::KeypadModifier, false, TKeyCommand::FocusSearch},
      {Qt::Key_BracketLeft, Qt::NoModifier, false, TKeyCommand::LyricsEarlier},
      {Qt::Key_BracketRight, Qt::NoModifier, false, TKeyCommand::LyricsLater},
      {Qt::Key_Backslash, Qt::NoModifier, false, TKeyCommand::LyricTimingReset},
      {Qt::Key_BracketRight, Qt::ControlModifier, false, TKeyCommand::None},
      {Qt::Key_BracketLeft, Qt::NoModifier, true, TKeyCommand::None},
      // Other modifiers and other keys are not ours.
      {Qt::Key_F, Qt::NoModifier, false, TKeyCommand::None},
      {Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier, false, TKeyCommand::None},
      {Qt::Key_Left, Qt::ShiftModifier, false, TKeyCommand::None},
      {Qt::Key_Space, Qt::ControlModifier, false, TKeyCommand::None},
      {Qt::Key_Right, Qt::AltModifier, false, TKeyCommand::None},
      {Qt::Key_Escape, Qt::NoModifier, false, TKeyCommand::None},
      {Qt::Key_A, Qt::NoModifier, false, TKeyCommand::None},
      // Typing in the search box: only Escape, which leaves it.
      {Qt::Key_Space, Qt::NoModifier, true, TKeyCommand::None},
      {Qt::Key_Left, Qt::NoModifier, true, TKeyCommand::None},
      {Qt::Key_Up, Qt::NoModifier, true, TKeyCommand::None},
      {Qt::Key_F, Qt::ControlModifier, true, TKeyCommand::None},
      {Qt::Key_Escape, Qt::NoModifier, true, TKeyCommand::LeaveSearch},
  };
  for (const Row& r : rows)
    EXPECT_EQ(KeyCommand(r.key, r.mods, r.typing), r.want)
        << "key " << r.key << " modifiers " << r.mods << " typing " << r.typing;
}

class WindowSeek : public wintest::WindowTest {
 protected:
  // A 20 s song with a line every 2 s ("0s", "2s", ... "18s"), playing.
  void PlaySongWithLyrics() {
    fs::path song = Tone("long.mp3", 20.0, "Long Song");
    std::string lrc;
    for (int s = 0; s < 20; s += 2)
      lrc += "[00:" + std::string(s < 10 ? "0" : "") + std::to_string(s) + ".00]" +
             std::to_string(s) + "s\r\n";
    wintest::WriteText(Dir() / "long.lrc", lrc);
    WritePlaylist({{"Long Song", "", 0, cp::PathToAnsi(song)}});
    Start();
    ASSERT_TRUE(WaitReady());
    Click("RzBmpButton4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Playing(); }, 10000));
    ASSERT_TRUE(Player().Lyrics().HasLyrics);
  }
  QString Text(const char* label) { return Child<QLabel>(label)->text(); }
  double Seconds() const {
    return static_cast<double>(const_cast<WindowSeek*>(this)->Player().PositionUs()) / 1e6;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &Form();
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
  }
};

class WindowSeekGauge : public WindowSeek {};

// Clicks at a quarter, at three quarters and at the gauge's ends, and a drag
// along it, land where they point; the time and the red line jump there
// before any tick. Also run at 1.5x and 2x (tests/CMakeLists.txt).
TEST_F(WindowSeekGauge, AClickOrDragOnTheGaugeSeeksThere) {
  ASSERT_NO_FATAL_FAILURE(PlaySongWithLyrics());
  auto* gauge = Child<TFlatGauge>("FlatGauge1");
  const double w = gauge->width();
  auto clickAt = [&](double share) {
    QTest::mouseClick(gauge, Qt::LeftButton, {},
                      QPoint(static_cast<int>(w * share), gauge->height() / 2));
  };
  ASSERT_EQ(w, 286);
  clickAt(0.75);  // pixel 214 of 286: 14.97 s
  EXPECT_NEAR(Seconds(), 14.97, 0.05);
  EXPECT_EQ(Text("spSkinLabel1"), "0:14 / 0:20");
  EXPECT_EQ(Text("Label4"), "14s");
  EXPECT_EQ(Text("Label5"), "16s");
  EXPECT_EQ(gauge->Position(), 74);
  clickAt(0.25);  // pixel 71: 4.97 s
  EXPECT_NEAR(Seconds(), 4.97, 0.05);
  EXPECT_EQ(Text("Label4"), "4s");
  clickAt(0.0);
  EXPECT_NEAR(Seconds(), 0.0, 0.05);
  EXPECT_EQ(Text("Label4"), "0s");
  QTest::mouseClick(gauge, Qt::LeftButton, {}, QPoint(gauge->width() - 1, 3));  // the last pixel
  EXPECT_NEAR(Seconds(), 20.0 * 285 / 286, 0.05);

  // A drag: each step seeks; the gauge keeps the mouse outside its bounds.
  QTest::mousePress(gauge, Qt::LeftButton, {}, QPoint(static_cast<int>(w / 10), 3));
  for (double share : {0.2, 0.4, 0.6}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(w * share, 3),
                     gauge->mapToGlobal(QPointF(w * share, 3)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(gauge, &move);
    EXPECT_NEAR(Seconds(), 20.0 * share, 0.05);
  }
  QTest::mouseRelease(gauge, Qt::LeftButton, {}, QPoint(static_cast<int>(w * 0.6), 3));
  EXPECT_EQ(Text("Label4"), "12s");
  // Moving without the button held changes nothing.
  QMouseEvent hover(QEvent::MouseMove, QPointF(w * 0.9, 3), gauge->mapToGlobal(QPointF(w * 0.9, 3)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(gauge, &hover);
  EXPECT_LT(Seconds(), 14.0);
  EXPECT_TRUE(Messages().empty());
}

// The arrows seek by 5 s and change the volume by 5, Space pauses and plays,
// Ctrl+F goes to the search box; there they are the box's, until Escape.
TEST_F(WindowSeek, KeysDriveTheCoreExceptWhileTyping) {
  ASSERT_NO_FATAL_FAILURE(PlaySongWithLyrics());
  Player().Seek(12 * 1000000);
  Key(Qt::Key_Left);
  Key(Qt::Key_Left);
  EXPECT_NEAR(Seconds(), 2.0, 0.3);
  EXPECT_EQ(Text("Label4"), "2s");
  EXPECT_TRUE(Text("spSkinLabel1").startsWith("0:02")) << Text("spSkinLabel1").toStdString();
  Key(Qt::Key_Right);
  EXPECT_NEAR(Seconds(), 7.0, 0.3);
  Key(Qt::Key_Down);
  EXPECT_EQ(Player().Volume(), 93);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  EXPECT_EQ(Player().Volume(), 100);
  Key(Qt::Key_Space);
  EXPECT_EQ(Player().EngineState(), BASS_ACTIVE_PAUSED);
  Key(Qt::Key_Space);
  EXPECT_EQ(Player().EngineState(), BASS_ACTIVE_PLAYING);

  auto* search = Child<QLineEdit>("spSkinEdit1");
  Key(Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(search->hasFocus());
  double before = Seconds();
  QTest::keyClicks(search, "ab c");
  Key(Qt::Key_Left);
  Key(Qt::Key_Down);
  EXPECT_EQ(search->text(), "ab c");
  EXPECT_EQ(search->cursorPosition(), 3);  // the box's own Left
  EXPECT_EQ(Player().EngineState(), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(Player().Volume(), 100);
  EXPECT_GE(Seconds(), before);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(search->hasFocus());
  Key(Qt::Key_Space);
  EXPECT_EQ(Player().EngineState(), BASS_ACTIVE_PAUSED);
  EXPECT_TRUE(Messages().empty());
}

// With no song loaded the gauge and the keys seek nothing, quietly.
TEST_F(WindowSeek, NothingPlayingMeansNoSeekAndNoMessage) {
  fs::path song = Tone("a.mp3", 3.0, "A");
  WritePlaylist({{"A", "", 0, cp::PathToAnsi(song)}});
  Start();
  ASSERT_TRUE(WaitReady());
  auto* gauge = Child<TFlatGauge>("FlatGauge1");
  QTest::mouseClick(gauge, Qt::LeftButton, {}, QPoint(gauge->width() / 2, 3));
  Key(Qt::Key_Right);
  EXPECT_EQ(Player().Stream(), 0u);
  EXPECT_EQ(gauge->Position(), 25);
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
