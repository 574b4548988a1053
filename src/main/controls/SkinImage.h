// A picture control: the picture drawn at its own size from the top left corner
// and clipped to the control, or stretched to the control (the logo). Window's
// thread only.
#pragma once

#include <QPixmap>
#include <QWidget>

class TSkinImage : public QWidget {
  Q_OBJECT

 public:
  TSkinImage(QWidget* parent, bool stretch = false);

  const QPixmap& Picture() const { return picture_; }
  void SetPicture(const QPixmap& picture);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QPixmap picture_;
  bool stretch_;
};
