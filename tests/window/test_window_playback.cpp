// Playing through the window: the buttons and menus reach the player core, and
// the buttons, gauges, labels and caption follow it (the tick's progress, time
// text and lyric lines with a real song and LRC file). Play order, advance,
// volume and the lyric cursor themselves are tested at the core (tests/player).
#include <QAction>
#include <QLabel>
#include <QTimer>

#include "WindowFixture.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowPlayback : public wintest::WindowTest {
 protected:
  // Three short songs A, B, C as playlist rows 0..2.
  void ThreeSongs(double seconds = 1.0) {
    for (const char* t : {"A", "B", "C"})
      files.push_back(Tone(std::string(t) + ".mp3", seconds, std::string("Song ") + t, "Band"));
    WritePlaylist({{"Song A", "Band", 0, cp::PathToAnsi(files[0])},
                   {"Song B", "Band", 0, cp::PathToAnsi(files[1])},
                   {"Song C", "Band", 0, cp::PathToAnsi(files[2])}});
  }
  bool WaitTitle(const char* title, int ms = 10000) {
    return QTest::qWaitFor([&] { return Title() == title && Playing(); }, ms);
  }
  std::vector<fs::path> files;
};

TEST_F(WindowPlayback, PlayPauseResumeAndTheMenuCaption) {
  ThreeSongs(4.0);
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Song A"));
  EXPECT_EQ(Player().CurrentIndex(), 0);
  EXPECT_EQ(Child<QLabel>("Label1")->text(), QString::fromUtf8("——Band"));
  // Within a tick the pause button and "暂停" appear.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Child<QWidget>("RzBmpButton3")->isHidden(); }, 1000));
  EXPECT_TRUE(Child<QWidget>("RzBmpButton4")->isHidden());
  EXPECT_EQ(Item("N4")->text(), QString::fromUtf8("暂停"));
  EXPECT_EQ(Item("MenuItem4")->text(), QString::fromUtf8("播放"));

  // The tray's first item pauses, whatever its caption says; pausing twice stays paused.
  Item("MenuItem4")->trigger();
  EXPECT_EQ(BASS_ChannelIsActive(Player().Stream()), BASS_ACTIVE_PAUSED);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Child<QWidget>("RzBmpButton4")->isHidden(); }, 1000));
  EXPECT_EQ(Item("N4")->text(), QString::fromUtf8("播放"));
  QString timeText = Child<QLabel>("spSkinLabel1")->text();
  Item("N4")->trigger();  // play button visible: resumes
  EXPECT_TRUE(Playing());
  EXPECT_EQ(Title(), "Song A");
  EXPECT_FALSE(timeText.isEmpty());
}

// A media key pressed twice, or the tray's first item chosen twice, before
// the next tick: the song pauses and then plays on.
TEST_F(WindowPlayback, TwoPlayPausePressesBetweenTicksPauseThenResume) {
  ThreeSongs(4.0);
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Song A"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Child<QWidget>("RzBmpButton3")->isHidden(); }, 1000));
  HSTREAM h = Player().Stream();
  Item("MenuItem4")->trigger();
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);
  Item("MenuItem4")->trigger();
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(Player().Stream(), h);
}

TEST_F(WindowPlayback, NextPreviousWrapAndDoubleClick) {
  ThreeSongs(5.0);
  Start();
  ASSERT_TRUE(WaitReady());
  // Previous with nothing current plays row 0; previous on row 0 stays there.
  Click("RzBmpButton2");
  ASSERT_TRUE(WaitTitle("Song A"));
  Click("RzBmpButton2");
  EXPECT_EQ(Player().CurrentIndex(), 0);
  Click("RzBmpButton1");
  ASSERT_TRUE(WaitTitle("Song B"));
  EXPECT_EQ(Child<TFlatGauge>("FlatGauge1")->Position(), 0);
  Item("N7")->trigger();
  ASSERT_TRUE(WaitTitle("Song C"));
  Item("MenuItem7")->trigger();  // next on the last row wraps
  ASSERT_TRUE(WaitTitle("Song A"));
  EXPECT_EQ(Player().CurrentIndex(), 0);
  DoubleClickRow(Form().PlaylistBox(), 2);
  ASSERT_TRUE(WaitTitle("Song C"));
  EXPECT_EQ(Player().CurrentIndex(), 2);
  Item("N6")->trigger();
  ASSERT_TRUE(WaitTitle("Song B"));
}

TEST_F(WindowPlayback, TickShowsProgressTimeAndTheNineLyricLines) {
  fs::path song = Tone("lyric.mp3", 7.0, "Lyric Song", "歌手");
  std::string lrc =
      G("[ti:x]\r\n[00:01.00]一\r\n[00:02.00]二\r\n[00:03.00]三\r\n[00:04.00]四\r\n"
        "[00:05.00]五\r\n[00:06.00]六\r\n[00:09.00]九\r\n");
  wintest::WriteText(Dir() / "lyric.lrc", lrc);
  WritePlaylist({{"Lyric Song", "", 0, cp::PathToAnsi(song)}});
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Lyric Song"));
  EXPECT_TRUE(Player().Lyrics().HasLyrics);
  auto* label4 = Child<QLabel>("Label4");
  auto text = [&](const char* name) { return Child<QLabel>(name)->text(); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return label4->text() == QString::fromUtf8("四"); }, 8000));
  // Reached line 4 (index 3): the cursor stands at index 4.
  EXPECT_EQ(label4->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(text("Label5"), QString::fromUtf8("五"));
  EXPECT_EQ(text("Label6"), QString::fromUtf8("六"));
  EXPECT_EQ(text("Label7"), QString::fromUtf8("九"));
  EXPECT_EQ(text("Label8"), "");
  EXPECT_EQ(text("Label10"), QString::fromUtf8("三"));
  EXPECT_EQ(text("Label11"), QString::fromUtf8("二"));
  EXPECT_EQ(text("Label12"), QString::fromUtf8("一"));
  EXPECT_EQ(Child<QLabel>("Label5")->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  // Time text "E / T" with the total of the 7 s file, and a progress in step.
  QString time = text("spSkinLabel1");
  EXPECT_TRUE(time.startsWith("0:0")) << time.toStdString();
  EXPECT_TRUE(time.endsWith(" / 0:07")) << time.toStdString();
  int percent = Child<TFlatGauge>("FlatGauge1")->Position();
  EXPECT_GT(percent, 40);
  EXPECT_LT(percent, 90);
}

float StreamVolume(HSTREAM h) {
  float volume = -1;
  EXPECT_EQ(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &volume), 1);
  return volume;
}

// A drag reaches the core's volume; the core's volume moves the gauge. That
// later streams keep it is the core's to show (tests/player).
TEST_F(WindowPlayback, TheVolumeGaugeSetsAndShowsThePlayersVolume) {
  ThreeSongs(4.0);
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Song A"));
  EXPECT_FLOAT_EQ(StreamVolume(Player().Stream()), 0.98f);
  auto* gauge = Child<TFlatGauge>("FlatVolGauge2");
  DragGauge(gauge, gauge, 57);
  ASSERT_EQ(gauge->Position(), 50);
  EXPECT_EQ(Player().Volume(), 50);
  EXPECT_FLOAT_EQ(StreamVolume(Player().Stream()), 0.5f);
  // A volume set elsewhere (the media bus) moves the gauge and its knob.
  auto* knob = Child<QWidget>("yuan");
  Player().SetVolume(100);
  EXPECT_EQ(gauge->Position(), 100);
  EXPECT_EQ(knob->x(), gauge->x() + gauge->width() - knob->width() / 2);
}

// Lines of one song must not stay on screen under the next song when that
// one has no lyrics.
TEST_F(WindowPlayback, ASongWithoutLyricsClearsThePreviousSongsLines) {
  fs::path sung = Tone("sung.mp3", 6.0, "Sung");
  wintest::WriteText(Dir() / "sung.lrc", G("[00:00.50]一\r\n[00:01.00]二\r\n[00:05.00]五\r\n"));
  fs::path plain = Tone("plain.mp3", 4.0, "Plain");
  WritePlaylist({{"Sung", "", 0, cp::PathToAnsi(sung)}, {"Plain", "", 0, cp::PathToAnsi(plain)}});
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Sung"));
  auto* label4 = Child<QLabel>("Label4");
  ASSERT_TRUE(QTest::qWaitFor([&] { return label4->text() == QString::fromUtf8("二"); }, 5000));
  EXPECT_EQ(Child<QLabel>("Label5")->text(), QString::fromUtf8("五"));
  Click("RzBmpButton1");
  ASSERT_TRUE(WaitTitle("Plain"));
  EXPECT_FALSE(Player().Lyrics().HasLyrics);
  const char* names[] = {"Label4", "Label5",  "Label6",  "Label7", "Label8",
                         "Label9", "Label10", "Label11", "Label12"};
  auto allEmpty = [&] {
    for (const char* n : names)
      if (!Child<QLabel>(n)->text().isEmpty()) return false;
    return true;
  };
  EXPECT_TRUE(QTest::qWaitFor(allEmpty, 1000));
}

TEST_F(WindowPlayback, RolledUpCaptionAndTaskbarEntry) {
  ThreeSongs(4.0);
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Song A"));
  Form().SkinForm()->SetRollUpState(true);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Form().windowTitle().startsWith("Song A  0:0"); }, 1000));
  EXPECT_FALSE(Form().TaskbarEntryShown());
  Form().SkinForm()->SetRollUpState(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Form().windowTitle() == "Lyrano"; }, 1000));
  EXPECT_TRUE(Form().TaskbarEntryShown());
}

TEST_F(WindowPlayback, ExitWhilePlayingStopsTheSound) {
  ThreeSongs(4.0);
  Start();
  ASSERT_TRUE(WaitReady());
  Click("RzBmpButton4");
  ASSERT_TRUE(WaitTitle("Song A"));
  HSTREAM h = Player().Stream();
  Item("N10")->trigger();
  EXPECT_NE(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
}

}  // namespace
