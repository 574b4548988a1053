#include <gtest/gtest.h>

#include "TagBytes.h"
#include "common/codepage.h"
#include "support/TestSupport.h"
#include "tags/ATL_WMAfile.h"

using namespace tagbytes;
using tags::TagResult;

namespace {

const std::string kGbk = "\xD6\xD0\xCE\xC4";     // 中文
const std::string kSinger = "\xB8\xE8\xCA\xD6";  // 歌手

TEST(Wma, HeaderObjects) {
  const std::string cdo = ContentDescription({U16LE(u"中文\0"), U16LE(u"歌手\0"), U16LE(u"c")});
  const std::string extTitle = ExtendedContentDescription({{u"WM/Title", 0, U16LE(u"Later\0")}});
  struct Row {
    const char* what;
    std::string bytes;
    std::string title;
    std::string artist;
  } rows[] = {
      {"content description", Asf({cdo}), kGbk, kSinger},
      {"extended after content replaces", Asf({cdo, extTitle}), "Later", kSinger},
      {"content after extended replaces", Asf({extTitle, cdo}), kGbk, kSinger},
      {"other objects passed over", Asf({AsfObject(kOtherGuid, "xyz"), cdo}), kGbk, kSinger},
      {"number value, name case ignored",
       Asf({ExtendedContentDescription({{u" wm/author ", 3, LE(42, 4)}})}), "", "42"},
      {"other types change nothing",
       Asf({cdo, ExtendedContentDescription({{u"WM/Title", 1, "raw"}, {u"WM/Title", 3, "ab"}})}),
       kGbk, kSinger},
      {"250 characters at most", Asf({ContentDescription({U16LE(std::u16string(300, u'a'))})}),
       std::string(250, 'a'), ""},
      {"odd length passes its last byte over",
       Asf({ContentDescription({U16LE(u"Ab") + "x", U16LE(u"Cd")})}), "Ab", "Cd"},
      {"absent title", Asf({ContentDescription({"", U16LE(u"Cd")})}), "", "Cd"},
  };
  testsupport::TempDir dir;
  for (const Row& row : rows) {
    testsupport::WriteFile(dir / "t.wma", row.bytes);
    TWMAfile wma;
    EXPECT_EQ(wma.ReadFromFile(cp::PathToAnsi(dir / "t.wma")), TagResult::Ok) << row.what;
    EXPECT_TRUE(wma.Valid()) << row.what;
    EXPECT_EQ(cp::Utf16ToAnsi(wma.Title()), row.title) << row.what;
    EXPECT_EQ(cp::Utf16ToAnsi(wma.Artist()), row.artist) << row.what;
  }
}

TEST(Wma, DamagedHeadersEndTheWalkKeepingEarlierValues) {
  const std::string cdo = ContentDescription({U16LE(u"Title"), U16LE(u"Singer")});
  std::string cutAuthor = ContentDescription({U16LE(u"Title")});
  cutAuthor[24 + 2] = 100;  // the author's length now runs past the object
  struct Row {
    const char* what;
    std::string bytes;
    std::string title;
    std::string artist;
  } rows[] = {
      {"object of size 0", Asf({AsfObject(kOtherGuid, "", 0), cdo}), "", ""},
      {"count far beyond the objects", Asf({cdo}, 0xFFFFFFFF), "Title", "Singer"},
      {"string past its object", Asf({cutAuthor}), "Title", ""},
      {"object past the file", Asf({cdo, cdo}).substr(0, 30 + cdo.size() + 30), "Title", "Singer"},
      {"descriptor past its object",
       Asf({cdo, ExtendedContentDescription({{u"WM/Author", 0, U16LE(u"X")}}).substr(0, 30)}),
       "Title", "Singer"},
      {"header only", Asf({}).substr(0, 20), "", ""},
  };
  testsupport::TempDir dir;
  for (const Row& row : rows) {
    testsupport::WriteFile(dir / "t.wma", row.bytes);
    TWMAfile wma;
    EXPECT_EQ(wma.ReadFromFile(cp::PathToAnsi(dir / "t.wma")), TagResult::Ok) << row.what;
    EXPECT_EQ(cp::Utf16ToAnsi(wma.Title()), row.title) << row.what;
    EXPECT_EQ(cp::Utf16ToAnsi(wma.Artist()), row.artist) << row.what;
  }
  testsupport::WriteFile(dir / "t.mp3", "RIFF not asf at all, but long enough to hold a header");
  TWMAfile other;
  EXPECT_EQ(other.ReadFromFile(cp::PathToAnsi(dir / "t.mp3")), TagResult::Ok);
  EXPECT_FALSE(other.Valid());
  EXPECT_EQ(other.ReadFromFile(cp::PathToAnsi(dir / "missing.wma")), TagResult::NoFile);
}

}  // namespace
