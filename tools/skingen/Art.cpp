#include "Art.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace skingen {

namespace {

constexpr QRgb kOlive = qRgb(128, 128, 0);

int g_scale = 1;

// w x h window pixels at the current scale: the painter draws in window
// pixels, the image holds g_scale times as many in each direction.
QImage Blank(int w, int h) {
  QImage img(w * g_scale, h * g_scale, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(g_scale);
  img.fill(Qt::transparent);
  return img;
}

struct Canvas {
  explicit Canvas(QImage& img) : p(&img) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  QPainter p;
};

QColor WithAlpha(QColor c, int a) {
  c.setAlpha(a);
  return c;
}

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  return path;
}

QPainterPath RoundBar(qreal x, qreal y, qreal w, qreal h) {
  QPainterPath path;
  path.addRoundedRect(QRectF(x, y, w, h), w / 2.5, w / 2.5);
  return path;
}

// The filled glyph of a bitmap button, in the button's own coordinates.
QPainterPath ButtonGlyph(const QString& name) {
  QPainterPath g;
  if (name == "play") {
    g.addPath(Triangle({3.8, 1.8}, {3.8, 11.2}, {11.6, 6.5}));
  } else if (name == "push") {
    g.addPath(RoundBar(2.8, 2.2, 2.9, 8.6));
    g.addPath(RoundBar(7.3, 2.2, 2.9, 8.6));
  } else if (name == "prev") {
    g.addPath(RoundBar(2.5, 2.3, 2.0, 8.4));
    g.addPath(Triangle({10.2, 2.3}, {4.4, 6.5}, {10.2, 10.7}));
    g.addPath(Triangle({15.8, 2.3}, {10.0, 6.5}, {15.8, 10.7}));
  } else if (name == "next") {
    g.addPath(Triangle({1.4, 2.3}, {7.2, 6.5}, {1.4, 10.7}));
    g.addPath(Triangle({7.0, 2.3}, {12.8, 6.5}, {7.0, 10.7}));
    g.addPath(RoundBar(12.7, 2.3, 2.0, 8.4));
  }
  return g;
}

// Glyphs drawn as strokes: the list and search buttons.
void StrokeGlyph(QPainter& p, const QString& name, const QColor& color, qreal widen) {
  QPen pen(color, 1.7 + widen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  if (name == "list") {
    for (qreal y : {4.5, 8.0, 11.5}) {
      p.drawLine(QPointF(6.2, y), QPointF(13.0, y));
      p.setPen(Qt::NoPen);
      p.setBrush(color);
      p.drawEllipse(QPointF(2.9, y), 1.25 + widen / 2, 1.25 + widen / 2);
      p.setBrush(Qt::NoBrush);
      p.setPen(pen);
    }
  } else if (name == "so") {
    p.drawEllipse(QPointF(6.6, 6.6), 4.3, 4.3);
    pen.setWidthF(2.5 + widen);
    p.setPen(pen);
    p.drawLine(QPointF(9.9, 9.9), QPointF(13.6, 13.6));
  }
}

// Over-composites a premultiplied layer onto `under` and marks untouched
// pixels olive, so the button's transparent colour hides exactly them.
QImage KeyOverMatte(const QImage& layer, const QImage& under) {
  QImage out(layer.size(), QImage::Format_RGB32);
  out.setDevicePixelRatio(layer.devicePixelRatio());
  const QImage base = under.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < layer.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
    const auto* bg = reinterpret_cast<const QRgb*>(base.constScanLine(y));
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < layer.width(); ++x) {
      const int a = qAlpha(src[x]);
      if (a == 0) {
        dst[x] = kOlive;
        continue;
      }
      const int r = qRed(src[x]) + qRed(bg[x]) * (255 - a) / 255;
      const int g = qGreen(src[x]) + qGreen(bg[x]) * (255 - a) / 255;
      int b = qBlue(src[x]) + qBlue(bg[x]) * (255 - a) / 255;
      if (qRgb(r, g, b) == kOlive) b = 1;  // never olive by accident
      dst[x] = qRgb(qMin(r, 255), qMin(g, 255), qMin(b, 255));
    }
  }
  return out;
}

void DrawKnob(QPainter& p, const Theme& t, QPointF c, qreal r, qreal dot, bool halo) {
  // Soft drop shadow.
  for (int i = 3; i >= 1; --i) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 26 * i));
    p.drawEllipse(c + QPointF(0, 0.9), r + 0.35 * (4 - i), r + 0.35 * (4 - i));
  }
  if (halo) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(WithAlpha(t.knobDot, 90), 1.2));
    p.drawEllipse(c, r + 0.9, r + 0.9);
  }
  QRadialGradient g(c + QPointF(-r * 0.35, -r * 0.45), r * 1.6);
  g.setColorAt(0, t.knobLight);
  g.setColorAt(1, t.knobDark);
  p.setBrush(g);
  p.setPen(QPen(WithAlpha(t.knobRing, 200), 1.0));
  p.drawEllipse(c, r, r);
  p.setPen(Qt::NoPen);
  QRadialGradient d(c, dot);
  d.setColorAt(0, t.knobDot.lighter(125));
  d.setColorAt(1, t.knobDot);
  p.setBrush(d);
  p.drawEllipse(c, dot, dot);
}

}  // namespace

void SetArtScale(int scale) {
  g_scale = scale < 1 ? 1 : scale;
}

int ArtScale() {
  return g_scale;
}

QImage DrawControlBar(const Theme& t) {
  QImage img = Blank(140, 26);
  Canvas c(img);
  QPainter& p = c.p;
  const QRectF body(0.5, 0.5, 139, 25);
  QLinearGradient g(0, 0, 0, 26);
  g.setColorAt(0, t.panelTop);
  g.setColorAt(1, t.panelBottom);
  p.setBrush(g);
  p.setPen(QPen(t.panelEdge, 1));
  p.drawRoundedRect(body, 12.5, 12.5);
  // Shine along the upper edge.
  p.save();
  p.setClipRect(QRectF(0, 0, 140, 12));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(WithAlpha(t.panelShine, 110), 1));
  p.drawRoundedRect(body.adjusted(1, 1, -1, -1), 11.5, 11.5);
  p.restore();

  auto well = [&](QPointF centre, qreal r, bool main) {
    QRadialGradient wg(centre + QPointF(0, 1.5), r);
    wg.setColorAt(0, t.well);
    wg.setColorAt(1, t.well.darker(main ? 112 : 106));
    p.setBrush(wg);
    p.setPen(QPen(WithAlpha(t.wellRing, main ? 230 : 130), 1));
    p.drawEllipse(centre, r, r);
    // A lit lower rim makes the well look recessed.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(WithAlpha(t.panelShine, 70), 1));
    p.drawArc(QRectF(centre.x() - r - 1, centre.y() - r - 1, 2 * r + 2, 2 * r + 2), 200 * 16,
              140 * 16);
  };
  well({27.5, 13}, 10.5, true);
  well({71, 12.5}, 9, false);
  well({112.5, 12.5}, 9, false);

  // Grooves between the sections.
  for (qreal x : {49.5, 91.5}) {
    p.setPen(QPen(WithAlpha(t.panelEdge, 150), 1));
    p.drawLine(QPointF(x, 7), QPointF(x, 19));
    p.setPen(QPen(WithAlpha(t.panelShine, 80), 1));
    p.drawLine(QPointF(x + 1, 7), QPointF(x + 1, 19));
  }
  return img;
}

QImage DrawButtonFace(const Theme& t, const QString& name, bool hot, const QImage& under) {
  const QSize size = under.deviceIndependentSize().toSize();
  QImage layer = Blank(size.width(), size.height());
  {
    Canvas c(layer);
    QPainter& p = c.p;
    const QColor color = hot ? t.glyphHot : t.glyph;
    const QPainterPath filled = ButtonGlyph(name);
    if (!filled.isEmpty()) {
      if (hot) {
        p.setPen(QPen(WithAlpha(color, 70), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(filled);
      }
      p.setPen(QPen(color, 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(color);
      p.drawPath(filled);
    } else {
      if (hot) StrokeGlyph(p, name, WithAlpha(color, 60), 1.6);
      StrokeGlyph(p, name, color, 0);
    }
  }
  return KeyOverMatte(layer, under);
}

QImage DrawLogoBack(const Theme& t) {
  QImage img = Blank(137, 99);
  Canvas c(img);
  QPainter& p = c.p;
  // The record peeking out behind the cover.
  const QPointF centre(91, 49);
  const qreal r = 42;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawEllipse(centre + QPointF(1, 2), r, r);
  QRadialGradient dg(centre, r);
  dg.setColorAt(0, t.disc.lighter(130));
  dg.setColorAt(0.45, t.disc);
  dg.setColorAt(1, t.disc.darker(110));
  p.setBrush(dg);
  p.drawEllipse(centre, r, r);
  p.setBrush(Qt::NoBrush);
  for (qreal gr = 15; gr < r - 1.5; gr += 2.4) {
    p.setPen(QPen(WithAlpha(t.discGroove, 120), 0.6));
    p.drawEllipse(centre, gr, gr);
  }
  // Sheen: two opposite light wedges.
  QConicalGradient sheen(centre, 45);
  QColor clear(255, 255, 255, 0);
  sheen.setColorAt(0.00, clear);
  sheen.setColorAt(0.08, QColor(255, 255, 255, 46));
  sheen.setColorAt(0.16, clear);
  sheen.setColorAt(0.50, clear);
  sheen.setColorAt(0.58, QColor(255, 255, 255, 34));
  sheen.setColorAt(0.66, clear);
  sheen.setColorAt(1.00, clear);
  p.setPen(Qt::NoPen);
  p.setBrush(sheen);
  p.drawEllipse(centre, r - 1, r - 1);
  QRadialGradient lg(centre + QPointF(-3, -3), 14);
  lg.setColorAt(0, t.discLabel.lighter(125));
  lg.setColorAt(1, t.discLabel.darker(115));
  p.setBrush(lg);
  p.drawEllipse(centre, 12.5, 12.5);
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawEllipse(centre, 5, 5);
  p.setCompositionMode(QPainter::CompositionMode_Clear);
  p.setBrush(Qt::black);
  p.drawEllipse(centre, 1.9, 1.9);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);

  // The cover's soft shadow and frame; the logo is drawn at (11, 10), 73 x 73.
  for (int i = 5; i >= 1; --i) {
    p.setBrush(QColor(0, 0, 0, 14 + 6 * (5 - i)));
    p.drawRoundedRect(QRectF(11 - i * 0.6 + 1.5, 10 - i * 0.4 + 2.5, 73 + i * 1.2, 73 + i * 1.2), 3,
                      3);
  }
  p.setBrush(t.coverA);
  p.setPen(
      QPen(t.cover == CoverStyle::Equalizer ? QColor(0, 0, 0, 220) : QColor(255, 255, 255), 1));
  p.drawRect(QRectF(10.5, 9.5, 74, 74));
  return img;
}

QImage DrawLogo(const Theme& t) {
  QImage img = Blank(73, 73);
  Canvas c(img);
  QPainter& p = c.p;
  QLinearGradient bg(0, 0, 73, 73);
  bg.setColorAt(0, t.coverA);
  bg.setColorAt(1, t.coverB);
  p.fillRect(img.rect(), bg);

  if (t.cover == CoverStyle::Equalizer) {
    // A red glow rising behind an equaliser, mirrored on a glossy floor.
    QRadialGradient glow(QPointF(36.5, 50), 40);
    glow.setColorAt(0, WithAlpha(t.accent, 120));
    glow.setColorAt(1, WithAlpha(t.accent, 0));
    p.fillRect(img.rect(), glow);
    const int heights[] = {10, 18, 27, 21, 33, 25, 15, 22, 12};
    const qreal baseY = 50;
    for (int i = 0; i < 9; ++i) {
      const qreal x = 8 + i * 6.5;
      const qreal h = heights[i];
      QLinearGradient bar(0, baseY - h, 0, baseY);
      bar.setColorAt(0, t.accentLight);
      bar.setColorAt(0.6, t.accent);
      bar.setColorAt(1, t.accentDark);
      p.setPen(Qt::NoPen);
      p.setBrush(bar);
      p.drawRoundedRect(QRectF(x, baseY - h, 4.2, h), 1.2, 1.2);
      QLinearGradient refl(0, baseY + 1, 0, baseY + 1 + h * 0.45);
      refl.setColorAt(0, WithAlpha(t.accent, 90));
      refl.setColorAt(1, WithAlpha(t.accent, 0));
      p.setBrush(refl);
      p.drawRoundedRect(QRectF(x, baseY + 1.2, 4.2, h * 0.45), 1.2, 1.2);
      // Peak cap floating above the bar.
      p.setBrush(QColor(255, 255, 255, 210));
      p.drawRoundedRect(QRectF(x, baseY - h - 3.2, 4.2, 1.4), 0.6, 0.6);
    }
    p.setPen(QPen(QColor(255, 255, 255, 40), 0.8));
    p.drawLine(QPointF(5, baseY + 0.6), QPointF(68, baseY + 0.6));
    // Orbit arcs in the upper corner.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 60), 0.9));
    p.drawArc(QRectF(38, -26, 60, 60), 180 * 16, 90 * 16);
    p.setPen(QPen(WithAlpha(t.accentLight, 110), 0.9));
    p.drawArc(QRectF(46, -18, 44, 44), 180 * 16, 90 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(t.accentLight);
    p.drawEllipse(QPointF(50.5, 11.5), 1.6, 1.6);
  } else {
    // Ripples on water and a note.
    p.setPen(Qt::NoPen);
    const QPointF origin(22, 52);
    for (int i = 4; i >= 1; --i) {
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(255, 255, 255, 40 + 28 * (4 - i)), 1.4));
      p.drawEllipse(origin, 9.0 * i, 9.0 * i * 0.62);
    }
    QRadialGradient drop(origin + QPointF(-1.5, -1.5), 6);
    drop.setColorAt(0, QColor(255, 255, 255, 240));
    drop.setColorAt(1, QColor(255, 255, 255, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(drop);
    p.drawEllipse(origin, 4.2, 2.8);
    // Leaf-like circles.
    p.setBrush(QColor(255, 255, 255, 52));
    p.drawEllipse(QPointF(57, 16), 17, 17);
    p.setBrush(WithAlpha(t.accentDark, 46));
    p.drawEllipse(QPointF(66, 28), 12, 12);
    // Note: head, stem and flag.
    const QColor ink(255, 255, 255);
    QPainterPath note;
    QTransform tr;
    tr.translate(44, 48);
    tr.rotate(-22);
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 6.2, 4.4);
    note.addPath(tr.map(head));
    note.addRect(QRectF(48.6, 18, 2.4, 29));
    QPainterPath flag;
    flag.moveTo(51, 18);
    flag.cubicTo(53, 24, 63, 24, 60, 35);
    flag.cubicTo(60, 28, 55, 27, 51, 27);
    flag.closeSubpath();
    note.addPath(flag);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawPath(note.translated(0.8, 1.2));
    p.setBrush(ink);
    p.drawPath(note);
  }
  // Glossy top edge.
  QLinearGradient gloss(0, 0, 0, 30);
  gloss.setColorAt(0, QColor(255, 255, 255, 38));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(QRectF(0, 0, 73, 30), gloss);
  return img;
}

QImage DrawVolumeKnob(const Theme& t) {
  QImage img = Blank(16, 17);
  Canvas c(img);
  DrawKnob(c.p, t, QPointF(8, 8.2), 6.3, 2.0, false);
  return img;
}

QImage DrawAlphaKnob(const Theme& t) {
  QImage img = Blank(20, 22);
  Canvas c(img);
  DrawKnob(c.p, t, QPointF(10, 10.6), 7.6, 2.6, true);
  return img;
}

QImage DrawSpeaker(const Theme& t) {
  QImage img = Blank(14, 12);
  Canvas c(img);
  QPainter& p = c.p;
  QPainterPath body;
  body.moveTo(1.0, 4.2);
  body.lineTo(3.6, 4.2);
  body.lineTo(7.2, 1.0);
  body.lineTo(7.2, 11.0);
  body.lineTo(3.6, 7.8);
  body.lineTo(1.0, 7.8);
  body.closeSubpath();
  p.setPen(QPen(t.textDim, 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(t.textDim);
  p.drawPath(body);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(t.textDim, 1.1, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(5.6, 3.5, 5, 5), -50 * 16, 100 * 16);
  p.setPen(QPen(WithAlpha(t.textDim, 190), 1.1, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(4.2, 1.2, 9.2, 9.6), -52 * 16, 104 * 16);
  return img;
}

QImage DrawListBack(const Theme& t, int index) {
  QImage img = Blank(260, 20);
  Canvas c(img);
  QPainter& p = c.p;
  p.setRenderHint(QPainter::Antialiasing, false);
  switch (index) {
    case 0:
      p.fillRect(img.rect(), t.rowOdd);
      break;
    case 1:
      p.fillRect(img.rect(), t.rowEven);
      break;
    case 2: {
      QLinearGradient g(0, 0, 0, 20);
      g.setColorAt(0, t.rowHover.lighter(106));
      g.setColorAt(1, t.rowHover);
      p.fillRect(img.rect(), g);
      p.fillRect(QRect(0, 0, 3, 20), t.rowHoverEdge);
      break;
    }
    default: {
      QLinearGradient g(0, 0, 0, 20);
      g.setColorAt(0, t.rowSelTop);
      g.setColorAt(1, t.rowSelBottom);
      p.fillRect(img.rect(), g);
      p.fillRect(QRect(0, 0, 3, 20), t.rowSelEdge);
      p.fillRect(QRect(3, 0, 257, 1), QColor(255, 255, 255, 50));
      break;
    }
  }
  p.fillRect(QRect(0, 19, 260, 1), index == 3 ? t.rowSelBottom.darker(120) : t.rowLine);
  return img;
}

QImage DrawCaptionBar(const Theme& t) {
  const int h = t.captionHeight;
  QImage img = Blank(48, h);
  Canvas c(img);
  QPainter& p = c.p;
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, t.captionTop);
  g.setColorAt(1, t.captionBottom);
  p.fillRect(img.rect(), g);
  // Gloss on the upper half.
  QLinearGradient gloss(0, 0, 0, h / 2.0);
  gloss.setColorAt(0, QColor(255, 255, 255, 34));
  gloss.setColorAt(1, QColor(255, 255, 255, 6));
  p.fillRect(QRectF(0, 0, 48, h / 2.0), gloss);
  p.fillRect(QRect(0, 1, 48, 1), QColor(255, 255, 255, 40));
  p.fillRect(QRect(0, h - 1, 48, 1), t.captionLine);
  // The edges darken slightly so the bar reads as one piece.
  QLinearGradient left(0, 0, 12, 0);
  left.setColorAt(0, QColor(0, 0, 0, 40));
  left.setColorAt(1, QColor(0, 0, 0, 0));
  p.fillRect(QRect(0, 0, 12, h - 1), left);
  QLinearGradient right(36, 0, 48, 0);
  right.setColorAt(0, QColor(0, 0, 0, 0));
  right.setColorAt(1, QColor(0, 0, 0, 40));
  p.fillRect(QRect(36, 0, 12, h - 1), right);
  return img;
}

QImage DrawCaptionButtons(const Theme& t) {
  const int bw = 18, bh = 16;
  QImage img = Blank(4 * bw, 3 * bh);
  Canvas c(img);
  QPainter& p = c.p;
  for (int row = 0; row < 3; ++row) {
    for (int face = 0; face < 4; ++face) {
      const QRectF cell(face * bw, row * bh, bw, bh);
      if (row > 0) {
        QColor back = row == 2 ? t.capDown : (face == 3 ? t.capCloseHot : t.capHot);
        if (row == 2 && face == 3) back = t.capCloseHot.darker(125);
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 3, 3);
      }
      const QColor ink = (row > 0 && face == 3) ? QColor(255, 255, 255) : t.capGlyph;
      p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      const QPointF m = cell.center() + QPointF(0, row == 2 ? 0.6 : 0);
      switch (face) {
        case 0:
          p.drawLine(m + QPointF(-3.8, 3), m + QPointF(3.8, 3));
          break;
        case 1:
          p.drawPolyline(QPolygonF({m + QPointF(-4, 2), m + QPointF(0, -2), m + QPointF(4, 2)}));
          break;
        case 2:
          p.drawPolyline(QPolygonF({m + QPointF(-4, -2), m + QPointF(0, 2), m + QPointF(4, -2)}));
          break;
        default:
          p.drawLine(m + QPointF(-3.4, -3.4), m + QPointF(3.4, 3.4));
          p.drawLine(m + QPointF(-3.4, 3.4), m + QPointF(3.4, -3.4));
          break;
      }
    }
  }
  return img;
}

QImage DrawCheck(const Theme& t, bool checked, bool hot) {
  QImage img = Blank(13, 13);
  Canvas c(img);
  QPainter& p = c.p;
  const QRectF box(0.5, 0.5, 12, 12);
  if (checked) {
    QLinearGradient g(0, 0, 0, 13);
    g.setColorAt(0, hot ? t.accentLight : t.accent.lighter(112));
    g.setColorAt(1, hot ? t.accent : t.accentDark);
    p.setBrush(g);
    p.setPen(QPen(t.accentDark, 1));
    p.drawRoundedRect(box, 2.5, 2.5);
    p.setPen(QPen(t.checkMark, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(3.2, 6.7), QPointF(5.5, 9.0), QPointF(9.9, 4.0)}));
  } else {
    p.setBrush(t.checkBox);
    p.setPen(QPen(hot ? t.accent : t.checkBorder, 1));
    p.drawRoundedRect(box, 2.5, 2.5);
  }
  return img;
}

QImage DrawArrow(const Theme&, bool up, const QColor& color) {
  QImage img = Blank(9, 6);
  Canvas c(img);
  c.p.setPen(Qt::NoPen);
  c.p.setBrush(color);
  if (up) {
    c.p.drawPath(Triangle({0.5, 5.2}, {8.5, 5.2}, {4.5, 0.8}));
  } else {
    c.p.drawPath(Triangle({0.5, 0.8}, {8.5, 0.8}, {4.5, 5.2}));
  }
  return img;
}

QImage DrawAppIcon(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  Canvas c(img);
  QPainter& p = c.p;
  p.scale(size / 128.0, size / 128.0);
  const QRectF tile(6, 6, 116, 116);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawRoundedRect(tile.translated(0, 2.5), 27, 27);
  QLinearGradient g(tile.topLeft(), tile.bottomRight());
  g.setColorAt(0, QColor(0xF2, 0x5A, 0x5F));
  g.setColorAt(1, QColor(0x8E, 0x12, 0x26));
  p.setBrush(g);
  p.drawRoundedRect(tile, 27, 27);
  // A record...
  const QPointF centre(54, 70);
  p.setBrush(QColor(0x1A, 0x1A, 0x1E));
  p.drawEllipse(centre, 38, 38);
  p.setBrush(Qt::NoBrush);
  for (qreal r = 16; r < 36; r += 3.2) {
    p.setPen(QPen(QColor(255, 255, 255, 34), 1.0));
    p.drawEllipse(centre, r, r);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF2, 0x5A, 0x5F));
  p.drawEllipse(centre, 12, 12);
  p.setBrush(QColor(255, 255, 255));
  p.drawEllipse(centre, 3, 3);
  // ...and a note in front of it.
  QPainterPath note;
  QTransform tr;
  tr.translate(80, 86);
  tr.rotate(-22);
  QPainterPath head;
  head.addEllipse(QPointF(0, 0), 13, 9.5);
  note.addPath(tr.map(head));
  note.addRect(QRectF(88.5, 26, 5.5, 58));
  QPainterPath flag;
  flag.moveTo(94, 26);
  flag.cubicTo(98, 40, 118, 40, 111, 64);
  flag.cubicTo(110, 50, 100, 46, 94, 46);
  flag.closeSubpath();
  note.addPath(flag);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawPath(note.translated(1.5, 2));
  p.setBrush(QColor(255, 255, 255));
  p.drawPath(note);
  // Gloss.
  QLinearGradient gloss(0, 6, 0, 64);
  gloss.setColorAt(0, QColor(255, 255, 255, 60));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  p.setBrush(gloss);
  p.drawRoundedRect(tile, 27, 27);
  return img;
}

}  // namespace skingen
