// The window's playback logic without a window: gauge drags, the tick's progress
// and time text, the lyric cursor and the nine lines (also under a lyric
// offset), the play order.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "playback/GaugeDrag.h"
#include "playback/PlaySequence.h"
#include "playback/PlaybackTick.h"

namespace {

TEST(GaugeDrag, RoundsHalvesToEven) {
  EXPECT_EQ(gauge::RoundHalfEven(77.5), 78);
  EXPECT_EQ(gauge::RoundHalfEven(76.5), 76);
  EXPECT_EQ(gauge::RoundHalfEven(0.5), 0);
  EXPECT_EQ(gauge::RoundHalfEven(2.51), 3);
  EXPECT_EQ(gauge::RoundHalfEven(2.49), 2);
}

TEST(GaugeDrag, PositionKnobAndClamping) {
  struct Row {
    int cursorX, windowLeft, gaugeLeft, width, max, knob;
    int x, position, knobLeft;
  };
  const Row rows[] = {
      // Volume gauge at 179, 114 wide, knob 16: the middle gives 50.
      {400 + 179 + 57, 400, 179, 114, 100, 16, 57, 50, 179 + 57 - 8},
      // Transparency gauge at 52: X = 57 gives Round(77.5) = 78 (even).
      {52 + 57, 0, 52, 114, 155, 20, 57, 78, 52 + 57 - 10},
      // Beyond the right end: the maximum; beyond the left end: 0.
      {5000, 0, 179, 114, 100, 16, 114, 100, 179 + 114 - 8},
      {-30, 0, 179, 114, 100, 16, 0, 0, 179 - 8},
      {52 + 114, 0, 52, 114, 155, 20, 114, 155, 52 + 114 - 10},
      // One pixel inside either end.
      {400 + 179 + 1, 400, 179, 114, 100, 16, 1, 1, 179 + 1 - 8},
      {400 + 179 + 113, 400, 179, 114, 100, 16, 113, 99, 179 + 113 - 8},
      {400 + 179, 400, 179, 114, 100, 16, 0, 0, 179 - 8},
  };
  for (const Row& r : rows) {
    auto d = gauge::GaugeFromCursor(r.cursorX, r.windowLeft, r.gaugeLeft, r.width, r.max, r.knob);
    EXPECT_EQ(d.X, r.x) << r.cursorX;
    EXPECT_EQ(d.Position, r.position) << r.cursorX;
    EXPECT_EQ(d.KnobLeft, r.knobLeft) << r.cursorX;
  }
}

TEST(GaugeDrag, ZeroWidthGaugeDoesNotDivide) {
  auto d = gauge::GaugeFromCursor(100, 0, 10, 0, 100, 16);
  EXPECT_EQ(d.X, 0);
  EXPECT_EQ(d.Position, 0);
}

// The progress gauge: a share of the song, in the gauge's own (logical)
// coordinates, which come fractional at 1.5x.
TEST(GaugeDrag, PositionAtIsTheShareOfTheLength) {
  struct Row {
    double x;
    int width;
    int64_t length;
    int64_t want;
  } rows[] = {
      {214.5, 286, 20'000'000, 15'000'000},  // three quarters
      {143.0, 286, 20'000'000, 10'000'000},
      {142.6667, 286, 286'000'000, 142'666'700},
      {0.0, 286, 20'000'000, 0},
      {-12.0, 286, 20'000'000, 0},           // dragged off the left end
      {286.0, 286, 20'000'000, 20'000'000},  // the right end: the length
      {400.0, 286, 20'000'000, 20'000'000},  // dragged off the right end
      {100.0, 0, 20'000'000, 0},             // no width: no division
      {100.0, 286, 0, 0},                    // no length
      {std::nan(""), 286, 20'000'000, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(gauge::PositionAt(r.x, r.width, r.length), r.want) << r.x << " of " << r.width;
}

TEST(GaugeDrag, AlphaRange) {
  EXPECT_EQ(gauge::AlphaFromGauge(0), 100);
  EXPECT_EQ(gauge::AlphaFromGauge(154), 254);
  EXPECT_EQ(gauge::AlphaFromGauge(155), 255);
  EXPECT_EQ(gauge::AlphaFromGauge(78), 178);
}

constexpr int64_t kBytesPerSecond = 176400;

TEST(Tick, ProgressPercent) {
  // 245 s at 83.7 s: about 34.
  EXPECT_EQ(tick::ProgressPercent(245 * kBytesPerSecond, int64_t(83.7 * kBytesPerSecond)), 34);
  EXPECT_EQ(tick::ProgressPercent(1000, 1000), 100);
  EXPECT_EQ(tick::ProgressPercent(1000, 999), 99);  // 100 only at the end
  EXPECT_EQ(tick::ProgressPercent(1000, 5000), 100);
  EXPECT_EQ(tick::ProgressPercent(1000, 0), 0);
  // Unknown (error value read as signed) and zero lengths never divide.
  EXPECT_EQ(tick::ProgressPercent(-1, 5000), 0);
  EXPECT_EQ(tick::ProgressPercent(0, 5000), 0);
  EXPECT_EQ(tick::ProgressPercent(1000, -1), 0);
  // Huge values do not overflow.
  EXPECT_EQ(tick::ProgressPercent(INT64_MAX, INT64_MAX / 2), 50);
}

TEST(Tick, TimeText) {
  EXPECT_EQ(tick::TimeText(245 * kBytesPerSecond, 837 * kBytesPerSecond / 10, 245.0, 83.7),
            "1:23 / 4:05");
  EXPECT_EQ(tick::TimeText(6000 * kBytesPerSecond, 5, 6000.0, 0.0), "0:00 / 100:00");
  // Unknown or zero length: the elapsed time and a blank total, never negative.
  EXPECT_EQ(tick::TimeText(-1, 65 * kBytesPerSecond, -1e-6, 65.2), "1:05 / --:--");
  EXPECT_EQ(tick::TimeText(0, 0, 0.0, 0.0), "0:00 / --:--");
  EXPECT_EQ(tick::TimeText(100, -1, 1.0, -1.0), "0:00 / 0:01");
  // Seconds at the padding boundary: 9 is padded, 10 is not ("1:010" would be wrong).
  EXPECT_EQ(tick::TimeText(70 * kBytesPerSecond, 9 * kBytesPerSecond, 70.0, 9.0), "0:09 / 1:10");
  EXPECT_EQ(tick::TimeText(610 * kBytesPerSecond, 10 * kBytesPerSecond, 610.0, 10.9),
            "0:10 / 10:10");
}

TEST(Tick, PlayedSecondsHalvesToEven) {
  EXPECT_EQ(tick::PlayedSecondsFrom(2.5), 2);
  EXPECT_EQ(tick::PlayedSecondsFrom(3.5), 4);
  EXPECT_EQ(tick::PlayedSecondsFrom(9.6), 10);
  EXPECT_EQ(tick::PlayedSecondsFrom(-3.0), 0);
}

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

TEST(Tick, LyricLineReachedAndLinesAround) {
  Timeline t = Lines({{10, "one"}, {14, "two"}, {20, "three"}});
  auto f = tick::StepLyrics(t.times, t.texts, t.cursor, 9);
  EXPECT_TRUE(f.Update);
  EXPECT_FALSE(f.Reached);
  EXPECT_EQ(f.Green[tick::kLabel5], "one");
  EXPECT_EQ(f.Green[tick::kLabel6], "two");

  f = tick::StepLyrics(t.times, t.texts, t.cursor, 10);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "one");
  EXPECT_EQ(f.Green[tick::kLabel5], "two");
  EXPECT_EQ(f.Green[tick::kLabel6], "three");
  EXPECT_EQ(f.Green[tick::kLabel7], "");
  EXPECT_EQ(f.Green[tick::kLabel10], "");
  EXPECT_EQ(t.cursor, 1);

  f = tick::StepLyrics(t.times, t.texts, t.cursor, 14);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "two");
  EXPECT_EQ(f.Green[tick::kLabel5], "three");
  EXPECT_EQ(f.Green[tick::kLabel10], "one");
  EXPECT_EQ(t.cursor, 2);

  f = tick::StepLyrics(t.times, t.texts, t.cursor, 20);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(t.cursor, 3);
  // Past the last line: nothing more to apply.
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 25);
  EXPECT_FALSE(f.Update);
}

TEST(Tick, EqualTimesTurnRedInSuccessiveTicks) {
  Timeline t = Lines({{5, "a"}, {5, "b"}, {8, "c"}});
  auto f = tick::StepLyrics(t.times, t.texts, t.cursor, 5);
  EXPECT_EQ(f.ReachedText, "a");
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 5);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "b");
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 5);
  EXPECT_FALSE(f.Reached);
  EXPECT_EQ(t.cursor, 2);
}

TEST(Tick, SkippedSecondIsPassedOverAndSeekBackRetreats) {
  Timeline t = Lines({{2, "a"}, {4, "b"}, {6, "c"}, {30, "d"}});
  // A jump from 0 to 7: lines 2, 4 and 6 were never reached exactly.
  auto f = tick::StepLyrics(t.times, t.texts, t.cursor, 7);
  EXPECT_FALSE(f.Reached);
  EXPECT_EQ(t.cursor, 3);
  EXPECT_EQ(f.Green[tick::kLabel5], "d");
  EXPECT_EQ(f.Green[tick::kLabel10], "b");
  EXPECT_EQ(f.Green[tick::kLabel11], "a");
  // Back to 3: the cursor returns to the first line not earlier than 3.
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 3);
  EXPECT_EQ(t.cursor, 1);
  EXPECT_EQ(f.Green[tick::kLabel5], "b");
}

// After a seek the lines up to the second are reached: the red line is the
// last of them, none before the first line; past the last line the cursor
// is past the end, as after the tick reached it.
TEST(Tick, SeekPutsTheCursorAfterTheLinesReached) {
  const std::vector<std::string> times = {"1", "3", "3", "6"};
  const std::vector<std::string> texts = {"a", "b", "c", "d"};
  struct Row {
    int from;
    int32_t played;
    int cursor;
    const char* red;
    const char* label5;
    const char* label10;
    const char* label12;
  } rows[] = {
      {0, 0, 0, "", "a", "", ""},   {4, 0, 0, "", "a", "", ""},    {0, 1, 1, "a", "b", "", ""},
      {0, 2, 1, "a", "b", "", ""},  {0, 3, 3, "c", "d", "b", ""},  {1, 5, 3, "c", "d", "b", ""},
      {0, 6, 4, "d", "", "c", "a"}, {2, 60, 4, "d", "", "c", "a"},
  };
  for (const Row& r : rows) {
    int cursor = r.from;
    tick::TLyricFrame f = tick::PlaceLyrics(times, texts, cursor, r.played);
    SCOPED_TRACE(r.played);
    EXPECT_EQ(cursor, r.cursor);
    EXPECT_TRUE(f.Update);
    EXPECT_TRUE(f.Reached);
    EXPECT_EQ(f.ReachedText, r.red);
    EXPECT_EQ(f.Green[tick::kLabel5], r.label5);
    EXPECT_EQ(f.Green[tick::kLabel10], r.label10);
    EXPECT_EQ(f.Green[tick::kLabel12], r.label12);
  }
  // Texts shorter than the times: read up to the shorter one.
  int cursor = 0;
  tick::TLyricFrame f = tick::PlaceLyrics(times, {"a", "b"}, cursor, 60);
  EXPECT_EQ(cursor, 2);
  EXPECT_EQ(f.ReachedText, "b");
  cursor = 3;
  EXPECT_FALSE(tick::PlaceLyrics({}, {}, cursor, 5).Update);
  EXPECT_EQ(cursor, 3);
}

TEST(Tick, MismatchedOrEmptyTimelineIsSafe) {
  Timeline t;
  t.times = {"1", "2", "3"};
  t.texts = {"x"};
  t.cursor = 0;
  auto f = tick::StepLyrics(t.times, t.texts, t.cursor, 1);
  EXPECT_TRUE(f.Reached);
  EXPECT_EQ(f.ReachedText, "x");
  f = tick::StepLyrics(t.times, t.texts, t.cursor, 2);
  EXPECT_FALSE(f.Update);

  Timeline empty;
  EXPECT_FALSE(tick::StepLyrics(empty.times, empty.texts, empty.cursor, 0).Update);
  empty.cursor = -5;
  EXPECT_FALSE(tick::StepLyrics(t.times, t.texts, empty.cursor, 0).Update);
  EXPECT_EQ(tick::TimeOf("abc"), 0);
  EXPECT_EQ(tick::TimeOf("83"), 83);
  EXPECT_EQ(tick::TimeOf("2000000000"), 2000000000);
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

TEST(PlaySequence, NextPreviousAndRange) {
  struct Row {
    int index, count, next, prev, inRange;
  };
  const Row rows[] = {
      {4, 5, 0, 3, 4},    // next wraps, previous steps back
      {0, 5, 1, 0, 0},    // previous on row 0 stays on row 0
      {-1, 5, 0, 0, -1},  // nothing current: both give row 0
      {7, 5, 0, 0, 4},    // beyond the list (after deleting rows): back in range
      {5, 5, 0, 4, 4},    // an index equal to the row count is out of range too
      {0, 1, 0, 0, 0},    // a single row is its own next and previous
      {1, 1, 0, 0, 0},    // one past the only row
      {-9, 5, 0, 0, -1}, {2, 0, -1, -1, -1},  // empty list
  };
  for (const Row& r : rows) {
    EXPECT_EQ(playseq::NextIndex(r.index, r.count), r.next) << r.index << "/" << r.count;
    EXPECT_EQ(playseq::PrevIndex(r.index, r.count), r.prev) << r.index << "/" << r.count;
    EXPECT_EQ(playseq::InRange(r.index, r.count), r.inRange) << r.index << "/" << r.count;
  }
}

TEST(PlaySequence, AdvanceStopsAfterEveryRowFailedUntilUserCommand) {
  playseq::TAdvanceGuard guard;
  EXPECT_TRUE(playseq::OnOpenFailed(guard, 3));
  EXPECT_TRUE(playseq::OnOpenFailed(guard, 3));
  EXPECT_FALSE(playseq::OnOpenFailed(guard, 3));
  EXPECT_FALSE(playseq::OnOpenFailed(guard, 3));
  playseq::OnUserCommand(guard);
  EXPECT_TRUE(playseq::OnOpenFailed(guard, 3));
  // A success in between starts the count again.
  playseq::OnOpenSucceeded(guard);
  EXPECT_TRUE(playseq::OnOpenFailed(guard, 3));
  EXPECT_TRUE(playseq::OnOpenFailed(guard, 3));
  // A single failing row stops at once; an empty list never advances.
  playseq::TAdvanceGuard one;
  EXPECT_FALSE(playseq::OnOpenFailed(one, 1));
  playseq::TAdvanceGuard none;
  EXPECT_FALSE(playseq::OnOpenFailed(none, 0));
}

}  // namespace
