#include "skins/engine/SkinData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <filesystem>

#include "common/codepage.h"
#include "skins/engine/SkinPicture.h"

namespace {

QString FromAnsi(const std::string& s) {
  return QString::fromStdString(cp::AnsiToUtf8(s));
}

QString Css(const skins::TRgb& c) {
  return QStringLiteral("#%1%2%3")
      .arg(c.r, 2, 16, QLatin1Char('0'))
      .arg(c.g, 2, 16, QLatin1Char('0'))
      .arg(c.b, 2, 16, QLatin1Char('0'));
}

QString Css(const QColor& c) {
  return c.name(QColor::HexRgb);
}

// Characters that would end a quoted style sheet value or a rule.
QString CssSafe(QString s) {
  s.remove(QLatin1Char('"'));
  s.remove(QLatin1Char('\\'));
  s.remove(QLatin1Char(';'));
  s.remove(QLatin1Char('{'));
  s.remove(QLatin1Char('}'));
  return s;
}

}  // namespace

TspSkinData::TspSkinData(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("spSkinData1"));
}

bool TspSkinData::LoadFromFile(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  skins::TSkinReadResult read =
      skins::ReadSkinDescription(std::filesystem::path(native.toStdString()));
  if (!read.Skin) {
    lastError_ = QString::fromStdString(read.Error);
    return false;
  }

  const QFileInfo info(path);
  const QString folder = info.absolutePath() + QLatin1Char('/');
  QStringList warnings;
  for (const auto& w : read.Warnings) warnings << FromAnsi(w);

  auto load = [&](const std::string& name, QPixmap* out, QString* absolute) {
    if (name.empty()) return;
    const QString file = folder + FromAnsi(name);
    skins::TPictureRead picture =
        ratio_ > 0 ? skins::ReadSkinPicture(file, ratio_) : skins::ReadSkinPicture(file);
    if (picture.Status != skins::TPictureStatus::Ok) {
      warnings
          << QStringLiteral("Picture %1 %2; drawn with colours").arg(FromAnsi(name), picture.Why);
      return;
    }
    if (out) *out = QPixmap::fromImage(picture.Image);
    if (absolute) *absolute = file;
  };

  const skins::TSkinPictures& p = read.Skin->Pictures;
  QPixmap captionBar;
  QPixmap captionButtons;
  load(p.CaptionBar, &captionBar, nullptr);
  load(p.CaptionButtons, &captionButtons, nullptr);
  QStringList good;
  for (const std::string* name : {&p.CheckOff, &p.CheckOn, &p.CheckOffHot, &p.CheckOnHot,
                                  &p.ComboArrow, &p.ScrollUp, &p.ScrollDown}) {
    QString absolute;
    load(*name, nullptr, &absolute);
    if (!absolute.isEmpty()) good << absolute;
  }

  desc_ = std::move(*read.Skin);
  fileName_ = info.absoluteFilePath();
  folder_ = folder;
  lastError_.clear();
  warnings_ = warnings;
  captionBar_ = captionBar;
  captionButtons_ = captionButtons;
  goodPictures_ = good;
  emit SkinChanged();
  return true;
}

QString TspSkinData::PictureUrl(const std::string& name) const {
  if (name.empty()) return {};
  const QString file = folder_ + FromAnsi(name);
  if (!goodPictures_.contains(file)) return {};
  QString quoted = file;
  quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
  return QStringLiteral("url(\"%1\")").arg(quoted);
}

QFont TspSkinData::CaptionFont() const {
  QFont f;
  f.setFamilies({FromAnsi(desc_.FormInfo.CaptionFontName), QStringLiteral("WenQuanYi Micro Hei")});
  f.setPixelSize(desc_.FormInfo.CaptionFontSize);
  f.setBold(desc_.FormInfo.CaptionFontBold);
  return f;
}

QFont TspSkinData::ControlFont() const {
  QFont f;
  f.setFamilies({FromAnsi(desc_.Controls.FontName), QStringLiteral("WenQuanYi Micro Hei")});
  f.setPixelSize(desc_.Controls.FontSize);
  return f;
}

QString TspSkinData::EditStyleSheet() const {
  const auto& c = desc_.Controls;
  return QStringLiteral(
             "QLineEdit { background: %1; color: %2; border: 1px solid %3; border-radius: %4px;"
             " padding: 0px 3px; selection-background-color: %5; selection-color: %6; }\n"
             "QLineEdit:focus { border-color: %7; }\n"
             "QLineEdit:disabled { color: %8; }\n"
             "QLineEdit:read-only { background: %9; }\n")
      .arg(Css(c.EditBack), Css(c.EditText), Css(c.EditBorder), QString::number(c.Radius),
           Css(c.SelectionBack), Css(c.SelectionText), Css(c.EditFocusBorder),
           Css(c.DisabledTextColor), Css(c.TabPaneBack));
}

QString TspSkinData::ComboBoxStyleSheet() const {
  const auto& c = desc_.Controls;
  QString s =
      QStringLiteral(
          "QComboBox { background: %1; color: %2; border: 1px solid %3; border-radius: %4px;"
          " padding: 1px 18px 1px 4px; }\n"
          "QComboBox:hover, QComboBox:focus { border-color: %5; }\n"
          "QComboBox:disabled { color: %6; }\n"
          "QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top right;"
          " width: 16px; border-left: 1px solid %3; }\n"
          "QComboBox QAbstractItemView { background: %7; color: %2; border: 1px solid %3;"
          " selection-background-color: %8; selection-color: %9; outline: 0px; }\n")
          .arg(Css(c.ComboBack), Css(c.TextColor), Css(c.ComboBorder), QString::number(c.Radius),
               Css(c.EditFocusBorder), Css(c.DisabledTextColor), Css(c.ComboPopupBack),
               Css(c.SelectionBack), Css(c.SelectionText));
  const QString arrow = PictureUrl(desc_.Pictures.ComboArrow);
  if (!arrow.isEmpty()) s += QStringLiteral("QComboBox::down-arrow { image: %1; }\n").arg(arrow);
  return s;
}

QString TspSkinData::CheckBoxStyleSheet() const {
  const auto& c = desc_.Controls;
  const auto& p = desc_.Pictures;
  QString s = QStringLiteral(
                  "QCheckBox { color: %1; spacing: 4px; background: transparent; }\n"
                  "QCheckBox:disabled { color: %2; }\n")
                  .arg(Css(c.TextColor), Css(c.DisabledTextColor));
  const QString off = PictureUrl(p.CheckOff);
  const QString on = PictureUrl(p.CheckOn);
  if (!off.isEmpty() && !on.isEmpty()) {
    const QString offHot = PictureUrl(p.CheckOffHot);
    const QString onHot = PictureUrl(p.CheckOnHot);
    s += QStringLiteral(
             "QCheckBox::indicator { width: 13px; height: 13px; }\n"
             "QCheckBox::indicator:unchecked { image: %1; }\n"
             "QCheckBox::indicator:checked { image: %2; }\n")
             .arg(off, on);
    if (!offHot.isEmpty()) {
      s += QStringLiteral("QCheckBox::indicator:unchecked:hover { image: %1; }\n").arg(offHot);
    }
    if (!onHot.isEmpty()) {
      s += QStringLiteral("QCheckBox::indicator:checked:hover { image: %1; }\n").arg(onHot);
    }
  } else {
    s += QStringLiteral(
             "QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid %1;"
             " background: %2; border-radius: 2px; }\n"
             "QCheckBox::indicator:hover { border-color: %3; }\n"
             "QCheckBox::indicator:checked { background: %3; }\n")
             .arg(Css(c.EditBorder), Css(c.EditBack), Css(c.SelectionBack));
  }
  return s;
}

QString TspSkinData::ButtonStyleSheet() const {
  const auto& c = desc_.Controls;
  const QColor face = ToColor(c.ButtonFace);
  const QColor hot = ToColor(c.ButtonFaceHot);
  return QStringLiteral(
             "QPushButton { color: %1; border: 1px solid %2; border-radius: %3px; padding: 2px 8px;"
             " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %4, stop:1 %5); }\n"
             "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
             " stop:0 %6, stop:1 %7); }\n"
             "QPushButton:pressed { background: %8; }\n"
             "QPushButton:disabled { color: %9; }\n")
      .arg(Css(c.ButtonText), Css(c.ButtonBorder), QString::number(c.Radius),
           Css(face.lighter(115)), Css(face), Css(hot.lighter(115)), Css(hot),
           Css(c.ButtonFaceDown), Css(c.DisabledTextColor));
}

QString TspSkinData::TabStyleSheet() const {
  const auto& c = desc_.Controls;
  return QStringLiteral(
             "QTabWidget::pane { background: %1; border: 1px solid %2; top: -1px; }\n"
             "QTabWidget::tab-bar { left: 2px; }\n"
             "QTabBar::tab { background: %3; color: %4; border: 1px solid %2; border-bottom: none;"
             " padding: 3px 9px; margin-right: 1px; border-top-left-radius: 3px;"
             " border-top-right-radius: 3px; }\n"
             "QTabBar::tab:hover:!selected { background: %5; }\n"
             "QTabBar::tab:selected { background: %6; color: %7; }\n"
             "QTabBar::tab:!selected { margin-top: 2px; }\n")
      .arg(Css(c.TabPaneBack), Css(c.TabBorder), Css(c.TabBack), Css(c.TabText), Css(c.TabHotBack),
           Css(c.TabActiveBack), Css(c.TabActiveText));
}

QString TspSkinData::ScrollBarStyleSheet() const {
  const auto& c = desc_.Controls;
  QString s =
      QStringLiteral(
          "QScrollBar:vertical { background: %1; border: none; margin: 14px 0px 14px 0px; }\n"
          "QScrollBar::handle:vertical { background: %2; min-height: 18px;"
          " border-radius: 3px; margin: 1px 4px; }\n"
          "QScrollBar::handle:vertical:hover { background: %3; }\n"
          "QScrollBar::sub-line:vertical { subcontrol-origin: margin;"
          " subcontrol-position: top; height: 14px; background: %1; border: none; }\n"
          "QScrollBar::add-line:vertical { subcontrol-origin: margin;"
          " subcontrol-position: bottom; height: 14px; background: %1; border: none; }\n"
          "QScrollBar:horizontal { background: %1; border: none; margin: 0px; }\n"
          "QScrollBar::handle:horizontal { background: %2; min-width: 18px;"
          " border-radius: 3px; margin: 4px 1px; }\n"
          "QScrollBar::handle:horizontal:hover { background: %3; }\n"
          "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal"
          " { width: 0px; border: none; }\n"
          "QScrollBar::add-page, QScrollBar::sub-page { background: none; }\n")
          .arg(Css(c.ScrollTrack), Css(c.ScrollHandle), Css(c.ScrollHandleHot));
  const QString up = PictureUrl(desc_.Pictures.ScrollUp);
  const QString down = PictureUrl(desc_.Pictures.ScrollDown);
  if (!up.isEmpty()) s += QStringLiteral("QScrollBar::up-arrow:vertical { image: %1; }\n").arg(up);
  if (!down.isEmpty()) {
    s += QStringLiteral("QScrollBar::down-arrow:vertical { image: %1; }\n").arg(down);
  }
  return s;
}

QString TspSkinData::MenuStyleSheet() const {
  const auto& c = desc_.Controls;
  return QStringLiteral(
             "QMenu { background: %1; color: %2; border: 1px solid %3; padding: 3px 0px; }\n"
             "QMenu::item { padding: 4px 22px 4px 24px; background: transparent; }\n"
             "QMenu::item:selected { background: %4; color: %5; }\n"
             "QMenu::item:disabled { color: %6; }\n"
             "QMenu::separator { height: 1px; background: %7; margin: 3px 8px; }\n"
             "QMenu::indicator { width: 12px; height: 12px; left: 6px; }\n")
      .arg(Css(c.MenuBack), Css(c.MenuText), Css(c.MenuBorder), Css(c.MenuHighlight),
           Css(c.MenuHighlightText), Css(c.DisabledTextColor), Css(c.MenuSeparator));
}

QString TspSkinData::ToolTipStyleSheet() const {
  const auto& c = desc_.Controls;
  return QStringLiteral(
             "QToolTip { background: %1; color: %2; border: 1px solid %3; padding: 2px; }\n")
      .arg(Css(c.TooltipBack), Css(c.TooltipText), Css(c.TooltipBorder));
}

QString TspSkinData::StyleSheet() const {
  const QString font = CssSafe(FromAnsi(desc_.Controls.FontName));
  // Font for the rules above; the family list falls back to a CJK font.
  QString s = QStringLiteral(
                  "QLineEdit, QComboBox, QCheckBox, QPushButton, QTabBar, QMenu, QToolTip"
                  " { font-family: \"%1\", \"WenQuanYi Micro Hei\"; font-size: %2px; }\n")
                  .arg(font)
                  .arg(desc_.Controls.FontSize);
  return s + EditStyleSheet() + ComboBoxStyleSheet() + CheckBoxStyleSheet() + ButtonStyleSheet() +
         TabStyleSheet() + ScrollBarStyleSheet() + MenuStyleSheet() + ToolTipStyleSheet();
}

QPalette TspSkinData::Palette() const {
  const auto& c = desc_.Controls;
  QPalette pal;
  pal.setColor(QPalette::Window, ToColor(desc_.FormInfo.ClientColor));
  pal.setColor(QPalette::WindowText, ToColor(c.TextColor));
  pal.setColor(QPalette::Base, ToColor(c.EditBack));
  pal.setColor(QPalette::AlternateBase, ToColor(c.TabPaneBack));
  pal.setColor(QPalette::Text, ToColor(c.EditText));
  pal.setColor(QPalette::Button, ToColor(c.ButtonFace));
  pal.setColor(QPalette::ButtonText, ToColor(c.ButtonText));
  pal.setColor(QPalette::Highlight, ToColor(c.SelectionBack));
  pal.setColor(QPalette::HighlightedText, ToColor(c.SelectionText));
  pal.setColor(QPalette::ToolTipBase, ToColor(c.TooltipBack));
  pal.setColor(QPalette::ToolTipText, ToColor(c.TooltipText));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    pal.setColor(QPalette::Disabled, role, ToColor(c.DisabledTextColor));
  }
  return pal;
}

void TspSkinData::ApplyTo(QWidget* widget) const {
  if (!widget) return;
  widget->setPalette(Palette());
  widget->setFont(ControlFont());
  widget->setStyleSheet(StyleSheet());
}
