#include "main/controls/SkinImage.h"

#include <QPainter>

TSkinImage::TSkinImage(QWidget* parent, bool stretch) : QWidget(parent), stretch_(stretch) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void TSkinImage::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void TSkinImage::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  if (stretch_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture_);
  } else {
    p.drawPixmap(0, 0, picture_);
  }
}
