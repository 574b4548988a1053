// The volume and transparency drags: where the cursor puts a gauge's position
// and its knob. Pure functions; the window reads the cursor and applies them.
#pragma once

#include <cstdint>

namespace gauge {

// Nearest integer; an exact half goes to the even neighbour (77.5 -> 78, 76.5 -> 76).
int64_t RoundHalfEven(double value);

struct TGaugeDrag {
  int X = 0;         // cursor offset from the gauge's left edge, clamped to 0..width
  int Position = 0;  // Round(X * max / width) with halves to even, within 0..max
  int KnobLeft = 0;  // gauge left + X - knob width div 2
};

// One step of a drag. `cursorX` and `windowLeft` are screen coordinates (the
// window's outer left edge); `gaugeLeft` is the gauge's left inside the window
// (its place in the layout, relative to the client area). No border width is
// subtracted: with a skin frame the knob lands that many pixels right of the
// cursor, as users of the skinned window know it.
// A gauge of width 0 or less gives position 0 instead of dividing by zero.
TGaugeDrag GaugeFromCursor(int cursorX, int windowLeft, int gaugeLeft, int gaugeWidth, int gaugeMax,
                           int knobWidth);

// The position in a song of `length` that a click or drag at `x` on a gauge
// `width` wide stands for: length * x / width, with x clamped to 0..width. `x`
// is in the gauge's own coordinates (logical pixels, as its mouse events
// give them), which the display scale leaves alone. A width of 0 or less
// gives 0.
int64_t PositionAt(double x, int width, int64_t length);

// The window alpha for a transparency gauge position (0..155 -> 100..255).
int AlphaFromGauge(int position);

}  // namespace gauge
