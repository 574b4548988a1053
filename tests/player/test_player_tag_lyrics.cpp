// The core's choice of lyrics for a local song: the lyric file beside it, else
// the lyrics in its tag, else none.
#include <QSignalSpy>
#include <filesystem>

#include "PlayerFixture.h"
#include "tags/TagBytes.h"

namespace fs = std::filesystem;
using playertest::Fake;
using namespace tagbytes;

namespace {

class PlayerTagLyrics : public playertest::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    QObject::connect(player.get(), &TPlayer::LyricLineChanged,
                     [this](const tick::TLyricFrame& f) { frames.push_back(f); });
  }
  // Plays the song at `seconds` of its 10 and ticks once.
  void TickAt(double seconds) {
    Fake().SetPosition(player->Stream(), static_cast<QWORD>(176400 * seconds));
    player->Tick();
  }
  std::vector<tick::TLyricFrame> frames;
};

const std::string kAudio(1000, '\x55');

TEST_F(PlayerTagLyrics, ASongWithOnlyTimedLyricsInItsTagShowsThem) {
  UseRows("A");
  testsupport::WriteFile(
      PathOf('A'),
      Id3v2(3, {{"TIT2", Text(0, "Song")},
                {"SYLT", Sylt(1, {{"\xFF\xFE" + U16LE(u"two"), 2000},
                                  {"\xFF\xFE" + U16LE(u"one"), 1000},
                                  {"\xFF\xFE" + U16LE(u"three"), 3000}})}}) +
          kAudio);
  player->Play();
  ASSERT_TRUE(player->Lyrics().HasLyrics);
  EXPECT_EQ(player->Lyrics().Texts, (std::vector<std::string>{"one", "two", "three"}));
  TickAt(2.1);
  ASSERT_FALSE(frames.empty());
  EXPECT_TRUE(frames.back().Reached);
  EXPECT_EQ(frames.back().ReachedText, "two");
  EXPECT_EQ(frames.back().Green[tick::kLabel5], "three");
  EXPECT_EQ(player->LyricLine(), "two");
}

TEST_F(PlayerTagLyrics, TheLyricFileBesideTheSongWinsOverTheTag) {
  UseRows("AB");
  const std::string tagged = Id3v2(3, {{"SYLT", Sylt(0, {{"from the tag", 1000}})}}) + kAudio;
  testsupport::WriteFile(PathOf('A'), tagged);
  testsupport::WriteFile(dir / "A.lrc", "[00:01.00]from the file\r\n");
  testsupport::WriteFile(PathOf('B'), tagged);
  fs::create_directory(dir / "B.lrc");  // there, but unreadable: the tag is next
  player->Play();
  EXPECT_EQ(player->Lyrics().Texts, std::vector<std::string>{"from the file"});
  player->Next();
  EXPECT_TRUE(player->Lyrics().HasLyrics);
  EXPECT_EQ(player->Lyrics().Texts, std::vector<std::string>{"from the tag"});
  // A song with neither: the lines clear, as before.
  player->Rows().AppendAll(Songs("C"));
  testsupport::WriteFile(PathOf('C'), kAudio);
  QSignalSpy cleared(player.get(), &TPlayer::LyricsCleared);
  player->Next();
  EXPECT_FALSE(player->Lyrics().HasLyrics);
  TickAt(1);
  EXPECT_EQ(cleared.count(), 1);
  EXPECT_TRUE(failures.empty());
}

TEST_F(PlayerTagLyrics, PlainTextLyricsStandStillWithNoLineCurrent) {
  UseRows("AB");
  testsupport::WriteFile(dir / "A.lrc", "[00:00]earlier song\r\n");
  testsupport::WriteFile(
      PathOf('B'), Id3v2(4, {{"USLT", Uslt(3, "l1\nl2\n\nl3\nl4\nl5\nl6\n")}}) + kAudio);
  player->Play();
  TickAt(0);
  ASSERT_TRUE(!frames.empty() && frames.back().Reached);  // the earlier song's red line
  QSignalSpy cleared(player.get(), &TPlayer::LyricsCleared);
  player->Next();
  EXPECT_EQ(cleared.count(), 1) << "the earlier song's red line stays";
  ASSERT_TRUE(player->Lyrics().HasLyrics);
  EXPECT_EQ(player->Lyrics().Count(), 0u);
  frames.clear();
  for (double at : {0.0, 1.0, 5.0, 9.9, 0.0}) TickAt(at);
  ASSERT_EQ(frames.size(), 5u);
  for (const tick::TLyricFrame& f : frames) {
    EXPECT_TRUE(f.Update);
    EXPECT_FALSE(f.Reached);
    EXPECT_EQ(f.Green[tick::kLabel5], "l1");
    EXPECT_EQ(f.Green[tick::kLabel9], "l5");
    EXPECT_EQ(f.Green[tick::kLabel10], "");
    EXPECT_EQ(f.Green[tick::kLabel12], "");
  }
  EXPECT_EQ(player->LyricLine(), "");
  EXPECT_EQ(cleared.count(), 1);
  // LRC text in the same frame is timed.
  player->Rows().AppendAll(Songs("C"));
  testsupport::WriteFile(PathOf('C'),
                         Id3v2(3, {{"USLT", Uslt(0, "[00:01]one\r\n[00:03]two\r\n")}}) + kAudio);
  player->Next();
  EXPECT_TRUE(player->Lyrics().StillLines.empty());
  EXPECT_EQ(player->Lyrics().Texts, (std::vector<std::string>{"one", "two"}));
  TickAt(3);
  EXPECT_EQ(frames.back().ReachedText, "two");
}

TEST_F(PlayerTagLyrics, AStillLineSongWithFewLinesShowsThemAll) {
  UseRows("A");
  testsupport::WriteFile(
      PathOf('A'),
      Asf({ExtendedContentDescription({{u"WM/Lyrics", 0, U16LE(u"only line\0")}})}));
  player->Play();
  TickAt(1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].Green[tick::kLabel5], "only line");
  EXPECT_EQ(frames[0].Green[tick::kLabel6], "");
}

}  // namespace
