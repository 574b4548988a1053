#include "skins/SkinLayout.h"

#include "common/IniFile.h"

namespace skins {

TRgb ColorToRgb(int32_t windowsColor) {
  auto v = static_cast<uint32_t>(windowsColor);
  return TRgb{static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF),
              static_cast<uint8_t>((v >> 16) & 0xFF)};
}

int32_t RgbToColor(TRgb rgb) {
  return static_cast<int32_t>(rgb.b) * 65536 + static_cast<int32_t>(rgb.g) * 256 + rgb.r;
}

TSkinLayout ReadSkinLayout(const std::filesystem::path& skinExIni) {
  const TIniFile ini(skinExIni);
  TSkinLayout l;
  l.FormMaxHeight = ini.ReadInteger("formcfg", "FormMaxHeight", l.FormMaxHeight);
  l.FormMinHeight = ini.ReadInteger("formcfg", "FormMinHeight", l.FormMinHeight);
  l.FormWidth = ini.ReadInteger("formcfg", "FormWidth", l.FormWidth);
  l.Gaugecolor = ini.ReadInteger("somecolor", "Gaugecolor", l.Gaugecolor);
  l.GaugeBarcolor = ini.ReadInteger("somecolor", "GaugeBarcolor", l.GaugeBarcolor);
  l.volcolor = ini.ReadInteger("somecolor", "volcolor", l.volcolor);
  l.volBarcolor = ini.ReadInteger("somecolor", "volBarcolor", l.volBarcolor);
  l.Alphacolor = ini.ReadInteger("somecolor", "Alphacolor", l.Alphacolor);
  l.AlphaBarcolor = ini.ReadInteger("somecolor", "AlphaBarcolor", l.AlphaBarcolor);
  l.timelabel = ini.ReadInteger("somecolor", "timelabel", l.timelabel);
  l.titlex = ini.ReadInteger("somecolor", "titlex", l.titlex);
  l.titlexblur = ini.ReadInteger("somecolor", "titlexblur", l.titlexblur);
  return l;
}

std::vector<std::string> RequiredSkinFiles() {
  std::vector<std::string> files{std::string(kSkinDescriptionFile), std::string(kSkinLayoutFile)};
  for (const auto& p : kSkinPictures) files.emplace_back(p.File);
  for (const auto& b : kSkinButtons) {
    files.push_back(std::string(b.Name) + "up.bmp");
    files.push_back(std::string(b.Name) + "hot.bmp");
  }
  for (int i = 0; i < 4; ++i) files.push_back("Listback_" + std::to_string(i) + ".bmp");
  return files;
}

}  // namespace skins
