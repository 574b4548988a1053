// A flat gauge: a filled rectangle in Color with a one-pixel border in
// ColorBorder and a bar in BarColor whose length shows Position within
// MinValue .. MaxValue. Positions outside the range are clamped. Window's
// thread only.
#pragma once

#include <QColor>
#include <QWidget>

class TFlatGauge : public QWidget {
  Q_OBJECT

 public:
  TFlatGauge(QWidget* parent, int minValue, int maxValue, int position);

  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  int Position() const { return position_; }
  void SetPosition(int position);

  QColor Color() const { return color_; }
  QColor ColorBorder() const { return border_; }
  QColor BarColor() const { return bar_; }
  void SetColors(const QColor& color, const QColor& border, const QColor& bar);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int min_, max_, position_;
  QColor color_{25, 26, 27}, border_{25, 26, 27}, bar_{169, 22, 22};
};
