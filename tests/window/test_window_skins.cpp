// The skin catalogue in the combo box, a live change of skin and its failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <atomic>
#include <chrono>
#include <thread>

#include "WindowFixture.h"
#include "common/IniFile.h"
#include "main/controls/FlatGauge.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using wintest::G;

namespace {

class WindowSkins : public wintest::WindowTest {
 protected:
  QStringList ComboItems() {
    QStringList items;
    auto* combo = Child<QComboBox>("spSkinComboBox1");
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }
  QColor RowColour(int row) {
    return Form().PlaylistBox()->Item(row)->BackGround().toImage().pixelColor(5, 5);
  }
};

TEST_F(WindowSkins, ListsSkinFoldersAndSelectsTheCurrentOne) {
  for (const char* name : {"skin", "Skin2", "myskin", ".skin"})
    wintest::MakeSkin(Data() / name, {});
  wintest::WriteText(Data() / "skin.txt", "not a folder");
  wintest::WriteText(Dir() / "Main.ini", "[skincfg]\r\nskindir=myskin\r\n");
  Start();
  // Sorted by name, whatever the order of the folder.
  EXPECT_EQ(ComboItems(), (QStringList{"myskin", "skin"}));
  EXPECT_EQ(State().CurrentSkin, "myskin");
  EXPECT_EQ(Child<QComboBox>("spSkinComboBox1")->currentText(), "myskin");
  // Start-up selected it without writing Main.ini.
  EXPECT_EQ(ReadBytes(Dir() / "Main.ini"), "[skincfg]\r\nskindir=myskin\r\n");
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 188);
}

TEST_F(WindowSkins, ChangingTheSkinWritesMainIniRepaintsRowsAndExpands) {
  wintest::SkinSpec jade;
  jade.listBack[1] = QColor(0, 160, 120);
  jade.listBack[0] = QColor(0, 120, 90);
  jade.skinEx =
      "[formcfg]\r\nFormMaxHeight=420\r\nFormMinHeight=190\r\nFormWidth=320\r\n"
      "[somecolor]\r\nGaugecolor=0xFF0000\r\nvolcolor=255\r\n";
  wintest::MakeSkin(Data() / "skin", {});
  wintest::MakeSkin(Data() / "skin_jade", jade);
  WritePlaylist({{"A", "", 0, "/a.mp3"}, {"B", "", 0, "/b.mp3"}});
  Start();
  EXPECT_EQ(RowColour(0), QColor(20, 20, 20));
  auto* combo = Child<QComboBox>("spSkinComboBox1");
  combo->setCurrentIndex(combo->findText("skin_jade"));
  EXPECT_EQ(State().CurrentSkin, "skin_jade");
  TIniFile ini(Dir() / "Main.ini");
  EXPECT_EQ(ini.ReadString("skincfg", "skindir", ""), "skin_jade");
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 420);
  EXPECT_EQ(Form().SkinForm()->WindowSize().width(), 320);
  EXPECT_EQ(RowColour(0), QColor(0, 160, 120));
  EXPECT_EQ(RowColour(1), QColor(0, 120, 90));
  // 0xFF0000 is blue; the volume gauge's border is the progress gauge's colour.
  auto* volume = Child<TFlatGauge>("FlatVolGauge2");
  EXPECT_EQ(Child<TFlatGauge>("FlatGauge1")->Color(), QColor(0, 0, 255));
  EXPECT_EQ(volume->Color(), QColor(255, 0, 0));
  EXPECT_EQ(volume->ColorBorder(), QColor(0, 0, 255));

  // Picking the current skin again writes nothing.
  fs::remove(Dir() / "Main.ini");
  combo->setCurrentIndex(combo->findText("skin_jade"));
  EXPECT_FALSE(fs::exists(Dir() / "Main.ini"));
}

// Labels take the skin's text colour: on the form, in the tab pages, in list
// rows made after start-up, and after a change of skin; a lyric label's own
// colour stays its own.
TEST_F(WindowSkins, LabelsAndListRowsShowTheSkinsTextColour) {
  wintest::SkinSpec dark, light;
  dark.controls = "TextColor=#E6E6E8\r\n";
  light.controls = "TextColor=#1E3F3A\r\n";
  wintest::MakeSkin(Data() / "skin", dark);
  wintest::MakeSkin(Data() / "skin_light", light);
  WritePlaylist({{G("歌一"), G("歌手"), 0, "/a.mp3"}});
  Start();
  auto text = [](QWidget* w) { return w->palette().color(QPalette::WindowText); };
  auto rowTitle = [this](int row) {
    return Form().PlaylistBox()->rowWidget(row)->findChild<QLabel*>(QStringLiteral("Title"));
  };
  const QColor darkText(0xE6, 0xE6, 0xE8), lightText(0x1E, 0x3F, 0x3A);
  EXPECT_EQ(text(Child<QLabel>("Label1")), darkText);
  EXPECT_EQ(text(Child<QLabel>("Label2")), darkText);  // on the "关于" page
  ASSERT_NE(rowTitle(0), nullptr);
  EXPECT_EQ(text(rowTitle(0)), darkText);
  Form().PlaylistBox()->AddItem(G("歌二"), "", 0, "/b.mp3");
  QCoreApplication::processEvents();
  EXPECT_EQ(text(rowTitle(1)), darkText);

  auto* combo = Child<QComboBox>("spSkinComboBox1");
  combo->setCurrentIndex(combo->findText("skin_light"));
  QCoreApplication::processEvents();
  EXPECT_EQ(text(Child<QLabel>("Label1")), lightText);
  EXPECT_EQ(text(rowTitle(0)), lightText);
  Form().PlaylistBox()->AddItem(G("歌三"), "", 0, "/c.mp3");
  QCoreApplication::processEvents();
  EXPECT_EQ(text(rowTitle(2)), lightText);
}

TEST_F(WindowSkins, MissingPictureStopsTheChangeAfterMainIniWithAnError) {
  wintest::SkinSpec broken;
  broken.omit = {"laba.png"};
  broken.listBack[1] = QColor(200, 0, 0);
  wintest::MakeSkin(Data() / "skin", {});
  wintest::MakeSkin(Data() / "skin_broken", broken);
  WritePlaylist({{"A", "", 0, "/a.mp3"}});
  Start();
  auto* combo = Child<QComboBox>("spSkinComboBox1");
  combo->setCurrentIndex(combo->findText("skin_broken"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("laba.png"), std::string::npos);
  EXPECT_EQ(TIniFile(Dir() / "Main.ini").ReadString("skincfg", "skindir", ""), "skin_broken");
  // The rows and the height are not updated.
  EXPECT_EQ(RowColour(0), QColor(20, 20, 20));
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 188);
}

TEST_F(WindowSkins, StartWithABrokenSkinStillOpensAWholeWindow) {
  wintest::SkinSpec broken;
  broken.omit = {"Listback_2.bmp"};
  wintest::MakeSkin(Data() / "skin", broken);
  wintest::MakeSkin(Data() / "skin_ok", {});
  WritePlaylist({{"A", "", 0, "/a.mp3"}});
  Start({}, false);
  QTest::qWait(50);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("Listback_2.bmp"), std::string::npos);
  EXPECT_EQ(Form().PlaylistBox()->Count(), 1);
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 188);
  // Another skin can still be chosen.
  auto* combo = Child<QComboBox>("spSkinComboBox1");
  combo->setCurrentIndex(combo->findText("skin_ok"));
  EXPECT_EQ(State().CurrentSkin, "skin_ok");
  EXPECT_EQ(Form().SkinForm()->WindowHeight(), 405);
}

TEST_F(WindowSkins, PicturesThatAreFifosOrHugeAreRefusedWithoutWaitingOrReading) {
  wintest::SkinSpec spec;
  spec.omit = {"laba.png"};
  wintest::MakeSkin(Data() / "skin", spec);
  const fs::path fifo = Data() / "skin" / "laba.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  wintest::SkinSpec big;
  big.omit = {"logo.png"};
  wintest::MakeSkin(Data() / "skin_big", big);
  {
    // Sparse: far above any picture's size, without using the disk.
    const int fd = ::open((Data() / "skin_big" / "logo.png").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{64} << 20), 0);
    ::close(fd);
  }
  WritePlaylist({{"A", "", 0, "/a.mp3"}});

  // A reader that waits for a writer would hang start-up for ever; this
  // watchdog becomes that writer after a while, so such a fault shows as a
  // failed check instead of a hung test.
  std::atomic<bool> done{false};
  std::atomic<bool> unblocked{false};
  std::thread watchdog([&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    while (!done) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        unblocked = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  Start({}, false);
  QTest::qWait(50);
  done = true;
  watchdog.join();
  EXPECT_FALSE(unblocked) << "start-up waited on the FIFO";
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("laba.png"), std::string::npos);
  EXPECT_NE(Messages()[0].find("not a regular file"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Form().PlaylistBox()->Count(), 1);

  auto* combo = Child<QComboBox>("spSkinComboBox1");
  combo->setCurrentIndex(combo->findText("skin_big"));
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_NE(Messages()[1].find("logo.png"), std::string::npos);
  EXPECT_NE(Messages()[1].find("too large"), std::string::npos) << Messages()[1];
}

}  // namespace
