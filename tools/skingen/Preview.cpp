#include "Preview.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace skingen {

namespace {

QColor WinColor(int v) {
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// skin.ini and skinEx.ini as plain key lists (our own files: simple syntax).
QHash<QString, QString> ReadIni(const QString& path) {
  QHash<QString, QString> values;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return values;
  QString section;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.startsWith('[')) {
      section = line.mid(1, line.indexOf(']') - 1).toLower();
    } else if (line.contains('=') && !line.startsWith(';')) {
      const int eq = line.indexOf('=');
      values.insert(section + "/" + line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed());
    }
  }
  return values;
}

QImage Keyed(const QImage& bmp) {
  QImage out = bmp.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if ((row[x] & 0xFFFFFF) == 0x808000) row[x] = 0;
    }
  }
  return out;
}

QFont Font(int px, bool bold = false) {
  QFont f;
  f.setFamilies({"DejaVu Sans", "WenQuanYi Micro Hei"});
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

void Gauge(QPainter& p, QRect r, QColor back, QColor border, QColor bar, double fraction) {
  p.setPen(border);
  p.setBrush(back);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.fillRect(QRect(r.left() + 1, r.top() + 1, int((r.width() - 2) * fraction), r.height() - 2),
             bar);
}

}  // namespace

QImage DrawPreview(const QString& dataDir, const QString& folder) {
  const QString dir = dataDir + "/" + folder + "/";
  auto ini = ReadIni(dir + "skin.ini");
  auto ex = ReadIni(dir + "skinEx.ini");
  auto img = [&](const QString& name) { return QImage(dir + name); };
  auto col = [&](const QString& key) { return QColor(ini.value(key)); };
  for (const char* f : {"ControlBar.png", "LogoBack.png", "logo.png", "yuan.png", "yuan2.png",
                        "laba.png", "caption.png", "capbuttons.png", "Listback_0.bmp"}) {
    if (img(f).isNull()) return {};
  }

  const int bar = ini.value("forminfo/captionheight").toInt();
  const int width = ex.value("formcfg/formwidth").toInt();
  const int height = ex.value("formcfg/formmaxheight").toInt();
  QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
  out.fill(col("forminfo/clientcolor"));
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Caption: three slices, icon, text, buttons (normal row).
  const QImage cap = img("caption.png");
  p.drawImage(QRect(0, 0, 12, bar), cap, QRect(0, 0, 12, cap.height()));
  p.drawImage(QRect(12, 0, width - 24, bar), cap, QRect(12, 0, cap.width() - 24, cap.height()));
  p.drawImage(QRect(width - 12, 0, 12, bar), cap, QRect(cap.width() - 12, 0, 12, cap.height()));
  p.drawImage(QRect(5, (bar - 16) / 2, 16, 16), QImage(dataDir + "/lyrano.png"));
  p.setFont(Font(12, true));
  p.setPen(col("forminfo/captiontextcolor"));
  p.drawText(QRect(27, 0, 200, bar), Qt::AlignVCenter, "Lyrano");
  const QImage buttons = img("capbuttons.png");
  const int by = (bar - 16) / 2;
  const int faces[] = {3, 1, 0};
  int x = width - 4 - 18;
  for (int face : faces) {
    p.drawImage(QRect(x, by, 18, 16), buttons, QRect(face * 18, 0, 18, 16));
    x -= 19;
  }
  p.setPen(col("forminfo/framecolor"));
  p.setBrush(Qt::NoBrush);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.drawRect(0, 0, width - 1, height - 1);
  p.setRenderHint(QPainter::Antialiasing);

  p.translate(1, bar);
  p.drawImage(14, 10, img("LogoBack.png"));
  p.drawImage(QRect(25, 20, 73, 73), img("logo.png"));
  // Title with its glow.
  const QColor title = WinColor(ex.value("somecolor/titlex").toInt());
  const QColor glow = WinColor(ex.value("somecolor/titlexblur").toInt());
  QPainterPath text;
  text.addText(157, 18, Font(16, true), QString::fromUtf8("Lyrano播放器"));
  for (int w = 6; w >= 2; w -= 2) {
    QColor g = glow;
    g.setAlpha(45);
    p.strokePath(text, QPen(g, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
  p.fillPath(text, title);
  p.setFont(Font(11));
  p.setPen(col("skincontrols/textcolor"));
  p.drawText(QRect(157, 27, 144, 14), Qt::AlignRight | Qt::AlignVCenter,
             QString::fromUtf8("最轻巧全能的音乐云播放器"));
  p.drawImage(157, 55, img("ControlBar.png"));
  p.drawImage(179, 61, Keyed(img("playup.bmp")));
  p.drawImage(219, 61, Keyed(img("prevup.bmp")));
  p.drawImage(261, 61, Keyed(img("nexthot.bmp")));
  p.drawImage(160, 91, img("laba.png"));
  const QColor gaugeBorder = WinColor(ex.value("somecolor/gaugecolor").toInt());
  p.setRenderHint(QPainter::Antialiasing, false);
  Gauge(p, QRect(179, 92, 114, 9), WinColor(ex.value("somecolor/volcolor").toInt()), gaugeBorder,
        WinColor(ex.value("somecolor/volbarcolor").toInt()), 0.98);
  Gauge(p, QRect(14, 113, 286, 13), gaugeBorder, gaugeBorder,
        WinColor(ex.value("somecolor/gaugebarcolor").toInt()), 0.42);
  Gauge(p, QRect(52, 365, 114, 7), WinColor(ex.value("somecolor/alphacolor").toInt()), gaugeBorder,
        WinColor(ex.value("somecolor/alphabarcolor").toInt()), 154 / 155.0);
  p.setRenderHint(QPainter::Antialiasing);
  p.drawImage(285, 87, img("yuan.png"));
  p.setPen(WinColor(ex.value("somecolor/timelabel").toInt()));
  p.drawText(QRect(191, 111, 105, 14), Qt::AlignRight | Qt::AlignVCenter, "1:24 / 3:57");
  p.drawImage(20, 140, Keyed(img("listup.bmp")));
  p.drawImage(278, 140, Keyed(img("soup.bmp")));
  // Edit box.
  p.setPen(col("skincontrols/editborder"));
  p.setBrush(col("skincontrols/editback"));
  p.drawRoundedRect(QRectF(42.5, 135.5, 231, 18), 3, 3);
  p.setPen(col("skincontrols/edittext"));
  p.drawText(QRect(46, 135, 220, 19), Qt::AlignVCenter, QString::fromUtf8("我们的歌"));
  // Tabs and the list.
  const QStringList tabs{QString::fromUtf8("播放列表"), QString::fromUtf8("搜索"),
                         QString::fromUtf8("歌词"), QString::fromUtf8("关于")};
  p.setPen(col("skincontrols/tabborder"));
  p.setBrush(col("skincontrols/tabpaneback"));
  p.drawRect(QRectF(6.5, 186.5, 293, 171));
  int tx = 8;
  for (int i = 0; i < tabs.size(); ++i) {
    const int tw = QFontMetrics(Font(12)).horizontalAdvance(tabs[i]) + 18;
    p.setBrush(col(i == 0 ? "skincontrols/tabactiveback" : "skincontrols/tabback"));
    p.setPen(col("skincontrols/tabborder"));
    p.drawRect(QRectF(tx + 0.5, i == 0 ? 165.5 : 167.5, tw, i == 0 ? 21 : 19));
    p.setPen(col(i == 0 ? "skincontrols/tabactivetext" : "skincontrols/tabtext"));
    p.setFont(Font(12));
    p.drawText(QRect(tx, i == 0 ? 165 : 167, tw, 21), Qt::AlignCenter, tabs[i]);
    tx += tw + 1;
  }
  const char* rows[][2] = {{"Morning Light", "Aster"},
                           {"Slow River", "Lin Qiao"},
                           {"Paper Moon", "The Wanderers"},
                           {"海边的风", "林桥"},
                           {"Northern Line", "Aster"},
                           {"Glass Garden", "Mira"},
                           {"夜航", "陈默"}};
  p.setFont(Font(12));
  for (int i = 0; i < 7; ++i) {
    int which = i % 2 == 0 ? 1 : 0;
    if (i == 2) which = 3;
    if (i == 4) which = 2;
    const int y = 189 + 3 + i * 23;
    p.drawImage(10, y, img(QString("Listback_%1.bmp").arg(which)));
    p.setPen(col("skincontrols/textcolor"));
    p.drawText(QRect(10 + 34, y + 3, 120, 14), Qt::AlignCenter, QString::fromUtf8(rows[i][0]));
    p.drawText(QRect(10 + 165, y + 3, 90, 14), Qt::AlignRight, QString::fromUtf8(rows[i][1]));
    p.drawImage(10 + 7, y + 4, img(i == 1 ? "check_on.png" : "check_off.png"));
  }
  // Scroll bar.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(280, 188, 19, 168), col("skincontrols/scrolltrack"));
  p.setRenderHint(QPainter::Antialiasing);
  p.drawImage(285, 192, img("scroll_up.png"));
  p.drawImage(285, 346, img("scroll_down.png"));
  p.setPen(Qt::NoPen);
  p.setBrush(col("skincontrols/scrollhandle"));
  p.drawRoundedRect(QRectF(284, 204, 11, 48), 3, 3);
  p.setPen(col("skincontrols/textcolor"));
  p.setFont(Font(12));
  p.drawText(QRect(6, 362, 40, 13), Qt::AlignVCenter, QString::fromUtf8("透明度"));
  p.drawImage(156, 358, img("yuan2.png"));
  p.drawImage(244, 362, img("check_off.png"));
  p.drawText(QRect(261, 359, 40, 19), Qt::AlignVCenter, QString::fromUtf8("置顶"));
  return out;
}

}  // namespace skingen
