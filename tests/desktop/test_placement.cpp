// The window starts centred on the screen and stays within its available area.
#include <QGuiApplication>
#include <QScreen>

#include "DesktopFixture.h"
#include "skins/engine/SkinForm.h"

namespace {

using WindowPlace = desktoptest::DesktopTest;

TEST_F(WindowPlace, StartsCentredAndStaysOnScreenWhenItGrows) {
  Start();
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QRect window = Form().frameGeometry();
  EXPECT_LE(std::abs(window.center().x() - area.center().x()), 1) << window.x();
  EXPECT_LE(std::abs(window.center().y() - area.center().y()), 1) << window.y();

  // Dragged low and to the right, then expanded: the list area does not fall
  // off the screen.
  Form().move(area.right() - window.width() + 1, area.bottom() - window.height() + 1);
  Click("RzBmpButton5");
  window = Form().frameGeometry();
  EXPECT_EQ(window.height(), State().FormMaxHeight);
  EXPECT_TRUE(area.contains(window)) << window.y() << " " << window.height();
  EXPECT_EQ(window.right(), area.right());

  // Rolled up and moved down, rolling down keeps it inside too.
  Form().SkinForm()->SetRollUpState(true);
  Form().move(window.x(), area.bottom() - Form().height() + 1);
  Form().SkinForm()->SetRollUpState(false);
  EXPECT_TRUE(area.contains(Form().frameGeometry()));
}

}  // namespace
