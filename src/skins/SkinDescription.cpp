#include "skins/SkinDescription.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "common/IniFile.h"

namespace skins {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one section's values into a record, noting every value it had to
// replace so that a skin author can see what went wrong.
class Reader {
 public:
  Reader(const TIniFile& ini, std::string_view section, std::vector<std::string>& warnings)
      : ini_(ini), section_(section), warnings_(warnings) {}

  void Color(std::string_view key, TRgb& out) {
    if (auto c = ReadColor(key)) out = *c;
  }

  void OptionalColor(std::string_view key, std::optional<TRgb>& out) {
    if (auto c = ReadColor(key)) out = c;
  }

  void Int(std::string_view key, int& out, int lo, int hi) {
    if (!ini_.ValueExists(section_, key)) return;
    constexpr int32_t kBad = INT32_MIN;
    int32_t v = ini_.ReadInteger(section_, key, kBad);
    if (v == kBad) {
      Warn(key, "is not a whole number");
      return;
    }
    if (v < lo || v > hi) {
      Warn(key, "is outside " + std::to_string(lo) + ".." + std::to_string(hi));
      v = std::clamp(v, lo, hi);
    }
    out = v;
  }

  void Bool(std::string_view key, bool& out) {
    int v = out ? 1 : 0;
    Int(key, v, 0, 1);
    out = v != 0;
  }

  void Text(std::string_view key, std::string& out) {
    if (ini_.ValueExists(section_, key)) out = ini_.ReadString(section_, key, "");
  }

  void Picture(std::string_view key, std::string& out) {
    std::string name = ini_.ReadString(section_, key, "");
    if (name.empty()) return;
    if (!IsSafePictureName(name)) {
      Warn(key, "names a file outside the skin folder: " + name);
      return;
    }
    out = name;
  }

 private:
  // The colour at `key`; nullopt when it is missing, empty or (with a warning)
  // not a colour, so the caller keeps its default.
  std::optional<TRgb> ReadColor(std::string_view key) {
    std::string text = ini_.ReadString(section_, key, "");
    if (text.empty()) return std::nullopt;
    std::optional<TRgb> c = ParseSkinColor(text);
    if (!c) Warn(key, "is not a colour: " + text);
    return c;
  }

  void Warn(std::string_view key, const std::string& what) {
    warnings_.push_back("[" + std::string(section_) + "] " + std::string(key) + " " + what);
  }

  const TIniFile& ini_;
  std::string_view section_;
  std::vector<std::string>& warnings_;
};

}  // namespace

std::optional<TRgb> ParseSkinColor(std::string_view text) {
  if (!text.empty() && text[0] == '#') {
    std::string_view hex = text.substr(1);
    if (hex.size() != 6 && hex.size() != 3) return std::nullopt;
    int d[6];
    for (size_t i = 0; i < hex.size(); ++i) {
      d[i] = HexDigit(hex[i]);
      if (d[i] < 0) return std::nullopt;
    }
    if (hex.size() == 3) {
      return TRgb{static_cast<uint8_t>(d[0] * 17), static_cast<uint8_t>(d[1] * 17),
                  static_cast<uint8_t>(d[2] * 17)};
    }
    return TRgb{static_cast<uint8_t>(d[0] * 16 + d[1]), static_cast<uint8_t>(d[2] * 16 + d[3]),
                static_cast<uint8_t>(d[4] * 16 + d[5])};
  }
  // A Windows colour integer, read with the INI rules (via a one-line file is
  // overkill; the same forms are accepted here directly).
  std::string_view s = text;
  bool hex = false;
  if (!s.empty() && s[0] == '$') {
    hex = true;
    s.remove_prefix(1);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = true;
    s.remove_prefix(2);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  if (v > 0xFFFFFF) return std::nullopt;
  return ColorToRgb(static_cast<int32_t>(v));
}

bool IsSafePictureName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
  if (name.find(':') != std::string_view::npos) return false;
  if (name.find('\0') != std::string_view::npos) return false;
  // Reject ".." as any path component, with either separator.
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

TSkinReadResult ReadSkinDescription(const std::filesystem::path& skinIni) {
  TSkinReadResult result;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(skinIni, ec)) {
    result.Error = "No skin description file: " + skinIni.string();
    return result;
  }
  if (!std::ifstream(skinIni, std::ios::binary)) {
    result.Error = "Cannot open file \"" + skinIni.string() + "\"";
    return result;
  }
  const TIniFile ini(skinIni);
  std::string missing;
  for (std::string_view s : kRequiredSkinSections) {
    if (!ini.SectionExists(s)) missing += (missing.empty() ? "" : ", ") + std::string(s);
  }
  if (!missing.empty()) {
    result.Error = "Not a skin description (missing section " + missing + "): " + skinIni.string();
    return result;
  }

  TSkinDescription d;
  auto& w = result.Warnings;
  {
    Reader r(ini, "VERSION", w);
    r.Int("Format", d.Format, 1, 1000);
    r.Text("Name", d.Name);
    r.Text("Author", d.Author);
  }
  {
    Reader r(ini, "PICTURES", w);
    auto& p = d.Pictures;
    r.Picture("CaptionBar", p.CaptionBar);
    r.Picture("CaptionButtons", p.CaptionButtons);
    r.Picture("CheckOff", p.CheckOff);
    r.Picture("CheckOn", p.CheckOn);
    r.Picture("CheckOffHot", p.CheckOffHot);
    r.Picture("CheckOnHot", p.CheckOnHot);
    r.Picture("ComboArrow", p.ComboArrow);
    r.Picture("ScrollUp", p.ScrollUp);
    r.Picture("ScrollDown", p.ScrollDown);
  }
  {
    Reader r(ini, "FORMINFO", w);
    auto& f = d.FormInfo;
    r.Int("CaptionHeight", f.CaptionHeight, kMinCaptionHeight, kMaxCaptionHeight);
    r.Int("CaptionBarLeft", f.CaptionBarLeft, 0, 512);
    r.Int("CaptionBarRight", f.CaptionBarRight, 0, 512);
    r.Color("CaptionColor1", f.CaptionColor1);
    r.Color("CaptionColor2", f.CaptionColor2);
    r.Color("CaptionTextColor", f.CaptionTextColor);
    r.OptionalColor("CaptionTextShadow", f.CaptionTextShadow);
    r.Text("CaptionFontName", f.CaptionFontName);
    r.Int("CaptionFontSize", f.CaptionFontSize, 6, f.CaptionHeight - 4);
    r.Bool("CaptionFontBold", f.CaptionFontBold);
    r.Bool("CaptionTextCenter", f.CaptionTextCenter);
    r.Int("CaptionTextIndent", f.CaptionTextIndent, 0, 64);
    r.Color("FrameColor", f.FrameColor);
    r.OptionalColor("FrameHighlight", f.FrameHighlight);
    r.Int("FrameWidth", f.FrameWidth, 0, 4);
    r.Color("ClientColor", f.ClientColor);
  }
  {
    Reader r(ini, "SKINOBJECTS", w);
    auto& o = d.Objects;
    const int bar = d.FormInfo.CaptionHeight;
    r.Int("ButtonWidth", o.ButtonWidth, 8, 48);
    r.Int("ButtonHeight", o.ButtonHeight, 8, bar);
    r.Int("ButtonSpacing", o.ButtonSpacing, 0, 16);
    r.Int("ButtonRightMargin", o.ButtonRightMargin, 0, 32);
    r.Color("ButtonGlyphColor", o.ButtonGlyphColor);
    r.Color("ButtonHotColor", o.ButtonHotColor);
    r.Color("ButtonDownColor", o.ButtonDownColor);
    r.Color("CloseHotColor", o.CloseHotColor);
    r.Int("SysIconSize", o.SysIconSize, 8, bar);
    r.Int("SysIconLeft", o.SysIconLeft, 0, 32);
  }
  {
    Reader r(ini, "SKINCONTROLS", w);
    auto& c = d.Controls;
    r.Text("FontName", c.FontName);
    r.Int("FontSize", c.FontSize, 6, 32);
    r.Int("Radius", c.Radius, 0, 8);
    r.Color("TextColor", c.TextColor);
    r.Color("DisabledTextColor", c.DisabledTextColor);
    r.Color("SelectionBack", c.SelectionBack);
    r.Color("SelectionText", c.SelectionText);
    r.Color("EditBack", c.EditBack);
    r.Color("EditText", c.EditText);
    r.Color("EditBorder", c.EditBorder);
    r.Color("EditFocusBorder", c.EditFocusBorder);
    r.Color("ButtonFace", c.ButtonFace);
    r.Color("ButtonFaceHot", c.ButtonFaceHot);
    r.Color("ButtonFaceDown", c.ButtonFaceDown);
    r.Color("ButtonText", c.ButtonText);
    r.Color("ButtonBorder", c.ButtonBorder);
    r.Color("ComboBack", c.ComboBack);
    r.Color("ComboBorder", c.ComboBorder);
    r.Color("ComboPopupBack", c.ComboPopupBack);
    r.Color("TabBack", c.TabBack);
    r.Color("TabText", c.TabText);
    r.Color("TabActiveBack", c.TabActiveBack);
    r.Color("TabActiveText", c.TabActiveText);
    r.Color("TabHotBack", c.TabHotBack);
    r.Color("TabBorder", c.TabBorder);
    r.Color("TabPaneBack", c.TabPaneBack);
    r.Color("ScrollTrack", c.ScrollTrack);
    r.Color("ScrollHandle", c.ScrollHandle);
    r.Color("ScrollHandleHot", c.ScrollHandleHot);
    r.Color("MenuBack", c.MenuBack);
    r.Color("MenuText", c.MenuText);
    r.Color("MenuHighlight", c.MenuHighlight);
    r.Color("MenuHighlightText", c.MenuHighlightText);
    r.Color("MenuSeparator", c.MenuSeparator);
    r.Color("MenuBorder", c.MenuBorder);
    r.Color("TooltipBack", c.TooltipBack);
    r.Color("TooltipText", c.TooltipText);
    r.Color("TooltipBorder", c.TooltipBorder);
  }
  result.Skin = std::move(d);
  return result;
}

}  // namespace skins
