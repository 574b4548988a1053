// The window on the desktop: the association check box at start-up and on a
// click, and the per-user folder used when the program folder is read-only.
#include <sys/stat.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QTabWidget>

#include "WindowFixture.h"
#include "common/IniFile.h"
#include "main/UserFolder.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;
using wintest::G;

namespace {

class WindowDesktop : public wintest::WindowTest {
 protected:
  fs::path Config() const { return Dir() / "xdg-config"; }
  fs::path Registry() const { return Config() / "lyrano" / "registry.ini"; }
  fs::path MimeApps() const { return Config() / "mimeapps.list"; }
  fs::path Entry() const { return Dir() / "xdg-data" / "applications" / "lyrano.desktop"; }
  std::string Command(const char* ext) const {
    TIniFile ini(Registry());
    return ini.ReadString(
        std::string("HKEY_CLASSES_ROOT\\LyranoAssType.") + ext + "\\Shell\\Open\\Command", "@", "");
  }
  static std::string Program() { return QCoreApplication::applicationFilePath().toStdString(); }
  QCheckBox* Box() { return Child<QCheckBox>("spSkinCheckBox2"); }
};

TEST_F(WindowDesktop, CheckBoxClaimsAndGivesBackBothTypes) {
  const std::string list = "[Default Applications]\naudio/mpeg=player.desktop\n";
  fs::create_directories(Config());
  WriteFile(MimeApps(), list);
  Start();
  EXPECT_EQ(Box()->text(), QString::fromUtf8("关联音乐格式【.mp3,wma】"));
  EXPECT_FALSE(Box()->isChecked());
  // The start-up release of nothing writes nothing.
  EXPECT_FALSE(fs::exists(Registry()));
  EXPECT_EQ(ReadFile(MimeApps()), list);

  Child<QTabWidget>("spSkinPageControl1")->setCurrentIndex(3);
  Box()->click();
  EXPECT_TRUE(Box()->isChecked());
  EXPECT_EQ(Command("mp3"), "\"" + Program() + "\" \"%1\"");
  EXPECT_EQ(Command("wma"), "\"" + Program() + "\" \"%1\"");
  EXPECT_EQ(ReadFile(MimeApps()),
            "[Default Applications]\naudio/mpeg=lyrano.desktop\naudio/x-ms-wma=lyrano.desktop\n");
  EXPECT_NE(ReadFile(Entry()).find("\nExec=" + Program() + " %f\n"), std::string::npos);

  Box()->click();
  EXPECT_FALSE(Box()->isChecked());
  EXPECT_EQ(ReadFile(MimeApps()), list);
  EXPECT_EQ(Command("mp3"), "");
}

TEST_F(WindowDesktop, StartWithMp3ClaimedChecksTheBoxAndNamesThisProgram) {
  fs::create_directories(Registry().parent_path());
  WriteFile(Registry(),
            "[HKEY_CLASSES_ROOT\\.mp3]\n@=LyranoAssType.mp3\nLyranoAssType.bak=player.desktop\n"
            "[HKEY_CLASSES_ROOT\\LyranoAssType.mp3\\Shell\\Open\\Command]\n"
            "@=\"\"/old/place/lyrano\" \"%1\"\"\n");
  Start();
  EXPECT_TRUE(Box()->isChecked());
  EXPECT_EQ(Command("mp3"), "\"" + Program() + "\" \"%1\"");
  EXPECT_EQ(Command("wma"), "\"" + Program() + "\" \"%1\"");
  EXPECT_NE(ReadFile(MimeApps()).find("audio/mpeg=lyrano.desktop"), std::string::npos);
}

TEST_F(WindowDesktop, PlaylistAndSettingLiveInThePerUserFolder) {
  wintest::WriteText(Data() / "default.txt", G("歌一|歌手|12|\r\n"));
  wintest::MakeSkin(Data() / "skin", {});
  wintest::MakeSkin(Data() / "skin_b", {});
  userDir = cp::PathToAnsi(Dir() / "xdg-data" / "lyrano") + "/";
  fs::create_directories(Dir() / "xdg-data" / "lyrano");
  Start();
  EXPECT_EQ(State().UserDir, userDir);
  EXPECT_EQ(Player().PlaylistFile(), userDir + "playlist.txt");
  ASSERT_EQ(Form().PlaylistBox()->Count(), 1);

  Form().AddToPlaylist(G("歌二"), "", 7, false, "");
  EXPECT_EQ(ReadBytes(Dir() / "xdg-data" / "lyrano" / "playlist.txt"),
            G("歌一|歌手|12|\r\n歌二||7|\r\n"));
  auto* skins = Child<QComboBox>("spSkinComboBox1");
  skins->setCurrentIndex(skins->findText("skin_b"));
  EXPECT_EQ(
      TIniFile(Dir() / "xdg-data" / "lyrano" / "Main.ini").ReadString("skincfg", "skindir", ""),
      "skin_b");
  // The program folder is not written to.
  EXPECT_FALSE(fs::exists(Dir() / "playlist.txt"));
  EXPECT_FALSE(fs::exists(Dir() / "Main.ini"));
}

TEST(WindowUserFolder, ReadOnlyProgramFolderGetsAWritablePerUserCopy) {
  testsupport::TempDir dir;
  const std::string appDir = cp::PathToAnsi(dir / "prog") + "/";
  fs::create_directories(dir / "prog");
  EXPECT_EQ(UserFolderFor(appDir, true, dir / "data"), appDir);
  EXPECT_FALSE(fs::exists(dir / "data"));

  WriteFile(dir / "prog" / "Main.ini", "[skincfg]\nskindir=skin_b\n");
  WriteFile(dir / "prog" / "playlist.txt", "a|b|0|\r\n");
  fs::permissions(dir / "prog" / "Main.ini", fs::perms::owner_read | fs::perms::group_read);
  const std::string user = UserFolderFor(appDir, false, dir / "data");
  EXPECT_EQ(user, cp::PathToAnsi(dir / "data" / "lyrano") + "/");
  EXPECT_EQ(ReadFile(dir / "data" / "lyrano" / "Main.ini"), "[skincfg]\nskindir=skin_b\n");
  EXPECT_EQ(ReadFile(dir / "data" / "lyrano" / "playlist.txt"), "a|b|0|\r\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "data" / "lyrano" / "Main.ini").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);

  // Later starts keep the user's copies.
  WriteFile(dir / "data" / "lyrano" / "playlist.txt", "edited|||\r\n");
  UserFolderFor(appDir, false, dir / "data");
  EXPECT_EQ(ReadFile(dir / "data" / "lyrano" / "playlist.txt"), "edited|||\r\n");
}

TEST(WindowUserFolder, PackagedProgramFolderIsNeverWrittenEvenWhenWritable) {
  // A package's folder is writable by root; the package manager's marker keeps
  // the player's files out of it anyway, or a removal would leave them behind.
  testsupport::TempDir dir;
  const std::string appDir = cp::PathToAnsi(dir / "prog") + "/";
  fs::create_directories(dir / "prog");
  WriteFile(dir / "prog" / "packaged", "installed by the package manager\n");
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  const std::string user = UserFolder(appDir);
  if (old) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
  EXPECT_EQ(user, cp::PathToAnsi(dir / "data" / "lyrano") + "/");
  EXPECT_TRUE(fs::is_directory(dir / "data" / "lyrano"));
}

}  // namespace
