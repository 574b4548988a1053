// The user's lyric offsets per song: the song keys, the file's lines, and the
// store that writes them through without losing other songs' lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/errors.h"
#include "lyrics/LyricOffsets.h"
#include "lyrics/LyricTimeline.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(LyricOffsets, KeysNameLocalFilesByPathAndOnlineSongsByTitleAndSinger) {
  // A path makes it a file, whatever the tags say.
  EXPECT_EQ(LyricSongKey("Title", "Singer", "/m/a.mp3"), "file\t/m/a.mp3");
  EXPECT_EQ(LyricSongKey("Other", "", " /m/a.mp3 "), LyricSongKey("Title", "Singer", "/m/a.mp3"));
  EXPECT_EQ(LyricSongKey(" Title ", "Singer", ""), "song\tTitle\tSinger");
  EXPECT_EQ(LyricSongKey("Title", "", ""), "song\tTitle\t");
  // Blanks inside stay as they are: the file stays readable.
  EXPECT_EQ(LyricSongKey("My Song", "A B", ""), "song\tMy Song\tA B");
  // Title and singer stay apart: "a b" + "c" is not "a" + "b c".
  EXPECT_NE(LyricSongKey("a\tb", "c", ""), LyricSongKey("a", "b\tc", ""));
  EXPECT_EQ(LyricSongKey("a\tb%", "c", ""), "song\ta%09b%25\tc");
  EXPECT_EQ(LyricSongKey("", "", "/m/x\ny\x7F.mp3"), "file\t/m/x%0Ay%7F.mp3");
}

TEST(LyricOffsets, LinesRoundTripAndOnlyOffsetsOtherThanZeroAreWritten) {
  TLyricOffsetMap offsets = {
      {LyricSongKey("", "", "/m/tab\there%.mp3"), -1500},
      {LyricSongKey("\xce\xd2\xc3\xc7", "\xb8\xe8", ""), 500},  // local code page bytes
      {LyricSongKey("Solo", "", ""), kMaxLyricOffsetMs},
      {LyricSongKey("Zero", "", ""), 0},
  };
  std::string text = FormatLyricOffsets(offsets);
  EXPECT_EQ(text.find("Zero"), std::string::npos);
  offsets.erase(LyricSongKey("Zero", "", ""));
  EXPECT_EQ(ParseLyricOffsets(text), offsets);
  EXPECT_TRUE(ParseLyricOffsets(FormatLyricOffsets({})).empty());
}

TEST(LyricOffsets, LinesThatDoNotReadAreSkippedAndTheOthersKept) {
  const std::string bad[] = {
      "abc\tfile\t/x",      "500",
      "500\tfile",          "500\tfile\t",
      "500\tdisk\t/x",      "500\tsong\tT",
      "500\tsong\tT\tS\tX", "500\tsong\t\tS",
      "0\tfile\t/x",        "3600001\tfile\t/x",
      "-3600001\tfile\t/x", "99999999999999999999\tfile\t/x",
      "+-5\tfile\t/x",      "--5\tfile\t/x",
      " 500\tfile\t/x",     "500 \tfile\t/x",
      "5e2\tfile\t/x",      "500\tfile\t/x%4",
      "500\tfile\t/x%zz",   "500\tfile\t/a\x01",
      "#500\tfile\t/x",     std::string("500\tfile\t/a\0b", 13),
      "\tfile\t/x",         "+\tfile\t/x",
      "500\tfile\t%zz/x",   "500\tsong\t\x01T\tS",
  };
  for (const std::string& line : bad) {
    SCOPED_TRACE(line);
    std::string text = "100\tfile\t/a\n" + line + "\r\n-200\tsong\tT\tS\r";
    TLyricOffsetMap read = ParseLyricOffsets(text);
    EXPECT_EQ(read, (TLyricOffsetMap{{"file\t/a", 100}, {"song\tT\tS", -200}}));
  }
  // Signs, the limits, escapes in either case, and the later of two lines.
  EXPECT_EQ(
      ParseLyricOffsets("+500\tfile\t/x%2a\n-3600000\tsong\tT\t\n3600000\tfile\t/y\n"
                        "7\tfile\t/y\n-00000000000000250\tfile\t/z\n"),
      (TLyricOffsetMap{
          {"file\t/x%2a", 500}, {"song\tT\t", -3600000}, {"file\t/y", 7}, {"file\t/z", -250}}));
  std::string binary;
  for (int c = 0; c < 256; ++c) binary += static_cast<char>(c);
  EXPECT_TRUE(ParseLyricOffsets(binary + binary).empty());
}

class LyricOffsetStore : public testing::Test {
 protected:
  fs::path File() const { return dir / kLyricOffsetFileName; }
  testsupport::TempDir dir;
  const std::string a = LyricSongKey("", "", "/m/a.mp3");
  const std::string b = LyricSongKey("B", "Band", "");
};

TEST_F(LyricOffsetStore, TwoSongsKeepTheirOwnOffsetsAcrossAReopen) {
  TLyricOffsetStore store;
  store.Open(File().string());
  EXPECT_EQ(store.Get(a), 0);
  store.Set(a, 500);
  store.Set(b, -1000);
  TLyricOffsetStore again;
  again.Open(File().string());
  EXPECT_EQ(again.Get(a), 500);
  EXPECT_EQ(again.Get(b), -1000);
  // Back to 0: the song's line goes, the other one stays.
  again.Set(a, 0);
  TLyricOffsetStore third;
  third.Open(File().string());
  EXPECT_EQ(third.Get(a), 0);
  EXPECT_EQ(third.Get(b), -1000);
  EXPECT_EQ(testsupport::ReadFile(File()).find("a.mp3"), std::string::npos);
  // The replacement leaves no temporary file behind.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(LyricOffsetStore, LinesWrittenMeanwhileByAnotherHandAreKept) {
  TLyricOffsetStore store;
  store.Open(File().string());
  store.Set(a, 500);
  testsupport::WriteFile(File(), testsupport::ReadFile(File()) + "-700\tfile\t/m/c.mp3\n");
  store.Set(b, 1500);
  EXPECT_EQ(store.Get(LyricSongKey("", "", "/m/c.mp3")), -700);
  TLyricOffsetStore again;
  again.Open(File().string());
  EXPECT_EQ(again.Get(a), 500);
  EXPECT_EQ(again.Get(b), 1500);
  EXPECT_EQ(again.Get(LyricSongKey("", "", "/m/c.mp3")), -700);
}

TEST_F(LyricOffsetStore, ACorruptFileGivesNoOffsetsAndIsWrittenAnew) {
  testsupport::WriteFile(File(), std::string("\x00\xff\t\tfile\t\n500\tfile", 18));
  TLyricOffsetStore store;
  store.Open(File().string());
  EXPECT_EQ(store.Get(a), 0);
  store.Set(a, -500);
  TLyricOffsetStore again;
  again.Open(File().string());
  EXPECT_EQ(again.Get(a), -500);
}

TEST_F(LyricOffsetStore, AFileThatCannotBeReadIsNeverOverwritten) {
  // Too large to be ours: its offsets count as none, and a change must not
  // replace it with the one line this run knows.
  TLyricOffsetStore store;
  store.Set(a, 700);
  std::string huge(kMaxLyricOffsetFileBytes + 1, '#');
  testsupport::WriteFile(File(), huge);
  store.Open(File().string());
  EXPECT_EQ(store.Get(a), 0);
  EXPECT_THROW(store.Set(a, 500), lyrano::FileError);
  EXPECT_EQ(store.Get(a), 500);  // holds for this run
  EXPECT_EQ(fs::file_size(File()), huge.size());
}

TEST_F(LyricOffsetStore, AFailedWriteThrowsAndTheValueHoldsForThisRun) {
  fs::create_directory(File());  // a folder where the file should be
  TLyricOffsetStore store;
  store.Open(File().string());
  EXPECT_THROW(store.Set(a, 1000), lyrano::FileError);
  EXPECT_EQ(store.Get(a), 1000);
  EXPECT_TRUE(fs::is_directory(File()));
}

TEST_F(LyricOffsetStore, WithoutAFileOffsetsLastForTheRunOnly) {
  TLyricOffsetStore store;
  store.Set(a, 500);
  EXPECT_EQ(store.Get(a), 500);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
