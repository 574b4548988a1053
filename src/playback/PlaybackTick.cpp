#include "playback/PlaybackTick.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/funPub.h"
#include "playback/GaugeDrag.h"

namespace tick {

int ProgressPercent(int64_t length, int64_t position) {
  if (length <= 0 || position <= 0) return 0;
  if (position >= length) return 100;
  // position < length here; avoid overflow of 100 * position for huge values.
  if (position > std::numeric_limits<int64_t>::max() / 100)
    return static_cast<int>(position / (length / 100));
  return static_cast<int>(100 * position / length);
}

static int64_t WholeSeconds(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) return 0;
  if (seconds > 1e15) return static_cast<int64_t>(1e15);
  return static_cast<int64_t>(seconds);
}

std::string TimeText(int64_t length, int64_t position, double lengthSeconds,
                     double positionSeconds) {
  std::string text = funPub::FormatSeconds(position < 0 ? 0 : WholeSeconds(positionSeconds));
  text += " / ";
  text += length <= 0 ? std::string("--:--") : funPub::FormatSeconds(WholeSeconds(lengthSeconds));
  return text;
}

int32_t PlayedSecondsFrom(double positionSeconds) {
  if (!std::isfinite(positionSeconds) || positionSeconds <= 0) return 0;
  if (positionSeconds > 2e9) return 2000000000;
  return static_cast<int32_t>(gauge::RoundHalfEven(positionSeconds));
}

// The green labels around `cursor`: lines C .. C + 4 below the red one, C - 2
// .. C - 4 above it; empty beyond the first `count` lines.
static void FillGreenLines(TLyricFrame& frame, const std::vector<std::string>& texts, int count,
                           int cursor) {
  auto line = [&](int index) { return index >= 0 && index < count ? texts[index] : std::string(); };
  for (int k = 0; k < 5; ++k) frame.Green[kLabel5 + k] = line(cursor + k);
  frame.Green[kLabel10] = line(cursor - 2);
  frame.Green[kLabel11] = line(cursor - 3);
  frame.Green[kLabel12] = line(cursor - 4);
}

int32_t LyricSecondsAt(double positionSeconds, int offsetMs) {
  if (!std::isfinite(positionSeconds) || positionSeconds < 0) positionSeconds = 0;
  double seconds = positionSeconds + offsetMs / 1000.0;
  seconds = std::clamp(seconds, -2e9, 2e9);
  return static_cast<int32_t>(gauge::RoundHalfEven(seconds));
}

int32_t TimeOf(const std::string& time) {
  double value = 0;
  const char* first = time.data();
  const char* last = first + time.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || !std::isfinite(value) || std::fabs(value) > 2e9) return 0;
  return funPub::RoundHalfUp(value);
}

void AdvanceLyricCursor(const std::vector<std::string>& times, int& cursor, int32_t played) {
  int last = static_cast<int>(times.size()) - 1;
  if (cursor < 0 || cursor > last) return;
  while (TimeOf(times[cursor]) < played && cursor + 1 <= last) ++cursor;
}

void RetreatLyricCursor(const std::vector<std::string>& times, int& cursor, int32_t played) {
  if (cursor > static_cast<int>(times.size())) return;
  while (cursor > 0 && TimeOf(times[cursor - 1]) > played) --cursor;
}

TLyricFrame StepLyrics(const std::vector<std::string>& times, const std::vector<std::string>& texts,
                       int& cursor, int32_t played) {
  TLyricFrame frame;
  int count = static_cast<int>(std::min(times.size(), texts.size()));
  if (cursor < 0 || cursor > count - 1) return frame;
  // Work on the common length only, so a short Texts list is never read past.
  std::vector<std::string> head;
  const std::vector<std::string>* t = &times;
  if (static_cast<int>(times.size()) != count) {
    head.assign(times.begin(), times.begin() + count);
    t = &head;
  }
  AdvanceLyricCursor(*t, cursor, played);
  RetreatLyricCursor(*t, cursor, played);
  frame.Update = true;
  if (TimeOf((*t)[cursor]) == played) {
    frame.Reached = true;
    frame.ReachedText = texts[cursor];
    ++cursor;
  }
  FillGreenLines(frame, texts, count, cursor);
  return frame;
}

TLyricFrame PlaceLyrics(const std::vector<std::string>& times,
                        const std::vector<std::string>& texts, int& cursor, int32_t played) {
  TLyricFrame frame;
  int count = static_cast<int>(std::min(times.size(), texts.size()));
  if (count == 0) return frame;
  // The first line later than `played`; the lines are few, and this runs on a
  // command, not in every tick.
  cursor = 0;
  while (cursor < count && TimeOf(times[cursor]) <= played) ++cursor;
  frame.Update = true;
  frame.Reached = true;
  if (cursor > 0) frame.ReachedText = texts[cursor - 1];
  FillGreenLines(frame, texts, count, cursor);
  return frame;
}

TLyricFrame StillLyricFrame(const std::vector<std::string>& lines) {
  TLyricFrame frame;
  frame.Update = true;
  for (size_t k = 0; k < 5 && k < lines.size(); ++k) frame.Green[kLabel5 + k] = lines[k];
  return frame;
}

}  // namespace tick
