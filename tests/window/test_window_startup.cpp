// Start-up, the worker's messages and caption, heights, transparency, on-top.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

#include "WindowFixture.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "main/controls/RzBmpButton.h"
#include "main/controls/SkinImage.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowStartup : public wintest::WindowTest {};

// Whether a file whose name contains `part` is mapped into this process.
bool Mapped(const std::string& part) {
  return testsupport::ReadFile("/proc/self/maps").find(part) != std::string::npos;
}

// The window comes up before the decoders, the sound library and the HTTP
// client are loaded; the rule worker loads the client, the first play the engine.
TEST_F(WindowStartup, OpensWithoutTheEngineOrTheHttpClientThenLoadsEachOnFirstNeed) {
  fs::path song = Tone("first.mp3", 1.0, "First");
  WritePlaylist({{"Row", "", 0, cp::PathToAnsi(song)}});
  const char* engine[] = {"lyrano-audio.so", "libavcodec.so", "libavformat.so", "libSDL2"};
  Start();
  for (const char* lib : engine) EXPECT_FALSE(Mapped(lib)) << lib;
  // "libcurl": the library's file name depends on its TLS flavour.
  const char* client[] = {"lyrano-web.so", "libcurl", "libgnutls.so"};
  for (const char* lib : client) EXPECT_FALSE(Mapped(lib)) << lib;

  ASSERT_TRUE(WaitReady());
  EXPECT_TRUE(Mapped("lyrano-web.so"));
  EXPECT_TRUE(Mapped("libcurl"));
  for (const char* lib : engine) EXPECT_FALSE(Mapped(lib)) << lib;

  DoubleClickRow(Form().PlaylistBox(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Playing(); }, 5000));
  for (const char* lib : engine) EXPECT_TRUE(Mapped(lib)) << lib;
}

TEST_F(WindowStartup, StartsCompactWithTheLayoutAndSeedsThePlaylist) {
  wintest::WriteText(Data() / "default.txt", G("歌一|歌手|12|\r\n歌二||0|\r\n"));
  Start();
  TspDynamicSkinForm* skin = Form().SkinForm();
  EXPECT_EQ(skin->WindowHeight(), 188);
  EXPECT_EQ(skin->WindowSize().width(), 313);
  EXPECT_EQ(State().FormMaxHeight, 405);
  EXPECT_EQ(State().CurrentSkin, "skin");
  // The list area lies below the compact height; the player controls above it.
  QWidget* client = skin->ClientArea();
  int visibleClient = 188 - skin->CaptionHeight();
  EXPECT_GE(Child<QTabWidget>("spSkinPageControl1")->y(), visibleClient);
  EXPECT_LT(Child<TFlatGauge>("FlatGauge1")->geometry().bottom(), visibleClient);
  EXPECT_EQ(Child<QWidget>("RzBmpButton5")->parentWidget(), client);

  // Named components at their places, with their texts.
  EXPECT_EQ(Child<QWidget>("FlatVolGauge2")->geometry(), QRect(179, 92, 114, 9));
  EXPECT_EQ(Child<TFlatGauge>("FlatVolGauge2")->Position(), 98);
  EXPECT_EQ(Child<TFlatGauge>("FlatGauge1")->Position(), 25);
  EXPECT_EQ(Child<TFlatGauge>("FlatAlphaGauge2")->Position(), 154);
  EXPECT_EQ(Child<QLabel>("spSkinLabel1")->text(), "00:00/00:00");
  EXPECT_EQ(Child<QLineEdit>("spSkinEdit1")->text(), QString::fromUtf8("我们的歌"));
  EXPECT_EQ(Child<QLabel>("Label1")->text(), QString::fromUtf8("最轻巧全能的音乐云播放器"));
  EXPECT_EQ(Child<TseXLabel>("seXLabel1")->Caption(), QString::fromUtf8("Lyrano播放器"));
  EXPECT_FALSE(Child<QPushButton>("spSkinButton1")->isEnabled());
  EXPECT_TRUE(Child<QWidget>("RzBmpButton3")->isHidden());
  EXPECT_FALSE(Child<QWidget>("RzBmpButton4")->isHidden());
  EXPECT_EQ(skin->AlphaBlendValue(), 254);
  auto* tabs = Child<QTabWidget>("spSkinPageControl1");
  ASSERT_EQ(tabs->count(), 4);
  EXPECT_EQ(tabs->tabText(2), QString::fromUtf8("歌词"));
  for (const char* name :
       {"Label4", "Label8", "Label12", "Label13", "spSkinCheckBox2", "spSkinComboBox1",
        "spSkinEdit2", "yuan", "yuan2", "laba", "logo", "LogoBack", "ControlBar", "RzBmpButton6"})
    Child<QWidget>(name);
  for (const char* name : {"N1", "N12", "N27", "MenuItem1", "MenuItem8", "N10", "N11"}) Item(name);

  // playlist.txt is a byte copy of data/default.txt, loaded and current.
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), ReadBytes(Data() / "default.txt"));
  ASSERT_EQ(Form().PlaylistBox()->Count(), 2);
  EXPECT_EQ(Form().PlaylistBox()->Entry(0).SongId, 12);
  EXPECT_EQ(Player().PlaylistFile(), AppDir() + "playlist.txt");
  EXPECT_EQ(Player().CurrentIndex(), -1);

  // The worker: loading caption first, then ready; the tick's "Lyrano" after.
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(events.front(), std::string("caption:") + "Lyrano 初始化中....");
  QTest::qWait(300);
  EXPECT_EQ(Form().windowTitle(), "Lyrano");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(WindowStartup, ExistingPlaylistIsNotReplacedAndCompanionButtonFollowsTheFile) {
  wintest::WriteText(Data() / "default.txt", G("歌一|歌手|12|\r\n"));
  wintest::WriteText(Dir() / "playlist.txt", "");
  wintest::WriteText(Dir() / "ktv.exe", "#!/bin/sh\n");
  Start();
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), "");
  EXPECT_EQ(Form().PlaylistBox()->Count(), 0);
  EXPECT_TRUE(Child<QPushButton>("spSkinButton1")->isEnabled());
}

TEST_F(WindowStartup, MalformedPlaylistKeepsEveryLineOfTheFile) {
  const std::string text = G("甲|歌手|0|/a.mp3\r\n乙|歌手|x|/b.mp3\r\n丙|歌手|0|/c.mp3\r\n");
  wintest::WriteText(Dir() / "playlist.txt", text);
  Start();
  QTest::qWait(100);
  // The error is shown, the rows before the bad line are there, and no file is
  // current: the next change does not write the shorter list over the file.
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Messages().front(), "'x' is not a valid integer value");
  EXPECT_EQ(Form().PlaylistBox()->Count(), 1);
  EXPECT_TRUE(Player().PlaylistFile().empty());
  RowMenu(Form().PlaylistBox(), 0, "N3");
  EXPECT_EQ(Form().PlaylistBox()->Count(), 0);
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), text);
}

TEST_F(WindowStartup, WorkerFailureThenVersionMessageThenCaption) {
  rulePage = wintest::CompleteRulePage(2, /*withMarkers=*/false);
  Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Messages().size() == 2; }, 8000));
  EXPECT_EQ(Messages()[0], "云库获取失败，请检测网络！或升级到最新版本！");
  EXPECT_EQ(Messages()[1], "您当前使用的并不是最新版本！请及时升级，保证正常使用。");
  // The failure caption comes after the failure box and before the version box.
  auto at = [&](const std::string& e) {
    return std::find(events.begin(), events.end(), e) - events.begin();
  };
  auto failed = at("caption:Lyrano 初始化失败!!!!!");
  ASSERT_LT(failed, static_cast<long>(events.size()));
  EXPECT_LT(at("message:" + Messages()[0]), failed);
  EXPECT_LT(failed, at("message:" + Messages()[1]));
  EXPECT_FALSE(Player().Rules().IsReady());
}

TEST_F(WindowStartup, NewerVersionOnAReadyPageAndStartupFilePlays) {
  rulePage = wintest::CompleteRulePage(2);
  fs::path song = Tone("start.mp3", 2.0, "Startup Song", "Band");
  Start({"  " + cp::PathToAnsi(song) + "  ", "ignored.mp3"});
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Playing(); }, 10000));
  EXPECT_EQ(Title(), "Startup Song");
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"您当前使用的并不是最新版本！请及时升级，保证正常使用。"});
  // The start-up file is played, not added to the playlist.
  EXPECT_EQ(Form().PlaylistBox()->Count(), 0);
}

// The worker starts the start-up file's timer once the rules are in; a window
// closed before it fires plays nothing, shows nothing and loads no lyrics.
TEST_F(WindowStartup, StartupFileDoesNotPlayOnceTheWindowIsClosed) {
  fs::path song = Tone("start.mp3", 2.0, "Startup Song", "Band");
  wintest::WriteText(Dir() / "start.lrc", "[00:00.10]line\r\n");
  Start({cp::PathToAnsi(song)});
  ASSERT_TRUE(WaitReady());
  const QString before = Title();
  Form().close();
  QTest::qWait(800);
  EXPECT_EQ(Player().Stream(), 0u);
  EXPECT_EQ(Title(), before);
  EXPECT_FALSE(Player().Lyrics().HasLyrics);
}

TEST_F(WindowStartup, UnreachableRulePageLeavesThePlayerUnreadyAndSilent) {
  ruleStatus = 404;
  fs::path song = Tone("start.mp3", 1.0, "Never");
  WritePlaylist({{"Row", "", 0, cp::PathToAnsi(song)}});
  Start({cp::PathToAnsi(song)});
  QTest::qWait(1200);
  EXPECT_FALSE(Player().Rules().IsReady());
  EXPECT_TRUE(Messages().empty());
  DoubleClickRow(Form().PlaylistBox(), 0);
  Click("RzBmpButton4");
  QTest::qWait(300);
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Player().CurrentIndex(), 0);
}

TEST_F(WindowStartup, ListButtonFollowsTheMidpointRule) {
  Start();
  TspDynamicSkinForm* skin = Form().SkinForm();
  Click("RzBmpButton5");
  EXPECT_EQ(skin->WindowHeight(), 405);
  Click("RzBmpButton5");
  EXPECT_EQ(skin->WindowHeight(), 188);
  skin->SetWindowHeight(296);
  Click("RzBmpButton5");
  EXPECT_EQ(skin->WindowHeight(), 188);
  skin->SetWindowHeight(295);
  Click("RzBmpButton5");
  EXPECT_EQ(skin->WindowHeight(), 405);
}

TEST_F(WindowStartup, TransparencyAndVolumeDrags) {
  wintest::SkinSpec framed;
  framed.frameWidth = 3;  // ours have 1; a wider frame shows any border counted
  wintest::MakeSkin(Data() / "skin", framed);
  Start({}, false);
  auto* alpha = Child<TFlatGauge>("FlatAlphaGauge2");
  auto* knob2 = Child<QWidget>("yuan2");
  TspDynamicSkinForm* skin = Form().SkinForm();
  // The skin's frame lies between the window's edge and its client area.
  ASSERT_EQ(alpha->mapTo(&Form(), QPoint(0, 0)).x(), alpha->x() + 3);
  DragGauge(alpha, alpha, 57);
  EXPECT_EQ(alpha->Position(), 78);  // Round(57 * 155 / 114) = Round(77.5), the even neighbour
  EXPECT_EQ(skin->AlphaBlendValue(), 178);
  EXPECT_EQ(knob2->x(), alpha->x() + 57 - knob2->width() / 2);
  DragGauge(alpha, alpha, 1);
  EXPECT_EQ(alpha->Position(), 1);  // Round(155 / 114)
  EXPECT_EQ(knob2->x(), alpha->x() + 1 - knob2->width() / 2);
  DragGauge(knob2, alpha, -40);
  EXPECT_EQ(skin->AlphaBlendValue(), 100);
  DragGauge(alpha, alpha, 500);
  EXPECT_EQ(skin->AlphaBlendValue(), 255);
  EXPECT_FALSE(State().AlphaDragging);

  auto* volume = Child<TFlatGauge>("FlatVolGauge2");
  auto* knob = Child<QWidget>("yuan");
  DragGauge(knob, volume, 57);
  EXPECT_EQ(volume->Position(), 50);  // Round(5700 / 114)
  EXPECT_EQ(knob->x(), volume->x() + 57 - knob->width() / 2);
  DragGauge(volume, volume, 113);
  EXPECT_EQ(volume->Position(), 99);  // Round(11300 / 114) = Round(99.12)
  DragGauge(volume, volume, 1000);
  EXPECT_EQ(volume->Position(), 100);
  // A press and release without a move changes nothing.
  QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(volume->Position(), 100);
  EXPECT_FALSE(State().VolumeDragging);
}

TEST_F(WindowStartup, OnTopDisablesTheSkinComboAndHintsFollowThePlaylistMenu) {
  WritePlaylist({{"Row", "", 0, "/nowhere.mp3"}});
  Start();
  auto* onTop = Child<QCheckBox>("spSkinCheckBox1");
  auto* combo = Child<QComboBox>("spSkinComboBox1");
  EXPECT_TRUE(combo->isEnabled());
  QTest::mouseClick(onTop, Qt::LeftButton, {}, onTop->rect().center());
  EXPECT_TRUE(onTop->isChecked());
  EXPECT_FALSE(combo->isEnabled());
  EXPECT_TRUE(Form().SkinForm()->StayOnTop());
  EXPECT_TRUE(Form().isVisible());
  QTest::mouseClick(onTop, Qt::LeftButton, {}, onTop->rect().center());
  EXPECT_TRUE(combo->isEnabled());
  EXPECT_FALSE(Form().SkinForm()->StayOnTop());

  // Opening the playlist menu switches hints off; dismissing it on again.
  TCnScroolStoreBox* box = Form().PlaylistBox();
  QWidget* row = box->rowWidget(0);
  ASSERT_NE(row, nullptr);
  QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5), row->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(row, &ev);
  QMenu* menu = box->Wpopmenu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 1000));
  EXPECT_FALSE(Form().ShowHint());
  menu->hide();
  EXPECT_TRUE(Form().ShowHint());
}

TEST_F(WindowStartup, TrayMenuAndExit) {
  Start();
  EXPECT_EQ(Item("MenuItem4")->text(), QString::fromUtf8("播放"));
  EXPECT_EQ(Item("N4")->text(), QString::fromUtf8("播放"));
  Form().hide();
  Item("N11")->trigger();
  EXPECT_TRUE(Form().isVisible());
  bool closed = false;
  QObject::connect(&Form(), &TForm1::Closed, [&] { closed = true; });
  Item("N10")->trigger();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(Form().isVisible());
}

}  // namespace
