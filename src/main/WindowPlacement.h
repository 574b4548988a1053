// Where the player window goes on the screen: centred at start, and kept
// within the screen's available area (without the panels) when it grows.
// Plain geometry, any thread.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace placement {

// Top-left corner that centres a window of `size` in `area`.
QPoint Centred(QSize size, const QRect& area);

// `window` moved as little as possible to lie within `area`. A window larger
// than the area is aligned with the area's top and left edges, so its caption
// bar stays reachable.
QRect KeptInside(const QRect& window, const QRect& area);

}  // namespace placement
