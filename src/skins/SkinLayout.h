// The skin's layout file skinEx.ini (window sizes and the colours of the
// gauges and labels) and the names of the skin's pictures and bitmaps.
// Pure functions, any thread.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace skins {

// A colour as the Windows colour value blue * 65536 + green * 256 + red. Only
// the low 24 bits carry the colour; a higher byte is ignored.
struct TRgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};
TRgb ColorToRgb(int32_t windowsColor);
int32_t RgbToColor(TRgb rgb);

// Values of skinEx.ini; each member has the file's default and keeps it when
// the file, its section or its key is missing or not an integer. The values
// are as written (no range checks here: the window clamps what it applies).
struct TSkinLayout {
  // [formcfg]
  int32_t FormMaxHeight = 405;
  int32_t FormMinHeight = 188;
  int32_t FormWidth = 313;
  // [somecolor], Windows colour values
  int32_t Gaugecolor = 1776153;
  int32_t GaugeBarcolor = 1447593;
  int32_t volcolor = 1776153;
  int32_t volBarcolor = 1447593;
  int32_t Alphacolor = 1776153;
  int32_t AlphaBarcolor = 40011;
  int32_t timelabel = 16777215;
  int32_t titlex = 16777215;
  int32_t titlexblur = 16777215;
  friend bool operator==(const TSkinLayout&, const TSkinLayout&) = default;
};

// Reads skinEx.ini (file-system path). A missing or unreadable file gives the
// defaults. Never throws.
TSkinLayout ReadSkinLayout(const std::filesystem::path& skinExIni);

inline constexpr std::string_view kSkinDescriptionFile = "skin.ini";
inline constexpr std::string_view kSkinLayoutFile = "skinEx.ini";

// The six pictures, in the order ApplySkinLayout loads them, with the size of
// the control each one is drawn in (client coordinates of the layout).
struct TSkinPicture {
  std::string_view Control;  // ControlBar, LogoBack, logo, yuan, yuan2, laba
  std::string_view File;
  int Left, Top, Width, Height;
};
inline constexpr std::array<TSkinPicture, 6> kSkinPictures{{
    {"ControlBar", "ControlBar.png", 157, 55, 140, 26},
    {"LogoBack", "LogoBack.png", 14, 10, 137, 99},
    {"logo", "logo.png", 25, 20, 73, 73},
    {"yuan", "yuan.png", 285, 87, 16, 17},
    {"yuan2", "yuan2.png", 156, 358, 20, 22},
    {"laba", "laba.png", 160, 91, 14, 12},
}};

// The six bitmap buttons in the order ApplySkinLayout loads them; faces are
// Name + "up.bmp" and Name + "hot.bmp", olive (128, 128, 0) transparent.
struct TSkinButton {
  std::string_view Control;  // RzBmpButton1 ... RzBmpButton6
  std::string_view Name;
  int Left, Top, Width, Height;
};
inline constexpr std::array<TSkinButton, 6> kSkinButtons{{
    {"RzBmpButton1", "next", 261, 61, 17, 13},
    {"RzBmpButton2", "prev", 219, 61, 18, 13},
    {"RzBmpButton3", "push", 177, 62, 13, 13},
    {"RzBmpButton4", "play", 179, 61, 13, 13},
    {"RzBmpButton5", "list", 20, 140, 15, 16},
    {"RzBmpButton6", "so", 278, 140, 16, 16},
}};
inline constexpr TRgb kButtonTransparentColor{128, 128, 0};

// List row bitmaps in the order LoadListBackBitmaps loads them (index into
// ListBack0..3 and file), and the row size they are drawn in.
struct TListBackFile {
  int Index;
  std::string_view File;
};
inline constexpr std::array<TListBackFile, 4> kListBackFiles{{
    {1, "Listback_1.bmp"},
    {0, "Listback_0.bmp"},
    {2, "Listback_2.bmp"},
    {3, "Listback_3.bmp"},
}};
inline constexpr int kListBackWidth = 260;
inline constexpr int kListBackHeight = 20;

// Every file a complete skin folder holds besides the pictures skin.ini names.
std::vector<std::string> RequiredSkinFiles();

}  // namespace skins
