// The player core's play commands, play order, automatic advance and its
// guard, the volume and the lyric cursor, against a fake engine that can fail
// to open, stall, and end when told.
#include <QSignalSpy>
#include <QTimer>
#include <filesystem>

#include "PlayerFixture.h"

namespace fs = std::filesystem;
using playertest::Fake;

namespace {

class PlayerPlay : public playertest::PlayerTest {
 protected:
  // Ends the current stream and waits until the advance has opened another.
  bool EndAndAdvance() {
    int opens = Fake().Opens();
    Fake().End(player->Stream());
    return WaitFor([&] { return Fake().Opens() > opens && !player->AdvancePending(); });
  }
  // The advance timer is running: another row will be tried.
  bool AdvanceArmed() const { return player->findChild<QTimer*>("Timer2")->isActive(); }
};

TEST_F(PlayerPlay, PlayPausePairsAlternateWithoutATickBetween) {
  UseRows("AB");
  player->PlayPause();  // nothing plays: from the first row
  EXPECT_EQ(Opened(), 'A');
  EXPECT_EQ(player->EngineState(), BASS_ACTIVE_PLAYING);
  // Two presses in a row, as a media key pressed twice: pause, then resume.
  player->PlayPause();
  EXPECT_EQ(player->EngineState(), BASS_ACTIVE_PAUSED);
  player->PlayPause();
  EXPECT_EQ(player->EngineState(), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(Fake().Opens(), 1) << "resuming reopened the song";
  // Pausing twice stays paused; play resumes the same stream.
  player->Pause();
  player->Pause();
  EXPECT_EQ(player->EngineState(), BASS_ACTIVE_PAUSED);
  HSTREAM paused = player->Stream();
  player->Play();
  EXPECT_EQ(player->Stream(), paused);
  EXPECT_EQ(player->EngineState(), BASS_ACTIVE_PLAYING);
}

TEST_F(PlayerPlay, StateChangesAreAnnouncedOnceEach) {
  UseRows("A");
  std::vector<DWORD> seen;
  QObject::connect(player.get(), &TPlayer::StateChanged, [&](DWORD s) { seen.push_back(s); });
  player->Play();
  player->Pause();
  player->Pause();
  player->Play();
  player->Stop();
  EXPECT_EQ(seen, (std::vector<DWORD>{BASS_ACTIVE_PLAYING, BASS_ACTIVE_PAUSED, BASS_ACTIVE_PLAYING,
                                      BASS_ACTIVE_STOPPED}));
}

TEST_F(PlayerPlay, NextWrapsPreviousStopsAtTheFirstRow) {
  UseRows("ABC");
  QSignalSpy resets(player.get(), &TPlayer::ProgressReset);
  player->Previous();  // nothing current: the first row
  EXPECT_EQ(player->CurrentIndex(), 0);
  EXPECT_EQ(Opened(), 'A');
  player->Previous();  // on the first row: the first row again
  EXPECT_EQ(player->CurrentIndex(), 0);
  player->Next();
  player->Next();
  EXPECT_EQ(Opened(), 'C');
  player->Next();  // after the last row comes the first
  EXPECT_EQ(player->CurrentIndex(), 0);
  EXPECT_EQ(Opened(), 'A');
  player->PlayRow(2);
  EXPECT_EQ(Opened(), 'C');
  player->Previous();
  EXPECT_EQ(Opened(), 'B');
  EXPECT_EQ(resets.count(), 6);
  EXPECT_EQ(Fake().LiveStreams(), 1) << "each song frees the one before";
}

TEST_F(PlayerPlay, PreviousOnAOneRowListPlaysThatRowAgain) {
  UseRows("A");
  player->Previous();
  player->Previous();
  EXPECT_EQ(Fake().Opens(), 2);
  EXPECT_EQ(player->CurrentIndex(), 0);
}

TEST_F(PlayerPlay, NextAndPreviousOnAnEmptyListOnlyResetTheProgress) {
  QSignalSpy resets(player.get(), &TPlayer::ProgressReset);
  player->Next();
  player->Previous();
  player->Play();
  EXPECT_EQ(resets.count(), 2);
  EXPECT_EQ(Fake().Opens(), 0);
  EXPECT_EQ(player->CurrentIndex(), -1);
}

TEST_F(PlayerPlay, TheEndOfASongPlaysTheNextRowAndWraps) {
  UseRows("ABC");
  player->PlayRow(1);
  ASSERT_TRUE(EndAndAdvance());
  EXPECT_EQ(Opened(), 'C');
  ASSERT_TRUE(EndAndAdvance());
  EXPECT_EQ(Opened(), 'A');
  EXPECT_EQ(player->CurrentIndex(), 0);
}

TEST_F(PlayerPlay, OneEndAdvancesOneRow) {
  UseRows("ABCD");
  player->PlayRow(0);
  HSTREAM a = player->Stream();
  Fake().End(a);
  Deliver();
  ASSERT_TRUE(player->AdvancePending());
  EXPECT_EQ(player->CurrentIndex(), 1);
  ASSERT_TRUE(WaitFor([&] { return Opened() == 'B'; }));
  EXPECT_EQ(player->CurrentIndex(), 1);
  EXPECT_FALSE(AdvanceArmed()) << "a second advance is on its way";
  EXPECT_EQ(player->CurrentIndex(), 1);
}

// While an advance is scheduled, the user plays another song, which ends at
// once: the advance is not scheduled a second time, and it then plays the
// row that is current when it fires (the user's choice, again).
TEST_F(PlayerPlay, AnEndWhileAnAdvanceIsScheduledDoesNotAdvanceTwice) {
  UseRows("ABCD");
  player->PlayRow(0);
  Fake().End(player->Stream());
  Deliver();
  ASSERT_TRUE(player->AdvancePending());
  player->Next();
  EXPECT_EQ(Opened(), 'C');
  Fake().End(player->Stream());
  Deliver();
  EXPECT_EQ(player->CurrentIndex(), 2);
  ASSERT_TRUE(WaitFor([&] { return !player->AdvancePending(); }));
  EXPECT_EQ(player->CurrentIndex(), 2);
  EXPECT_EQ(Opened(), 'C');
}

TEST_F(PlayerPlay, AnEndAfterTheListWasClearedSchedulesNothing) {
  UseRows("AB");
  player->Play();
  player->Clear();
  Fake().End(player->Stream());
  Deliver();
  EXPECT_FALSE(player->AdvancePending());
  EXPECT_FALSE(AdvanceArmed());
}

TEST_F(PlayerPlay, AnEndThatCrossedANewerCommandIsIgnored) {
  UseRows("ABC");
  player->PlayRow(0);
  Fake().End(player->Stream());  // posted, not yet delivered
  player->PlayRow(2);            // the user's choice comes first
  Deliver();
  EXPECT_FALSE(player->AdvancePending());
  EXPECT_EQ(player->CurrentIndex(), 2);
  EXPECT_EQ(Opened(), 'C');
}

TEST_F(PlayerPlay, UnplayableRowsAreSkippedAndTheAdvanceStopsWhenAllFail) {
  UseRows("ABC");
  Fake().Behave(PathOf('A').c_str(), {.FailOpen = true});
  Fake().Behave(PathOf('B').c_str(), {.FailOpen = true});
  player->PlayRow(0);
  ASSERT_TRUE(WaitFor([&] { return player->EngineState() == BASS_ACTIVE_PLAYING; }));
  EXPECT_EQ(player->CurrentIndex(), 2);
  EXPECT_TRUE(failures.empty());

  // Now nothing opens: one round, then the advance stops.
  Fake().Behave(PathOf('C').c_str(), {.FailOpen = true});
  int before = Fake().Opens();
  player->Next();
  ASSERT_TRUE(WaitFor([&] { return Fake().Opens() == before + 3 && !player->AdvancePending(); }));
  EXPECT_FALSE(AdvanceArmed()) << "a fourth try is on its way";
  // A user command starts one more round.
  player->Next();
  EXPECT_TRUE(WaitFor([&] { return Fake().Opens() > before + 3; }));
  // A failed open leaves the flag down while the timer is armed: settled is both.
  ASSERT_TRUE(WaitFor([&] { return !AdvanceArmed() && !player->AdvancePending(); }));
  // So does a file handed over by the desktop, even one that does not open.
  testsupport::WriteFile(dir / "handed.mp3", "not audio");
  Fake().Behave((dir / "handed.mp3").string().c_str(), {.FailOpen = true});
  player->PlayFile((dir / "handed.mp3").string());
  EXPECT_TRUE(AdvanceArmed());
  ASSERT_TRUE(WaitFor([&] { return !AdvanceArmed() && !player->AdvancePending(); }));
  // And the audition of a search result.
  player->Audition({"Heard", "", 0, (dir / "handed.mp3").string()});
  EXPECT_TRUE(AdvanceArmed());
  EXPECT_TRUE(WaitFor([&] { return !AdvanceArmed() && !player->AdvancePending(); }));
}

TEST_F(PlayerPlay, ASongThatEndsAtOnceStillAdvances) {
  UseRows("AB");
  player->PlayRow(0);
  Fake().End(player->Stream());  // ended before any tick saw it play
  EXPECT_EQ(player->Tick().EngineState, BASS_ACTIVE_STOPPED);
  ASSERT_TRUE(WaitFor([&] { return Opened() == 'B'; }));
}

TEST_F(PlayerPlay, AStalledStreamShowsNeitherProgressNorLyrics) {
  UseRows("A");
  Fake().Behave(PathOf('A').c_str(), {.NeverStarts = true});
  testsupport::WriteFile(dir / "A.lrc", "[00:00.10]one\r\n");
  int lines = 0;
  QObject::connect(player.get(), &TPlayer::LyricLineChanged, [&] { ++lines; });
  player->Play();
  TTickInfo tick = player->Tick();
  EXPECT_EQ(tick.EngineState, BASS_ACTIVE_STALLED);
  EXPECT_TRUE(tick.TimeText.empty());
  EXPECT_EQ(lines, 0);
  // A stall in the middle of a song that played.
  Fake().Behave(PathOf('A').c_str(), {});
  player->PlayRow(0);
  ASSERT_EQ(player->Tick().EngineState, BASS_ACTIVE_PLAYING);
  Fake().Stall(player->Stream());
  EXPECT_EQ(player->Tick().EngineState, BASS_ACTIVE_STALLED);
}

TEST_F(PlayerPlay, NothingPlaysBeforeTheRulesAreReady) {
  TPlayer early;
  early.Rows().AppendAll(Songs("AB"));
  early.PlayRow(1);
  EXPECT_EQ(early.CurrentIndex(), 1);
  EXPECT_FALSE(early.PlayEntry("Song A", "", 0, PathOf('A')));
  EXPECT_EQ(Fake().Opens(), 0);
}

TEST_F(PlayerPlay, RowsWithEmptyTitlesAreMovedOverUpToTheEnd) {
  player->Rows().AppendAll({{"  ", "", 0, PathOf('A')},
                            {"", "", 0, PathOf('B')},
                            {" ", "", 0, PathOf('C')},
                            {"", "", 0, PathOf('D')}});
  player->PlayRow(2);
  EXPECT_EQ(player->CurrentIndex(), 0);
  EXPECT_EQ(Fake().Opens(), 0);
}

TEST_F(PlayerPlay, TheVolumeHoldsForEveryLaterStream) {
  UseRows("ABC");
  QSignalSpy volumes(player.get(), &TPlayer::VolumeChanged);
  player->Play();
  EXPECT_FLOAT_EQ(Fake().Volume(player->Stream()), 0.98f);
  player->SetVolume(50);
  player->SetVolume(50);
  EXPECT_EQ(volumes.count(), 1);
  EXPECT_FLOAT_EQ(Fake().Volume(player->Stream()), 0.5f);
  player->Next();
  EXPECT_FLOAT_EQ(Fake().Volume(player->Stream()), 0.5f);
  ASSERT_TRUE(EndAndAdvance());
  EXPECT_FLOAT_EQ(Fake().Volume(player->Stream()), 0.5f);
  player->SetVolume(140);
  EXPECT_EQ(player->Volume(), TPlayer::kMaxVolume);
  player->SetVolume(-3);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_FLOAT_EQ(Fake().Volume(player->Stream()), 0.0f);
}

TEST_F(PlayerPlay, TheTickMovesTheLyricCursorAndShowsProgress) {
  UseRows("A");
  testsupport::WriteFile(dir / "A.lrc",
                         "[00:01.00]one\r\n[00:02.00]two\r\n[00:03.00]three\r\n[00:04.00]four\r\n");
  std::vector<tick::TLyricFrame> frames;
  QObject::connect(player.get(), &TPlayer::LyricLineChanged,
                   [&](const tick::TLyricFrame& f) { frames.push_back(f); });
  player->Play();
  ASSERT_TRUE(player->Lyrics().HasLyrics);
  Fake().SetPosition(player->Stream(), 176400 * 5 / 2);  // 2.5 s of 10
  TTickInfo tick = player->Tick();
  EXPECT_EQ(tick.Percent, 25);
  EXPECT_EQ(tick.TimeText, "0:02 / 0:10");
  ASSERT_FALSE(frames.empty());
  EXPECT_TRUE(frames.back().Reached);
  EXPECT_EQ(frames.back().ReachedText, "two");
  EXPECT_EQ(player->LyricLine(), "two");
  EXPECT_EQ(frames.back().Green[tick::kLabel5], "three");
  // Backwards (a restart of the song): the cursor follows.
  Fake().SetPosition(player->Stream(), 176400 / 2);
  player->Tick();
  EXPECT_EQ(player->Lyrics().Cursor, 0);
}

TEST_F(PlayerPlay, ASongWithoutLyricsClearsTheLines) {
  UseRows("AB");
  testsupport::WriteFile(dir / "A.lrc", "[00:00.50]one\r\n");
  fs::create_directory(dir / "B.lrc");  // there, but not readable as a file
  QSignalSpy cleared(player.get(), &TPlayer::LyricsCleared);
  player->Play();
  player->Tick();
  EXPECT_EQ(cleared.count(), 0);
  player->Next();
  EXPECT_FALSE(player->Lyrics().HasLyrics);
  player->Tick();
  EXPECT_EQ(cleared.count(), 1);
  EXPECT_TRUE(failures.empty());
}

TEST_F(PlayerPlay, TheSongIsAnnouncedBeforeItsStreamOpens) {
  UseRows("A");
  player->Rows().AppendAll({{"  Title  ", "  Singer ", 0, PathOf('B')}});
  int opensAtAnnouncement = -1;
  QObject::connect(player.get(), &TPlayer::SongStarted, [&](const TSongInfo& song) {
    opensAtAnnouncement = Fake().Opens();
    EXPECT_EQ(song.Title, "Title");
    EXPECT_EQ(song.Singer, "Singer");
  });
  player->PlayRow(1);
  EXPECT_EQ(opensAtAnnouncement, 0);
  EXPECT_EQ(player->Song().Track, 1u);
}

TEST_F(PlayerPlay, AfterShutdownNothingStarts) {
  UseRows("AB");
  player->Play();
  HSTREAM a = player->Stream();
  Fake().End(a);  // an advance on its way
  player->Shutdown();
  EXPECT_NE(player->EngineState(), BASS_ACTIVE_PLAYING);
  int opens = Fake().Opens();
  Deliver();  // the end that was on its way
  player->Next();
  player->PlayFile(PathOf('B'));
  EXPECT_FALSE(AdvanceArmed());
  EXPECT_EQ(Fake().Opens(), opens);
}

}  // namespace
