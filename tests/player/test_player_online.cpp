// The player core's song lookups: an online row is looked up off the owner's
// thread on a loopback site, the latest command wins, and a shutdown drops
// what is still on its way.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "PlayerFixture.h"
#include "online/OnlineFixtures.h"

using playertest::Fake;

namespace {

class PlayerOnline : public playertest::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    site.server().Get("/info", [this](const httplib::Request& req, httplib::Response& res) {
      std::string id = req.get_param_value("id");
      if (id == "9") Hold();  // a slow site
      std::string lrc = id == "1" ? "/lrc/one.lrc" : "";
      res.set_content(
          R"({"mp3":"http://127.0.0.1:1/)" + id + R"(.mp3","xcode":"K","lrc":")" + lrc + R"("})",
          "application/json");
    });
    site.server().Get("/lrc/one.lrc", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("[00:01.00]one\r\n[00:02.00]two\r\n", "text/plain");
    });
    site.Start();
    env.emplace("LYRANO_SITE_URL", site.base());
    static_cast<TRuleValues&>(player->Rules()) = onlinetest::SiteRules(site.base().substr(7));
  }
  void TearDown() override {
    Release();
    PlayerTest::TearDown();
  }
  void Hold() {
    std::unique_lock lock(mutex);
    released.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    open = true;
    released.notify_all();
  }
  std::string Stream(int id) const {
    return "http://127.0.0.1:1/" + std::to_string(id) + ".mp3?xcode=K";
  }

  testsupport::LoopbackServer site;
  std::optional<onlinetest::ScopedEnv> env;
  std::mutex mutex;
  std::condition_variable released;
  bool open = false;
};

TEST_F(PlayerOnline, ASiteSongIsLookedUpAndPlaysWithItsLyrics) {
  player->Rows().AppendAll({{"One", "Site", 1, ""}, {"Two", "Site", 2, ""}});
  player->PlayRow(0);
  EXPECT_TRUE(player->SongLoading());
  ASSERT_TRUE(WaitFor([&] { return player->EngineState() == BASS_ACTIVE_PLAYING; }));
  EXPECT_EQ(std::string(Fake().LastOpened()), Stream(1));
  EXPECT_TRUE(player->Lyrics().HasLyrics);
  EXPECT_EQ(player->Lyrics().Count(), 2u);
  EXPECT_EQ(player->Song().Title, "One");
  // A song whose site gives no lyrics plays without.
  player->Next();
  ASSERT_TRUE(WaitFor([&] { return std::string(Fake().LastOpened()) == Stream(2); }));
  ASSERT_TRUE(WaitFor([&] { return !player->SongLoading(); }));
  EXPECT_FALSE(player->Lyrics().HasLyrics);
}

TEST_F(PlayerOnline, TheLatestCommandWinsOverALookupStillRunning) {
  UseRows("A");
  player->Rows().AppendAll({{"Slow", "Site", 9, ""}});
  player->PlayRow(1);
  ASSERT_TRUE(player->SongLoading());
  player->PlayRow(0);  // a local song meanwhile
  EXPECT_FALSE(player->SongLoading());
  EXPECT_EQ(Opened(), 'A');
  EXPECT_EQ(player->Song().Title, "Song A");
  EXPECT_EQ(player->CurrentIndex(), 0);
  // The dropped lookup, told to stop, opens nothing when its answer comes.
  Release();
  player.reset();  // joins it
  EXPECT_EQ(Fake().Opens(), 1);
}

TEST_F(PlayerOnline, AShutdownDropsALookupOnItsWay) {
  player->Rows().AppendAll({{"Slow", "Site", 9, ""}});
  player->Play();
  ASSERT_TRUE(player->SongLoading());
  player->Shutdown();
  EXPECT_FALSE(player->SongLoading());
  Release();
  player.reset();  // joins the lookup
  EXPECT_EQ(Fake().LiveStreams(), 0);
}

TEST_F(PlayerOnline, AnOnlineSongKeepsItsLyricOffsetByTitleAndSinger) {
  // The same title and singer under another site number is the same song.
  player->Rows().AppendAll({{"One", "Site", 1, ""}, {"One", "Site", 2, ""}, {"One", "", 3, ""}});
  auto playRow = [&](int row, int id) {
    player->PlayRow(row);
    ASSERT_TRUE(WaitFor([&] { return std::string(Fake().LastOpened()) == Stream(id); }));
    ASSERT_TRUE(WaitFor([&] { return !player->SongLoading(); }));
  };
  playRow(0, 1);
  player->LyricsEarlier();
  playRow(2, 3);
  EXPECT_EQ(player->LyricOffsetMs(), 0);
  playRow(1, 2);
  EXPECT_EQ(player->LyricOffsetMs(), 500);
}

}  // namespace
