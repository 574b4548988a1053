#include "main/controls/RzBmpButton.h"

#include <QEnterEvent>
#include <QPainter>

TRzBmpButton::TRzBmpButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

QPixmap TRzBmpButton::Transparent(const QImage& image) {
  if (image.isNull()) return {};
  QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb olive = TransparentColor().rgb() & 0xFFFFFF;
  for (int y = 0; y < argb.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      if ((line[x] & 0xFFFFFF) == olive) line[x] = 0;
    }
  }
  return QPixmap::fromImage(argb);
}

void TRzBmpButton::SetUp(const QImage& up) {
  bitmaps_.Up = Transparent(up);
  update();
}

void TRzBmpButton::SetDown(const QImage& down) {
  bitmaps_.Down = Transparent(down);
  update();
}

void TRzBmpButton::SetHot(const QImage& hot) {
  bitmaps_.Hot = Transparent(hot);
  update();
}

int TRzBmpButton::FaceShown() const {
  if (isDown()) return 1;
  if (hot_) return 2;
  return 0;
}

void TRzBmpButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPixmap* face = &bitmaps_.Up;
  switch (FaceShown()) {
    case 1:
      face = &bitmaps_.Down;
      break;
    case 2:
      face = &bitmaps_.Hot;
      break;
    default:
      break;
  }
  if (face->isNull()) face = &bitmaps_.Up;
  p.drawPixmap(0, 0, *face);
}

void TRzBmpButton::enterEvent(QEnterEvent* e) {
  hot_ = true;
  update();
  QAbstractButton::enterEvent(e);
}

void TRzBmpButton::leaveEvent(QEvent* e) {
  hot_ = false;
  update();
  QAbstractButton::leaveEvent(e);
}
