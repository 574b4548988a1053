// The core's seeks: clamped to the song, refused without a length, and the
// lyric lines, progress and time following at once, forwards and backwards.
#include <QSignalSpy>

#include "PlayerFixture.h"

using playertest::Fake;

namespace {

constexpr int64_t kBytesPerSecond = 176400;
constexpr int64_t kSecondUs = 1000000;

class PlayerSeek : public playertest::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    QObject::connect(player.get(), &TPlayer::LyricLineChanged,
                     [this](const tick::TLyricFrame& f) { frames.push_back(f); });
    QObject::connect(player.get(), &TPlayer::Seeked, [this](int64_t us) { seeked.push_back(us); });
  }
  // Song "A" with lines at 1 .. 8 s, playing, its tick at `played` seconds.
  void PlayWithLyrics(int played) {
    UseRows("A");
    testsupport::WriteFile(dir / "A.lrc",
                           "[00:01.00]one\r\n[00:02.00]two\r\n[00:03.00]three\r\n[00:04.00]four\r\n"
                           "[00:05.00]five\r\n[00:06.00]six\r\n[00:07.00]seven\r\n"
                           "[00:08.00]eight\r\n");
    player->Play();
    ASSERT_TRUE(player->Lyrics().HasLyrics);
    Fake().SetPosition(player->Stream(), static_cast<QWORD>(played * kBytesPerSecond));
    player->Tick();
    frames.clear();
  }
  std::vector<tick::TLyricFrame> frames;
  std::vector<int64_t> seeked;
};

// Forwards the red line is the one the new position has reached and the
// green ones go on from it; backwards the same, with no line ahead left
// standing; before the first line the red one is empty.
TEST_F(PlayerSeek, TheLyricLinesShowTheNewPositionAtOnce) {
  ASSERT_NO_FATAL_FAILURE(PlayWithLyrics(2));
  ASSERT_EQ(player->LyricLine(), "two");

  player->Seek(6 * kSecondUs + 500000);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].Reached);
  EXPECT_EQ(frames[0].ReachedText, "six");
  EXPECT_EQ(frames[0].Green[tick::kLabel5], "seven");
  EXPECT_EQ(frames[0].Green[tick::kLabel10], "five");
  EXPECT_EQ(player->LyricLine(), "six");

  player->Seek(3 * kSecondUs + 200000);  // back
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].ReachedText, "three");
  EXPECT_EQ(frames[1].Green[tick::kLabel5], "four");
  EXPECT_EQ(frames[1].Green[tick::kLabel10], "two");
  EXPECT_EQ(player->LyricLine(), "three");
  // The next tick at that place keeps them; one at the next line moves on.
  frames.clear();
  player->Tick();
  EXPECT_TRUE(frames.empty() || !frames.back().Reached);
  Fake().SetPosition(player->Stream(), 4 * kBytesPerSecond);
  player->Tick();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().ReachedText, "four");

  player->Seek(300000);
  EXPECT_TRUE(frames.back().Reached);
  EXPECT_EQ(frames.back().ReachedText, "");
  EXPECT_EQ(frames.back().Green[tick::kLabel5], "one");
  EXPECT_EQ(player->LyricLine(), "");
}

// A song whose lyrics were moved a second later: a seek places the lines by
// the moved timing, as the tick does.
TEST_F(PlayerSeek, ASeekPlacesTheLinesByTheSongsLyricTiming) {
  ASSERT_NO_FATAL_FAILURE(PlayWithLyrics(2));
  player->LyricsLater();
  player->LyricsLater();
  ASSERT_EQ(player->LyricOffsetMs(), -1000);
  frames.clear();
  player->Seek(6 * kSecondUs + 200000);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].ReachedText, "five");
  EXPECT_EQ(frames[0].Green[tick::kLabel5], "six");
}

// After the last line was reached the tick leaves the lines alone; a seek
// back still brings them back to the new place.
TEST_F(PlayerSeek, ASeekBackFromPastTheLastLineMovesTheLines) {
  ASSERT_NO_FATAL_FAILURE(PlayWithLyrics(8));
  ASSERT_EQ(player->LyricLine(), "eight");
  player->Seek(2 * kSecondUs);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].ReachedText, "two");  // a line at the very second is reached
  EXPECT_EQ(frames[0].Green[tick::kLabel5], "three");
  player->Tick();
  EXPECT_EQ(player->LyricLine(), "two");
  Fake().SetPosition(player->Stream(), 3 * kBytesPerSecond);
  player->Tick();
  EXPECT_EQ(player->LyricLine(), "three");
}

// Positions are clamped to the song; each seek is announced with the place
// it went to; progress and time read the new place even while paused.
TEST_F(PlayerSeek, SeeksAreClampedAndAnnouncedAndProgressFollows) {
  UseRows("A");
  player->Play();
  player->Seek(4 * kSecondUs);
  EXPECT_EQ(player->PositionUs(), 4 * kSecondUs);
  player->SeekBy(-5 * kSecondUs);
  EXPECT_EQ(player->PositionUs(), 0);
  player->SeekBy(7 * kSecondUs + 250000);
  EXPECT_EQ(player->PositionUs(), 7 * kSecondUs + 250000);
  player->Pause();
  player->SeekBy(-2 * kSecondUs);
  TTickInfo shown = player->Progress();
  EXPECT_EQ(shown.EngineState, BASS_ACTIVE_PAUSED);
  EXPECT_EQ(shown.Percent, 52);
  EXPECT_EQ(shown.TimeText, "0:05 / 0:10");
  player->Seek(60 * kSecondUs);  // past the end: the end
  EXPECT_EQ(Fake().Seeks(player->Stream()), 5);
  EXPECT_EQ(player->PositionUs(), 10 * kSecondUs);
  EXPECT_EQ(seeked, (std::vector<int64_t>{4 * kSecondUs, 0, 7 * kSecondUs + 250000,
                                          5 * kSecondUs + 250000, 10 * kSecondUs}));
}

// A live stream (no length) and no stream at all: refused quietly, nothing
// reaches the engine and nothing is announced.
TEST_F(PlayerSeek, WithoutALengthSeeksAreRefusedQuietly) {
  player->Seek(kSecondUs);
  player->SeekBy(kSecondUs);
  UseRows("A");
  fakeengine::TBehaviour live;
  live.LengthBytes = -1;
  Fake().Behave(PathOf('A').c_str(), live);
  player->Play();
  ASSERT_EQ(player->EngineState(), BASS_ACTIVE_PLAYING);
  player->Seek(kSecondUs);
  player->SeekBy(kSecondUs);
  EXPECT_EQ(Fake().Seeks(player->Stream()), 0);
  EXPECT_TRUE(seeked.empty());
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(failures.empty());
}

}  // namespace
