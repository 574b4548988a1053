// `cmake --install` into a fresh prefix: the program folder, its link on the
// path, the desktop entry and the icon; then the installed player, started in
// a folder it cannot write to, keeps its files in the user's own folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

bool WaitForFile(const fs::path& file, std::chrono::seconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (fs::exists(file) && fs::file_size(file) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(Install, ProgramFolderLinkDesktopEntryAndIcon) {
  testsupport::TempDir dir;
  const fs::path prefix = dir / "pre fix";
  std::string out;
  ASSERT_EQ(RunCommand("cmake --install " + ShellQuote(LYRANO_BINARY_DIR) + " --prefix " +
                           ShellQuote(prefix.string()) + " 2>&1",
                       &out),
            0)
      << out;

  const fs::path program = prefix / "lib" / "lyrano" / "lyrano";
  EXPECT_TRUE(fs::is_regular_file(program));
  // The engine and the HTTP client, loaded on first need, beside the program.
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib" / "lyrano" / "lyrano-audio.so"));
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib" / "lyrano" / "lyrano-web.so"));
  EXPECT_EQ(ReadFile(prefix / "lib" / "lyrano" / "data" / "default.txt"),
            ReadFile(fs::path(LYRANO_SOURCE_DIR) / "data" / "default.txt"));
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib" / "lyrano" / "data" / "skin" / "skin.ini"));
  ASSERT_TRUE(fs::is_symlink(prefix / "bin" / "lyrano"));
  EXPECT_EQ(fs::read_symlink(prefix / "bin" / "lyrano"), "../lib/lyrano/lyrano");
  EXPECT_TRUE(fs::equivalent(prefix / "bin" / "lyrano", program));

  const std::string entry = ReadFile(prefix / "share" / "applications" / "lyrano.desktop");
  EXPECT_NE(entry.find("\nExec=\"" + (prefix / "bin" / "lyrano").string() + "\" %f\n"),
            std::string::npos)
      << entry;
  EXPECT_NE(entry.find("\nIcon=lyrano\n"), std::string::npos);
  EXPECT_NE(entry.find("\nMimeType=audio/mpeg;audio/x-ms-wma;\n"), std::string::npos);
  EXPECT_EQ(ReadFile(prefix / "share" / "icons" / "hicolor" / "128x128" / "apps" / "lyrano.png"),
            ReadFile(fs::path(LYRANO_SOURCE_DIR) / "data" / "lyrano.png"));
  // An icon at every size a desktop asks for, each drawn at that size.
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const std::string png =
        ReadFile(prefix / "share" / "icons" / "hicolor" /
                 (std::to_string(size) + "x" + std::to_string(size)) / "apps" / "lyrano.png");
    ASSERT_GE(png.size(), 24u) << size;
    auto be32 = [&](size_t at) {
      return (static_cast<uint8_t>(png[at]) << 24) | (static_cast<uint8_t>(png[at + 1]) << 16) |
             (static_cast<uint8_t>(png[at + 2]) << 8) | static_cast<uint8_t>(png[at + 3]);
    };
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << size;
    EXPECT_EQ(be32(16), static_cast<unsigned>(size));
    EXPECT_EQ(be32(20), static_cast<unsigned>(size));
  }
  // What a software centre and `man` read.
  const std::string meta =
      ReadFile(prefix / "share" / "metainfo" / "org.lyrano.lyrano.metainfo.xml");
  EXPECT_NE(meta.find("<launchable type=\"desktop-id\">lyrano.desktop</launchable>"),
            std::string::npos);
  EXPECT_EQ(meta.find('@'), std::string::npos) << "a placeholder was left";
  EXPECT_TRUE(fs::is_regular_file(prefix / "share" / "man" / "man1" / "lyrano.1.gz"));
  // The package manager's marker belongs to the package alone: a copy
  // installed by hand keeps its files in its own folder while it may.
  EXPECT_FALSE(fs::exists(prefix / "lib" / "lyrano" / "packaged"));
}

TEST(Install, ReadOnlyProgramFolderKeepsFilesInTheUsersFolder) {
  testsupport::TempDir dir;
  const fs::path prefix = dir / "prefix";
  const fs::path home = dir / "home";
  std::string out;
  ASSERT_EQ(RunCommand("cmake --install " + ShellQuote(LYRANO_BINARY_DIR) + " --prefix " +
                       ShellQuote(prefix.string()) + " >/dev/null 2>&1"),
            0);
  fs::create_directories(home);
  // The player runs as a user who may not write to the prefix: with root's
  // rights that is another user, otherwise the owner of a read-only folder.
  fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(home, fs::perms::all, fs::perm_options::add);
  ASSERT_EQ(RunCommand("chmod -R a-w " + ShellQuote(prefix.string())), 0);
  const std::string asUser =
      ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const std::string env = "env HOME=" + ShellQuote(home.string()) +
                          " XDG_DATA_HOME=" + ShellQuote((home / "data").string()) +
                          " XDG_CONFIG_HOME=" + ShellQuote((home / "config").string()) +
                          " QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy"
                          " LYRANO_RULE_URL=http://127.0.0.1:9/rules.html ";
  ASSERT_EQ(RunCommand(asUser + env + ShellQuote((prefix / "bin" / "lyrano").string()) +
                           " >/dev/null 2>&1 & echo $!",
                       &out),
            0);
  const pid_t pid = static_cast<pid_t>(std::stol(out));

  const fs::path user = home / "data" / "lyrano";
  const bool seeded = WaitForFile(user / "playlist.txt", std::chrono::seconds(20));
  ::kill(pid, SIGTERM);
  RunCommand("chmod -R u+w " + ShellQuote(prefix.string()));
  ASSERT_TRUE(seeded) << "no playlist in the user's folder";
  EXPECT_EQ(ReadFile(user / "playlist.txt"),
            ReadFile(prefix / "lib" / "lyrano" / "data" / "default.txt"));
  EXPECT_FALSE(fs::exists(prefix / "lib" / "lyrano" / "playlist.txt"));
  // The seeded copy of the read-only default list can be edited.
  EXPECT_NE(fs::status(user / "playlist.txt").permissions() & fs::perms::owner_write,
            fs::perms::none);
}

}  // namespace
