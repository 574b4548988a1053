// A bitmap button: three faces (Up, Down, Hot) drawn at their own size, with
// the pixels of TransparentColor (olive, RGB 128, 128, 0) left undrawn. Emits
// clicked() like any button. Window's thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

class TRzBmpButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TRzBmpButton(QWidget* parent);

  struct TBitmaps {
    QPixmap Up, Down, Hot;
  };
  const TBitmaps& Bitmaps() const { return bitmaps_; }
  // Set the faces; olive pixels become transparent.
  void SetUp(const QImage& up);
  void SetDown(const QImage& down);
  void SetHot(const QImage& hot);

  static QColor TransparentColor() { return QColor(128, 128, 0); }
  // A copy of `image` with the transparent colour cleared.
  static QPixmap Transparent(const QImage& image);

  // Which face is showing: 0 Up, 1 Down, 2 Hot (for tests and checks).
  int FaceShown() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  TBitmaps bitmaps_;
  bool hot_ = false;
};
