#include <gtest/gtest.h>

#include "TagBytes.h"
#include "common/codepage.h"
#include "support/TestSupport.h"
#include "tags/Mp3FileUtils.h"

using namespace tagbytes;
using tags::TagResult;

namespace {

const std::string kGbk = "\xD6\xD0\xCE\xC4";  // 中文 in the local code page
const std::string kAudio(2000, '\x55');       // stands in for MPEG frames

struct Got {
  TagResult result;
  std::string title;
  std::string artist;
};

class Id3 : public ::testing::Test {
 protected:
  template <typename Tag>
  Got Read(const std::string& bytes, Tag& tag) {
    auto path = dir_ / "t.mp3";
    testsupport::WriteFile(path, bytes);
    TagResult r = tag.ReadFromFile(cp::PathToAnsi(path));
    return {r, cp::Utf16ToAnsi(tag.Title()), cp::Utf16ToAnsi(tag.Artist())};
  }
  Got V1(const std::string& bytes) {
    TID3v1Tag tag;
    return Read(bytes, tag);
  }
  Got V2(const std::string& bytes) {
    TID3v2Tag tag;
    return Read(bytes, tag);
  }
  testsupport::TempDir dir_;
};

std::string TitleId(int v) {
  return v == 2 ? "TT2" : "TIT2";
}
std::string ArtistId(int v) {
  return v == 2 ? "TP1" : "TPE1";
}

TEST_F(Id3, TextEncodingsInEveryVersion) {
  struct Row {
    const char* what;
    std::string content;
    std::string want;
  } rows[] = {
      {"code page", Text(0, kGbk), kGbk},
      {"unknown byte is code page", Text(9, "Ab"), "Ab"},
      {"utf-16 FF FE", Text(1, "\xFF\xFE" + U16LE(u"中文 ")), kGbk},
      {"utf-16 FE FF", Text(1, "\xFE\xFF" + U16BE(u"中文")), kGbk},
      {"utf-16 without mark loses its first unit", Text(1, U16LE(u"X中文")), kGbk},
      {"utf-16 odd last byte", Text(1, "\xFF\xFE" + U16LE(u"中文") + "Z"), kGbk},
      {"utf-16 shorter than its mark", Text(1, "\xFF"), ""},
      {"utf-16be", Text(2, U16BE(u"中文")), kGbk},
      {"utf-8", Text(3, "\xE4\xB8\xAD\xE6\x96\x87"), kGbk},
      {"trimmed, first value", Text(3, Bytes(" \t\xE4\xB8\xAD\xE6\x96\x87\0Other")), kGbk},
      {"empty frame", "", ""},
  };
  for (int v : {2, 3, 4}) {
    for (const Row& row : rows) {
      Got g = V2(Id3v2(v, {{TitleId(v), row.content}, {ArtistId(v), Text(0, "Singer")}}) + kAudio);
      EXPECT_EQ(g.result, TagResult::Ok) << v << ' ' << row.what;
      EXPECT_EQ(g.title, row.want) << v << ' ' << row.what;
      EXPECT_EQ(g.artist, "Singer") << v << ' ' << row.what;
    }
  }
}

TEST_F(Id3, FrameFlags) {
  const std::string plain = Text(0, "Title");
  const std::string unsynced = Text(1, Bytes("\xFF\x00\xFE") + U16LE(u"Ti"));
  struct Row {
    int version;
    uint8_t flags;
    std::string content;
    std::string want;
  } rows[] = {
      {3, 0x20, "\x05" + plain, "Title"},  // grouping byte skipped
      {3, 0x40, plain, ""},                // encrypted
      {3, 0x80, plain, ""},                // compressed
      {3, 0x10, plain, ""},                // undefined in 2.3
      {4, 0x40, "\x05" + plain, "Title"},
      {4, 0x01, Bytes("\0\0\0\x06") + plain, "Title"},  // data length indicator
      {4, 0x02, unsynced, "Ti"},
      {4, 0x43, Bytes("\xFF\x00\0\0\0\x07") + unsynced, "Ti"},
      {4, 0x04, plain, ""},
      {4, 0x08, plain, ""},
      {4, 0x20, plain, ""},
      {4, 0x40, "", ""},  // grouping flag on an empty frame
  };
  for (const Row& row : rows) {
    Got g = V2(Id3v2(row.version, {{"TIT2", row.content, row.flags}, {"TPE1", Text(0, "S")}}));
    EXPECT_EQ(g.title, row.want) << row.version << " flags " << int(row.flags);
    EXPECT_EQ(g.artist, "S") << row.version << " flags " << int(row.flags);
  }
}

TEST_F(Id3, TagLayouts) {
  const std::string utf16 = Text(1, "\xFF\xFE" + U16LE(u"中文"));
  // Whole-tag unsynchronisation in versions 2 and 3.
  EXPECT_EQ(V2(Id3v2(2, {{"TT2", utf16}}, 0x80)).title, kGbk);
  EXPECT_EQ(V2(Id3v2(3, {{"TIT2", utf16}}, 0x80)).title, kGbk);
  // Extended headers: 2.3 counts the bytes after the size, 2.4 the whole header.
  EXPECT_EQ(V2(Id3v2(3, {{"TIT2", Text(0, "A")}}, 0x40, BE(6, 4) + std::string(6, '\0'))).title,
            "A");
  EXPECT_EQ(V2(Id3v2(4, {{"TIT2", Text(0, "A")}}, 0x40, Synchsafe(6) + Bytes("\x01\0"))).title,
            "A");
  // Footer.
  TID3v2Tag footer;
  std::string withFooter = Id3v2(4, {{"TIT2", Text(0, "A")}}, 0x10, "", 7);
  EXPECT_EQ(Read(withFooter + kAudio, footer).title, "A");
  EXPECT_EQ(footer.TagSize(), withFooter.size());
  // Frame sizes: plain in 2.3, synchsafe in 2.4; a frame past 127 bytes shows the difference.
  for (int v : {3, 4}) {
    EXPECT_EQ(V2(Id3v2(v, {{"COMM", std::string(200, 'c')}, {"TIT2", Text(0, "A")}})).title, "A")
        << v;
  }
  // Only the first title frame counts, even when it is unusable.
  EXPECT_EQ(V2(Id3v2(3, {{"TIT2", Text(0, "A"), 0x40}, {"TIT2", Text(0, "B")}})).title, "");
  // Padding, or anything that is not an identifier, ends the frames.
  Got g = V2(Id3v2(3, {{"TIT2", Text(0, "A")}, {"tpe1", Text(0, "B")}, {"TPE1", Text(0, "C")}}));
  EXPECT_EQ(g.title, "A");
  EXPECT_EQ(g.artist, "");
  EXPECT_EQ(V2(Id3v2(3, {{"TIT2", Text(0, "A")}}, 0, "", 500)).result, TagResult::Ok);
  // No tag: compressed 2.2, unknown versions, wrong magic.
  EXPECT_EQ(V2(Id3v2(2, {{"TT2", Text(0, "A")}}, 0x40)).result, TagResult::NoTag);
  EXPECT_EQ(V2(Id3v2(5, {})).result, TagResult::NoTag);
  EXPECT_EQ(V2(Id3v2(1, {})).result, TagResult::NoTag);
  EXPECT_EQ(V2("id3\x03" + std::string(20, '\0')).result, TagResult::NoTag);
}

TEST_F(Id3, DamagedSizesKeepEarlierFrames) {
  const Frame title{"TIT2", Text(0, "Kept")};
  struct Row {
    const char* what;
    std::string bytes;
    TagResult result;
    std::string title;
  } rows[] = {
      {"frame larger than the tag", Id3v2(3, {title, {"TPE1", Text(0, "B"), 0, 1000}}) + kAudio,
       TagResult::Ok, "Kept"},
      {"unsynchronised tag, frame larger than the tag",
       Id3v2(3, {title, {"TPE1", Text(0, "B"), 0, 1000}}, 0x80) + kAudio, TagResult::Ok, "Kept"},
      {"frame 16 MiB larger than its bytes",
       Id3v2(3, {title, {"TPE1", Text(0, "B"), 0, 0x01000002}}) + kAudio, TagResult::Ok, "Kept"},
      {"frame size at its maximum",
       Id3v2(3, {title, {"TPE1", Text(0, "B"), 0, 0xFFFFFFFF}}) + kAudio, TagResult::Ok, "Kept"},
      {"tag larger than the file, file ends inside a frame",
       Id3v2(4, {title, {"TPE1", Text(0, "Singer")}}, 0, "", 0, 0x0FFFFFFF).substr(0, 30),
       TagResult::Ok, "Kept"},
      {"header alone", Id3v2(3, {}, 0, "", 0, 0x0FFFFFFF), TagResult::Ok, ""},
      {"header cut short", "ID3\x03", TagResult::NoTag, ""},
      {"extended header larger than the tag", Id3v2(3, {title}, 0x40, BE(0x7FFFFFFF, 4)),
       TagResult::Corrupt, ""},
      {"2.4 extended header smaller than itself", Id3v2(4, {title}, 0x40, Synchsafe(2)),
       TagResult::Corrupt, ""},
  };
  for (const Row& row : rows) {
    Got g = V2(row.bytes);
    EXPECT_EQ(g.result, row.result) << row.what;
    EXPECT_EQ(g.title, row.title) << row.what;
    EXPECT_EQ(g.artist, "") << row.what;
  }
}

TEST_F(Id3, Version1) {
  const std::string full(30, 'T');
  struct Row {
    std::string bytes;
    TagResult result;
    std::string title;
    std::string artist;
  } rows[] = {
      {kAudio + Id3v1(full, "Singer"), TagResult::Ok, full, "Singer"},
      {kAudio + Id3v1("  " + kGbk + "  ", kGbk), TagResult::Ok, kGbk, kGbk},
      {kAudio + Id3v1(Bytes("Name\0left over"), ""), TagResult::Ok, "Name", ""},
      {kAudio + "tag" + Id3v1("A", "B").substr(3), TagResult::NoTag, "", ""},
      {Id3v1("A", "B"), TagResult::Ok, "A", "B"},  // a file that is all tag
      {Id3v1("A", "B").substr(1), TagResult::NoTag, "", ""},
  };
  for (const Row& row : rows) {
    Got g = V1(row.bytes);
    EXPECT_EQ(g.result, row.result) << row.title;
    EXPECT_EQ(g.title, row.title);
    EXPECT_EQ(g.artist, row.artist);
  }
}

}  // namespace
