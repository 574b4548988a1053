// The lyrics frames of ID3v2 tags and the WM/Lyrics attribute of WMA files.
#include <gtest/gtest.h>

#include "TagBytes.h"
#include "common/codepage.h"
#include "support/TestSupport.h"
#include "tags/ATL_WMAfile.h"
#include "tags/Mp3FileUtils.h"

using namespace tagbytes;
using tags::TagResult;

namespace {

const std::string kGbk = "\xD6\xD0\xCE\xC4";  // 中文 in the local code page
const std::string kAudio(2000, '\x55');

// "text@ms" per line, texts in the local code page.
std::vector<std::string> Lines(const tags::TTagLyrics& lyrics) {
  std::vector<std::string> out;
  for (const tags::TTimedText& t : lyrics.Timed)
    out.push_back(cp::Utf16ToAnsi(t.Text) + "@" + std::to_string(t.Ms));
  return out;
}

class LyricFrames : public ::testing::Test {
 protected:
  struct Got {
    TagResult result;
    std::vector<std::string> timed;
    std::string text;
    std::string title;
  };
  Got Read(const std::string& bytes, bool wantLyrics = true) {
    testsupport::WriteFile(dir_ / "t.mp3", bytes);
    TID3v2Tag tag;
    if (wantLyrics) tag.WantLyrics();
    TagResult r = tag.ReadFromFile(cp::PathToAnsi(dir_ / "t.mp3"));
    return {r, Lines(tag.Lyrics()), cp::Utf16ToAnsi(tag.Lyrics().Text),
            cp::Utf16ToAnsi(tag.Title())};
  }
  testsupport::TempDir dir_;
};

// Every FF followed by a 00, as unsynchronisation may write it.
std::string Unsync(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    out += c;
    if (static_cast<unsigned char>(c) == 0xFF) out += '\0';
  }
  return out;
}

std::string SyltId(int v) {
  return v == 2 ? "SLT" : "SYLT";
}

TEST_F(LyricFrames, SyncedLinesInEveryEncodingAndVersion) {
  const std::vector<std::string> want = {"one@1000", kGbk + "@2500", "three@61000"};
  const std::string bomLE = "\xFF\xFE";
  const std::string bomBE = "\xFE\xFF";
  struct Row {
    const char* what;
    std::string content;
  } rows[] = {
      {"code page", Sylt(0, {{"one", 1000}, {kGbk, 2500}, {"three", 61000}})},
      {"utf-16, a mark on each",
       Sylt(1, {{bomLE + U16LE(u"one"), 1000},
                {bomBE + U16BE(u"中文"), 2500},
                {bomLE + U16LE(u"three"), 61000}},
            2, bomLE + U16LE(u"desc"))},
      {"utf-16, the first mark holds for the rest",
       Sylt(1, {{bomBE + U16BE(u"one"), 1000}, {U16BE(u"中文"), 2500}, {U16BE(u"three"), 61000}})},
      {"utf-16 without any mark is little-endian",
       Sylt(1, {{U16LE(u"one"), 1000}, {U16LE(u"中文"), 2500}, {U16LE(u"three"), 61000}})},
      {"utf-16be", Sylt(2, {{U16BE(u"one"), 1000}, {U16BE(u"中文"), 2500}, {U16BE(u"three"), 61000}})},
      {"utf-16be with a stray mark",
       Sylt(2, {{bomBE + U16BE(u"one"), 1000}, {U16BE(u"中文"), 2500}, {U16BE(u"three"), 61000}})},
      {"utf-8", Sylt(3, {{"one", 1000}, {"\xE4\xB8\xAD\xE6\x96\x87", 2500}, {"three", 61000}},
                     2, "d\xC3\xA9")},
      {"out of order: sorted by time",
       Sylt(0, {{"three", 61000}, {"one", 1000}, {kGbk, 2500}})},
      {"line feeds and blanks trimmed",
       Sylt(0, {{"\none ", 1000}, {"\r\n" + kGbk, 2500}, {"\nthree", 61000}})},
  };
  for (int v : {2, 3, 4}) {
    for (const Row& row : rows) {
      Got g = Read(Id3v2(v, {{v == 2 ? "TT2" : "TIT2", Text(0, "T")}, {SyltId(v), row.content}}) + kAudio);
      EXPECT_EQ(g.result, TagResult::Ok) << v << ' ' << row.what;
      EXPECT_EQ(g.timed, want) << v << ' ' << row.what;
    }
  }
}

TEST_F(LyricFrames, SyncedFrameShapes) {
  struct Row {
    const char* what;
    std::string content;
    std::vector<std::string> want;
  } rows[] = {
      {"equal times keep frame order", Sylt(0, {{"b", 5}, {"a", 5}, {"c", 1}}),
       {"c@1", "b@5", "a@5"}},
      {"syllables join the line they follow",
       Sylt(0, {{"\nHel", 1000}, {"lo", 1400}, {"\nWorld", 2000}, {"!", 2600}}),
       {"Hello@1000", "World!@2000"}},
      {"a first syllable without a line feed starts a line",
       Sylt(0, {{"Hel", 1000}, {"lo", 1400}, {"\nWorld", 2000}}), {"Hello@1000", "World@2000"}},
      {"without line feeds every entry is a line", Sylt(0, {{"a", 1}, {"b", 2}}), {"a@1", "b@2"}},
      {"a last entry cut inside its time is dropped",
       Sylt(0, {{"a", 1}, {"b", 2}}).substr(0, Sylt(0, {{"a", 1}, {"b", 2}}).size() - 2), {"a@1"}},
      {"a last text without terminator or time", Sylt(0, {{"a", 1}}) + "tail", {"a@1"}},
      {"utf-16 cut inside a character", Sylt(1, {{U16LE(u"a"), 7}}) + "\x41", {"a@7"}},
      {"time in MPEG frames is not read", Sylt(0, {{"a", 1}}, 1), {}},
      {"no entries", Sylt(0, {}), {}},
      {"header cut short", std::string("\x00" "eng\x02", 5), {}},
      {"descriptor never ends", std::string("\x01" "eng\x02\x01" "\xFF\xFE\x41", 9), {}},
  };
  for (const Row& row : rows) {
    Got g = Read(Id3v2(3, {{"SYLT", row.content}}) + kAudio);
    EXPECT_EQ(g.result, TagResult::Ok) << row.what;
    EXPECT_EQ(g.timed, row.want) << row.what;
  }
}

TEST_F(LyricFrames, UnsyncedTextAndWhichFrameCounts) {
  const std::string lrc = "[00:01.00]one\r\n[00:02.00]two\r\n";
  struct Row {
    const char* what;
    std::vector<Frame> frames;
    std::vector<std::string> timed;
    std::string text;
  } rows[] = {
      {"lrc text kept whole", {{"USLT", Uslt(0, lrc, "desc")}}, {}, "[00:01.00]one\r\n[00:02.00]two"},
      {"utf-16 plain text", {{"USLT", Uslt(1, "\xFF\xFE" + U16LE(u"中文\nline two\n"))}},
       {}, kGbk + "\nline two"},
      {"utf-8 after a utf-8 descriptor",
       {{"USLT", Uslt(3, "\xE4\xB8\xAD\xE6\x96\x87", "\xC3\xA9")}}, {}, kGbk},
      {"the first frame with text counts",
       {{"USLT", Uslt(0, "")}, {"USLT", Uslt(0, "first")}, {"USLT", Uslt(0, "second")}},
       {}, "first"},
      {"the first frame with lines counts",
       {{"SYLT", Sylt(0, {{"a", 1}}, 1)}, {"SYLT", Sylt(0, {{"b", 2}})},
        {"SYLT", Sylt(0, {{"c", 3}})}},
       {"b@2"}, ""},
      {"both kinds", {{"USLT", Uslt(0, "plain")}, {"SYLT", Sylt(0, {{"a", 1}})}}, {"a@1"},
       "plain"},
      {"a compressed frame is passed over",
       {{"SYLT", Sylt(0, {{"x", 1}}), 0x80}, {"USLT", Uslt(0, "x"), 0x40},
        {"USLT", Uslt(0, "used")}},
       {}, "used"},
      {"a frame too large for lyrics is passed over unread",
       {{"USLT", Uslt(0, std::string(tags::kMaxLyricFrameBytes, 'x'))}, {"USLT", Uslt(0, "next")}},
       {}, "next"},
  };
  for (const Row& row : rows) {
    Got g = Read(Id3v2(3, row.frames) + kAudio);
    EXPECT_EQ(g.result, TagResult::Ok) << row.what;
    EXPECT_EQ(g.timed, row.timed) << row.what;
    EXPECT_EQ(g.text, row.text) << row.what;
  }
  // Version 2 names the frame ULT.
  EXPECT_EQ(Read(Id3v2(2, {{"ULT", Uslt(0, "two")}})).text, "two");
  // A reader that wants no lyrics reads none, and still stops at the texts.
  Got titles = Read(Id3v2(3, {{"USLT", Uslt(0, "x")}, {"TIT2", Text(0, "T")}}), false);
  EXPECT_EQ(titles.text, "");
  EXPECT_EQ(titles.title, "T");
}

TEST_F(LyricFrames, DamageKeepsTheFramesBefore) {
  const Frame synced{"SYLT", Sylt(0, {{"kept", 1000}})};
  const Frame unsynced{"USLT", Uslt(0, "kept text")};
  struct Row {
    const char* what;
    std::string bytes;
    std::vector<std::string> timed;
    std::string text;
  } rows[] = {
      {"a frame larger than the tag after the lyrics",
       Id3v2(3, {synced, unsynced, {"TPE1", Text(0, "B"), 0, 5000}}) + kAudio, {"kept@1000"},
       "kept text"},
      {"a lyrics frame larger than the tag", Id3v2(3, {unsynced, {"SYLT", synced.content, 0, 5000}}),
       {}, "kept text"},
      {"a lyrics frame at the maximum size",
       Id3v2(4, {unsynced, {"SYLT", synced.content, 0, 0x0FFFFFFF}}), {}, "kept text"},
      {"the file ends inside the lyrics",
       Id3v2(3, {unsynced, synced}).substr(0, Id3v2(3, {unsynced, synced}).size() - 3), {},
       "kept text"},
      {"bytes that are no frame end the walk",
       Id3v2(3, {unsynced, {"sylt", synced.content}, synced}), {}, "kept text"},
      {"unsynchronised tag", Id3v2(3, {{"SYLT", Sylt(0, {{"a", 0xFF00FF00}})}}, 0x80),
       {"a@4278255360"}, ""},
      {"unsynchronised 2.4 frame with its data length",
       Id3v2(4, {{"SYLT", std::string(4, '\0') + Unsync(Sylt(0, {{"a", 0xFF00FF00}})), 0x03}}),
       {"a@4278255360"}, ""},
  };
  for (const Row& row : rows) {
    Got g = Read(row.bytes);
    EXPECT_EQ(g.result, TagResult::Ok) << row.what;
    EXPECT_EQ(g.timed, row.timed) << row.what;
    EXPECT_EQ(g.text, row.text) << row.what;
  }
}

std::string CutShort(const std::string& bytes) {
  return bytes.substr(0, bytes.size() - 2);
}

TEST(WmaLyrics, TheLyricsAttributeIsReadWhole) {
  const std::u16string longLyrics = u"[00:01]" + std::u16string(600, u'歌') + u"\r\nend";
  struct Row {
    const char* what;
    std::string bytes;
    std::u16string lyrics;
    std::string title;
  } rows[] = {
      {"long lyrics, title still capped",
       Asf({ExtendedContentDescription({{u"WM/Title", 0, U16LE(std::u16string(300, u'a') + u'\0')},
                                        {u"WM/Lyrics", 0, U16LE(u"  " + longLyrics + u'\0')}})}),
       longLyrics, std::string(250, 'a')},
      {"name case ignored, the last one counts",
       Asf({ExtendedContentDescription(
           {{u"wm/lyrics", 0, U16LE(u"first")}, {u"WM/LYRICS", 0, U16LE(u"second")}})}),
       u"second", ""},
      {"a number is no lyrics", Asf({ExtendedContentDescription({{u"WM/Lyrics", 3, LE(7, 4)}})}),
       u"", ""},
      {"cut short: nothing", CutShort(Asf({ExtendedContentDescription({{u"WM/Lyrics", 0, U16LE(u"xy")}})})),
       u"", ""},
      {"no attribute", Asf({ContentDescription({U16LE(u"T")})}), u"", "T"},
  };
  testsupport::TempDir dir;
  for (const Row& row : rows) {
    testsupport::WriteFile(dir / "t.wma", row.bytes);
    TWMAfile wma;
    EXPECT_EQ(wma.ReadFromFile(cp::PathToAnsi(dir / "t.wma")), TagResult::Ok) << row.what;
    EXPECT_EQ(wma.Lyrics(), row.lyrics) << row.what;
    EXPECT_EQ(cp::Utf16ToAnsi(wma.Title()), row.title) << row.what;
  }
}

}  // namespace
