// Files that are huge, damaged, empty, or no files at all, handed to every
// reader of local files: tags, lyrics, playlists, profile files and skin
// layouts. Each must give a value or a clear error, promptly, without reading
// without bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "../tags/TagBytes.h"
#include "common/IniFile.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "lyrics/LrcParser.h"
#include "playlist/PlaylistFile.h"
#include "skins/SkinLayout.h"
#include "support/TestSupport.h"
#include "tags/ATL_WMAfile.h"
#include "tags/Mp3FileUtils.h"
#include "tags/TitleFromTags.h"

namespace fs = std::filesystem;
using namespace tagbytes;
using tags::TagResult;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Ansi(const fs::path& p) {
  return cp::PathToAnsi(p);
}

// Runs `read` and fails the test when it takes longer than two seconds. A read
// stuck on a FIFO is released by opening the FIFO's other end, so a faulty
// reader shows as a failure rather than a hung test.
void Promptly(const std::string& what, const fs::path& fifo, const std::function<void()>& read) {
  SCOPED_TRACE(what);
  std::atomic<bool> done{false};
  std::thread rescuer([&] {
    for (int i = 0; i < 100 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (done || fifo.empty()) return;
    int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  auto start = std::chrono::steady_clock::now();
  read();
  done = true;
  rescuer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Things that are no regular file, each under a name a reader may be given.
struct NotAFile {
  const char* what;
  fs::path path;
};

std::vector<NotAFile> NotFiles(const TempDir& dir, const std::string& name) {
  fs::create_directory(dir / ("dir-" + name));
  const fs::path fifo = dir / ("fifo-" + name);
  EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<NotAFile> out{{"folder", dir / ("dir-" + name)}, {"fifo", fifo}};
  for (const char* device : {"/dev/zero", "/dev/full", "/dev/urandom", "/dev/null"}) {
    fs::path link = dir / (std::string("dev") + (device + 5) + "-" + name);
    fs::create_symlink(device, link);
    out.push_back({device, link});
  }
  WriteFile(dir / ("empty-" + name), "");
  out.push_back({"zero-byte file", dir / ("empty-" + name)});
  return out;
}

TEST(HostileFiles, NoFileWhereAFileIsExpected) {
  TempDir dir;
  for (const NotAFile& nf : NotFiles(dir, "x")) {
    const fs::path& p = nf.path;
    const fs::path fifo = nf.path;
    Promptly(std::string(nf.what) + " as tags", fifo, [&] {
      std::string title = "stale", singer = "stale";
      TitleFromTags(Ansi(p), title, singer);
      // Nothing to read: the defaults, the file's name and the fixed singer.
      EXPECT_EQ(title, p.stem().string());
    });
    Promptly(std::string(nf.what) + " as lyrics", fifo, [&] {
      TLyricTimeline lyrics;
      try {
        LoadLyricFile(lyrics, Ansi(p));
      } catch (const lyrano::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file"), std::string::npos);
      }
      EXPECT_TRUE(lyrics.Times.empty());
    });
    Promptly(std::string(nf.what) + " as a playlist", fifo, [&] {
      try {
        TPlaylistReadResult r = ReadPlaylistFile(Ansi(p));
        EXPECT_TRUE(r.Entries.empty());
      } catch (const lyrano::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file"), std::string::npos);
      }
    });
    Promptly(std::string(nf.what) + " as Main.ini", fifo, [&] {
      TIniFile ini(p);
      EXPECT_EQ(ini.ReadString("skincfg", "skindir", "skin"), "skin");
    });
    Promptly(std::string(nf.what) + " as skinEx.ini", fifo,
             [&] { EXPECT_EQ(skins::ReadSkinLayout(p), skins::TSkinLayout{}); });
  }
}

TEST(HostileFiles, SavingOverSomethingThatIsNoFileFailsClearly) {
  TempDir dir;
  for (const NotAFile& nf : NotFiles(dir, "y")) {
    if (std::string(nf.what) == "zero-byte file") continue;
    if (std::getenv("NO_DEVICES") && std::string(nf.what).rfind("/dev", 0) == 0) continue;
    Promptly(std::string(nf.what) + " as Main.ini", nf.path, [&] {
      TIniFile ini(nf.path);
      EXPECT_THROW(ini.WriteString("skincfg", "skindir", "blue"), lyrano::FileError);
    });
    // A playlist saved over a folder or a device must not replace it.
    Promptly(std::string(nf.what) + " as a playlist", nf.path, [&] {
      EXPECT_THROW(WritePlaylistFile(Ansi(nf.path), {{"t", "s", 1, ""}}), lyrano::FileError);
    });
  }
  EXPECT_TRUE(fs::is_directory(dir / "dir-y"));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo-y"));
  EXPECT_TRUE(fs::is_symlink(dir / "devzero-y"));
}

TEST(HostileFiles, HundredThousandLinePlaylistRoundTrips) {
  TempDir dir;
  std::vector<TPlaylistEntry> entries;
  for (int i = 0; i < 100000; ++i) {
    entries.push_back({"\xB8\xE8" + std::to_string(i), "s", i % 7 ? i : 0,
                       i % 7 ? "" : "/m/" + std::to_string(i) + ".mp3"});
  }
  const std::string name = Ansi(dir / "big.txt");
  WritePlaylistFile(name, entries);
  TPlaylistReadResult r = ReadPlaylistFile(name);
  EXPECT_EQ(r.Status, TPlaylistReadStatus::Complete);
  ASSERT_EQ(r.Entries.size(), entries.size());
  EXPECT_EQ(r.Entries, entries);
}

TEST(HostileFiles, PlaylistWithInvalidGbkBytesKeepsThemExactly) {
  // Lone lead bytes, a lead byte before the line end, 0x80, 0xFF and a UTF-16
  // fragment: nothing is checked on reading, every byte survives a save.
  const char raw[] =
      "\x81|\xFE\r\n"
      "bad \xFF\x80\x81\x7F|s\x81|3|\r\n"
      "\xB8|\xE8\xFF|0|/m/\xFE\xFE.mp3\r\n"
      "a\0b|c|4|\r\n";
  const std::string text(raw, sizeof raw - 1);
  TempDir dir;
  WriteFile(dir / "gbk.txt", text);
  TPlaylistReadResult r = ReadPlaylistFile(Ansi(dir / "gbk.txt"));
  EXPECT_EQ(r.Status, TPlaylistReadStatus::Complete);
  ASSERT_EQ(r.Entries.size(), 4u);
  EXPECT_EQ(r.Entries[1].Title, "bad \xFF\x80\x81\x7F");
  EXPECT_EQ(r.Entries[2].mp3Patch, "/m/\xFE\xFE.mp3");
  WritePlaylistFile(Ansi(dir / "again.txt"), r.Entries);
  EXPECT_EQ(ReadPlaylistFile(Ansi(dir / "again.txt")).Entries, r.Entries);
  // Shown in the window, the bytes become text with stand-ins, never a failure.
  for (const TPlaylistEntry& e : r.Entries) EXPECT_NO_THROW(cp::AnsiToUtf8(e.Title));
}

TEST(HostileFiles, PathsOutsideGbkWorkEverywhere) {
  // Characters GBK lacks (an emoji, a Korean syllable, a rare CJK extension B
  // character): the local code page holds them as four-byte sequences.
  TempDir dir;
  const fs::path folder = dir.path() / fs::path(u8"\U0001F3B5 \uAC00");
  fs::create_directory(folder);
  const fs::path song = folder / fs::path(u8"\U00020000.mp3");
  WriteFile(song, Id3v1("Title", "Singer"));
  WriteFile(folder / fs::path(u8"\U00020000.lrc"), "[00:01]x\r\n");
  const std::string ansi = Ansi(song);
  EXPECT_EQ(cp::AnsiToPath(ansi), song);

  std::string title, singer;
  TitleFromTags(ansi, title, singer);
  EXPECT_EQ(title, "Title");
  TLyricTimeline lyrics;
  EXPECT_TRUE(LoadLyricFile(lyrics, ansi.substr(0, ansi.size() - 4) + ".lrc"));
  EXPECT_EQ(lyrics.Times.size(), 1u);

  const std::string list = Ansi(folder / fs::path(u8"\U0001F3B5.txt"));
  WritePlaylistFile(list, {{title, singer, 0, ansi}});
  TPlaylistReadResult r = ReadPlaylistFile(list);
  ASSERT_EQ(r.Entries.size(), 1u);
  EXPECT_EQ(cp::AnsiToPath(r.Entries[0].mp3Patch), song);
}

TEST(HostileFiles, TwentyThousandLineLyrics) {
  std::string lrc;
  for (int i = 0; i < 20000; ++i) {
    lrc += "[" + std::to_string(i / 60) + ":" + std::to_string(i % 60) + ".50]line " +
           std::to_string(i) + "\r\n";
  }
  TempDir dir;
  WriteFile(dir / "long.lrc", lrc);
  TLyricTimeline lyrics;
  ASSERT_TRUE(LoadLyricFile(lyrics, Ansi(dir / "long.lrc")));
  ASSERT_EQ(lyrics.Times.size(), 20000u);
  EXPECT_EQ(lyrics.Times.back(), "19999");
  EXPECT_EQ(lyrics.Texts.back(), "line 19999");
}

// Tags whose every size field holds its largest value, with the file far
// shorter than they claim.
TEST(HostileFiles, TagSizeFieldsAtTheirMaximum) {
  TempDir dir;
  struct Row {
    const char* what;
    std::string bytes;
  };
  const Frame maxFrame{"TIT2", Text(0, "T"), 0, 0xFFFFFFFF};
  std::vector<Row> rows = {
      {"v2.2 tag and frame", Id3v2(2, {{"TT2", Text(0, "T"), 0, 0xFFFFFF}}, 0, "", 0, 0x0FFFFFFF)},
      {"v2.3 tag and frame", Id3v2(3, {maxFrame}, 0, "", 0, 0x0FFFFFFF)},
      {"v2.4 tag and frame",
       Id3v2(4, {{"TIT2", Text(0, "T"), 0, 0x0FFFFFFF}}, 0, "", 0, 0x0FFFFFFF)},
      {"v2.3 extended header", Id3v2(3, {}, 0x40, BE(0xFFFFFFFF, 4) + "xx", 0, 0x0FFFFFFF)},
      {"v2.4 extended header",
       Id3v2(4, {}, 0x40, Synchsafe(0x0FFFFFFF) + "\x01\x00", 0, 0x0FFFFFFF)},
      {"v2.4 footer and unsynchronised", Id3v2(4, {maxFrame}, 0x90, "", 0, 0x0FFFFFFF)},
      {"asf header of 2^63-1", AsfObject(kHeaderGuid, LE(0xFFFFFFFF, 4) + "\x01\x02",
                                         static_cast<int64_t>(-1) & 0x7FFFFFFFFFFFFFFF)},
      {"asf object of 2^64-1", kHeaderGuid + LE(1024, 8) + LE(0xFFFFFFFF, 4) + "\x01\x02" +
                                   kContentGuid + LE(0xFFFFFFFFFFFFFFFFull, 8) + LE(0xFFFF, 2) +
                                   LE(0xFFFF, 2) + LE(0xFFFF, 2) + LE(0xFFFF, 2) + LE(0xFFFF, 2)},
      {"asf content description lengths",
       Asf({AsfObject(kContentGuid, LE(0xFFFF, 2) + LE(0xFFFF, 2) + LE(0xFFFF, 2) + LE(0xFFFF, 2) +
                                        LE(0xFFFF, 2) + "ab")})},
      {"asf descriptor count and lengths",
       Asf({AsfObject(kExtendedGuid,
                      LE(0xFFFF, 2) + LE(0xFFFF, 2) + "n" + LE(0, 2) + LE(0xFFFF, 2) + "v")})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteFile(dir / "max.mp3", row.bytes + std::string(300, '\x55'));
    std::string title, singer;
    TitleFromTags(Ansi(dir / "max.mp3"), title, singer);
    EXPECT_EQ(title, "max");
    TID3v2Tag v2;
    TagResult r2 = v2.ReadFromFile(Ansi(dir / "max.mp3"));
    EXPECT_FALSE(tags::IsReportable(r2)) << tags::DescribeTagResult(r2);
    TWMAfile wma;
    EXPECT_FALSE(tags::IsReportable(wma.ReadFromFile(Ansi(dir / "max.mp3"))));
  }
}

TEST(HostileFiles, WmaHeaderCutAtEveryLength) {
  const std::string cdo = ContentDescription({U16LE(u"Title"), U16LE(u"Singer")});
  const std::string ext = ExtendedContentDescription({{u"WM/AlbumTitle", 0, U16LE(u"Album")}});
  const std::string whole = Asf({ext, AsfObject(kOtherGuid, "xyz"), cdo});
  const size_t cdoStart = whole.size() - cdo.size();
  TempDir dir;
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    WriteFile(dir / "cut.wma", whole.substr(0, cut));
    TWMAfile wma;
    EXPECT_EQ(wma.ReadFromFile(Ansi(dir / "cut.wma")), TagResult::Ok);
    std::string title, singer;
    TitleFromTags(Ansi(dir / "cut.wma"), title, singer);
    // Values read before the cut stay; none exist before the description.
    if (cut < cdoStart) {
      EXPECT_EQ(title, "cut");
    }
    if (cut == whole.size()) {
      EXPECT_EQ(title, "Title");
    }
    EXPECT_TRUE(title == "cut" || title == "Title") << title;
  }
}

}  // namespace
