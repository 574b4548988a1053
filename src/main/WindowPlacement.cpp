#include "main/WindowPlacement.h"

#include <algorithm>

namespace placement {

QPoint Centred(QSize size, const QRect& area) {
  return QPoint(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

QRect KeptInside(const QRect& window, const QRect& area) {
  QRect r = window;
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  return r;
}

}  // namespace placement
