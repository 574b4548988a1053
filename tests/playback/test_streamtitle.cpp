// The song a radio's metadata packet announces: the StreamTitle field read
// from packets as servers send them, text of three encodings turned into
// local text, and "singer - title" split.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/codepage.h"
#include "playback/StreamTitle.h"

using namespace std::string_literals;

namespace {

std::string G(const char* utf8) {
  return cp::Utf8ToAnsi(utf8);
}

TEST(StreamTitle, FieldOfPacketsAsServersSendThem) {
  struct Row {
    std::string packet;
    std::optional<std::string> field;
  };
  const Row rows[] = {
      {"StreamTitle='Singer - Song';StreamUrl='';", "Singer - Song"},
      // Quotes and semicolons inside the title.
      {"StreamTitle='It's a Song; Part 2';StreamUrl='http://x/';", "It's a Song; Part 2"},
      {"StreamTitle='Rock 'n' Roll';", "Rock 'n' Roll"},
      {"StreamTitle='a'; b';StreamUrl='';", "a'; b"},
      {"StreamTitle='';", ""},
      // The packet's NUL padding, a blank before the next field, any case.
      {"StreamTitle='Padded';\0\0\0\0\0"s, "Padded"},
      {"StreamTitle='x'; StreamUrl='y';", "x"},
      {"streamtitle='lower';", "lower"},
      {"STREAMTITLE='upper';", "upper"},
      {"StreamTitle='x';A='y';", "x"},
      // Without the final semicolon, without quotes, cut off.
      {"StreamTitle='Ends with quote'", "Ends with quote"},
      {"StreamTitle=bare;StreamUrl='';", "bare"},
      {"StreamTitle='Cut off", "Cut off"},
      // The name inside another field's value is no field.
      {"StreamUrl='http://a/?StreamTitle=x';StreamTitle='Real';", "Real"},
      {"StreamUrl='x';", std::nullopt},
      {"", std::nullopt},
      {"garbage without fields", std::nullopt},
      {"StreamTitle", std::nullopt},
      {"XStreamTitle='no';", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(streamtitle::FieldOf(row.packet), row.field) << row.packet;
}

// A packet is read up to its end and not a byte further, whatever follows it
// in memory.
TEST(StreamTitle, NothingBeyondThePacketIsRead) {
  struct Row {
    std::string memory;  // the packet and one byte after it
    std::string field;
  };
  const Row rows[] = {
      {"StreamTitle='Ends with quote'X", "Ends with quote"},
      {"StreamTitle='a';b='", "a';b="},
  };
  for (const Row& row : rows) {
    std::string_view packet(row.memory.data(), row.memory.size() - 1);
    EXPECT_EQ(streamtitle::FieldOf(packet), row.field) << packet;
  }
}

TEST(StreamTitle, TextOfAnyOfThreeEncodingsBecomesLocalText) {
  // UTF-8, the local code page's own bytes, and Latin-1 where neither fits.
  EXPECT_EQ(streamtitle::ToAnsi("周杰伦 - 稻香"), G("周杰伦 - 稻香"));
  EXPECT_EQ(streamtitle::ToAnsi(G("周杰伦 - 稻香")), G("周杰伦 - 稻香"));
  EXPECT_EQ(streamtitle::ToAnsi("Beyonc\xE9 - Halo"), G("Beyoncé - Halo"));
  EXPECT_EQ(streamtitle::ToAnsi("Caf\xE9"), G("Café"));
  EXPECT_EQ(streamtitle::ToAnsi("plain ASCII"), "plain ASCII");
  // Broken UTF-8 (an overlong slash) is not read as UTF-8: these bytes are
  // local text.
  EXPECT_EQ(streamtitle::ToAnsi("a\xC0\xAF"), "a\xC0\xAF");
  // Control characters of every kind go; blanks at the ends too.
  EXPECT_EQ(streamtitle::ToAnsi("  A\001B\177\tC\r\n "), "ABC");
  EXPECT_EQ(streamtitle::ToAnsi("A\302\205B"), "AB");  // U+0085 in UTF-8
  EXPECT_EQ(streamtitle::ToAnsi("A\302\205"), "A");
  EXPECT_EQ(streamtitle::ToAnsi("X\x85"), "X");
  EXPECT_EQ(streamtitle::ToAnsi(""), "");
}

TEST(StreamTitle, LongTitlesAreCutOnAWholeCharacter) {
  EXPECT_EQ(streamtitle::ToAnsi(std::string(300, 'a')), std::string(255, 'a'));
  EXPECT_EQ(streamtitle::ToAnsi(std::string(255, 'a')), std::string(255, 'a'));
  std::string utf8;
  for (int i = 0; i < 300; ++i) utf8 += "周";
  std::string cut = streamtitle::ToAnsi(utf8);
  EXPECT_EQ(cut.size(), 254u);  // 127 characters of two bytes
  EXPECT_EQ(cut, G(utf8.c_str()).substr(0, 254));
  // A four-byte character of the local code page is never split either.
  std::string four = "a" + G("😀") + G("😀");
  ASSERT_EQ(four.size(), 9u);
  std::string text = std::string(250, 'b') + four;  // 259 bytes
  EXPECT_EQ(streamtitle::ToAnsi(text), std::string(250, 'b') + "a" + G("😀"));
}

TEST(StreamTitle, SingerAndTitleSplitAtTheFirstDash) {
  using streamtitle::TStreamSong;
  EXPECT_EQ(streamtitle::Split("Singer - Song"), (TStreamSong{"Song", "Singer"}));
  EXPECT_EQ(streamtitle::Split("A - B - Remix"), (TStreamSong{"B - Remix", "A"}));
  EXPECT_EQ(streamtitle::Split("AC-DC"), (TStreamSong{"AC-DC", ""}));
  EXPECT_EQ(streamtitle::Split("Just a title"), (TStreamSong{"Just a title", ""}));
  EXPECT_EQ(streamtitle::Split(" - Song"), (TStreamSong{"- Song", ""}));
  EXPECT_EQ(streamtitle::Split("Singer - "), (TStreamSong{"Singer -", ""}));
  EXPECT_EQ(streamtitle::Split(""), (TStreamSong{"", ""}));

  EXPECT_EQ(streamtitle::SongOf("StreamTitle='周杰伦 - 稻香';StreamUrl='';"),
            (TStreamSong{G("稻香"), G("周杰伦")}));
  EXPECT_EQ(streamtitle::SongOf("StreamTitle='';"), (TStreamSong{"", ""}));
  EXPECT_EQ(streamtitle::SongOf("StreamUrl='http://x/';"), std::nullopt);
}

}  // namespace
