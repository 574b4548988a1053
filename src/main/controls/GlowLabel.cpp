#include "main/controls/GlowLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <vector>

TseXLabel::TseXLabel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  Rebuild();
}

void TseXLabel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Rebuild();
}

void TseXLabel::SetFontColor(const QColor& color) {
  if (color == fontColor_) return;
  fontColor_ = color;
  Rebuild();
}

void TseXLabel::SetBlurColor(const QColor& color) {
  if (color == blurColor_) return;
  blurColor_ = color;
  Rebuild();
}

void TseXLabel::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange) Rebuild();
  QWidget::changeEvent(e);
}

// Box blur of the alpha channel, horizontally then vertically.
static void BlurAlpha(QImage& img, int radius) {
  const int w = img.width(), h = img.height();
  std::vector<int> a(size_t(w) * h), t(size_t(w) * h);
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < w; ++x) a[size_t(y) * w + x] = qAlpha(line[x]);
  }
  const int span = 2 * radius + 1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int sum = 0;
      for (int k = -radius; k <= radius; ++k) {
        int xx = x + k;
        if (xx >= 0 && xx < w) sum += a[size_t(y) * w + xx];
      }
      t[size_t(y) * w + x] = sum / span;
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int sum = 0;
      for (int k = -radius; k <= radius; ++k) {
        int yy = y + k;
        if (yy >= 0 && yy < h) sum += t[size_t(yy) * w + x];
      }
      a[size_t(y) * w + x] = sum / span;
    }
  }
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      // Strengthen the faint blur so the glow reads as a halo.
      int alpha = std::min(255, a[size_t(y) * w + x] * 2);
      line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), alpha);
    }
  }
}

void TseXLabel::Rebuild() {
  // The size is needed at once (the layout places the label); the picture only
  // when painted, so start-up, which sets caption, font and both colours,
  // renders it once, after the window is up.
  QFontMetrics fm(font());
  const int margin = blurSize_;
  QSize textSize(std::max(1, fm.horizontalAdvance(caption_)), fm.height());
  QSize size(textSize.width() + 2 * margin, textSize.height() + 2 * margin);
  if (size != this->size()) resize(size);
  rendered_ = QImage();
  update();
}

void TseXLabel::Render() {
  QFontMetrics fm(font());
  const int margin = blurSize_;
  const QSize size = this->size();
  const qreal dpr = devicePixelRatioF();
  QImage glow(size * dpr, QImage::Format_ARGB32_Premultiplied);
  glow.setDevicePixelRatio(dpr);
  glow.fill(Qt::transparent);
  {
    QPainter p(&glow);
    p.setFont(font());
    p.setPen(blurColor_);
    p.drawText(QPoint(margin, margin + fm.ascent()), caption_);
  }
  glow = glow.convertToFormat(QImage::Format_ARGB32);
  // Tint the whole glow in the blur colour before blurring its alpha.
  for (int y = 0; y < glow.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(glow.scanLine(y));
    for (int x = 0; x < glow.width(); ++x)
      line[x] = qRgba(blurColor_.red(), blurColor_.green(), blurColor_.blue(), qAlpha(line[x]));
  }
  BlurAlpha(glow, static_cast<int>(blurSize_ * dpr));
  rendered_ = glow.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  {
    QPainter p(&rendered_);
    p.setFont(font());
    p.setPen(fontColor_);
    p.drawText(QPoint(margin, margin + fm.ascent()), caption_);
  }
}

void TseXLabel::paintEvent(QPaintEvent*) {
  if (rendered_.isNull()) Render();
  QPainter p(this);
  p.drawImage(0, 0, rendered_);
}
