// skin.ini: the skin engine's description of a skin, read into a plain record.
//
// The file is an INI file (read with TIniFile: names ignore case, first entry
// wins) and is accepted only when it has all five sections VERSION, PICTURES,
// FORMINFO, SKINOBJECTS and SKINCONTROLS; any key may be missing and then takes
// the built-in value below.
//
//   [VERSION]      Format=1, Name=..., Author=...
//   [PICTURES]     file names relative to the skin folder (no absolute paths,
//                  no ".."); an empty or refused name means "draw with colours":
//                  CaptionBar      caption bar, drawn in three slices (the left
//                                  and right margins of FORMINFO stay, the
//                                  middle stretches)
//                  CaptionButtons  grid of caption button faces: columns
//                                  minimise, roll-up, roll-down, close; rows
//                                  normal, hot, pressed; cell ButtonWidth x
//                                  ButtonHeight of SKINOBJECTS
//                  CheckOff, CheckOn, CheckOffHot, CheckOnHot   check box marks
//                  ComboArrow, ScrollUp, ScrollDown             small arrows
//   [FORMINFO]     the window: CaptionHeight (23..32), CaptionBarLeft,
//                  CaptionBarRight, CaptionColor1/2 (gradient without picture),
//                  CaptionTextColor, CaptionTextShadow, CaptionFontName,
//                  CaptionFontSize (pixels), CaptionFontBold, CaptionTextCenter,
//                  CaptionTextIndent, FrameColor, FrameHighlight, FrameWidth (0..4),
//                  ClientColor
//   [SKINOBJECTS]  caption buttons: ButtonWidth, ButtonHeight, ButtonSpacing,
//                  ButtonRightMargin, ButtonGlyphColor, ButtonHotColor,
//                  ButtonDownColor, CloseHotColor, SysIconSize, SysIconLeft
//   [SKINCONTROLS] standard controls: FontName, FontSize (pixels), Radius,
//                  TextColor, DisabledTextColor, Edit*, Button*, Combo*, Tab*,
//                  Scroll*, Menu*, Tooltip*, Selection* (see TSkinControls)
//
// Colours are written "#RRGGBB" or as a Windows colour integer (decimal, "0x"
// or "$" hexadecimal: blue * 65536 + green * 256 + red). Pure functions, any
// thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "skins/SkinLayout.h"

namespace skins {

inline constexpr int kMinCaptionHeight = 23;
inline constexpr int kMaxCaptionHeight = 32;

struct TSkinPictures {
  std::string CaptionBar;
  std::string CaptionButtons;
  std::string CheckOff, CheckOn, CheckOffHot, CheckOnHot;
  std::string ComboArrow, ScrollUp, ScrollDown;
};

struct TSkinFormInfo {
  int CaptionHeight = 26;
  int CaptionBarLeft = 0;  // slice widths of the caption picture
  int CaptionBarRight = 0;
  TRgb CaptionColor1{58, 58, 62};
  TRgb CaptionColor2{34, 34, 38};
  TRgb CaptionTextColor{236, 236, 236};
  std::optional<TRgb> CaptionTextShadow;  // none unless given
  std::string CaptionFontName = "DejaVu Sans";
  int CaptionFontSize = 12;
  bool CaptionFontBold = true;
  bool CaptionTextCenter = false;
  int CaptionTextIndent = 6;  // gap between the system icon and the text
  TRgb FrameColor{16, 16, 18};
  std::optional<TRgb> FrameHighlight;  // inner line on the top and left edges
  int FrameWidth = 1;
  TRgb ClientColor{62, 62, 62};
};

struct TSkinObjects {
  int ButtonWidth = 18;
  int ButtonHeight = 16;
  int ButtonSpacing = 2;
  int ButtonRightMargin = 5;
  TRgb ButtonGlyphColor{220, 220, 220};
  TRgb ButtonHotColor{80, 80, 86};
  TRgb ButtonDownColor{40, 40, 44};
  TRgb CloseHotColor{200, 40, 40};
  int SysIconSize = 16;
  int SysIconLeft = 5;
};

struct TSkinControls {
  std::string FontName = "DejaVu Sans";
  int FontSize = 12;
  int Radius = 2;  // corner radius of edits, buttons and combo boxes, 0..8
  TRgb TextColor{230, 230, 230};
  TRgb DisabledTextColor{130, 130, 130};
  TRgb SelectionBack{180, 40, 40};
  TRgb SelectionText{255, 255, 255};
  TRgb EditBack{40, 40, 42};
  TRgb EditText{235, 235, 235};
  TRgb EditBorder{90, 90, 96};
  TRgb EditFocusBorder{200, 60, 60};
  TRgb ButtonFace{70, 70, 76};
  TRgb ButtonFaceHot{90, 90, 98};
  TRgb ButtonFaceDown{50, 50, 54};
  TRgb ButtonText{235, 235, 235};
  TRgb ButtonBorder{30, 30, 32};
  TRgb ComboBack{40, 40, 42};
  TRgb ComboBorder{90, 90, 96};
  TRgb ComboPopupBack{48, 48, 52};
  TRgb TabBack{50, 50, 54};
  TRgb TabText{190, 190, 190};
  TRgb TabActiveBack{74, 74, 80};
  TRgb TabActiveText{255, 255, 255};
  TRgb TabHotBack{62, 62, 68};
  TRgb TabBorder{30, 30, 32};
  TRgb TabPaneBack{54, 54, 58};
  TRgb ScrollTrack{40, 40, 42};
  TRgb ScrollHandle{96, 96, 104};
  TRgb ScrollHandleHot{180, 50, 50};
  TRgb MenuBack{44, 44, 48};
  TRgb MenuText{230, 230, 230};
  TRgb MenuHighlight{180, 40, 40};
  TRgb MenuHighlightText{255, 255, 255};
  TRgb MenuSeparator{70, 70, 76};
  TRgb MenuBorder{20, 20, 22};
  TRgb TooltipBack{250, 250, 240};
  TRgb TooltipText{20, 20, 20};
  TRgb TooltipBorder{60, 60, 60};
};

struct TSkinDescription {
  int Format = 1;
  std::string Name;
  std::string Author;
  TSkinPictures Pictures;
  TSkinFormInfo FormInfo;
  TSkinObjects Objects;
  TSkinControls Controls;
};

// The sections a description must have to be accepted.
inline constexpr std::array<std::string_view, 5> kRequiredSkinSections{
    "VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"};

struct TSkinReadResult {
  std::optional<TSkinDescription> Skin;  // nullopt: not accepted
  std::string Error;                     // why it was not accepted
  std::vector<std::string> Warnings;     // values replaced by built-in ones
};

// Reads and checks a description (file-system path). Never throws. Sizes are
// clamped to their ranges (CaptionHeight 23..32, FrameWidth 0..4, button and
// font sizes to what fits the caption bar) with a warning each.
TSkinReadResult ReadSkinDescription(const std::filesystem::path& skinIni);

// "#RRGGBB", "#RGB" or a Windows colour integer; nullopt for anything else.
std::optional<TRgb> ParseSkinColor(std::string_view text);

// True for a relative picture name that stays inside the skin folder.
bool IsSafePictureName(std::string_view name);

}  // namespace skins
