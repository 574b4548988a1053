// The widget that shows one row of a TCnScroolStoreBox: white panel, background
// picture, check box, title and singer labels. A list keeps a few of these and
// binds them to whichever rows are in view. Internal to the list panel.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class TCnAppStoreBox;
class TCnScroolStoreBox;

class TCnAppStoreBoxView : public QWidget {
 public:
  explicit TCnAppStoreBoxView(TCnScroolStoreBox* list);

  // Shows `row` (null: shows nothing). Texts are set only when the row changes;
  // check state and picture are refreshed every time.
  void Bind(TCnAppStoreBox* row);
  TCnAppStoreBox* Row() const { return row_; }
  void ApplySize(int width, int height);

  QCheckBox* CheckBox() const { return checkbox_; }
  QLabel* TitleLabel() const { return title_; }
  QLabel* SingerLabel() const { return geshou_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  TCnScroolStoreBox* list_;
  QCheckBox* checkbox_;
  QLabel* title_;
  QLabel* geshou_;
  TCnAppStoreBox* row_ = nullptr;
  bool pressed_ = false;
};
