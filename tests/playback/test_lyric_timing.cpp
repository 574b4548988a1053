// Lyric timing in the tick's terms: the second the lines are compared with
// under an offset, and the lines shown at once when the timing changes.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "playback/PlaybackTick.h"

namespace {

struct Timeline {
  std::vector<std::string> times, texts;
  int cursor = 0;
};

Timeline Lines(std::initializer_list<std::pair<int, const char*>> lines) {
  Timeline t;
  for (auto& [s, text] : lines) {
    t.times.push_back(std::to_string(s));
    t.texts.push_back(text);
  }
  return t;
}

TEST(LyricTiming, TheOffsetMovesThePositionTheLinesAreComparedWith) {
  EXPECT_EQ(tick::LyricSecondsAt(10.2, 0), 10);
  EXPECT_EQ(tick::LyricSecondsAt(10.2, 500), 11);   // earlier: 10.7
  EXPECT_EQ(tick::LyricSecondsAt(10.2, -500), 10);  // later: 9.7
  EXPECT_EQ(tick::LyricSecondsAt(10.2, -1000), 9);  // 9.2
  EXPECT_EQ(tick::LyricSecondsAt(10.0, 500), 10);   // 10.5: halves to even
  EXPECT_EQ(tick::LyricSecondsAt(11.0, 500), 12);   // 11.5
  EXPECT_EQ(tick::LyricSecondsAt(0.2, -1000), -1);  // a line at 0 s still waits
  EXPECT_EQ(tick::LyricSecondsAt(0.0, -500), 0);    // -0.5
  EXPECT_EQ(tick::LyricSecondsAt(-3.0, 0), 0);      // no position below 0
  EXPECT_EQ(tick::LyricSecondsAt(NAN, 2000), 2);    // an unknown position counts as 0
  EXPECT_EQ(tick::LyricSecondsAt(INFINITY, 0), 0);
  EXPECT_EQ(tick::LyricSecondsAt(1e12, 3600000), 2000000000);
  EXPECT_EQ(tick::LyricSecondsAt(0.0, -3600000), -3600);
  // Without an offset it is the tick's PlayedSeconds.
  for (double at : {0.0, 0.5, 1.5, 2.49, 2.5, 3.5, 83.7, 600.0})
    EXPECT_EQ(tick::LyricSecondsAt(at, 0), tick::PlayedSecondsFrom(at)) << at;
}

TEST(LyricTiming, PlacedLinesShowTheLineOfThePositionEitherWay) {
  Timeline t = Lines({{10, "one"}, {14, "two"}, {20, "three"}});
  // From past the last line back into the middle.
  t.cursor = 3;
  tick::TLyricFrame f = tick::PlaceLyrics(t.times, t.texts, t.cursor, 15);
  EXPECT_TRUE(f.Update);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "two");
  EXPECT_EQ(t.cursor, 2);
  EXPECT_EQ(f.Green[tick::kLabel5], "three");
  EXPECT_EQ(f.Green[tick::kLabel6], "");
  EXPECT_EQ(f.Green[tick::kLabel10], "one");
  // Before the first line: the red line clears.
  f = tick::PlaceLyrics(t.times, t.texts, t.cursor, 9);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "");
  EXPECT_EQ(t.cursor, 0);
  EXPECT_EQ(f.Green[tick::kLabel5], "one");
  EXPECT_EQ(f.Green[tick::kLabel7], "three");
  // A line at exactly that second is the red one.
  f = tick::PlaceLyrics(t.times, t.texts, t.cursor, 14);
  EXPECT_EQ(f.ReachedText, "two");
  EXPECT_EQ(t.cursor, 2);
  // The tick goes on from there without reaching the same line again.
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 14);
  EXPECT_FALSE(f.Reached);
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 20);
  EXPECT_EQ(f.ReachedText, "three");
  // Forwards past the end.
  t.cursor = 0;
  f = tick::PlaceLyrics(t.times, t.texts, t.cursor, 25);
  EXPECT_EQ(f.ReachedText, "three");
  EXPECT_EQ(t.cursor, 3);
  EXPECT_EQ(f.Green[tick::kLabel10], "two");
  EXPECT_EQ(f.Green[tick::kLabel11], "one");
  EXPECT_EQ(f.Green[tick::kLabel5], "");
}

TEST(LyricTiming, PlacingOnAnEmptyOrMismatchedTimelineIsSafe) {
  Timeline empty;
  empty.cursor = 4;
  EXPECT_FALSE(tick::PlaceLyrics(empty.times, empty.texts, empty.cursor, 3).Update);
  Timeline t;
  t.times = {"1", "2", "3"};
  t.texts = {"x"};
  t.cursor = -7;
  tick::TLyricFrame f = tick::PlaceLyrics(t.times, t.texts, t.cursor, 5);
  EXPECT_EQ(f.ReachedText, "x");
  EXPECT_EQ(t.cursor, 1);
  EXPECT_EQ(f.Green[tick::kLabel5], "");
}

}  // namespace
