// Skins in the window: the skinned frame, the catalogue in the combo box, the
// layout file, pictures and bitmaps; the two heights and the transparency.
#include <QComboBox>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <system_error>

#include "common/IniFile.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "main/controls/FlatGauge.h"
#include "main/controls/GlowLabel.h"
#include "main/controls/RzBmpButton.h"
#include "main/controls/SkinImage.h"
#include "playback/GaugeDrag.h"
#include "skins/SkinCatalogue.h"
#include "skins/SkinLayout.h"
#include "skins/WindowHeight.h"
#include "skins/engine/PictureReader.h"
#include "skins/engine/SkinData.h"
#include "skins/engine/SkinForm.h"
#include "skins/engine/SkinPicture.h"

namespace {

QColor Colour(int32_t windowsColour) {
  return TspSkinData::ToColor(skins::ColorToRgb(windowsColour));
}

// A picture of the skin folder; a missing, unreadable or undecodable file
// raises the error that ends the skin's application at that file.
QImage LoadPicture(const std::string& path) {
  skins::TPictureRead picture = skins::ReadSkinPicture(ui::FromAnsi(path));
  switch (picture.Status) {
    case skins::TPictureStatus::Ok:
      return picture.Image;
    case skins::TPictureStatus::Missing:
      throw lyrano::FileError("Cannot open file \"" + path + "\". No such file or readable file");
    case skins::TPictureStatus::Unreadable:
      throw lyrano::FileError("Cannot open file \"" + path + "\". " + ui::ToAnsi(picture.Why));
    case skins::TPictureStatus::Undecodable:
      break;
  }
  throw lyrano::Error("Invalid picture \"" + path + "\": the image " + ui::ToAnsi(picture.Why));
}

}  // namespace

void TForm1::CreateSkinForm() {
  spSkinData1 = new TspSkinData(this);
  spDynamicSkinForm1 = new TspDynamicSkinForm(this, spSkinData1);
  ClientArea = spDynamicSkinForm1->ClientArea();
}

void TForm1::SetUpTray() {
  spDynamicSkinForm1->SetSystemMenu(spSkinPopupMenu3);
  // The tray icon itself comes after the first frame.
  connect(spDynamicSkinForm1, &TspDynamicSkinForm::TrayCreated, this,
          [this](QSystemTrayIcon* tray) { SetUpTrayIcon(tray); });
  // The tray menu has no parent window to inherit the skin from.
  spSkinData1->ApplyTo(spSkinPopupMenu4);
  connect(spSkinData1, &TspSkinData::SkinChanged, this,
          [this] { spSkinData1->ApplyTo(spSkinPopupMenu4); });
  spDynamicSkinForm1->setAlphaBlendValue(254);
  spTrayIcon1Cycle();
}

void TForm1::SetUpTrayIcon(QSystemTrayIcon* tray) {
  tray->setToolTip(ui::Text("Lyrano 有你更倾听!"));
  tray->setContextMenu(spSkinPopupMenu4);
  connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) spTrayIcon1Click();
  });
  if (!windowIcon().isNull()) tray->setIcon(windowIcon());
}

void TForm1::spTrayIcon1Cycle() {
  // Read like the skin's pictures: a FIFO or a huge file must not stall the window.
  skins::TPictureRead picture =
      skins::ReadSkinPicture(ui::FromAnsi(state_.AppDir + "data/lyrano.png"));
  QIcon icon = picture.Status == skins::TPictureStatus::Ok
                   ? QIcon(QPixmap::fromImage(picture.Image))
                   : QIcon();
  // The tray takes the window's icon when it is made.
  if (!icon.isNull()) setWindowIcon(icon);
}

bool TForm1::RollUpState() const {
  return spDynamicSkinForm1->RollUpState();
}

void TForm1::SetWindowWidth(int width) {
  spDynamicSkinForm1->SetWindowSize(width, spDynamicSkinForm1->WindowHeight());
  KeepOnScreen();
}

void TForm1::SetWindowHeight(int height) {
  spDynamicSkinForm1->SetWindowHeight(height);
  KeepOnScreen();
}

void TForm1::ExpandWindow() {
  SetWindowHeight(state_.FormMaxHeight);
}

void TForm1::CollapseWindow() {
  SetWindowHeight(state_.FormMinHeight);
}

void TForm1::ToggleWindowHeight() {
  int height = winheight::Toggled(spDynamicSkinForm1->WindowHeight(), state_.FormMinHeight,
                                  state_.FormMaxHeight);
  if (height == state_.FormMaxHeight) {
    ExpandWindow();
  } else {
    CollapseWindow();
  }
}

void TForm1::SetAlphaFromCursor() {
  auto d =
      gauge::GaugeFromCursor(QCursor::pos().x(), frameGeometry().x(), FlatAlphaGauge2->x(),
                             FlatAlphaGauge2->width(), FlatAlphaGauge2->MaxValue(), yuan2->width());
  yuan2->move(d.KnobLeft, yuan2->y());
  FlatAlphaGauge2->SetPosition(d.Position);
  spDynamicSkinForm1->setAlphaBlendValue(gauge::AlphaFromGauge(FlatAlphaGauge2->Position()));
}

std::string TForm1::SkinFile(const std::string& skin, const std::string& fileName) const {
  return skins::SkinFile(state_.AppDir, skin, fileName);
}

void TForm1::ListSkins() {
  auto list = skins::ListSkins(state_.AppDir, state_.CurrentSkin);
  if (!list) return;
  // Filling the box must not count as the user's choice.
  QSignalBlocker block(spSkinComboBox1);
  for (const std::string& name : list->Names) spSkinComboBox1->addItem(ui::FromAnsi(name));
  spSkinComboBox1->setCurrentIndex(-1);
  state_.SkinIndex = list->SkinIndex;
}

void TForm1::spSkinComboBox1Change() {
  if (spSkinComboBox1->currentIndex() < 0 || !MainIni) return;
  std::string name = ui::ToAnsi(spSkinComboBox1->currentText());
  if (name == state_.CurrentSkin) return;
  MainIni->WriteString(skins::kSkinSection, skins::kSkinKey, name);
  state_.CurrentSkin = name;
  LoadSkinDescription();
  ApplySkinLayout(state_.CurrentSkin);
  SetWindowWidth(state_.FormWidth);
  ExpandWindow();
  // The panels exist from start-up step 12 on; the selection of step 9 never
  // gets here, since it selects the current skin.
  if (playlistBox_) playlistBox_->RepaintItems();
  if (searchBox_) searchBox_->RepaintItems();
}

void TForm1::LoadSkinDescription() {
  // A description the engine refuses leaves the previous skin in place.
  spSkinData1->LoadFromFile(
      QString::fromStdString(cp::AnsiToPath(SkinFile(state_.CurrentSkin, "skin.ini")).string()));
}

void TForm1::ApplySkinLayout(const std::string& skin) {
  skins::TSkinLayout l =
      skins::ReadSkinLayout(cp::AnsiToPath(SkinFile(skin, std::string(skins::kSkinLayoutFile))));
  state_.FormMaxHeight = l.FormMaxHeight;
  state_.FormMinHeight = l.FormMinHeight;
  state_.FormWidth = l.FormWidth;

  FlatGauge1->SetColors(Colour(l.Gaugecolor), Colour(l.Gaugecolor), Colour(l.GaugeBarcolor));
  // The other gauges take their border from the progress gauge's colour.
  FlatVolGauge2->SetColors(Colour(l.volcolor), FlatGauge1->Color(), Colour(l.volBarcolor));
  FlatAlphaGauge2->SetColors(Colour(l.Alphacolor), FlatGauge1->Color(), Colour(l.AlphaBarcolor));
  // The time label keeps its own colour whatever the skin engine's labels use.
  spSkinLabel1->setStyleSheet(QStringLiteral("color: %1;").arg(Colour(l.timelabel).name()));
  seXLabel1->SetFontColor(Colour(l.titlex));
  seXLabel1->SetBlurColor(Colour(l.titlexblur));

  LoadSkinImage(ControlBar, "ControlBar.png");
  LoadSkinImage(LogoBack, "LogoBack.png");
  LoadSkinImage(logo, "logo.png");
  LoadSkinImage(yuan, "yuan.png");
  LoadSkinImage(yuan2, "yuan2.png");
  LoadSkinImage(laba, "laba.png");

  LoadButtonImages(RzBmpButton1, "next");
  LoadButtonImages(RzBmpButton2, "prev");
  LoadButtonImages(RzBmpButton3, "push");
  LoadButtonImages(RzBmpButton4, "play");
  LoadButtonImages(RzBmpButton5, "list");
  LoadButtonImages(RzBmpButton6, "so");

  LoadListBackBitmaps(state_.CurrentSkin);
}

void TForm1::LoadSkinImage(TSkinImage* image, const std::string& fileName) {
  image->SetPicture(QPixmap::fromImage(LoadPicture(SkinFile(state_.CurrentSkin, fileName))));
}

void TForm1::LoadButtonImages(TRzBmpButton* button, const std::string& name) {
  QImage up = LoadPicture(SkinFile(state_.CurrentSkin, name + "up.bmp"));
  button->SetUp(up);
  // A pressed button looks like a released one.
  button->SetDown(up);
  button->SetHot(LoadPicture(SkinFile(state_.CurrentSkin, name + "hot.bmp")));
}

void TForm1::LoadListBackBitmaps(const std::string& skin) {
  for (const auto& file : skins::kListBackFiles) {
    QPixmap bitmap = QPixmap::fromImage(LoadPicture(SkinFile(skin, std::string(file.File))));
    switch (file.Index) {
      case 0:
        listBack_.ListBack0 = bitmap;
        break;
      case 1:
        listBack_.ListBack1 = bitmap;
        break;
      case 2:
        listBack_.ListBack2 = bitmap;
        break;
      default:
        listBack_.ListBack3 = bitmap;
        break;
    }
  }
}
