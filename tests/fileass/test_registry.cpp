// The registry layer over its profile file: keys exist through the keys below
// them, names ignore case, a key goes with everything below it and nothing
// beside it, and a fresh file starts from its seed.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileass/Registry.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using reg::THive;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

TEST(RegistryLayer, KeysValuesAndTrees) {
  testsupport::TempDir dir;
  WriteFile(dir / "r.ini",
            // A value in quotes of its own is stored inside one more pair.
            "[HKEY_CLASSES_ROOT\\T\\Shell\\Open\\Command]\n@=\"\"/p\" \"%1\"\"\n"
            "[HKEY_CLASSES_ROOT\\.mp3x]\n@=keep\n"
            "[HKEY_CURRENT_USER\\T]\n@=other hive\n");
  reg::TIniRegistry r(dir / "r.ini");
  EXPECT_TRUE(r.KeyExists(THive::ClassesRoot, "t\\SHELL"));  // only a key below it is stored
  EXPECT_FALSE(r.KeyExists(THive::ClassesRoot, "T\\Sh"));
  EXPECT_EQ(r.ReadValue(THive::ClassesRoot, "T\\Shell\\Open\\Command", ""), "\"/p\" \"%1\"");
  EXPECT_EQ(r.ReadValue(THive::ClassesRoot, "T\\Shell", ""), std::nullopt);

  r.WriteValue(THive::ClassesRoot, ".mp3", "", " padded ");
  r.WriteValue(THive::ClassesRoot, ".mp3", "LyranoAssType.bak", "");
  EXPECT_EQ(r.ReadValue(THive::ClassesRoot, ".MP3", ""), " padded ");
  EXPECT_TRUE(r.ValueExists(THive::ClassesRoot, ".mp3", "lyranoasstype.BAK"));
  r.DeleteValue(THive::ClassesRoot, ".mp3", "LyranoAssType.bak");
  EXPECT_FALSE(r.ValueExists(THive::ClassesRoot, ".mp3", "LyranoAssType.bak"));
  EXPECT_TRUE(r.KeyExists(THive::ClassesRoot, ".mp3"));

  r.DeleteKey(THive::ClassesRoot, "t");
  r.DeleteKey(THive::ClassesRoot, ".mp3");
  EXPECT_FALSE(r.KeyExists(THive::ClassesRoot, "T\\Shell\\Open\\Command"));
  EXPECT_FALSE(r.KeyExists(THive::ClassesRoot, ".mp3"));
  EXPECT_EQ(r.ReadValue(THive::ClassesRoot, ".mp3x", ""), "keep");
  EXPECT_EQ(r.ReadValue(THive::CurrentUser, "T", ""), "other hive");
}

TEST(RegistryLayer, FreshFileStartsFromTheSeed) {
  testsupport::TempDir dir;
  const fs::path file = dir / "cfg" / "lyrano" / "registry.ini";
  reg::TIniRegistry r(file, {{THive::ClassesRoot, ".mp3", "", "player.desktop"}});
  EXPECT_TRUE(r.KeyExists(THive::ClassesRoot, ".mp3"));
  EXPECT_EQ(r.ReadValue(THive::ClassesRoot, ".mp3", ""), "player.desktop");
  // Reading and removing what is not there write nothing.
  r.DeleteKey(THive::ClassesRoot, "LyranoAssType.mp3");
  r.DeleteValue(THive::ClassesRoot, ".mp3", "LyranoAssType.bak");
  EXPECT_FALSE(fs::exists(file));

  r.WriteValue(THive::ClassesRoot, ".mp3", "LyranoAssType.bak", "player.desktop");
  EXPECT_EQ(
      ReadFile(file),
      "[HKEY_CLASSES_ROOT\\.mp3]\r\n@=player.desktop\r\nLyranoAssType.bak=player.desktop\r\n");
  // Once the file exists the seed has no say: a deleted key stays deleted.
  r.DeleteKey(THive::ClassesRoot, ".mp3");
  EXPECT_FALSE(r.KeyExists(THive::ClassesRoot, ".mp3"));
}

}  // namespace
