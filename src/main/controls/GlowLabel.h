// A label whose text is drawn over a soft glow of BlurColor (the title label
// seXLabel1). It sizes itself to its text plus the glow. Window's thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

class TseXLabel : public QWidget {
  Q_OBJECT

 public:
  explicit TseXLabel(QWidget* parent);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& color);
  QColor BlurColor() const { return blurColor_; }
  void SetBlurColor(const QColor& color);
  int BlurSize() const { return blurSize_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent* e) override;

 private:
  void Rebuild();  // new size now, new picture at the next paint
  void Render();

  QString caption_;
  QColor fontColor_{Qt::white};
  QColor blurColor_{Qt::white};
  int blurSize_ = 3;
  QImage rendered_;  // text and glow; null until painted after a change
};
