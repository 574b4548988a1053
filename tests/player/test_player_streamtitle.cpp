// An internet radio's announcements: the tick follows the title the stream
// reports, shows it as the song with a track number of its own, and leaves
// the playlist row as it is; a stream that reports nothing changes nothing.
#include <QSignalSpy>

#include "PlayerFixture.h"

using playertest::Fake;

namespace {

class PlayerStreamTitle : public playertest::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    player->Rows().AppendAll({{"Station", "Host", 0, PathOf('R')}, {"Other", "", 0, PathOf('S')}});
  }
  // Sets what the stream reports, then ticks.
  void Announce(const char* packet) {
    Fake().SetMeta(player->Stream(), packet);
    player->Tick();
  }
};

TEST_F(PlayerStreamTitle, AnnouncementsBecomeTheShownSong) {
  QSignalSpy changes(player.get(), &TPlayer::SongTitleChanged);
  player->PlayRow(0);
  ASSERT_EQ(player->Song().Track, 1u);
  player->Tick();
  EXPECT_EQ(changes.count(), 0);

  Announce("StreamTitle='Singer A - Song A';StreamUrl='';");
  ASSERT_EQ(changes.count(), 1);
  auto shown = changes.takeFirst().at(0).value<TSongInfo>();
  EXPECT_EQ(shown.Title, "Song A");
  EXPECT_EQ(shown.Singer, "Singer A");
  EXPECT_EQ(player->Song().Title, "Song A");
  EXPECT_EQ(player->Song().Singer, "Singer A");
  EXPECT_EQ(player->Song().Track, 2u);  // a new song for the media bus
  player->Tick();
  // Another packet that names the same song is no change.
  Announce("StreamTitle='Singer A - Song A';StreamUrl='http://station/';");
  EXPECT_EQ(changes.count(), 0);
  // The same singer's next song is a change.
  Announce("StreamTitle='Singer A - Song C';");
  ASSERT_EQ(changes.count(), 1);
  changes.clear();
  EXPECT_EQ(player->Song().Title, "Song C");
  EXPECT_EQ(player->Song().Track, 3u);

  Announce("StreamTitle='Song B';");
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(player->Song().Title, "Song B");
  EXPECT_EQ(player->Song().Singer, "");
  EXPECT_EQ(player->Song().Track, 4u);
  // A packet without a title keeps what is shown.
  Announce("StreamUrl='http://station/';");
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(player->Song().Title, "Song B");

  // An empty title: the row's song again.
  Announce("StreamTitle='';");
  ASSERT_EQ(changes.count(), 2);
  EXPECT_EQ(player->Song().Title, "Station");
  EXPECT_EQ(player->Song().Singer, "Host");
  EXPECT_EQ(player->Song().Track, 5u);

  // The playlist row keeps its own title all along.
  EXPECT_EQ(player->Rows().Entry(0).Title, "Station");
  EXPECT_EQ(player->Rows().Entry(0).geshou, "Host");
  EXPECT_TRUE(failures.empty());
}

// Each song starts from what its row says: the next stream's announcement
// counts even when it names what the previous stream last named.
TEST_F(PlayerStreamTitle, ANewSongForgetsThePreviousAnnouncement) {
  QSignalSpy changes(player.get(), &TPlayer::SongTitleChanged);
  player->PlayRow(0);
  const char* packet = "StreamTitle='Singer A - Song A';";
  Announce(packet);
  ASSERT_EQ(changes.count(), 1);
  player->PlayRow(1);
  EXPECT_EQ(player->Song().Title, "Other");
  EXPECT_EQ(changes.count(), 1);
  Announce(packet);  // already at the new stream's first tick
  EXPECT_EQ(changes.count(), 2);
  EXPECT_EQ(player->Song().Title, "Song A");
}

// A stream that reports nothing: the row's song stays, no announcement.
TEST_F(PlayerStreamTitle, AStreamWithoutAnnouncementsKeepsTheRowsSong) {
  QSignalSpy changes(player.get(), &TPlayer::SongTitleChanged);
  QSignalSpy started(player.get(), &TPlayer::SongStarted);
  player->PlayRow(0);
  for (int i = 0; i < 3; ++i) player->Tick();
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(started.count(), 1);
  EXPECT_EQ(player->Song().Title, "Station");
  EXPECT_EQ(player->Song().Track, 1u);
}

}  // namespace
