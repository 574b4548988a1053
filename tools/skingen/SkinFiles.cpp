#include "SkinFiles.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTextStream>

#include "Art.h"

namespace skingen {

namespace {

struct Button {
  const char* name;
  int left, top, width, height;
};
// Positions of the bitmap buttons in the window; the first four sit on the
// control strip at (157, 55).
constexpr Button kButtons[] = {
    {"next", 261, 61, 17, 13}, {"prev", 219, 61, 18, 13}, {"push", 177, 62, 13, 13},
    {"play", 179, 61, 13, 13}, {"list", 20, 140, 15, 16}, {"so", 278, 140, 16, 16},
};
constexpr int kBarLeft = 157, kBarTop = 55;

QString Hex(const QColor& c) {
  return c.name(QColor::HexRgb).toUpper();
}
int WinColor(const QColor& c) {
  return c.blue() * 65536 + c.green() * 256 + c.red();
}

bool SavePng(const QImage& img, const QString& path, QString* error) {
  if (img.save(path, "PNG")) return true;
  *error = "cannot write " + path;
  return false;
}

bool SaveBmp(const QImage& img, const QString& path, QString* error) {
  // 24-bit Windows bitmaps: no alpha, the olive key does the transparency.
  if (img.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) return true;
  *error = "cannot write " + path;
  return false;
}

bool SaveText(const QString& text, const QString& path, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    *error = "cannot write " + path;
    return false;
  }
  QString crlf = text;
  crlf.replace("\n", "\r\n");
  f.write(crlf.toUtf8());
  return true;
}

QString SkinIni(const Theme& t) {
  QString s;
  QTextStream o(&s);
  o << "; Skin description for the Lyrano skin engine.\n"
    << "[VERSION]\n"
    << "Format=1\n"
    << "Name=" << t.displayName << "\n"
    << "Author=Lyrano\n\n"
    << "[PICTURES]\n"
    << "CaptionBar=caption.png\n"
    << "CaptionButtons=capbuttons.png\n"
    << "CheckOff=check_off.png\n"
    << "CheckOn=check_on.png\n"
    << "CheckOffHot=check_off_hot.png\n"
    << "CheckOnHot=check_on_hot.png\n"
    << "ComboArrow=arrow_down.png\n"
    << "ScrollUp=scroll_up.png\n"
    << "ScrollDown=scroll_down.png\n\n"
    << "[FORMINFO]\n"
    << "CaptionHeight=" << t.captionHeight << "\n"
    << "CaptionBarLeft=12\n"
    << "CaptionBarRight=12\n"
    << "CaptionColor1=" << Hex(t.captionTop) << "\n"
    << "CaptionColor2=" << Hex(t.captionBottom) << "\n"
    << "CaptionTextColor=" << Hex(t.captionText) << "\n";
  if (t.captionShadow.isValid()) o << "CaptionTextShadow=" << Hex(t.captionShadow) << "\n";
  o << "CaptionFontName=DejaVu Sans\n"
    << "CaptionFontSize=12\n"
    << "CaptionFontBold=1\n"
    << "CaptionTextCenter=0\n"
    << "CaptionTextIndent=6\n"
    << "FrameColor=" << Hex(t.frame) << "\n";
  if (t.frameHighlight.isValid()) o << "FrameHighlight=" << Hex(t.frameHighlight) << "\n";
  o << "FrameWidth=1\n"
    << "ClientColor=" << Hex(t.client) << "\n\n"
    << "[SKINOBJECTS]\n"
    << "ButtonWidth=18\n"
    << "ButtonHeight=16\n"
    << "ButtonSpacing=1\n"
    << "ButtonRightMargin=4\n"
    << "ButtonGlyphColor=" << Hex(t.capGlyph) << "\n"
    << "ButtonHotColor=" << Hex(t.capHot) << "\n"
    << "ButtonDownColor=" << Hex(t.capDown) << "\n"
    << "CloseHotColor=" << Hex(t.capCloseHot) << "\n"
    << "SysIconSize=16\n"
    << "SysIconLeft=5\n\n"
    << "[SKINCONTROLS]\n"
    << "FontName=DejaVu Sans\n"
    << "FontSize=12\n"
    << "Radius=3\n";
  const std::pair<const char*, QColor> colours[] = {
      {"TextColor", t.text},
      {"DisabledTextColor", t.disabledText},
      {"SelectionBack", t.selBack},
      {"SelectionText", t.selText},
      {"EditBack", t.editBack},
      {"EditText", t.editText},
      {"EditBorder", t.editBorder},
      {"EditFocusBorder", t.editFocus},
      {"ButtonFace", t.buttonFace},
      {"ButtonFaceHot", t.buttonHot},
      {"ButtonFaceDown", t.buttonDown},
      {"ButtonText", t.buttonText},
      {"ButtonBorder", t.buttonBorder},
      {"ComboBack", t.editBack},
      {"ComboBorder", t.editBorder},
      {"ComboPopupBack", t.comboPopup},
      {"TabBack", t.tabBack},
      {"TabText", t.tabText},
      {"TabActiveBack", t.tabActive},
      {"TabActiveText", t.tabActiveText},
      {"TabHotBack", t.tabHot},
      {"TabBorder", t.tabBorder},
      {"TabPaneBack", t.tabPane},
      {"ScrollTrack", t.scrollTrack},
      {"ScrollHandle", t.scrollHandle},
      {"ScrollHandleHot", t.scrollHandleHot},
      {"MenuBack", t.menuBack},
      {"MenuText", t.menuText},
      {"MenuHighlight", t.menuHighlight},
      {"MenuHighlightText", t.menuHighlightText},
      {"MenuSeparator", t.menuSeparator},
      {"MenuBorder", t.menuBorder},
      {"TooltipBack", t.tipBack},
      {"TooltipText", t.tipText},
      {"TooltipBorder", t.tipBorder},
  };
  for (const auto& [key, colour] : colours) o << key << "=" << Hex(colour) << "\n";
  return s;
}

QString SkinExIni(const Theme& t) {
  QString s;
  QTextStream o(&s);
  o << "[formcfg]\n"
    << "FormMaxHeight=" << t.formMaxHeight << "\n"
    << "FormMinHeight=" << t.formMinHeight << "\n"
    << "FormWidth=" << t.formWidth << "\n\n"
    << "[somecolor]\n"
    << "Gaugecolor=" << WinColor(t.gauge) << "\n"
    << "GaugeBarcolor=" << WinColor(t.gaugeBar) << "\n"
    << "volcolor=" << WinColor(t.vol) << "\n"
    << "volBarcolor=" << WinColor(t.volBar) << "\n"
    << "Alphacolor=" << WinColor(t.alpha) << "\n"
    << "AlphaBarcolor=" << WinColor(t.alphaBar) << "\n"
    << "timelabel=" << WinColor(t.timeLabel) << "\n"
    << "titlex=" << WinColor(t.title) << "\n"
    << "titlexblur=" << WinColor(t.titleGlow) << "\n";
  return s;
}

// The pictures at the current art scale; at scale 2 each file is the plain
// one's twin, "name@2x.ext".
bool WritePictures(const Theme& t, const QString& dir, QString* error) {
  const int scale = ArtScale();
  auto file = [&](const QString& name) {
    if (scale == 1) return dir + name;
    const qsizetype dot = name.lastIndexOf('.');
    return dir + name.left(dot) + QString("@%1x").arg(scale) + name.mid(dot);
  };
  const QImage bar = DrawControlBar(t);
  bool ok = SavePng(bar, file("ControlBar.png"), error) &&
            SavePng(DrawLogoBack(t), file("LogoBack.png"), error) &&
            SavePng(DrawLogo(t), file("logo.png"), error) &&
            SavePng(DrawVolumeKnob(t), file("yuan.png"), error) &&
            SavePng(DrawAlphaKnob(t), file("yuan2.png"), error) &&
            SavePng(DrawSpeaker(t), file("laba.png"), error);
  for (const Button& b : kButtons) {
    if (!ok) break;
    QImage under(b.width * scale, b.height * scale, QImage::Format_ARGB32_Premultiplied);
    if (b.top < 100) {
      under = bar.copy((b.left - kBarLeft) * scale, (b.top - kBarTop) * scale, b.width * scale,
                       b.height * scale);
      // The strip itself lies on the window's background.
      QImage filled(under.size(), QImage::Format_ARGB32_Premultiplied);
      filled.fill(t.client);
      QPainter p(&filled);
      p.drawImage(0, 0, under);
      p.end();
      under = filled;
    } else {
      under.fill(t.client);
    }
    under.setDevicePixelRatio(scale);
    const QString name = QString::fromLatin1(b.name);
    ok = SaveBmp(DrawButtonFace(t, b.name, false, under), file(name + "up.bmp"), error) &&
         SaveBmp(DrawButtonFace(t, b.name, true, under), file(name + "hot.bmp"), error);
  }
  for (int i = 0; ok && i < 4; ++i) {
    ok = SaveBmp(DrawListBack(t, i), file(QString("Listback_%1.bmp").arg(i)), error);
  }
  return ok && SavePng(DrawCaptionBar(t), file("caption.png"), error) &&
         SavePng(DrawCaptionButtons(t), file("capbuttons.png"), error) &&
         SavePng(DrawCheck(t, false, false), file("check_off.png"), error) &&
         SavePng(DrawCheck(t, true, false), file("check_on.png"), error) &&
         SavePng(DrawCheck(t, false, true), file("check_off_hot.png"), error) &&
         SavePng(DrawCheck(t, true, true), file("check_on_hot.png"), error) &&
         SavePng(DrawArrow(t, false, t.scrollArrow), file("arrow_down.png"), error) &&
         SavePng(DrawArrow(t, true, t.scrollArrow), file("scroll_up.png"), error) &&
         SavePng(DrawArrow(t, false, t.scrollArrow), file("scroll_down.png"), error);
}

}  // namespace

bool WriteSkin(const Theme& t, const QString& dataDir, QString* error) {
  const QString dir = dataDir + "/" + t.folder + "/";
  if (!QDir().mkpath(dir)) {
    *error = "cannot create " + dir;
    return false;
  }
  bool ok = true;
  for (int scale : {1, 2}) {
    SetArtScale(scale);
    ok = ok && WritePictures(t, dir, error);
  }
  SetArtScale(1);
  return ok && SaveText(SkinIni(t), dir + "skin.ini", error) &&
         SaveText(SkinExIni(t), dir + "skinEx.ini", error);
}

bool WriteAppIcon(const QString& dataDir, QString* error) {
  return SavePng(DrawAppIcon(128), dataDir + "/lyrano.png", error);
}

bool WriteIconTheme(const QString& iconDir, QString* error) {
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString dir = QString("%1/%2x%2/apps").arg(iconDir).arg(size);
    if (!QDir().mkpath(dir)) {
      *error = "cannot create " + dir;
      return false;
    }
    if (!SavePng(DrawAppIcon(size), dir + "/lyrano.png", error)) return false;
  }
  return true;
}

}  // namespace skingen
