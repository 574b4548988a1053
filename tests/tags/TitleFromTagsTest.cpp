#include "tags/TitleFromTags.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "TagBytes.h"
#include "common/codepage.h"
#include "support/TestSupport.h"

using namespace tagbytes;
namespace fs = std::filesystem;

namespace {

const std::string kGbk = "\xD6\xD0\xCE\xC4";  // 中文
const std::string kAudio(2000, '\x55');

std::pair<std::string, std::string> Titles(const fs::path& path) {
  std::string title = "stale";
  std::string singer = "stale";
  TitleFromTags(cp::PathToAnsi(path), title, singer);
  return {title, singer};
}

// Collects what reaches the reporter during one test.
struct ReporterSpy {
  ReporterSpy() {
    SetTagErrorReporter([this](const std::string& m) { messages.push_back(m); });
  }
  ~ReporterSpy() { SetTagErrorReporter(nullptr); }
  std::vector<std::string> messages;
};

TEST(TitleFromTags, ReaderOrderAndDefaults) {
  const std::string longTitle(40, 'L');
  const std::string v2 = Id3v2(3, {{"TIT2", Text(0, longTitle)}, {"TPE1", Text(0, "Two")}});
  struct Row {
    const char* name;
    std::string bytes;
    std::string title;
    std::string singer;
  } rows[] = {
      {"both.mp3", v2 + kAudio + Id3v1(std::string(30, 'S'), "One"), std::string(30, 'S'), "One"},
      {"empty v1.mp3", v2 + kAudio + Id3v1("", ""), "empty v1", "Lyrano"},
      {"v2.mp3", v2 + kAudio, longTitle, "Two"},
      {"v2 no title.mp3", Id3v2(4, {{"TPE1", Text(3, "Two")}}) + kAudio, "v2 no title", "Two"},
      {"a.b.mp3", kAudio, "a.b", "Lyrano"},
      {"中文.mp3", kAudio, kGbk, "Lyrano"},
      {"song.wma", Asf({ExtendedContentDescription({{u"WM/Title", 0, U16LE(u"中文")}})}), kGbk,
       "Lyrano"},
      {"broken v2.mp3", Id3v2(3, {}, 0x40, BE(1000, 4)) + kAudio, "broken v2", "Lyrano"},
  };
  testsupport::TempDir dir;
  ReporterSpy spy;
  for (const Row& row : rows) {
    fs::path p = dir / row.name;
    testsupport::WriteFile(p, row.bytes);
    EXPECT_EQ(Titles(p), std::make_pair(row.title, row.singer)) << row.name;
  }
  EXPECT_EQ(Titles(dir / "gone.mp3"), std::make_pair(std::string("gone"), std::string("Lyrano")));
  // Neither a folder nor a FIFO is read (a FIFO would block).
  fs::create_directory(dir / "folder.mp3");
  ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  EXPECT_EQ(Titles(dir / "folder.mp3").first, "folder");
  EXPECT_EQ(Titles(dir / "pipe.mp3").first, "pipe");
  EXPECT_TRUE(spy.messages.empty());
}

TEST(TitleFromTags, ReadErrorsReachTheReporter) {
  // A regular file of size 0 whose reads fail: ID3v1 sees no room for a tag,
  // the ID3v2 reader's read fails and is reported, the WMA reader stays quiet.
  ReporterSpy spy;
  EXPECT_EQ(Titles("/proc/self/mem"), std::make_pair(std::string("mem"), std::string("Lyrano")));
  ASSERT_EQ(spy.messages.size(), 1u);
  EXPECT_NE(spy.messages[0].find("Cannot read file \"/proc/self/mem\""), std::string::npos);
  SetTagErrorReporter(nullptr);
  EXPECT_EQ(Titles("/proc/self/mem").first, "mem");
}

TEST(TitleFromTags, FilesTaggedByFfmpeg) {
  testsupport::TempDir dir;
  const std::string title = "\xE6\xB5\x8B\xE8\xAF\x95 Song";  // 测试 Song
  const std::string singer = "\xE6\xAD\x8C\xE6\x89\x8B";      // 歌手
  struct Row {
    const char* name;
    std::string extra;
    std::string title;
    std::string singer;
  } rows[] = {
      {"v24.mp3", "", title, singer},
      {"v23.mp3", "-id3v2_version 3", title, singer},
      // ffmpeg's ID3v1 holds UTF-8 bytes, which this code page would misread.
      {"v1.mp3", "-write_id3v1 1", "Version one", "Singer one"},
      {"t.wma", "", title, singer},
  };
  for (const Row& row : rows) {
    testsupport::ToneSpec spec;
    spec.seconds = 0.2;
    spec.title = row.title;
    spec.artist = row.singer;
    spec.extraArgs = row.extra;
    testsupport::MakeTone(dir / row.name, spec);
    EXPECT_EQ(Titles(dir / row.name),
              std::make_pair(cp::Utf8ToAnsi(row.title), cp::Utf8ToAnsi(row.singer)))
        << row.name;
  }
}

TEST(TitleFromTags, CliTagsCommand) {
  fs::path cli = testsupport::BuiltProgram("lyrano-cli");
  if (!fs::exists(cli)) GTEST_SKIP() << "lyrano-cli is not built";
  testsupport::TempDir dir;
  fs::path tagged = dir / "\xE4\xB8\xAD.mp3";
  testsupport::WriteFile(tagged, Id3v2(4, {{"TIT2", Text(3, " T\tx ")}, {"TPE1", Text(0, "S")}}));
  std::string out;
  std::string cmd = testsupport::CliCommand(
      "tags " + testsupport::ShellQuote(tagged.string()) + " " +
      testsupport::ShellQuote(dir.path().string() + "/no such.b.mp3") + " 2>&1");
  EXPECT_EQ(testsupport::RunCommand(cmd, &out), 0);
  EXPECT_EQ(out, tagged.string() + "\tT\\tx\tS\n" + dir.path().string() +
                     "/no such.b.mp3\tno such.b\tLyrano\n");
  EXPECT_EQ(testsupport::RunCommand(testsupport::CliCommand("tags 2>/dev/null"), &out), 2);
}

}  // namespace

namespace {

// Damaged copies of well-formed tags (bytes flipped, files cut) end in some
// title, never a crash or a read past a buffer (run under the sanitizers).
TEST(TitleFromTags, RandomDamageIsSurvived) {
  const std::vector<std::string> seeds = {
      Id3v2(3, {{"TIT2", Text(1, "\xFF\xFE" + U16LE(u"Title"))}, {"TPE1", Text(0, "S")}}, 0x80, "",
            20),
      Id3v2(4, {{"TIT2", Bytes("\x05\0\0\0\x04") + Text(3, "abc"), 0x41}, {"TPE1", Text(2, "")}},
            0x50, Synchsafe(6) + Bytes("\x01\0")),
      Asf({ContentDescription({U16LE(u"T"), U16LE(u"A")}),
           ExtendedContentDescription({{u"WM/Title", 0, U16LE(u"X")}, {u"N", 3, LE(7, 4)}})}),
  };
  testsupport::TempDir dir;
  std::mt19937 rng(1234);
  for (int i = 0; i < 300; ++i) {
    std::string bytes = seeds[static_cast<size_t>(i) % seeds.size()];
    for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips) {
      bytes[rng() % bytes.size()] = static_cast<char>(rng());
    }
    if (rng() % 3 == 0) bytes.resize(rng() % bytes.size());
    testsupport::WriteFile(dir / "d.mp3", bytes);
    auto [title, singer] = Titles(dir / "d.mp3");
    EXPECT_FALSE(singer.empty());
  }
}

}  // namespace
