// Saves that survive a kill: a child process saves a playlist and Main.ini over
// and over with the real save functions and is killed with SIGKILL at a random
// moment, hundreds of times. Each file must then hold exactly the old or the
// new content, never a mix or nothing, and the next successful save must leave
// no temporary file beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/IniFile.h"
#include "common/codepage.h"
#include "playlist/PlaylistFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKills = 200;

// Two lists of different length and content, so any mix or cut is visible.
std::vector<TPlaylistEntry> List(char tag, int count) {
  std::vector<TPlaylistEntry> entries;
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    entries.push_back({std::string("\xB8\xE8 ") + tag + n, "\xCA\xD6" + n, i,
                       "/music/" + std::string(1, tag) + n + ".mp3"});
  }
  return entries;
}

const std::string kIniHead = "; settings\r\n[other]\r\nkeep=this line\r\n[skincfg]\r\nskindir=";
const std::string kIniTail = "\r\nafter=1\r\n";

std::string IniText(const std::string& skin) {
  return kIniHead + skin + kIniTail;
}

// Runs in the forked child: saves forever, alternating the two contents.
[[noreturn]] void SaveForever(const fs::path& dir) {
  const std::string playlist = cp::PathToAnsi(dir / "playlist.txt");
  const auto a = List('a', 400);
  const auto b = List('b', 700);
  TIniFile ini(dir / "Main.ini");
  for (unsigned i = 0;; ++i) {
    try {
      WritePlaylistFile(playlist, i % 2 ? b : a);
      ini.WriteString("skincfg", "skindir", i % 2 ? "second skin" : "first");
    } catch (...) {
      _exit(3);
    }
  }
}

// Names in `dir` other than the two saved files.
std::set<std::string> Strays(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name != "playlist.txt" && name != "Main.ini") names.insert(name);
  }
  return names;
}

TEST(KillDuringSave, EveryFileIsOldOrNewAndNoTemporaryFileOutlivesTheNextSave) {
  testsupport::TempDir dir;
  const std::string playlist = cp::PathToAnsi(dir / "playlist.txt");
  const std::string listA = FormatPlaylistText(List('a', 400));
  const std::string listB = FormatPlaylistText(List('b', 700));
  const std::string iniA = IniText("first");
  const std::string iniB = IniText("second skin");
  WritePlaylistFile(playlist, List('a', 400));
  testsupport::WriteFile(dir / "Main.ini", iniA);

  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> delayUs(0, 30000);
  int strayRuns = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(dir.path());
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child failed by itself: " << status;

    const std::string list = testsupport::ReadFile(dir / "playlist.txt");
    ASSERT_TRUE(list == listA || list == listB) << "playlist of " << list.size() << " bytes";
    const std::string ini = testsupport::ReadFile(dir / "Main.ini");
    ASSERT_TRUE(ini == iniA || ini == iniB) << ini;
    TIniFile reader(dir / "Main.ini");
    EXPECT_EQ(reader.ReadString("other", "keep", ""), "this line");

    if (!Strays(dir.path()).empty()) ++strayRuns;
    // The next successful save of each file clears what the killed one left.
    WritePlaylistFile(playlist, ParsePlaylistText(list).Entries);
    TIniFile(dir / "Main.ini")
        .WriteString("skincfg", "skindir", reader.ReadString("skincfg", "skindir", ""));
    ASSERT_EQ(testsupport::ReadFile(dir / "playlist.txt"), list);
    ASSERT_EQ(testsupport::ReadFile(dir / "Main.ini"), ini);
    const std::set<std::string> strays = Strays(dir.path());
    ASSERT_TRUE(strays.empty()) << "left beside the files: " << *strays.begin();
  }
  RecordProperty("kills_that_left_a_temporary_file", strayRuns);
  // The kills did land inside saves: otherwise this test proves nothing.
  EXPECT_GT(strayRuns, 0);
}

}  // namespace
