// The desktop's media controls, driven with gdbus on the private session bus
// each of these tests runs under: the calls reach the same handlers as the
// buttons and the tray menu, and the properties follow the player, also while
// the window sits in the tray.
#include <QAction>
#include <QDBusConnection>
#include <QLabel>

#include "DesktopFixture.h"
#include "main/controls/FlatGauge.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;

namespace {

class Mpris : public desktoptest::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    if (!getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "run under dbus-run-session";
    rows.push_back(Tone("a.mp3", 30.0, "Row A", "Singer A"));
    rows.push_back(Tone("b.mp3", 30.0, "Row B"));
    WritePlaylist({{"Row A", "Singer A", 0, cp::PathToAnsi(rows[0])},
                   {"Row B", "", 0, cp::PathToAnsi(rows[1])}});
  }
  // gdbus, run while the event loop turns (the player answers on this thread).
  std::string Gdbus(QStringList args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("gdbus", args);
    EXPECT_TRUE(p.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000));
    return p.readAll().toStdString();
  }
  std::string Call(const char* method, QStringList args = {}) {
    return Gdbus(QStringList{"call", "--session", "--dest", service, "--object-path",
                             "/org/mpris/MediaPlayer2", "--method", method} +
                 args);
  }
  std::string Player(const char* method) {
    return Call((std::string("org.mpris.MediaPlayer2.Player.") + method).c_str());
  }
  std::string Get(const char* property) {
    return Call("org.freedesktop.DBus.Properties.Get", {"org.mpris.MediaPlayer2.Player", property});
  }
  void StartService() {
    mpris::TMprisService* s = Form().StartMediaControls();
    ASSERT_NE(s, nullptr);
    service = s->ServiceName();
  }
  void TearDown() override {
    if (monitor.state() != QProcess::NotRunning) {
      monitor.kill();
      monitor.waitForFinished(3000);
    }
    DesktopTest::TearDown();
  }
  // Starts watching what the service announces.
  void StartMonitor() {
    monitor.start("gdbus", {"monitor", "--session", "--dest", service});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    QTest::qWait(500);
  }
  // Whether the announcements seen include `part` within 5 s.
  bool Saw(const std::string& part) {
    return QTest::qWaitFor(
        [&] {
          seen += monitor.readAll().toStdString();
          return Has(seen, part);
        },
        5000);
  }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
  QString service;
  std::vector<fs::path> rows;
  QProcess monitor;
  std::string seen;  // the announcements so far
};

TEST_F(Mpris, CallsReachTheHandlersAndPropertiesFollowWhileInTheTray) {
  Start();
  ASSERT_TRUE(WaitReady());
  StartService();
  EXPECT_EQ(service, "org.mpris.MediaPlayer2.lyrano");
  HideToTray();
  EXPECT_TRUE(Has(Get("PlaybackStatus"), "'Stopped'"));
  EXPECT_TRUE(Has(Get("Metadata"), "NoTrack"));

  Player("PlayPause");  // stopped: the play button's action, the first row
  ASSERT_TRUE(Playing());
  EXPECT_EQ(Form().Player().CurrentIndex(), 0);
  EXPECT_TRUE(Has(Get("PlaybackStatus"), "'Playing'"));
  std::string metadata = Get("Metadata");
  EXPECT_TRUE(Has(metadata, "'xesam:title': <'Row A'>")) << metadata;
  EXPECT_TRUE(Has(metadata, "'xesam:artist': <['Singer A']>")) << metadata;
  EXPECT_TRUE(Has(metadata, "'mpris:length': <int64 30")) << metadata;
  QTest::qWait(1100);
  std::string position = Get("Position");
  EXPECT_FALSE(Has(position, "<int64 0>")) << position;

  Player("PlayPause");
  EXPECT_EQ(BASS_ChannelIsActive(Form().Player().Stream()), BASS_ACTIVE_PAUSED);
  EXPECT_TRUE(Has(Get("PlaybackStatus"), "'Paused'"));
  Player("Play");
  EXPECT_TRUE(Playing());
  Player("Next");
  EXPECT_EQ(Form().Player().CurrentIndex(), 1);
  EXPECT_TRUE(Has(Get("Metadata"), "'xesam:title': <'Row B'>"));
  Player("Previous");
  EXPECT_EQ(Form().Player().CurrentIndex(), 0);
  Player("Pause");
  EXPECT_EQ(BASS_ChannelIsActive(Form().Player().Stream()), BASS_ACTIVE_PAUSED);
  Player("Pause");  // twice stays paused
  EXPECT_EQ(BASS_ChannelIsActive(Form().Player().Stream()), BASS_ACTIVE_PAUSED);
  Player("Stop");
  EXPECT_TRUE(Has(Get("PlaybackStatus"), "'Stopped'"));

  Call("org.freedesktop.DBus.Properties.Set", {"org.mpris.MediaPlayer2.Player", "Volume", "<0.5>"});
  EXPECT_EQ(Child<TFlatGauge>("FlatVolGauge2")->Position(), 50);
  EXPECT_TRUE(Has(Get("Volume"), "<0.5>"));

  EXPECT_FALSE(Form().isVisible());  // none of it brought the window up
  Call("org.mpris.MediaPlayer2.Raise");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Form().isVisible(); }, 2000));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Mpris, ChangesAreAnnouncedWithTheLyricLine) {
  std::string lrc = "[00:00.50]" + wintest::G("第一行") + "\r\n[00:20.00]later\r\n";
  wintest::WriteText(Dir() / "a.lrc", lrc);
  Start();
  ASSERT_TRUE(WaitReady());
  StartService();
  HideToTray();
  ASSERT_NO_FATAL_FAILURE(StartMonitor());

  Item("MenuItem4")->trigger();  // the tray menu, not the bus
  ASSERT_TRUE(Playing());
  EXPECT_TRUE(Saw("'PlaybackStatus': <'Playing'>")) << seen;
  EXPECT_TRUE(Saw("'xesam:title': <'Row A'>")) << seen;
  EXPECT_TRUE(Saw("'xesam:comment': <['第一行']>")) << seen;
  Item("MenuItem4")->trigger();
  EXPECT_TRUE(Saw("'PlaybackStatus': <'Paused'>")) << seen;
}

// With no rows Play, Next and Previous do nothing, and the bus says so; it
// announces the change as rows come and go.
TEST_F(Mpris, PlayAndSkippingFollowWhetherThePlaylistHasRows) {
  WritePlaylist({});
  Start();
  ASSERT_TRUE(WaitReady());
  StartService();
  for (const char* can : {"CanPlay", "CanGoNext", "CanGoPrevious"})
    EXPECT_TRUE(Has(Get(can), "<false>")) << can;
  ASSERT_NO_FATAL_FAILURE(StartMonitor());
  Form().Player().AddMany({{"Row A", "", 0, cp::PathToAnsi(rows[0])}});
  EXPECT_TRUE(Saw("'CanPlay': <true>")) << seen;
  EXPECT_TRUE(Saw("'CanGoNext': <true>")) << seen;
  EXPECT_TRUE(Saw("'CanGoPrevious': <true>")) << seen;
  EXPECT_TRUE(Has(Get("CanGoNext"), "<true>"));
  seen.clear();
  Form().Player().Stop();  // adding plays the song added
  Form().Player().Clear();
  EXPECT_TRUE(Saw("'CanPlay': <false>")) << seen;
  EXPECT_TRUE(Saw("'CanGoPrevious': <false>")) << seen;
  EXPECT_TRUE(Has(Get("CanPlay"), "<false>"));

  // A song opened from outside the list can be paused and played on, but
  // there is nowhere to skip to.
  Form().Player().PlayFile(cp::PathToAnsi(rows[1]));
  Player("Pause");
  EXPECT_TRUE(Has(Get("CanPlay"), "<true>"));
  EXPECT_TRUE(Has(Get("CanGoNext"), "<false>"));
}

// Seeking is offered once a song with a length is loaded; Seek moves by an
// offset, SetPosition goes to a place in the song the caller names, and every
// seek, whatever drove it, is announced with Seeked.
TEST_F(Mpris, SeekingFollowsTheLengthAndEverySeekIsAnnounced) {
  Start();
  ASSERT_TRUE(WaitReady());
  StartService();
  EXPECT_TRUE(Has(Get("CanSeek"), "<false>"));
  Call("org.mpris.MediaPlayer2.Player.Seek", {"3000000"});  // nothing loaded: nothing happens
  ASSERT_NO_FATAL_FAILURE(StartMonitor());
  Player("Play");
  ASSERT_TRUE(Playing());
  EXPECT_TRUE(Saw("'CanSeek': <true>")) << seen;
  EXPECT_TRUE(Has(Get("CanSeek"), "<true>"));
  auto position = [&] { return Form().Player().PositionUs(); };

  Call("org.mpris.MediaPlayer2.Player.Seek", {"10000000"});
  EXPECT_NEAR(position(), 10000000, 400000);
  EXPECT_TRUE(Saw("Seeked (int64 1")) << seen;
  // Before the start: the start (typed, so gdbus takes no option from the sign).
  Call("org.mpris.MediaPlayer2.Player.Seek", {"int64 -60000000"});
  EXPECT_LT(position(), 300000);
  EXPECT_TRUE(Saw("Seeked (int64 0")) << seen;

  // Only the current song's id counts, and only places within it.
  std::string track = "/org/lyrano/track/" + std::to_string(Form().Player().Song().Track);
  Call("org.mpris.MediaPlayer2.Player.SetPosition", {"/org/lyrano/track/999", "20000000"});
  Call("org.mpris.MediaPlayer2.Player.SetPosition", {track.c_str(), "int64 -5"});
  Call("org.mpris.MediaPlayer2.Player.SetPosition", {track.c_str(), "31000000"});
  EXPECT_LT(position(), 5000000);
  Call("org.mpris.MediaPlayer2.Player.SetPosition", {track.c_str(), "20000000"});
  EXPECT_NEAR(position(), 20000000, 400000);
  EXPECT_TRUE(Saw("Seeked (int64 20000000")) << seen;

  // A seek from the window is announced too.
  seen.clear();
  Form().Player().Seek(25000000);
  EXPECT_TRUE(Saw("Seeked (int64 25000000")) << seen;

  // The very end is within the song: it ends there, and the next one plays
  // (long before the 25 s left would have run out).
  Form().Player().Seek(5000000);
  std::string length = std::to_string(Form().Player().LengthUs());
  Call("org.mpris.MediaPlayer2.Player.SetPosition", {track.c_str(), length.c_str()});
  EXPECT_TRUE(QTest::qWaitFor([&] { return Form().Player().CurrentIndex() == 1; }, 3000));
}

// An internet radio that announces what it plays: the bus names the song it
// announced, as a track of its own, and so does the window's caption.
TEST_F(Mpris, ARadiosAnnouncedSongIsOnTheBus) {
  const std::string audio = testsupport::ReadFile(Tone("radio.mp3", 20.0, ""));
  const std::string body =
      testsupport::IcyBody(audio, 4096, {{1, "StreamTitle='Radio Singer - Radio Song';"}});
  testsupport::LoopbackServer radio;
  radio.server().Get("/radio", [&](const httplib::Request&, httplib::Response& res) {
    res.set_header("icy-metaint", "4096");
    res.set_content(body, "audio/mpeg");
  });
  radio.Start();
  WritePlaylist({{"Station", "", 0, radio.url("/radio")}});
  Start();
  ASSERT_TRUE(WaitReady());
  StartService();
  ASSERT_NO_FATAL_FAILURE(StartMonitor());

  Player("Play");
  ASSERT_TRUE(Playing());
  EXPECT_TRUE(Saw("'xesam:title': <'Radio Song'>")) << seen;
  EXPECT_TRUE(Saw("'xesam:artist': <['Radio Singer']>")) << seen;
  std::string metadata = Get("Metadata");
  EXPECT_TRUE(Has(metadata, "'xesam:title': <'Radio Song'>")) << metadata;
  EXPECT_TRUE(Has(metadata, "/org/lyrano/track/2")) << metadata;
  EXPECT_EQ(Title(), QString("Radio Song"));
  EXPECT_EQ(Form().Player().Rows().Entry(0).Title, "Station");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Mpris, SecondCopyTakesANameOfItsOwn) {
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
  ASSERT_TRUE(other.registerService("org.mpris.MediaPlayer2.lyrano"));
  Start();
  StartService();
  EXPECT_EQ(service, QString("org.mpris.MediaPlayer2.lyrano.instance%1").arg(getpid()));
  EXPECT_TRUE(Has(Get("PlaybackStatus"), "'Stopped'"));
}

TEST_F(Mpris, NoSessionBusNoServiceAndNothingShown) {
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  unsetenv("XDG_RUNTIME_DIR");
  Start();
  EXPECT_EQ(Form().StartMediaControls(), nullptr);
  QTest::qWait(300);
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
