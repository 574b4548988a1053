// The skinned window on a real display server, run by ctest inside a headless
// Wayland compositor twice (tests/support/under-weston.sh): natively and
// through XWayland. Under the offscreen platform these tests skip.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "main/TaskbarEntry.h"
#include "skins/engine/SkinData.h"
#include "skins/engine/SkinForm.h"
#include "support/TestSupport.h"

namespace {

bool Native() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
bool OnDisplayServer() {
  return Native() || QGuiApplication::platformName() == QLatin1String("xcb");
}

// What Qt reports (warnings, criticals) while the test runs.
QStringList g_messages;
void Collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtDebugMsg && type != QtInfoMsg) g_messages << text;
}

struct CompositorWindow {
  CompositorWindow() {
    g_messages.clear();
    previous = qInstallMessageHandler(Collect);
    testsupport::WriteFile(dir / "skin.ini",
                           "[VERSION]\r\nFormat=1\r\nName=Test\r\n[PICTURES]\r\n"
                           "[FORMINFO]\r\nCaptionHeight=26\r\nFrameWidth=1\r\n"
                           "[SKINOBJECTS]\r\nButtonWidth=18\r\nButtonHeight=16\r\n"
                           "[SKINCONTROLS]\r\n");
    form = std::make_unique<QWidget>();
    auto* data = new TspSkinData(form.get());
    EXPECT_TRUE(data->LoadFromFile(QString::fromStdString((dir / "skin.ini").string())));
    skinForm = new TspDynamicSkinForm(form.get(), data);
    skinForm->SetSystemMenu(&menu);
    form->setWindowTitle("Lyrano");
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    form->setWindowIcon(QIcon(icon));
    skinForm->SetWindowSize(313, 188);
    form->show();
  }
  ~CompositorWindow() { qInstallMessageHandler(previous); }
  QAbstractButton* Button(const char* name) { return form->findChild<QAbstractButton*>(name); }

  testsupport::TempDir dir;
  QMenu menu;
  std::unique_ptr<QWidget> form;
  TspDynamicSkinForm* skinForm = nullptr;
  QtMessageHandler previous = nullptr;
};

TEST(OnCompositor, WindowShowsRollsUpAndDegradesQuietly) {
  if (!OnDisplayServer()) GTEST_SKIP() << "needs a display server (ctest runs it under weston)";
  CompositorWindow w;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  QWindow* handle = w.form->windowHandle();
  ASSERT_NE(handle, nullptr);

  // Roll-up, then back: the compositor gets the new sizes.
  QTest::mouseClick(w.Button("spRollUpButton"), Qt::LeftButton);
  EXPECT_TRUE(w.skinForm->RollUpState());
  EXPECT_EQ(handle->height(), 26);
  w.skinForm->SetWindowHeight(405);  // expand while rolled up
  QTest::mouseClick(w.Button("spRollUpButton"), Qt::LeftButton);
  EXPECT_EQ(handle->height(), 405);
  w.skinForm->SetWindowHeight(188);  // collapse
  EXPECT_EQ(handle->height(), 188);
  QTest::qWait(100);
  EXPECT_TRUE(handle->isExposed());

  // Transparency and staying on top: where the compositor offers neither, they
  // do nothing, quietly, and the window stays.
  w.skinForm->setAlphaBlendValue(100);
  w.skinForm->SetStayOnTop(true);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  w.skinForm->SetStayOnTop(false);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  EXPECT_TRUE(w.form->windowFlags() & Qt::FramelessWindowHint);

  // The taskbar entry is an X11 window-manager state: asked for through
  // XWayland (whether the compositor keeps it is its own affair), skipped
  // natively.
  EXPECT_EQ(taskbar::SetSkipTaskbar(w.form.get(), true), !Native());
  if (Native()) {
    EXPECT_FALSE(taskbar::HasSkipTaskbar(w.form.get()));
  }
  taskbar::SetSkipTaskbar(w.form.get(), false);

  QTest::qWait(200);  // the tray comes after the first frame
  EXPECT_TRUE(g_messages.isEmpty()) << g_messages.join("\n").toStdString();
}

TEST(OnCompositor, NativeWindowNeverTouchesX11) {
  if (!Native()) GTEST_SKIP() << "needs Qt's Wayland platform (ctest runs it under weston)";
  CompositorWindow w;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  w.skinForm->SetStayOnTop(true);
  taskbar::SetSkipTaskbar(w.form.get(), true);
  QTest::qWait(200);
  // Qt's X11 platform code is never loaded, although an X display is there.
  ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"));
  const std::string maps = testsupport::ReadFile("/proc/self/maps");
  EXPECT_EQ(maps.find("XcbQpa"), std::string::npos);
  EXPECT_EQ(maps.find("libqxcb"), std::string::npos);
}

TEST(OnCompositor, WithoutATrayTheWindowStaysReachable) {
  if (!OnDisplayServer()) GTEST_SKIP() << "needs a display server (ctest runs it under weston)";
  if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this desktop has a tray";
  CompositorWindow w;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  QTest::qWait(200);
  // Natively a tray exists only as a StatusNotifier host: none is made
  // without one (Qt's fallback is X11's tray, which only complains there).
  if (Native()) {
    EXPECT_EQ(w.form->findChild<QSystemTrayIcon*>(), nullptr);
  }
  EXPECT_FALSE(w.skinForm->MinimizeToTrayAction()->isEnabled());
  QTest::mouseClick(w.Button("spMinimizeButton"), Qt::LeftButton);
  EXPECT_FALSE(w.form->isHidden());  // minimised, for the desktop to give back
  w.skinForm->Restore();
  EXPECT_TRUE(w.form->isVisible());
  EXPECT_TRUE(g_messages.isEmpty()) << g_messages.join("\n").toStdString();
}

}  // namespace
