// Playlist text files: reading, writing, and what survives a failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/errors.h"
#include "playlist/PlaylistFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

using namespace std::string_literals;
using Entries = std::vector<TPlaylistEntry>;

// GBK bytes of two common words.
const std::string kTitle = "\xC4\xE3\xBA\xC3";   // "hello"
const std::string kSinger = "\xCA\xC0\xBD\xE7";  // "world"

std::string Ansi(const fs::path& p) {
  return cp::PathToAnsi(p);
}

std::string FileNames(const fs::path& dir) {
  std::string names;
  for (const auto& e : fs::directory_iterator(dir)) names += e.path().filename().string() + " ";
  return names;
}

TEST(PlaylistFile, ReadsFieldsAsStored) {
  struct Case {
    const char* name;
    std::string text;
    Entries expected;
  };
  const Case cases[] = {
      {"title and singer only", "T|S", {{"T", "S", 0, ""}}},
      {"three fields", "T|S|12", {{"T", "S", 12, ""}}},
      {"online entry as written", "T|S|12|", {{"T", "S", 12, ""}}},
      {"fields after the fourth ignored", "T|S|3|/a.mp3|x|y", {{"T", "S", 3, "/a.mp3"}}},
      {"a single bar", "|", {{"", "", 0, ""}}},
      {"nothing trimmed", " T | S |-5| /a b.mp3  ", {{" T ", " S ", -5, " /a b.mp3  "}}},
      {"GBK bytes",
       kTitle + "|" + kSinger + "|0|/m/" + kTitle + ".mp3\r\n",
       {{kTitle, kSinger, 0, "/m/" + kTitle + ".mp3"}}},
      {"lines without a bar skipped",
       "\r\n   \r\nno bar here\r\nA|a\r\n\r\nB|b\r\n",
       {{"A", "a", 0, ""}, {"B", "b", 0, ""}}},
      {"CR, LF and CR LF line ends",
       "A|a\rB|b\nC|c\r\nD|d",
       {{"A", "a", 0, ""}, {"B", "b", 0, ""}, {"C", "c", 0, ""}, {"D", "d", 0, ""}}},
      {"duplicates kept", "A|a|1|\r\nA|a|1|\r\n", {{"A", "a", 1, ""}, {"A", "a", 1, ""}}},
      {"empty text", "", {}},
  };
  for (const Case& c : cases) {
    TPlaylistReadResult r = ParsePlaylistText(c.text);
    EXPECT_EQ(r.Status, TPlaylistReadStatus::Complete) << c.name;
    EXPECT_EQ(r.Entries, c.expected) << c.name;
  }
}

TEST(PlaylistFile, StopsAtTheFirstBadSongIdKeepingEarlierEntries) {
  struct Case {
    std::string text;
    Entries before;
    std::string error;
    size_t line;
  };
  const Case cases[] = {
      {"T|S||/a.mp3", {}, "'' is not a valid integer value", 1},
      {"A|a|1\r\n\r\nno bar\r\nB|b|x1|/b\r\nC|c|2",
       {{"A", "a", 1, ""}},
       "'x1' is not a valid integer value",
       4},
      {"A|a\nB|b|2147483648\nC|c",
       {{"A", "a", 0, ""}},
       "'2147483648' is not a valid integer value",
       2},
      // A list saved as UTF-16: the message still carries the field.
      {"A|a|1\r\nB|b|\0003\0|p\r\n"s,
       {{"A", "a", 1, ""}},
       "'\\03\\0' is not a valid integer value",
       2},
  };
  for (const Case& c : cases) {
    TPlaylistReadResult r = ParsePlaylistText(c.text);
    EXPECT_EQ(r.Status, TPlaylistReadStatus::Malformed) << c.text;
    EXPECT_EQ(r.Entries, c.before) << c.text;
    EXPECT_EQ(r.Error, c.error) << c.text;
    EXPECT_EQ(r.ErrorLine, c.line) << c.text;
  }
}

TEST(PlaylistFile, WritesTheFormatExactly) {
  EXPECT_EQ(FormatPlaylistLine({"T", "S", 0, "  /m/a b.mp3 \t"}), "T|S|0|/m/a b.mp3\r\n");
  EXPECT_EQ(FormatPlaylistLine({" T ", "", 4711, ""}), " T ||4711|\r\n");
  EXPECT_EQ(FormatPlaylistLine({"T", "S", -2147483647 - 1, ""}), "T|S|-2147483648|\r\n");
  EXPECT_EQ(FormatPlaylistText({}), "");

  testsupport::TempDir dir;
  const std::string file = Ansi(dir / "list.txt");
  WritePlaylistFile(file, {{kTitle, kSinger, 0, "/m/x.mp3"}, {"A", "a", 9, ""}});
  EXPECT_EQ(ReadFile(dir / "list.txt"), kTitle + "|" + kSinger + "|0|/m/x.mp3\r\nA|a|9|\r\n");

  // An empty list gives a file of 0 bytes, which reads back as an empty list.
  WritePlaylistFile(file, {});
  EXPECT_TRUE(fs::exists(dir / "list.txt"));
  EXPECT_EQ(fs::file_size(dir / "list.txt"), 0u);
  TPlaylistReadResult r = ReadPlaylistFile(file);
  EXPECT_EQ(r.Status, TPlaylistReadStatus::Complete);
  EXPECT_TRUE(r.Entries.empty());

  // No current file: nothing is written anywhere.
  WritePlaylistFile("", {{"A", "a", 0, ""}});
  EXPECT_EQ(FileNames(dir.path()), "list.txt ");
}

// Tag titles and page titles may hold "|", CR or LF; the line must still have
// four fields and read back as the same song, with the documented stand-ins.
TEST(PlaylistFile, BarsAndLineBreaksInTitlesNeverBreakTheLine) {
  const std::string bar = std::string(kBarStandIn);
  EXPECT_EQ(bar, cp::Utf8ToAnsi("｜"));
  struct Row {
    std::string in, out;
  };
  const Row rows[] = {
      {"A|B", "A" + bar + "B"},
      {"|", bar},
      {"a\r\nb", "a  b"},
      {"\nx\r", " x "},
      {"plain", "plain"},
      {"", ""},
      {cp::Utf8ToAnsi("歌|手\n"), cp::Utf8ToAnsi("歌") + bar + cp::Utf8ToAnsi("手") + " "}};
  for (const Row& r : rows) EXPECT_EQ(StorableText(r.in), r.out) << r.in;
  for (const char* path : {"/m/a|b.mp3", "/m/a\nb.mp3", "/m/a\rb.mp3", "|"})
    EXPECT_FALSE(StorablePath(path)) << path;
  for (const char* path : {"/m/a b.mp3", "", "/m/\xA3\xFC.mp3"}) EXPECT_TRUE(StorablePath(path));

  // Even an entry that skipped the stand-ins cannot add a field or a line.
  const TPlaylistEntry raw{"T|1|2", "S\r\nX|", 5, "/m/x.mp3"};
  const std::string line = FormatPlaylistLine(raw);
  EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 3) << line;
  EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2) << line;
  const TPlaylistReadResult back = ParsePlaylistText(line);
  ASSERT_EQ(back.Status, TPlaylistReadStatus::Complete);
  ASSERT_EQ(back.Entries.size(), 1u);
  const TPlaylistEntry want{StorableText(raw.Title), StorableText(raw.geshou), 5, "/m/x.mp3"};
  EXPECT_EQ(back.Entries[0], want);
  // Lines written before read as they always did: a bar still splits.
  EXPECT_EQ(ParsePlaylistText("a|b|0|c|d\r\n").Entries[0], (TPlaylistEntry{"a", "b", 0, "c"}));
}

TEST(PlaylistFile, RoundTripKeepsNonGbkPathsAndTrimsOnlyPaths) {
  testsupport::TempDir dir;
  // A Korean folder and an emoji file name: outside GBK, kept by GB18030.
  fs::path folder = dir / "\xEB\x85\xB8\xEB\x9E\x98";
  fs::create_directory(folder);
  const std::string song = Ansi(folder / "\xF0\x9F\x8E\xB5 song.mp3");
  const std::string list = Ansi(folder / "\xF0\x9F\x8E\xB6.txt");
  Entries entries = {
      {kTitle, kSinger, 0, song + "  "}, {"\xC7\xE9\xB8\xE8", "", 123456, ""}, {"A", "a", -1, " "}};
  WritePlaylistFile(list, entries);
  TPlaylistReadResult first = ReadPlaylistFile(list);
  ASSERT_EQ(first.Status, TPlaylistReadStatus::Complete);
  entries[0].mp3Patch = song;
  entries[2].mp3Patch = "";
  EXPECT_EQ(first.Entries, entries);
  EXPECT_EQ(cp::AnsiToPath(first.Entries[0].mp3Patch), folder / "\xF0\x9F\x8E\xB5 song.mp3");
  // Loading the same file again gives the same rows.
  EXPECT_EQ(ReadPlaylistFile(list).Entries, entries);

  // A path with trailing blanks in the file keeps them until the next save.
  WriteFile(cp::AnsiToPath(list), "T|S|0|/m/a.mp3  \r\n");
  TPlaylistReadResult loaded = ReadPlaylistFile(list);
  EXPECT_EQ(loaded.Entries[0].mp3Patch, "/m/a.mp3  ");
  WritePlaylistFile(list, loaded.Entries);
  EXPECT_EQ(ReadFile(cp::AnsiToPath(list)), "T|S|0|/m/a.mp3\r\n");
}

TEST(PlaylistFile, MissingAndUnreadableFiles) {
  testsupport::TempDir dir;
  fs::create_directory(dir / "folder.txt");
  WriteFile(dir / "plain", "x");
  for (const char* name : {"none.txt", "folder.txt", "plain/sub.txt"}) {
    TPlaylistReadResult r = ReadPlaylistFile(Ansi(dir / name));
    EXPECT_EQ(r.Status, TPlaylistReadStatus::Missing) << name;
    EXPECT_TRUE(r.Entries.empty()) << name;
  }

  const std::string fifo = Ansi(dir / "pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  try {
    ReadPlaylistFile(fifo);
    FAIL() << "no error for a FIFO";
  } catch (const lyrano::FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + fifo + "\". ", 0), 0u)
        << e.what();
  }

  const std::string big = Ansi(dir / "big.txt");
  WriteFile(dir / "big.txt", "A|a|1|\r\n");
  fs::resize_file(dir / "big.txt", kMaxPlaylistFileBytes + 1);
  try {
    ReadPlaylistFile(big);
    FAIL() << "no error for an oversized file";
  } catch (const lyrano::FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + big + "\". File too large");
  }
}

TEST(PlaylistFile, OnlyACompleteLoadMakesTheFileCurrent) {
  TPlaylistReadResult r;
  r.Status = TPlaylistReadStatus::Missing;
  EXPECT_EQ(CurrentFileAfterLoad(r, "/new.txt", "/old.txt"), "/old.txt");
  r.Status = TPlaylistReadStatus::Complete;
  EXPECT_EQ(CurrentFileAfterLoad(r, "/new.txt", "/old.txt"), "/new.txt");
  r.Status = TPlaylistReadStatus::Malformed;
  EXPECT_EQ(CurrentFileAfterLoad(r, "/new.txt", "/old.txt"), "");

  // Saving the partly read rows to the resulting current file changes neither file.
  testsupport::TempDir dir;
  const std::string bad = Ansi(dir / "bad.txt");
  const std::string old = Ansi(dir / "old.txt");
  const std::string badText = "A|a|1\r\nB|b|oops\r\nC|c|3\r\n";
  WriteFile(dir / "bad.txt", badText);
  WriteFile(dir / "old.txt", "O|o|0|\r\n");
  TPlaylistReadResult loaded = ReadPlaylistFile(bad);
  ASSERT_EQ(loaded.Status, TPlaylistReadStatus::Malformed);
  Entries rows = loaded.Entries;
  rows.push_back({"New", "n", 5, ""});
  WritePlaylistFile(CurrentFileAfterLoad(loaded, bad, old), rows);
  EXPECT_EQ(ReadFile(dir / "bad.txt"), badText);
  EXPECT_EQ(ReadFile(dir / "old.txt"), "O|o|0|\r\n");
}

TEST(PlaylistFile, FailedWritesKeepTheOldFile) {
  testsupport::TempDir dir;
  const Entries entries = {{"A", "a", 1, "/a.mp3"}};

  // No such folder.
  const std::string nowhere = Ansi(dir / "no" / "list.txt");
  try {
    WritePlaylistFile(nowhere, entries);
    FAIL() << "no error for a missing folder";
  } catch (const lyrano::FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + nowhere + "\". No such file or directory");
  }

  // A folder in the way stays a folder.
  fs::create_directory(dir / "taken");
  WriteFile(dir / "taken" / "inner", "keep");
  EXPECT_THROW(WritePlaylistFile(Ansi(dir / "taken"), entries), lyrano::FileError);
  EXPECT_EQ(ReadFile(dir / "taken" / "inner"), "keep");

  // The disk fills up halfway through: the old content stays whole and no
  // temporary file is left behind.
  const std::string list = Ansi(dir / "list.txt");
  const std::string oldText = "O|o|0|\r\n";
  WriteFile(dir / "list.txt", oldText);
  Entries big(2000, TPlaylistEntry{"Title", "Singer", 42, "/music/song.mp3"});
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    WritePlaylistFile(list, big);
  } catch (const lyrano::FileError& e) {
    threw = true;
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + list + "\". ", 0), 0u);
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadFile(dir / "list.txt"), oldText);
  EXPECT_EQ(FileNames(dir.path()).find(".tmp"), std::string::npos) << FileNames(dir.path());

  // With room again the same write replaces the file completely.
  WritePlaylistFile(list, big);
  EXPECT_EQ(ReadPlaylistFile(list).Entries, big);
}

TEST(PlaylistFile, ReplacingKeepsModeAndWritesThroughLinks) {
  testsupport::TempDir dir;
  WriteFile(dir / "real.txt", "O|o|0|\r\n");
  ASSERT_EQ(::chmod((dir / "real.txt").c_str(), 0640), 0);
  fs::create_symlink("real.txt", dir / "link.txt");
  WritePlaylistFile(Ansi(dir / "link.txt"), {{"N", "n", 2, ""}});
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadFile(dir / "real.txt"), "N|n|2|\r\n");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
