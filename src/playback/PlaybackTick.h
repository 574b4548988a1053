// What the 200 ms playback tick shows, as pure functions over plain values:
// the progress percent, the time text and the nine lyric lines. The window
// reads the stream and writes its labels only where a value changed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tick {

// (100 * position) div length, within 0..100. An unknown (the engine's error
// value, negative when taken as signed) or zero length gives 0, never a division
// by zero.
int ProgressPercent(int64_t length, int64_t position);

// "E / T" with both parts from funPub::FormatSeconds, seconds truncated. When the
// length is unknown or 0 the total reads "--:--"; an unknown position reads 0:00.
std::string TimeText(int64_t length, int64_t position, double lengthSeconds,
                     double positionSeconds);

// The tick's PlayedSeconds: the position in seconds, halves to even.
int32_t PlayedSecondsFrom(double positionSeconds);

// The second the lyric lines are compared with: the position moved by
// `offsetMs` (positive: the lines show earlier), halves to even. Unlike
// PlayedSecondsFrom it goes below 0, so a line at 0 s waits for a song whose
// lyrics are set later. A position that is unknown or below 0 counts as 0.
int32_t LyricSecondsAt(double positionSeconds, int offsetMs);

// The lyric labels in the order the tick fills them.
enum LyricSlot {
  kLabel5,
  kLabel6,
  kLabel7,
  kLabel8,
  kLabel9,  // lines C .. C + 4
  kLabel10,
  kLabel11,
  kLabel12,  // lines C - 2 .. C - 4
  kLyricSlots
};

struct TLyricFrame {
  bool Update = false;   // the cursor was within the timeline: apply the frame
  bool Reached = false;  // a line was reached: Label4 turns red with ReachedText
  std::string ReachedText;
  std::array<std::string, kLyricSlots> Green;  // texts of the green labels
};

// The whole seconds of one entry of a timeline's Times (decimal text); a text
// that is no number counts as 0.
int32_t TimeOf(const std::string& time);

// Moves `cursor` forward while the line at it is earlier than `played`, never
// past the last line.
void AdvanceLyricCursor(const std::vector<std::string>& times, int& cursor, int32_t played);
// Moves `cursor` back while the line before it is later than `played`.
void RetreatLyricCursor(const std::vector<std::string>& times, int& cursor, int32_t played);

// One tick of the lyric display: moves the cursor, marks a reached line, and
// gives the texts of the green labels. Times and texts of different lengths are
// read up to the shorter one; a cursor outside the timeline gives no update.
TLyricFrame StepLyrics(const std::vector<std::string>& times, const std::vector<std::string>& texts,
                       int& cursor, int32_t played);

// The display of lyrics without times: the first five lines in the green
// labels below the red one, as a timed song shows them before its first line;
// no line is reached and nothing moves with the time.
TLyricFrame StillLyricFrame(const std::vector<std::string>& lines);

// The lyric display at `played` whatever it showed before (after a seek, or
// when the timing of the lines changed): the cursor goes behind the last line at or before `played`,
// Label4 turns red with that line (empty when there is none), and the green
// labels follow the cursor as in StepLyrics. No update for an empty timeline.
TLyricFrame PlaceLyrics(const std::vector<std::string>& times,
                        const std::vector<std::string>& texts, int& cursor, int32_t played);

}  // namespace tick
