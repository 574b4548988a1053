// The skin engine: skin.ini acceptance, style sheets, and the skinned window's
// caption bar, roll-up, opacity, system menu and minimise-to-tray.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <memory>

#include "skins/engine/SkinData.h"
#include "skins/engine/SkinForm.h"
#include "support/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

QString Q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

std::string SkinIni(int captionHeight, const std::string& extraPictures = "") {
  return "[VERSION]\r\nFormat=1\r\nName=Test\r\n"
         "[PICTURES]\r\n" +
         extraPictures + "[FORMINFO]\r\nCaptionHeight=" + std::to_string(captionHeight) +
         "\r\nFrameWidth=1\r\n"
         "[SKINOBJECTS]\r\nButtonWidth=18\r\nButtonHeight=16\r\n"
         "[SKINCONTROLS]\r\nEditBack=#102030\r\nMenuBack=#405060\r\n";
}

void WritePng(const std::filesystem::path& path, int w, int h, QColor color) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(color);
  ASSERT_TRUE(img.save(Q(path), "PNG"));
}

TEST(SkinData, AcceptsOnlyCompleteDescriptionsAndKeepsTheCurrentSkin) {
  TempDir dir;
  WriteFile(dir / "a.ini", SkinIni(28));
  WriteFile(dir / "b.ini", SkinIni(24));
  std::string partial = SkinIni(30);
  partial.replace(partial.find("[SKINCONTROLS]"), 14, "[CONTROLS]");
  WriteFile(dir / "partial.ini", partial);

  TspSkinData data;
  EXPECT_EQ(data.objectName(), "spSkinData1");
  EXPECT_TRUE(data.Empty());
  QSignalSpy changed(&data, &TspSkinData::SkinChanged);

  ASSERT_TRUE(data.LoadFromFile(Q(dir / "a.ini"))) << data.LastError().toStdString();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(data.CaptionHeight(), 28);
  EXPECT_TRUE(data.StyleSheet().contains("#102030"));

  // Rejected files leave everything as it was and say why.
  for (const char* bad : {"partial.ini", "missing.ini"}) {
    EXPECT_FALSE(data.LoadFromFile(Q(dir / bad))) << bad;
    EXPECT_FALSE(data.LastError().isEmpty());
    EXPECT_EQ(data.CaptionHeight(), 28);
    EXPECT_EQ(data.FileName(), Q(dir / "a.ini"));
  }
  EXPECT_TRUE(data.LastError().contains("SKINCONTROLS") || data.LastError().contains("missing"));
  EXPECT_EQ(changed.count(), 1);

  ASSERT_TRUE(data.LoadFromFile(Q(dir / "b.ini")));
  EXPECT_EQ(data.CaptionHeight(), 24);
  EXPECT_EQ(changed.count(), 2);
}

TEST(SkinData, CaptionHeightStaysWithinItsRange) {
  TempDir dir;
  TspSkinData data;
  for (auto [written, expected] : {std::pair{40, 32}, {5, 23}, {23, 23}, {32, 32}, {27, 27}}) {
    WriteFile(dir / "skin.ini", SkinIni(written));
    ASSERT_TRUE(data.LoadFromFile(Q(dir / "skin.ini")));
    EXPECT_EQ(data.CaptionHeight(), expected) << written;
  }
}

TEST(SkinData, PicturesFeedTheStyleSheetsAndMissingOnesFallBackToColours) {
  TempDir dir;
  WritePng(dir / "on.png", 13, 13, Qt::red);
  WritePng(dir / "off.png", 13, 13, Qt::gray);
  WritePng(dir / "bar.png", 60, 26, Qt::darkGray);
  WriteFile(dir / "broken.png", "not a picture");
  WriteFile(dir / "skin.ini", SkinIni(26,
                                      "CheckOn=on.png\r\nCheckOff=off.png\r\nCaptionBar=bar.png\r\n"
                                      "ComboArrow=broken.png\r\nScrollUp=gone.png\r\n"));
  TspSkinData data;
  ASSERT_TRUE(data.LoadFromFile(Q(dir / "skin.ini")));
  EXPECT_FALSE(data.CaptionBarPicture().isNull());
  EXPECT_TRUE(data.CaptionButtonsPicture().isNull());
  EXPECT_EQ(data.Warnings().size(), 2) << data.Warnings().join("; ").toStdString();

  const QString sheet = data.StyleSheet();
  EXPECT_TRUE(data.CheckBoxStyleSheet().contains(Q(dir / "on.png")));
  EXPECT_TRUE(data.CheckBoxStyleSheet().contains(Q(dir / "off.png")));
  EXPECT_FALSE(sheet.contains("broken.png"));
  EXPECT_FALSE(sheet.contains("gone.png"));
  for (const char* selector :
       {"QLineEdit", "QComboBox", "QCheckBox::indicator", "QPushButton", "QTabBar::tab",
        "QTabWidget::pane", "QScrollBar:vertical", "QMenu", "QMenu::item:selected", "QToolTip"}) {
    EXPECT_TRUE(sheet.contains(selector)) << selector;
  }
  // Qt accepts the sheet: a widget styled with it gets the skin's colours.
  QWidget host;
  data.ApplyTo(&host);
  auto* menu = new QMenu(&host);
  menu->addAction("x");
  menu->ensurePolished();
  EXPECT_EQ(menu->palette().color(QPalette::Window), QColor(0x40, 0x50, 0x60));
}

// A top-level window with the skinned form over it, as the main window uses it.
struct SkinnedWindow {
  explicit SkinnedWindow(int captionHeight = 26) {
    WriteFile(dir / "skin.ini", SkinIni(captionHeight));
    EXPECT_TRUE(data->LoadFromFile(Q(dir / "skin.ini")));
    form = std::make_unique<QWidget>();
    data->setParent(form.get());
    skinForm = new TspDynamicSkinForm(form.get(), data);
    skinForm->SetTrayAvailableCheck([this] { return trayAvailable; });
    form->setWindowTitle("Lyrano");
    skinForm->SetWindowSize(313, 188);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  template <typename T = QAbstractButton>
  T* Child(const char* name) {
    return form->findChild<T*>(name);
  }

  TempDir dir;
  TspSkinData* data = new TspSkinData;
  std::unique_ptr<QWidget> form;
  TspDynamicSkinForm* skinForm = nullptr;
  bool trayAvailable = true;
};

TEST(SkinForm, FramelessWindowWithCaptionBarAboveTheClientArea) {
  SkinnedWindow w(26);
  EXPECT_EQ(w.skinForm->objectName(), "spDynamicSkinForm1");
  EXPECT_TRUE(w.form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w.form->size(), QSize(313, 188));
  EXPECT_EQ(w.form->minimumSize(), w.form->maximumSize());  // fixed size
  QWidget* client = w.skinForm->ClientArea();
  EXPECT_EQ(client->mapTo(w.form.get(), QPoint(0, 0)), QPoint(1, 26));
  EXPECT_EQ(client->size(), QSize(311, 188 - 26 - 1));
  auto* caption = w.form->findChild<QWidget*>("spSkinCaption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->geometry(), QRect(0, 0, 313, 26));

  // A new skin with a taller bar keeps the window's height; the client area
  // shrinks.
  WriteFile(w.dir / "tall.ini", SkinIni(32));
  ASSERT_TRUE(w.data->LoadFromFile(Q(w.dir / "tall.ini")));
  EXPECT_EQ(w.form->height(), 188);
  EXPECT_EQ(client->mapTo(w.form.get(), QPoint(0, 0)).y(), 32);
  EXPECT_EQ(client->height(), 188 - 32 - 1);

  // The new skin's style sheet reaches the window's controls.
  std::string recoloured = SkinIni(32);
  recoloured.replace(recoloured.find("#102030"), 7, "#A0B0C0");
  WriteFile(w.dir / "recoloured.ini", recoloured);
  ASSERT_TRUE(w.data->LoadFromFile(Q(w.dir / "recoloured.ini")));
  EXPECT_TRUE(w.form->styleSheet().contains("#a0b0c0", Qt::CaseInsensitive));

  // Sizes are clamped: never shorter than the caption bar, never absurd.
  w.skinForm->SetWindowSize(-5, 3);
  EXPECT_EQ(w.form->size(), QSize(1, 32));
  w.skinForm->SetWindowSize(100000, 405);
  EXPECT_EQ(w.form->size(), QSize(4096, 405));
}

TEST(SkinForm, RollUpShrinksToTheCaptionBarAndBack) {
  SkinnedWindow w(26);
  QSignalSpy spy(w.skinForm, &TspDynamicSkinForm::RollUpChanged);
  auto* roll = w.Child("spRollUpButton");
  ASSERT_NE(roll, nullptr);
  EXPECT_FALSE(w.skinForm->RollUpState());

  QTest::mouseClick(roll, Qt::LeftButton);
  EXPECT_TRUE(w.skinForm->RollUpState());
  EXPECT_EQ(w.form->height(), 26);
  EXPECT_EQ(w.skinForm->WindowHeight(), 188);
  // The client area keeps its controls' state: it is clipped, not hidden.
  EXPECT_FALSE(w.skinForm->ClientArea()->isHidden());

  // Sizing while rolled up is kept for rolling down.
  w.skinForm->SetWindowHeight(405);
  EXPECT_EQ(w.form->height(), 26);
  QTest::mouseClick(roll, Qt::LeftButton);
  EXPECT_FALSE(w.skinForm->RollUpState());
  EXPECT_EQ(w.form->height(), 405);

  // Double-clicking the bar rolls up too; setting the same state twice is quiet.
  auto* caption = w.form->findChild<QWidget*>("spSkinCaption");
  QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(120, 10));
  EXPECT_TRUE(w.skinForm->RollUpState());
  w.skinForm->SetRollUpState(true);
  w.skinForm->SetRollUpState(false);
  EXPECT_EQ(w.form->height(), 405);
  EXPECT_EQ(spy.count(), 4);
}

TEST(SkinForm, DirectResizesAreTakenAsTheNewWindowSize) {
  SkinnedWindow w(26);
  w.form->setFixedSize(313, 405);
  EXPECT_EQ(w.skinForm->WindowSize(), QSize(313, 405));
  EXPECT_EQ(w.skinForm->ClientArea()->height(), 405 - 26 - 1);
  // Sizing a rolled-up window directly unrolls it, so the state never lies.
  w.skinForm->SetRollUpState(true);
  QSignalSpy spy(w.skinForm, &TspDynamicSkinForm::RollUpChanged);
  w.form->setFixedSize(313, 188);
  EXPECT_FALSE(w.skinForm->RollUpState());
  EXPECT_EQ(w.skinForm->WindowHeight(), 188);
  EXPECT_EQ(spy.count(), 1);
}

TEST(SkinForm, AlphaBlendValueSetsTheWindowOpacity) {
  SkinnedWindow w;
  // Qt's Wayland platform has no window opacity: the window stays opaque.
  const bool opaque = QGuiApplication::platformName().startsWith("wayland");
  EXPECT_EQ(w.skinForm->AlphaBlendValue(), 254);
  EXPECT_NEAR(w.form->windowOpacity(), opaque ? 1.0 : 254 / 255.0, 0.002);
  for (auto [set, expected] : {std::pair{100, 100}, {255, 255}, {178, 178}, {300, 255}, {-4, 0}}) {
    w.skinForm->setAlphaBlendValue(set);
    EXPECT_EQ(w.skinForm->AlphaBlendValue(), expected);
    EXPECT_NEAR(w.form->windowOpacity(), opaque ? 1.0 : expected / 255.0, 0.002) << set;
  }
}

TEST(SkinForm, SystemMenuGetsTheStandardItemsFirst) {
  SkinnedWindow w;
  QMenu menu;
  menu.addSeparator();
  menu.addAction(QStringLiteral("播放"));
  menu.addSeparator();
  menu.addAction(QStringLiteral("上一首"));
  w.skinForm->SetSystemMenu(&menu);
  const QList<QAction*> items = menu.actions();
  ASSERT_EQ(items.size(), 9);
  const QStringList expected{QStringLiteral("还原"), QStringLiteral("最小化"),
                             QStringLiteral("卷起"), QStringLiteral("最小化到托盘"),
                             QStringLiteral("关闭")};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(items[i]->text(), expected[i]);
  EXPECT_TRUE(items[5]->isSeparator());
  EXPECT_EQ(items[6]->text(), QStringLiteral("播放"));

  // The items act on the window.
  w.skinForm->RollUpAction()->trigger();
  EXPECT_TRUE(w.skinForm->RollUpState());
  EXPECT_EQ(w.form->height(), w.skinForm->CaptionHeight());
  w.skinForm->RestoreAction()->trigger();
  EXPECT_FALSE(w.skinForm->RollUpState());
  EXPECT_EQ(w.form->height(), 188);
  w.skinForm->MinimizeToTrayAction()->trigger();
  EXPECT_TRUE(w.form->isHidden());
  w.skinForm->RestoreAction()->trigger();
  EXPECT_TRUE(w.form->isVisible());
  w.skinForm->CloseAction()->trigger();
  EXPECT_FALSE(w.form->isVisible());
}

TEST(SkinForm, MinimiseGoesToTheTrayOrTheTaskBarWithoutOne) {
  SkinnedWindow w;
  QSignalSpy toTray(w.skinForm, &TspDynamicSkinForm::MinimizedToTray);
  auto* minimise = w.Child("spMinimizeButton");
  ASSERT_NE(minimise, nullptr);
  QTest::mouseClick(minimise, Qt::LeftButton);
  EXPECT_TRUE(w.form->isHidden());
  EXPECT_EQ(toTray.count(), 1);
  w.skinForm->Restore();
  EXPECT_TRUE(w.form->isVisible());

  // Without a tray the window must stay reachable.
  w.trayAvailable = false;
  QTest::mouseClick(minimise, Qt::LeftButton);
  EXPECT_FALSE(w.form->isHidden());
  EXPECT_TRUE(w.form->isMinimized());
  EXPECT_EQ(toTray.count(), 1);
  w.skinForm->Restore();
  EXPECT_FALSE(w.form->isMinimized());

  // Minimised from outside (window manager, keyboard): also to the tray.
  w.trayAvailable = true;
  w.form->setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.form->isHidden());
  EXPECT_FALSE(w.form->isMinimized());
  EXPECT_EQ(toTray.count(), 2);
}

TEST(SkinForm, TrayIconAndCaption) {
  SkinnedWindow w;
  QSystemTrayIcon* tray = w.skinForm->TrayIcon();
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->objectName(), "spTrayIcon1");
  // The window's icon becomes the tray's until the window sets one.
  QPixmap px(16, 16);
  px.fill(Qt::red);
  w.form->setWindowIcon(QIcon(px));
  EXPECT_FALSE(tray->icon().isNull());

  // The caption shows the window title: a different title paints differently.
  auto* caption = w.form->findChild<QWidget*>("spSkinCaption");
  const QImage before = caption->grab().toImage();
  w.form->setWindowTitle("A much longer caption text");
  const QImage after = caption->grab().toImage();
  EXPECT_NE(before, after);
}

TEST(SkinForm, DraggingTheCaptionMovesTheWindow) {
  SkinnedWindow w;
  auto* caption = w.form->findChild<QWidget*>("spSkinCaption");
  w.form->move(100, 100);
  const QPoint start = w.form->pos();
  const QPoint local(60, 10);
  const QPoint global = caption->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(caption, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPoint(30, 20), global + QPoint(30, 20), Qt::NoButton,
                   Qt::LeftButton, {});
  QApplication::sendEvent(caption, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(30, 20), global + QPoint(30, 20),
                      Qt::LeftButton, Qt::NoButton, {});
  QApplication::sendEvent(caption, &release);
  EXPECT_EQ(w.form->pos(), start + QPoint(30, 20));
}

TEST(SkinForm, StayOnTopKeepsTheWindowFrameless) {
  SkinnedWindow w;
  w.skinForm->SetStayOnTop(true);
  EXPECT_TRUE(w.skinForm->StayOnTop());
  EXPECT_TRUE(w.form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w.form->isVisible());
  w.skinForm->SetStayOnTop(false);
  EXPECT_FALSE(w.skinForm->StayOnTop());
  EXPECT_TRUE(w.form->isVisible());
}

}  // namespace
