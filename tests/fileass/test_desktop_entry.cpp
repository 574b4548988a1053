// The desktop side of the association: the entry that starts the program, how
// its Exec line quotes a path, and the user's files the notice leaves whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/IniFile.h"
#include "common/errors.h"
#include "fileass/DesktopAssociation.h"
#include "fileass/FileAss.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using fileass::DesktopExecArgument;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

TEST(DesktopEntry, ExecArgumentQuotesReservedCharacters) {
  EXPECT_EQ(DesktopExecArgument("/usr/lib/lyrano/lyrano"), "/usr/lib/lyrano/lyrano");
  EXPECT_EQ(DesktopExecArgument("/opt/my apps/lyrano"), "\"/opt/my apps/lyrano\"");
  EXPECT_EQ(DesktopExecArgument("/a/\"q\"/$x/`c`/b\\s"), "\"/a/\\\"q\\\"/\\$x/\\`c\\`/b\\\\s\"");
  EXPECT_EQ(DesktopExecArgument("/a/100%/l"), "/a/100%%/l");
  EXPECT_EQ(DesktopExecArgument("/a/(x)&y"), "\"/a/(x)&y\"");
}

TEST(DesktopEntry, TextNamesTheProgramAndTheTypes) {
  std::string text = fileass::DesktopEntryText("/opt/a b\\c/lyrano", "lyrano");
  EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=Lyrano\n"), std::string::npos);
  // Quoted for the command line, then its backslashes doubled for the file.
  EXPECT_NE(text.find("\nExec=\"/opt/a b\\\\\\\\c/lyrano\" %f\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nIcon=lyrano\n"), std::string::npos);
  EXPECT_NE(text.find("\nMimeType=audio/mpeg;audio/x-ms-wma;\n"), std::string::npos);
  EXPECT_NE(text.find("\nCategories=AudioVideo;Audio;Player;\n"), std::string::npos);
}

class DesktopNotice : public testing::Test {
 protected:
  void SetUp() override {
    places.Applications = dir / "data" / "applications";
    places.MimeAppsList = dir / "config" / "mimeapps.list";
    places.Registry = dir / "config" / "lyrano" / "registry.ini";
    places.Defaults = dir / "config" / "lyrano" / "defaults.ini";
    places.EarlierEntry = dir / "config" / "lyrano" / "lyrano.desktop.earlier";
    fs::create_directories(dir / "config");
  }
  void Claim(const std::string& program, bool on = true) {
    reg::TIniRegistry registry(places.Registry, fileass::DesktopSeed(places));
    fileass::TFileAss fa(registry, program,
                         [&](uint32_t) { fileass::ApplyAssociationToDesktop(registry, places); });
    fa.AssociateFiles(on);
  }
  std::string Entry() const { return ReadFile(places.Applications / "lyrano.desktop"); }

  testsupport::TempDir dir;
  fileass::TDesktopPlaces places;
};

TEST_F(DesktopNotice, EntryFollowsTheProgramAndItsFolderIcon) {
  fs::create_directories(dir / "prog" / "data");
  WriteFile(dir / "prog" / "data" / "lyrano.png", "png");
  const std::string program = (dir / "prog" / "lyrano").string();
  Claim(program);
  EXPECT_NE(Entry().find("\nExec=" + program + " %f\n"), std::string::npos) << Entry();
  EXPECT_NE(Entry().find("\nIcon=" + (dir / "prog" / "data" / "lyrano.png").string() + "\n"),
            std::string::npos);
  // Moved: the next claim names the new place; without a picture, the theme icon.
  Claim("/elsewhere/lyrano");
  EXPECT_NE(Entry().find("\nExec=/elsewhere/lyrano %f\n"), std::string::npos);
  EXPECT_NE(Entry().find("\nIcon=lyrano\n"), std::string::npos);
}

// The open command quotes the path, which may hold quotes itself: the entry
// names the whole program, quoted as desktop entries want.
TEST_F(DesktopNotice, ProgramPathWithQuotesIsNamedWhole) {
  Claim("/opt/my \"best\" player/lyrano");
  EXPECT_NE(Entry().find("\nExec=\"/opt/my \\\\\"best\\\\\" player/lyrano\" %f\n"),
            std::string::npos)
      << Entry();
  Claim("/opt/x\"/lyrano\"");
  EXPECT_NE(Entry().find("\nExec=\"/opt/x\\\\\"/lyrano\\\\\"\" %f\n"), std::string::npos)
      << Entry();
}

TEST_F(DesktopNotice, ReleaseGivesBackTheEntryOursReplacedOrRemovesOurs) {
  Claim("/opt/lyrano/lyrano");
  ASSERT_TRUE(fs::exists(places.Applications / "lyrano.desktop"));
  Claim("/opt/lyrano/lyrano", false);
  // No entry is left for the desktop to fall back on for a type without a default.
  EXPECT_FALSE(fs::exists(places.Applications / "lyrano.desktop"));

  // An entry installed into the user's own prefix is replaced and comes back.
  const std::string installed = "[Desktop Entry]\nType=Application\nName=Lyrano\nExec=lyrano %f\n";
  WriteFile(places.Applications / "lyrano.desktop", installed);
  Claim("/opt/lyrano/lyrano");
  Claim("/moved/lyrano");  // a later claim keeps what was there first
  EXPECT_NE(Entry().find("Exec=/moved/lyrano %f"), std::string::npos);
  Claim("/moved/lyrano", false);
  EXPECT_EQ(Entry(), installed);
  EXPECT_FALSE(fs::exists(places.EarlierEntry));
}

TEST_F(DesktopNotice, LinkedListStaysALinkAndComesBackWhole) {
  const std::string list = "[Default Applications]\naudio/mpeg=player.desktop\n";
  WriteFile(dir / "dotfiles.list", list);
  fs::create_symlink(dir / "dotfiles.list", places.MimeAppsList);
  Claim("/opt/lyrano/lyrano");
  EXPECT_TRUE(fs::is_symlink(places.MimeAppsList));
  EXPECT_NE(ReadFile(dir / "dotfiles.list").find("audio/mpeg=lyrano.desktop"), std::string::npos);
  Claim("/opt/lyrano/lyrano", false);
  EXPECT_TRUE(fs::is_symlink(places.MimeAppsList));
  EXPECT_EQ(ReadFile(dir / "dotfiles.list"), list);
}

TEST_F(DesktopNotice, AListThatCannotBeReadIsNeverOverwritten) {
  fs::create_directories(places.MimeAppsList);  // a folder where the list should be
  reg::TIniRegistry registry(places.Registry);
  EXPECT_THROW(fileass::ApplyAssociationToDesktop(registry, places), lyrano::FileError);
  // The association itself goes on without the desktop: the failing notice ends
  // each extension there, the registry steps before it are done.
  Claim("/opt/lyrano/lyrano");
  EXPECT_TRUE(fs::is_directory(places.MimeAppsList));
  EXPECT_EQ(registry.ReadValue(reg::THive::ClassesRoot, ".mp3", ""), "LyranoAssType.mp3");
  EXPECT_FALSE(TIniFile(places.Defaults).SectionExists("audio/mpeg"));
}

}  // namespace
