#include "playback/GaugeDrag.h"

#include <algorithm>
#include <cmath>

namespace gauge {

int64_t RoundHalfEven(double value) {
  double whole = std::floor(value);
  double fraction = value - whole;
  auto n = static_cast<int64_t>(whole);
  if (fraction > 0.5) return n + 1;
  if (fraction < 0.5) return n;
  return (n % 2 == 0) ? n : n + 1;
}

TGaugeDrag GaugeFromCursor(int cursorX, int windowLeft, int gaugeLeft, int gaugeWidth, int gaugeMax,
                           int knobWidth) {
  TGaugeDrag d;
  int64_t x = int64_t{cursorX} - windowLeft - gaugeLeft;
  x = std::clamp<int64_t>(x, 0, std::max(gaugeWidth, 0));
  d.X = static_cast<int>(x);
  d.KnobLeft = gaugeLeft + d.X - knobWidth / 2;
  if (gaugeWidth > 0) {
    // The product is an integer, the division floating point.
    double q = static_cast<double>(x * gaugeMax) / gaugeWidth;
    d.Position = static_cast<int>(std::clamp<int64_t>(RoundHalfEven(q), 0, std::max(gaugeMax, 0)));
  }
  return d;
}

int64_t PositionAt(double x, int width, int64_t length) {
  if (width <= 0 || length <= 0 || !(x > 0)) return 0;
  if (x >= width) return length;
  return static_cast<int64_t>(static_cast<double>(length) * x / width);
}

int AlphaFromGauge(int position) {
  return std::clamp(position, 0, 155) + 100;
}

}  // namespace gauge
