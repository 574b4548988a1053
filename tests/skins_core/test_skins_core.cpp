// Skin catalogue, skinEx.ini layout and skin.ini description reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "skins/SkinCatalogue.h"
#include "skins/SkinDescription.h"
#include "skins/SkinLayout.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string AppDirOf(const TempDir& dir) {
  return dir.path().string() + "/";
}

TEST(SkinCatalogue, FolderNameRule) {
  struct Row {
    const char* name;
    bool skin;
  };
  const Row rows[] = {{"skin", true},   {"myskin", true}, {"skin_blue", true},
                      {"xskinx", true}, {"Skin2", false}, {"SKIN", false},
                      {".skin", false}, {"sk in", false}, {"", false},
                      {"..", false},    {"ski", false},   {"\xC6\xA4\xB7\xF4skin", true}};
  for (const auto& r : rows) EXPECT_EQ(skins::IsSkinFolderName(r.name), r.skin) << r.name;
}

TEST(SkinCatalogue, ListsOnlySkinFoldersWithTheCurrentIndex) {
  TempDir dir;
  for (const char* d : {"skin", "Skin2", "myskin", ".skin", "skin_jade", "other", "Zskin"}) {
    fs::create_directories(dir / "data" / d);
  }
  WriteFile(dir / "data" / "skin.txt", "a file, not a folder");
  fs::create_directory_symlink(dir / "data" / "other", dir / "data" / "linkskin");
  fs::create_symlink(dir / "data" / "skin.txt", dir / "data" / "fileskin");

  // Sorted by the bytes of the name (capitals before small letters), whatever
  // order the file system keeps: the combo box reads the same on every start.
  const std::vector<std::string> expected{"Zskin", "linkskin", "myskin", "skin", "skin_jade"};

  for (const char* current : {"myskin", "skin", "linkskin", "skin_jade"}) {
    auto list = skins::ListSkins(AppDirOf(dir), current);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->Names, expected);
    ASSERT_GE(list->SkinIndex, 0);
    EXPECT_EQ(list->Names[static_cast<size_t>(list->SkinIndex)], current);
  }
  // Case-sensitive match; a name that is not listed, or not a skin, gives -1.
  for (const char* current : {"MySkin", "Skin2", "gone", ""}) {
    auto list = skins::ListSkins(AppDirOf(dir), current);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->SkinIndex, -1) << current;
  }
}

TEST(SkinCatalogue, MissingDataFolderAndPaths) {
  TempDir dir;
  EXPECT_FALSE(skins::ListSkins(AppDirOf(dir), "skin").has_value());
  fs::create_directories(dir / "data");
  auto empty = skins::ListSkins(AppDirOf(dir), "skin");
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->Names.empty());
  EXPECT_EQ(empty->SkinIndex, -1);

  EXPECT_EQ(skins::SkinFolder("/opt/lyrano/", "skin"), "/opt/lyrano/data/skin/");
  EXPECT_EQ(skins::SkinFolder("/opt/lyrano", "skin"), "/opt/lyrano/data/skin/");
  EXPECT_EQ(skins::SkinFile("/opt/lyrano/", "skin_jade", "skinEx.ini"),
            "/opt/lyrano/data/skin_jade/skinEx.ini");
}

TEST(SkinLayout, ColoursAreBlueGreenRed) {
  EXPECT_EQ(skins::ColorToRgb(1776153), (skins::TRgb{25, 26, 27}));
  EXPECT_EQ(skins::ColorToRgb(1447593), (skins::TRgb{169, 22, 22}));
  EXPECT_EQ(skins::ColorToRgb(40011), (skins::TRgb{75, 156, 0}));
  EXPECT_EQ(skins::ColorToRgb(16777215), (skins::TRgb{255, 255, 255}));
  EXPECT_EQ(skins::ColorToRgb(16711680), (skins::TRgb{0, 0, 255}));
  // System colours carry a high byte; only the low 24 bits are a colour.
  EXPECT_EQ(skins::ColorToRgb(static_cast<int32_t>(0xFF00FF00u)), (skins::TRgb{0, 255, 0}));
  EXPECT_EQ(skins::RgbToColor({75, 156, 0}), 40011);
}

TEST(SkinLayout, DefaultsAndValues) {
  TempDir dir;
  EXPECT_EQ(skins::ReadSkinLayout(dir / "skinEx.ini"), skins::TSkinLayout{});

  WriteFile(dir / "skinEx.ini",
            "[formcfg]\r\n"
            "FormMaxHeight=410\r\n"
            "formminheight = 190\r\n"
            "FormWidth=wide\r\n"
            "[SomeColor]\r\n"
            "Gaugecolor=0xFF0000\r\n"
            "volcolor=$00FF00\r\n"
            "volBarcolor=16711680\r\n"
            "AlphaBarcolor=\r\n"
            "titlex=255\r\n");
  skins::TSkinLayout l = skins::ReadSkinLayout(dir / "skinEx.ini");
  skins::TSkinLayout want;
  want.FormMaxHeight = 410;
  want.FormMinHeight = 190;
  want.Gaugecolor = 16711680;
  want.volcolor = 0x00FF00;
  want.volBarcolor = 16711680;
  want.titlex = 255;
  EXPECT_EQ(l, want);
  EXPECT_EQ(skins::ColorToRgb(l.Gaugecolor), (skins::TRgb{0, 0, 255}));
}

TEST(SkinLayout, RequiredFilesOfACompleteSkin) {
  auto files = skins::RequiredSkinFiles();
  EXPECT_EQ(files.size(), 2u + 6u + 12u + 4u);
  for (const char* f :
       {"skin.ini", "skinEx.ini", "laba.png", "soup.bmp", "pushhot.bmp", "Listback_3.bmp"}) {
    EXPECT_NE(std::find(files.begin(), files.end(), f), files.end()) << f;
  }
}

const char* kCompleteSkin =
    "[VERSION]\nFormat=1\nName=Test\n"
    "[PICTURES]\nCaptionBar=caption.png\n"
    "[FORMINFO]\nCaptionHeight=25\n"
    "[SKINOBJECTS]\n"
    "[SKINCONTROLS]\nEditBack=#102030\n";

TEST(SkinDescription, AcceptedOnlyWithAllFiveSections) {
  TempDir dir;
  WriteFile(dir / "skin.ini", kCompleteSkin);
  auto ok = skins::ReadSkinDescription(dir / "skin.ini");
  ASSERT_TRUE(ok.Skin.has_value()) << ok.Error;
  EXPECT_EQ(ok.Skin->Name, "Test");
  EXPECT_EQ(ok.Skin->FormInfo.CaptionHeight, 25);
  EXPECT_EQ(ok.Skin->Pictures.CaptionBar, "caption.png");
  EXPECT_EQ(ok.Skin->Controls.EditBack, (skins::TRgb{0x10, 0x20, 0x30}));
  EXPECT_TRUE(ok.Warnings.empty());

  for (std::string_view section : skins::kRequiredSkinSections) {
    std::string text = kCompleteSkin;
    text.replace(text.find("[" + std::string(section) + "]"), section.size() + 2, "[X]");
    WriteFile(dir / "partial.ini", text);
    auto r = skins::ReadSkinDescription(dir / "partial.ini");
    EXPECT_FALSE(r.Skin.has_value()) << section;
    EXPECT_NE(r.Error.find(std::string(section)), std::string::npos) << r.Error;
  }
  // Section names ignore case, like every INI name.
  std::string lower = kCompleteSkin;
  lower.replace(lower.find("[VERSION]"), 9, "[version]");
  WriteFile(dir / "lower.ini", lower);
  EXPECT_TRUE(skins::ReadSkinDescription(dir / "lower.ini").Skin.has_value());

  EXPECT_FALSE(skins::ReadSkinDescription(dir / "none.ini").Skin.has_value());
  fs::create_directory(dir / "folder.ini");
  EXPECT_FALSE(skins::ReadSkinDescription(dir / "folder.ini").Skin.has_value());
  WriteFile(dir / "binary.ini", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  EXPECT_FALSE(skins::ReadSkinDescription(dir / "binary.ini").Skin.has_value());
}

TEST(SkinDescription, OutOfRangeAndMalformedValuesFallBackWithWarnings) {
  struct Row {
    const char* height;
    int expected;
    bool warns;
  };
  const Row rows[] = {{"40", 32, true},  {"10", 23, true},  {"23", 23, false},
                      {"32", 32, false}, {"abc", 26, true}, {"$1C", 28, false}};
  TempDir dir;
  for (const auto& r : rows) {
    WriteFile(dir / "skin.ini", std::string("[VERSION]\n[PICTURES]\n[SKINOBJECTS]\n[SKINCONTROLS]\n"
                                            "[FORMINFO]\nCaptionHeight=") +
                                    r.height + "\n");
    auto d = skins::ReadSkinDescription(dir / "skin.ini");
    ASSERT_TRUE(d.Skin.has_value());
    EXPECT_EQ(d.Skin->FormInfo.CaptionHeight, r.expected) << r.height;
    EXPECT_EQ(d.Warnings.empty(), !r.warns) << r.height;
  }

  WriteFile(dir / "skin.ini",
            "[VERSION]\n[FORMINFO]\nCaptionHeight=24\nFrameWidth=99\nCaptionFontSize=30\n"
            "[SKINOBJECTS]\nButtonHeight=30\n"
            "[SKINCONTROLS]\nTextColor=#12345\nMenuBack=$0000FF\nMenuText=#abc\n"
            "[PICTURES]\nCaptionBar=../../etc/passwd\nCheckOn=/etc/passwd\n"
            "CheckOff=sub\\..\\..\\x.png\nScrollUp=img/up.png\n");
  auto d = skins::ReadSkinDescription(dir / "skin.ini");
  ASSERT_TRUE(d.Skin.has_value());
  const auto& s = *d.Skin;
  EXPECT_EQ(s.FormInfo.FrameWidth, 4);
  EXPECT_EQ(s.FormInfo.CaptionFontSize, 20);  // must fit the 24-pixel bar
  EXPECT_EQ(s.Objects.ButtonHeight, 24);
  EXPECT_EQ(s.Controls.TextColor, skins::TSkinControls{}.TextColor);
  EXPECT_EQ(s.Controls.MenuBack, (skins::TRgb{255, 0, 0}));
  EXPECT_EQ(s.Controls.MenuText, (skins::TRgb{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(s.Pictures.CaptionBar, "");
  EXPECT_EQ(s.Pictures.CheckOn, "");
  EXPECT_EQ(s.Pictures.CheckOff, "");
  EXPECT_EQ(s.Pictures.ScrollUp, "img/up.png");
  EXPECT_EQ(d.Warnings.size(), 7u);
}

// Colours without a default stay absent unless given well; a malformed one is
// reported and leaves the colour absent.
TEST(SkinDescription, OptionalColoursAreSetOnlyByValidValues) {
  TempDir dir;
  WriteFile(dir / "skin.ini",
            "[VERSION]\n[PICTURES]\n[SKINOBJECTS]\n[SKINCONTROLS]\n"
            "[FORMINFO]\nCaptionTextShadow=#102030\nFrameHighlight=#12345\n");
  auto d = skins::ReadSkinDescription(dir / "skin.ini");
  ASSERT_TRUE(d.Skin.has_value()) << d.Error;
  EXPECT_EQ(d.Skin->FormInfo.CaptionTextShadow, (skins::TRgb{0x10, 0x20, 0x30}));
  EXPECT_EQ(d.Skin->FormInfo.FrameHighlight, std::nullopt);
  ASSERT_EQ(d.Warnings.size(), 1u);
  EXPECT_EQ(d.Warnings[0], "[FORMINFO] FrameHighlight is not a colour: #12345");

  WriteFile(dir / "plain.ini",
            "[VERSION]\n[PICTURES]\n[SKINOBJECTS]\n[SKINCONTROLS]\n[FORMINFO]\n");
  auto plain = skins::ReadSkinDescription(dir / "plain.ini");
  ASSERT_TRUE(plain.Skin.has_value()) << plain.Error;
  EXPECT_EQ(plain.Skin->FormInfo.CaptionTextShadow, std::nullopt);
  EXPECT_TRUE(plain.Warnings.empty());
}

TEST(SkinDescription, ColourForms) {
  struct Row {
    const char* text;
    std::optional<skins::TRgb> rgb;
  };
  const Row rows[] = {
      {"#FF0000", skins::TRgb{255, 0, 0}},
      {"#00ff7f", skins::TRgb{0, 255, 127}},
      {"#F00", skins::TRgb{255, 0, 0}},
      {"16711680", skins::TRgb{0, 0, 255}},
      {"0xFF0000", skins::TRgb{0, 0, 255}},
      {"$FF", skins::TRgb{255, 0, 0}},
      {"#GG0000", std::nullopt},
      {"#FF00", std::nullopt},
      {"red", std::nullopt},
      {"16777216", std::nullopt},
      {"-1", std::nullopt},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(skins::ParseSkinColor(r.text), r.rgb) << r.text;
}

}  // namespace
