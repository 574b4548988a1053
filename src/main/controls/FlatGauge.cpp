#include "main/controls/FlatGauge.h"

#include <QPainter>
#include <algorithm>

TFlatGauge::TFlatGauge(QWidget* parent, int minValue, int maxValue, int position)
    : QWidget(parent), min_(minValue), max_(std::max(minValue, maxValue)), position_(minValue) {
  SetPosition(position);
}

void TFlatGauge::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (position == position_) return;
  position_ = position;
  update();
}

void TFlatGauge::SetColors(const QColor& color, const QColor& border, const QColor& bar) {
  color_ = color;
  border_ = border;
  bar_ = bar;
  update();
}

void TFlatGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = rect();
  p.fillRect(r, color_);
  QRect inner = r.adjusted(1, 1, -1, -1);
  if (max_ > min_ && inner.width() > 0) {
    int w = static_cast<int>(int64_t{inner.width()} * (position_ - min_) / (max_ - min_));
    p.fillRect(QRect(inner.left(), inner.top(), w, inner.height()), bar_);
  }
  p.setPen(border_);
  p.drawRect(r.adjusted(0, 0, -1, -1));
}
