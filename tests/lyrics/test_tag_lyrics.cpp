// A tag's lyrics into the lyric timeline, and which tag gives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "lyrics/TagLyrics.h"
#include "support/TestSupport.h"
#include "tags/TagBytes.h"

using namespace tagbytes;

namespace {

const std::string kGbk = "\xD6\xD0\xCE\xC4";  // 中文 in the local code page

std::vector<std::string> Pairs(const TLyricTimeline& t) {
  EXPECT_EQ(t.Times.size(), t.Texts.size());
  std::vector<std::string> out;
  for (size_t k = 0; k < t.Times.size(); ++k) out.push_back(t.Times[k] + " " + t.Texts[k]);
  return out;
}

TEST(TagLyrics, EachKindOfTagLyricsFillsTheTimeline) {
  struct Row {
    const char* what;
    tags::TTagLyrics lyrics;
    std::vector<std::string> timed;
    std::vector<std::string> still;
  } rows[] = {
      {"timed lines: whole seconds, local code page",
       {{{999, u"zero"}, {1000, u"中文"}, {61999, u"last"}}, u"ignored"},
       {"0 zero", "1 " + kGbk, "61 last"}, {}},
      {"text with time tags is lrc",
       {{}, u"[ti:Song]\r\n[00:02.50]two\n[00:01]one\n[01:00.00][01:02]twice"},
       {"1 one", "2 two", "60 twice", "62 twice"}, {}},
      {"plain text: still lines, blanks dropped",
       {{}, u"  中文 \r\n\r\nsecond line\n\n\tthird\n"}, {}, {kGbk, "second line", "third"}},
      {"a time tag that is no time is plain text", {{}, u"[ar:Singer]\n[1:x]line"}, {},
       {"[ar:Singer]", "[1:x]line"}},
  };
  for (const Row& row : rows) {
    TLyricTimeline t;
    t.Times = {"5"};
    t.Texts = {"old"};
    t.StillLines = {"old"};
    t.Cursor = 1;
    t.HasLyrics = true;
    EXPECT_TRUE(FillFromTagLyrics(t, row.lyrics)) << row.what;
    EXPECT_EQ(Pairs(t), row.timed) << row.what;
    EXPECT_EQ(t.StillLines, row.still) << row.what;
    EXPECT_EQ(t.Cursor, 0) << row.what;
    EXPECT_TRUE(t.HasLyrics) << row.what << ": left to the caller";
  }
  // Nothing to show: the timeline stays as it was.
  for (const std::u16string& text : {std::u16string(), std::u16string(u" \r\n\t\n")}) {
    TLyricTimeline t;
    t.Times = {"5"};
    t.Texts = {"old"};
    t.Cursor = 1;
    EXPECT_FALSE(FillFromTagLyrics(t, {{}, text}));
    EXPECT_EQ(Pairs(t), std::vector<std::string>{"5 old"});
    EXPECT_EQ(t.Cursor, 1);
  }
}

TEST(TagLyrics, TheId3TagElseTheWmaHeader) {
  testsupport::TempDir dir;
  const std::string audio(500, '\x55');
  struct Row {
    const char* what;
    std::string bytes;
    std::vector<tags::TTimedText> timed;
    std::u16string text;
  } rows[] = {
      {"id3 synced and unsynced",
       Id3v2(3, {{"USLT", Uslt(0, "plain")}, {"SYLT", Sylt(0, {{"a", 1500}})}}) + audio,
       {{1500, u"a"}}, u"plain"},
      {"id3 without lyrics", Id3v2(3, {{"TIT2", Text(0, "T")}}) + audio, {}, u""},
      {"wma", Asf({ExtendedContentDescription({{u"WM/Lyrics", 0, U16LE(u"[00:01]x\0")}})}), {},
       u"[00:01]x"},
      {"neither", audio, {}, u""},
  };
  for (const Row& row : rows) {
    testsupport::WriteFile(dir / "song", row.bytes);
    tags::TTagLyrics got = ReadTagLyrics(cp::PathToAnsi(dir / "song"));
    ASSERT_EQ(got.Timed.size(), row.timed.size()) << row.what;
    for (size_t k = 0; k < got.Timed.size(); ++k) {
      EXPECT_EQ(got.Timed[k].Ms, row.timed[k].Ms) << row.what;
      EXPECT_EQ(got.Timed[k].Text, row.timed[k].Text) << row.what;
    }
    EXPECT_EQ(got.Text, row.text) << row.what;
  }
  EXPECT_TRUE(ReadTagLyrics(cp::PathToAnsi(dir / "missing")).Empty());
  EXPECT_TRUE(ReadTagLyrics(cp::PathToAnsi(dir.path())).Empty()) << "a folder";
}

}  // namespace
