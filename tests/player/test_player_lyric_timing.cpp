// The player core's lyric timing: the commands move the lines at once, each
// song keeps its own offset in the user's folder, a restart finds it again,
// and the lyric file's own "[offset:]" adds to it.
#include <QSignalSpy>
#include <filesystem>

#include "PlayerFixture.h"
#include "common/errors.h"
#include "lyrics/LyricOffsets.h"

namespace fs = std::filesystem;
using playertest::Fake;

namespace {

constexpr QWORD kBytesPerSecond = 176400;

class PlayerLyricTiming : public playertest::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Follow();
  }
  // Records what the core tells the window.
  void Follow() {
    QObject::connect(player.get(), &TPlayer::LyricLineChanged,
                     [this](const tick::TLyricFrame& f) { frames.push_back(f); });
    QObject::connect(player.get(), &TPlayer::LyricOffsetChanged,
                     [this](int offset) { offsets.push_back(offset); });
  }
  void WriteLyrics(char letter, const std::string& head = "") {
    testsupport::WriteFile(dir / (std::string(1, letter) + ".lrc"),
                           head +
                               "[00:01.00]one\r\n[00:02.00]two\r\n[00:03.00]three\r\n"
                               "[00:04.00]four\r\n");
  }
  std::string OffsetFile() const { return (dir / kLyricOffsetFileName).string(); }
  void At(double seconds) {
    Fake().SetPosition(player->Stream(), static_cast<QWORD>(seconds * kBytesPerSecond));
  }
  // The red line as the window shows it: the last frame that set it.
  std::string Red() const {
    for (auto it = frames.rbegin(); it != frames.rend(); ++it)
      if (it->Reached) return it->ReachedText;
    return "<none>";
  }
  // A restart: a new core over the same user folder plays the same rows.
  void Restart() {
    player.reset();
    frames.clear();
    offsets.clear();
    player = std::make_unique<TPlayer>();
    player->Rules().Publish();
    Follow();
    player->UseLyricOffsetFile(OffsetFile());
  }

  std::vector<tick::TLyricFrame> frames;
  std::vector<int> offsets;
};

TEST_F(PlayerLyricTiming, TheRedLineFollowsEachCommandAtOnceBothWays) {
  UseRows("A");
  WriteLyrics('A');
  player->Play();
  At(2.2);
  player->Tick();
  EXPECT_EQ(Red(), "two");

  player->LyricsEarlier();  // 2.7: no tick needed
  EXPECT_EQ(Red(), "three");
  EXPECT_EQ(player->LyricLine(), "three");
  EXPECT_EQ(frames.back().Green[tick::kLabel5], "four");
  player->LyricsLater();
  player->LyricsLater();  // 1.7
  EXPECT_EQ(Red(), "two");
  player->LyricsLater();  // 1.2
  EXPECT_EQ(Red(), "one");
  EXPECT_EQ(frames.back().Green[tick::kLabel5], "two");
  EXPECT_EQ(player->LyricOffsetMs(), -1000);
  player->ResetLyricTiming();
  EXPECT_EQ(Red(), "two");
  EXPECT_EQ(offsets, (std::vector<int>{500, 0, -500, -1000, 0}));

  // The tick keeps the offset: a second later, lines come a second later.
  player->LyricsLater();
  player->LyricsLater();
  At(4.2);
  player->Tick();
  EXPECT_EQ(Red(), "three");
  EXPECT_EQ(player->Lyrics().Cursor, 3);
  // Past the last line, then later again: the lines come back.
  player->ResetLyricTiming();
  EXPECT_EQ(Red(), "four");
  EXPECT_EQ(player->Lyrics().Cursor, 4);
  player->ShiftLyrics(-2000);
  EXPECT_EQ(Red(), "two");
  EXPECT_EQ(player->LyricOffsetMs(), -2000);
}

TEST_F(PlayerLyricTiming, APausedSongsLinesFollowToo) {
  UseRows("A");
  WriteLyrics('A');
  player->Play();
  At(1.1);
  player->Tick();
  player->Pause();
  ASSERT_EQ(player->EngineState(), BASS_ACTIVE_PAUSED);
  player->ShiftLyrics(2000);
  EXPECT_EQ(Red(), "three");
  // A stopped song shows nothing new, but keeps the offset.
  player->Stop();
  size_t shown = frames.size();
  player->LyricsEarlier();
  EXPECT_EQ(frames.size(), shown);
  EXPECT_EQ(player->LyricOffsetMs(), 2500);
}

TEST_F(PlayerLyricTiming, TheOffsetSurvivesARestart) {
  player->UseLyricOffsetFile(OffsetFile());
  UseRows("A");
  WriteLyrics('A');
  player->Play();
  player->LyricsLater();
  player->LyricsLater();
  EXPECT_EQ(player->LyricOffsetMs(), -1000);

  Restart();
  UseRows("A");
  player->Play();
  EXPECT_EQ(player->LyricOffsetMs(), -1000);
  EXPECT_EQ(offsets, (std::vector<int>{-1000}));
  At(3.2);  // the lyrics at 2.2
  player->Tick();
  EXPECT_EQ(Red(), "two");
  // Back to the file's timing, and so after the next restart.
  player->ResetLyricTiming();
  EXPECT_EQ(Red(), "three");
  Restart();
  UseRows("A");
  player->Play();
  EXPECT_EQ(player->LyricOffsetMs(), 0);
}

TEST_F(PlayerLyricTiming, TwoSongsKeepTheirOwnOffsets) {
  player->UseLyricOffsetFile(OffsetFile());
  UseRows("AB");
  player->Play();
  player->LyricsEarlier();
  player->Next();
  EXPECT_EQ(Opened(), 'B');
  EXPECT_EQ(player->LyricOffsetMs(), 0);
  player->LyricsLater();
  player->LyricsLater();
  player->Previous();
  EXPECT_EQ(Opened(), 'A');
  EXPECT_EQ(player->LyricOffsetMs(), 500);
  EXPECT_EQ(offsets, (std::vector<int>{500, 0, -500, -1000, 500}));
  // The same file handed over by the desktop is the same song.
  player->PlayFile(PathOf('B'));
  EXPECT_EQ(Opened(), 'A');  // no such file: nothing plays, A keeps its offset
  EXPECT_EQ(player->LyricOffsetMs(), 500);
  testsupport::WriteFile(PathOf('B'), "");
  player->PlayFile(PathOf('B'));
  EXPECT_EQ(player->LyricOffsetMs(), -1000);

  Restart();
  UseRows("AB");
  player->PlayRow(1);
  EXPECT_EQ(player->LyricOffsetMs(), -1000);
  player->PlayRow(0);
  EXPECT_EQ(player->LyricOffsetMs(), 500);
}

TEST_F(PlayerLyricTiming, TheFilesOwnOffsetAddsToTheUsers) {
  UseRows("A");
  WriteLyrics('A', "[offset:1000]\r\n");
  player->Play();
  At(1.2);  // the lyrics at 2.2
  player->Tick();
  EXPECT_EQ(Red(), "two");
  player->LyricsLater();
  player->LyricsLater();  // 1.2
  EXPECT_EQ(Red(), "one");
  // Back to the file's own timing, not to none.
  player->ResetLyricTiming();
  EXPECT_EQ(Red(), "two");
  EXPECT_EQ(player->LyricOffsetMs(), 0);
}

TEST_F(PlayerLyricTiming, ACorruptOffsetsFileGivesNoOffsetAndIsMended) {
  testsupport::WriteFile(OffsetFile(), std::string("\xff\xfe\0\0junk\n\t\t\n", 12) + "-0\tfile\t" +
                                           PathOf('A') + "\n");
  player->UseLyricOffsetFile(OffsetFile());
  UseRows("A");
  player->Play();
  EXPECT_EQ(player->LyricOffsetMs(), 0);
  player->LyricsEarlier();
  Restart();
  UseRows("A");
  player->Play();
  EXPECT_EQ(player->LyricOffsetMs(), 500);
}

TEST_F(PlayerLyricTiming, AnOffsetThatCannotBeSavedStillHoldsAndIsReported) {
  fs::create_directory(OffsetFile());
  player->UseLyricOffsetFile(OffsetFile());
  UseRows("A");
  WriteLyrics('A');
  player->Play();
  At(1.2);
  player->Tick();
  EXPECT_THROW(player->LyricsEarlier(), lyrano::FileError);
  EXPECT_EQ(player->LyricOffsetMs(), 500);
  EXPECT_EQ(Red(), "two");
}

TEST_F(PlayerLyricTiming, NothingMovesBeforeTheFirstSongOrAfterShutdown) {
  player->UseLyricOffsetFile(OffsetFile());
  player->LyricsEarlier();
  player->ResetLyricTiming();
  EXPECT_EQ(player->LyricOffsetMs(), 0);
  EXPECT_TRUE(offsets.empty());
  EXPECT_FALSE(fs::exists(OffsetFile()));
  UseRows("A");
  player->Play();
  player->Shutdown();
  player->LyricsEarlier();
  EXPECT_EQ(player->LyricOffsetMs(), 0);
  EXPECT_FALSE(fs::exists(OffsetFile()));
}

}  // namespace
