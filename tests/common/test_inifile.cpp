// TIniFile: reading with defaults, name matching, integer forms, and writing
// that changes one line and keeps the rest of the file byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/IniFile.h"
#include "common/errors.h"
#include "support/TestSupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(IniFileRead, MissingFileReadsAsEmpty) {
  TempDir dir;
  TIniFile ini(dir / "none.ini");
  EXPECT_EQ(ini.ReadString("skincfg", "skindir", "skin"), "skin");
  EXPECT_EQ(ini.ReadInteger("formcfg", "FormWidth", 313), 313);
  EXPECT_FALSE(ini.SectionExists("skincfg"));
  EXPECT_TRUE(ini.ReadSections().empty());
}

TEST(IniFileRead, NamesIgnoreCaseAndFirstDuplicateWins) {
  TempDir dir;
  WriteFile(dir / "a.ini",
            "; comment=ignored\r\n"
            "orphan=before any section\r\n"
            "[SkinCfg]\r\n"
            "  SkinDir =  first  \r\n"
            "skindir=second\r\n"
            "noequals line\r\n"
            "=no key\r\n"
            "[skincfg]\r\n"
            "skindir=third\r\n"
            "other=only here\r\n"
            "[q]\n"
            "dq=\"  padded  \"\n"
            "sq='x'\n"
            "half=\"open\n"
            "empty=\n");
  TIniFile ini(dir / "a.ini");
  EXPECT_EQ(ini.ReadString("skincfg", "skindir", "d"), "first");
  EXPECT_EQ(ini.ReadString("SKINCFG", "SKINDIR", "d"), "first");
  // A key that only a later duplicate section has is still found.
  EXPECT_EQ(ini.ReadString("skincfg", "other", "d"), "only here");
  EXPECT_EQ(ini.ReadString("skincfg", "orphan", "d"), "d");
  EXPECT_EQ(ini.ReadString("skincfg", "; comment", "d"), "d");
  EXPECT_EQ(ini.ReadString("q", "dq", "d"), "  padded  ");
  EXPECT_EQ(ini.ReadString("q", "sq", "d"), "x");
  EXPECT_EQ(ini.ReadString("q", "half", "d"), "\"open");
  EXPECT_EQ(ini.ReadString("q", "empty", "d"), "");
  EXPECT_TRUE(ini.ValueExists("q", "empty"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"SkinCfg", "q"}));
  EXPECT_EQ(ini.ReadSection("skincfg"), (std::vector<std::string>{"SkinDir", "other"}));
}

TEST(IniFileRead, CaseFoldingLeavesDoubleByteCharactersExact) {
  TempDir dir;
  // GB18030 trail bytes can be ASCII letters: \x81\x41 and \x81\x61 are two
  // different characters and must not be folded into one name.
  WriteFile(dir / "c.ini",
            "[\x81\x41]\nk=upper\n[\x81\x61]\nk=lower\n[\xC6\xA4\xB7\xF4]\nKey=\xD6\xD0\n");
  TIniFile ini(dir / "c.ini");
  EXPECT_EQ(ini.ReadString("\x81\x41", "k", ""), "upper");
  EXPECT_EQ(ini.ReadString("\x81\x61", "k", ""), "lower");
  EXPECT_EQ(ini.ReadString("\xC6\xA4\xB7\xF4", "KEY", ""), "\xD6\xD0");
}

TEST(IniFileRead, IntegerForms) {
  struct Row {
    const char* text;
    int32_t expected;  // -7 is the default
  };
  const Row rows[] = {
      {"405", 405},
      {"  188 ", 188},
      {"-12", -12},
      {"+5", 5},
      {"0xFF0000", 16711680},
      {"0XFF0000", 16711680},
      {"$FF0000", 16711680},
      {"$ff", 255},
      {"16711680", 16711680},
      {"0xFFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", -7},
      {"0x100000000", -7},
      {"12abc", -7},
      {"abc", -7},
      {"", -7},
      {"0x", -7},
      {"$", -7},
      {"1.5", -7},
      {"- 5", -7},
      {"1 2", -7},
  };
  TempDir dir;
  std::string content = "[n]\n";
  for (size_t i = 0; i < std::size(rows); ++i) {
    content += "k" + std::to_string(i) + "=" + rows[i].text + "\n";
  }
  WriteFile(dir / "n.ini", content);
  TIniFile ini(dir / "n.ini");
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(ini.ReadInteger("n", "k" + std::to_string(i), -7), rows[i].expected)
        << "value '" << rows[i].text << "'";
  }
  EXPECT_EQ(ini.ReadInteger("n", "missing", 42), 42);
  EXPECT_TRUE(ini.ReadBool("n", "k0", false));
  EXPECT_TRUE(ini.ReadBool("n", "k16", true));
}

TEST(IniFileRead, SeesChangesMadeByOthers) {
  TempDir dir;
  TIniFile ini(dir / "m.ini");
  EXPECT_EQ(ini.ReadString("s", "k", "d"), "d");
  WriteFile(dir / "m.ini", "[s]\nk=v1\n");
  EXPECT_EQ(ini.ReadString("s", "k", "d"), "v1");
  WriteFile(dir / "m.ini", "[s]\nk=value2\n");
  EXPECT_EQ(ini.ReadString("s", "k", "d"), "value2");
}

TEST(IniFileWrite, ChangesOnlyTheEntryLine) {
  TempDir dir;
  const std::string before =
      "; Lyrano settings\r\n"
      "[Other]\r\n"
      "skindir=not this one\r\n"
      "\r\n"
      "[SKINCFG]\r\n"
      "  skindir =  skin\t\r\n"
      "skindir=duplicate\r\n"
      "tail=1";
  WriteFile(dir / "Main.ini", before);
  TIniFile ini(dir / "Main.ini");
  ini.WriteString("skincfg", "SkinDir", "skin_jade");
  EXPECT_EQ(ReadFile(dir / "Main.ini"),
            "; Lyrano settings\r\n"
            "[Other]\r\n"
            "skindir=not this one\r\n"
            "\r\n"
            "[SKINCFG]\r\n"
            "  skindir =  skin_jade\r\n"
            "skindir=duplicate\r\n"
            "tail=1");
  EXPECT_EQ(ini.ReadString("skincfg", "skindir", ""), "skin_jade");
}

TEST(IniFileWrite, NewKeysAndSections) {
  TempDir dir;
  // New key: after the last entry of the first section of that name, before
  // blank lines and comments that follow it.
  WriteFile(dir / "a.ini", "[a]\nx=1\n\n; about b\n[b]\ny=2\n[a]\nz=3");
  TIniFile a(dir / "a.ini");
  a.WriteString("A", "new", "v");
  EXPECT_EQ(ReadFile(dir / "a.ini"), "[a]\nx=1\nnew=v\n\n; about b\n[b]\ny=2\n[a]\nz=3");
  // A key present only in the second duplicate section is changed there.
  a.WriteInteger("a", "z", -4);
  EXPECT_EQ(ReadFile(dir / "a.ini"), "[a]\nx=1\nnew=v\n\n; about b\n[b]\ny=2\n[a]\nz=-4");
  // New section at the end; the unterminated last line gets the file's line end.
  a.WriteString("c", "k", "v");
  EXPECT_EQ(ReadFile(dir / "a.ini"),
            "[a]\nx=1\nnew=v\n\n; about b\n[b]\ny=2\n[a]\nz=-4\n\n[c]\nk=v\n");

  // Missing file: created with CR LF line ends.
  TIniFile m(dir / "Main.ini");
  m.WriteString("skincfg", "skindir", "myskin");
  EXPECT_EQ(ReadFile(dir / "Main.ini"), "[skincfg]\r\nskindir=myskin\r\n");
  // Section header without entries: the key goes right below it.
  WriteFile(dir / "e.ini", "[e]\r\n[f]\r\n");
  TIniFile e(dir / "e.ini");
  e.WriteBool("e", "on", true);
  EXPECT_EQ(ReadFile(dir / "e.ini"), "[e]\r\non=1\r\n[f]\r\n");
}

TEST(IniFileWrite, KeepsAByteOrderMark) {
  TempDir dir;
  WriteFile(dir / "b.ini", "\xEF\xBB\xBF[skincfg]\r\nskindir=skin\r\n");
  TIniFile ini(dir / "b.ini");
  EXPECT_EQ(ini.ReadString("skincfg", "skindir", ""), "skin");
  ini.WriteString("skincfg", "skindir", "skin_jade");
  EXPECT_EQ(ReadFile(dir / "b.ini"), "\xEF\xBB\xBF[skincfg]\r\nskindir=skin_jade\r\n");
  ini.DeleteKey("skincfg", "skindir");
  EXPECT_EQ(ReadFile(dir / "b.ini"), "\xEF\xBB\xBF[skincfg]\r\n");
}

TEST(IniFileWrite, ValuesRoundTrip) {
  TempDir dir;
  TIniFile ini(dir / "v.ini");
  const std::string values[] = {"  lead and trail  ",
                                "\"quoted\"",
                                "'single'",
                                "a=b;c",
                                "\xCE\xD2\xC3\xC7\xB5\xC4\xB8\xE8",
                                ""};
  for (size_t i = 0; i < std::size(values); ++i) {
    ini.WriteString("v", "k" + std::to_string(i), values[i]);
  }
  TIniFile again(dir / "v.ini");
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(again.ReadString("v", "k" + std::to_string(i), "default"), values[i]);
  }
}

TEST(IniFileWrite, RefusesWhatCannotBeStoredAndKeepsTheFile) {
  TempDir dir;
  const std::string before = "[s]\nk=v\n";
  WriteFile(dir / "s.ini", before);
  TIniFile ini(dir / "s.ini");
  EXPECT_THROW(ini.WriteString("s", "k", "two\nlines"), lyrano::Error);
  EXPECT_THROW(ini.WriteString("s", "a=b", "v"), lyrano::Error);
  EXPECT_THROW(ini.WriteString("s", "", "v"), lyrano::Error);
  EXPECT_THROW(ini.WriteString("s", ";k", "v"), lyrano::Error);
  EXPECT_THROW(ini.WriteString("s]", "k", "v"), lyrano::Error);
  EXPECT_THROW(ini.WriteString(" s", "k", "v"), lyrano::Error);
  EXPECT_EQ(ReadFile(dir / "s.ini"), before);

  // A folder that cannot be written to: a clear error, the old file intact,
  // no temporary file left behind.
  if (::geteuid() != 0) {
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_THROW(ini.WriteString("s", "k", "new"), lyrano::FileError);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadFile(dir / "s.ini"), before);
  }
  // A path that is a folder cannot be read, so it is not replaced.
  std::filesystem::create_directory(dir / "d.ini");
  TIniFile folder(dir / "d.ini");
  EXPECT_EQ(folder.ReadString("s", "k", "def"), "def");
  EXPECT_THROW(folder.WriteString("s", "k", "v"), lyrano::FileError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "d.ini"));
  size_t count = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++count;
  EXPECT_EQ(count, 2u);
}

// A FIFO at the path is no profile: it reads as empty at once, without
// waiting for a writer, and is not replaced by a write.
TEST(IniFileRead, AFifoReadsAsEmptyWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "p.ini").c_str(), 0600), 0);
  TIniFile ini(dir / "p.ini");
  EXPECT_EQ(ini.ReadString("s", "k", "def"), "def");
  EXPECT_THROW(ini.WriteString("s", "k", "v"), lyrano::FileError);
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "p.ini"));
}

TEST(IniFileWrite, KeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  WriteFile(dir / "real.ini", "[s]\nk=v\n");
  ::chmod((dir / "real.ini").c_str(), 0600);
  std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
  TIniFile ini(dir / "link.ini");
  ini.WriteString("s", "k", "w");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[s]\nk=w\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace

namespace {

TEST(IniFileDelete, RemovesEveryMatchAndKeepsOtherLinesByteForByte) {
  TempDir dir;
  const auto file = dir / "r.ini";
  WriteFile(file,
            "; head\r\n"
            "[A\\B]\r\n"
            "k=1\r\n"
            "K = 2\r\n"
            "other=3\r\n"
            "[c]\n"
            "k=kept\n"
            "[a\\b]\r\n"
            "k=again\r\n"
            "; a comment inside\r\n"
            "[D]\r\n"
            "x=y");
  TIniFile ini(file);
  ini.DeleteKey("a\\b", "k");
  EXPECT_EQ(
      ReadFile(file),
      "; head\r\n[A\\B]\r\nother=3\r\n[c]\nk=kept\n[a\\b]\r\n; a comment inside\r\n[D]\r\nx=y");
  EXPECT_FALSE(ini.ValueExists("A\\B", "k"));
  ini.EraseSection("A\\b");
  EXPECT_EQ(ReadFile(file), "; head\r\n[c]\nk=kept\n[D]\r\nx=y");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"c", "D"}));
}

TEST(IniFileDelete, NothingToRemoveWritesNothing) {
  TempDir dir;
  TIniFile missing(dir / "none.ini");
  missing.DeleteKey("s", "k");
  missing.EraseSection("s");
  EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));

  const auto file = dir / "ro.ini";
  WriteFile(file, "[s]\nk=v\n");
  const auto before = std::filesystem::last_write_time(file);
  TIniFile ini(file);
  ini.DeleteKey("s", "other");
  ini.EraseSection("t");
  EXPECT_EQ(std::filesystem::last_write_time(file), before);
  EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}

}  // namespace
