// The tray menu's commands act the same whether the window is shown,
// minimised, rolled up or hidden in the tray, and on restore only the right one
// of the play and pause buttons shows.
#include <QAction>
#include <algorithm>

#include "DesktopFixture.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;

namespace {

class HiddenCommands : public desktoptest::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    for (const char* t : {"A", "B", "C"})
      rows.push_back(Tone(std::string(t) + ".mp3", 30.0, std::string("Row ") + t));
    WritePlaylist({{"Row A", "", 0, cp::PathToAnsi(rows[0])},
                   {"Row B", "", 0, cp::PathToAnsi(rows[1])},
                   {"Row C", "", 0, cp::PathToAnsi(rows[2])}});
  }
  DWORD Activity() { return BASS_ChannelIsActive(Player().Stream()); }
  bool PauseShown() { return !Child<QWidget>("RzBmpButton3")->isHidden(); }
  bool PlayShown() { return !Child<QWidget>("RzBmpButton4")->isHidden(); }
  std::vector<fs::path> rows;
};

TEST_F(HiddenCommands, TrayPlayPauseNextAndPreviousInEveryWindowState) {
  Start();
  ASSERT_TRUE(WaitReady());
  TspDynamicSkinForm* skin = Form().SkinForm();
  struct Case {
    const char* name;
    std::function<void()> enter, leave;
  };
  const std::vector<Case> cases = {
      {"tray",
       [&] {
         skin->SetTrayAvailableCheck([] { return true; });
         skin->Minimize();
       },
       [&] { Item("N11")->trigger(); }},
      {"minimised",
       [&] {
         skin->SetTrayAvailableCheck([] { return false; });
         skin->Minimize();
       },
       [&] { Item("N11")->trigger(); }},
      {"rolled up", [&] { skin->SetRollUpState(true); }, [&] { skin->SetRollUpState(false); }},
      {"shown", [] {}, [] {}},
  };
  const auto tick = [] { QTest::qWait(450); };  // two ticks of the window
  int expectedRow = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.enter();
    tick();
    // Stopped (first case) or paused: "播放" starts or resumes.
    Item("MenuItem4")->trigger();
    ASSERT_EQ(Activity(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(Player().CurrentIndex(), expectedRow);
    tick();
    Item("MenuItem4")->trigger();
    EXPECT_EQ(Activity(), BASS_ACTIVE_PAUSED);
    tick();
    Item("MenuItem4")->trigger();
    EXPECT_EQ(Activity(), BASS_ACTIVE_PLAYING);
    // Next wraps at the end; previous stops at the first row.
    const int next = (expectedRow + 1) % 3, previous = std::max(next - 1, 0);
    Item("MenuItem7")->trigger();
    EXPECT_EQ(Player().CurrentIndex(), next);
    Item("MenuItem6")->trigger();
    EXPECT_EQ(Player().CurrentIndex(), previous);
    Item("MenuItem7")->trigger();
    expectedRow = (previous + 1) % 3;
    EXPECT_EQ(Player().CurrentIndex(), expectedRow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Playing(); }, 5000));
    tick();
    // Back on screen at once (before the next tick): only the pause button.
    c.leave();
    EXPECT_TRUE(Form().isVisible());
    EXPECT_TRUE(PauseShown());
    EXPECT_FALSE(PlayShown());
    // Leave it paused for the next case; the play button follows.
    Item("MenuItem4")->trigger();
    EXPECT_EQ(Activity(), BASS_ACTIVE_PAUSED);
    tick();
    EXPECT_TRUE(PlayShown());
    EXPECT_FALSE(PauseShown());
  }
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
