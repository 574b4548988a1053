// TspDynamicSkinForm: turns a top-level QWidget (the main window) into a
// frameless, fixed-size skinned window.
//
//   +-------------------------------------------+
//   | [icon] caption text          [_] [^] [x]  |  caption bar, CaptionHeight()
//   +-------------------------------------------+
//   |                                           |
//   |  ClientArea(): the window's controls,     |
//   |  positioned in client coordinates         |
//   |                                           |
//   +-------------------------------------------+
//
// The window's height includes the caption bar: SetWindowSize(313, 188) gives a
// bar of CaptionHeight() pixels and a client area of 188 - CaptionHeight() (less
// the frame's bottom edge). The frame's side edges inset the client area by
// FrameWidth pixels.
//
// Caption bar: the icon is the system-menu button (left click or a right click
// anywhere on the bar opens SystemMenu()); then minimise (always to the tray),
// roll-up and close. Dragging the bar moves the window; a double click rolls it
// up or down. The text is the window's title (QWidget::windowTitle).
//
// Ownership: the object is a child of the form and creates its caption bar and
// client area as children of the form; the tray icon is its own child. The form
// is not owned. Thread: the window's thread only.
//
// Visibility: rolling up only shrinks the window (the client area keeps its
// state), and minimising to the tray hides the window, which makes isVisible()
// false for every child. Code that asks whether a control is shown should use
// isVisibleTo(ClientArea()) or !isHidden().
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class TspSkinData;
class TspCaptionBar;
class TspFormFrame;

class TspDynamicSkinForm : public QObject {
  Q_OBJECT

 public:
  // Object name "spDynamicSkinForm1". Makes `form` frameless, applies the skin
  // data to it and follows the skin data's SkinChanged(). `form` must be a
  // top-level widget; `skinData` must outlive this object (usually both are
  // children of the form).
  TspDynamicSkinForm(QWidget* form, TspSkinData* skinData);
  ~TspDynamicSkinForm() override;

  QWidget* Form() const { return form_; }
  // Parent for every control of the window. Its origin is the layout's (0, 0).
  QWidget* ClientArea() const;
  int CaptionHeight() const;
  int FrameWidth() const;

  // Fixes the window's size (caption bar included). Values are clamped to
  // 1..4096 wide and CaptionHeight()..4096 high. While rolled up only the width
  // changes now; the height is kept for rolling down.
  void SetWindowSize(int width, int height);
  void SetWindowHeight(int height) { SetWindowSize(WindowSize().width(), height); }
  // The size set last (the unrolled size, also while rolled up).
  QSize WindowSize() const { return size_; }
  int WindowHeight() const { return size_.height(); }

  // True while the window is rolled up to its caption bar.
  bool RollUpState() const { return rolledUp_; }
  void SetRollUpState(bool rolledUp);

  // Window opacity from an alpha value 0 (clear) .. 255 (opaque), clamped.
  // 254 at creation.
  void setAlphaBlendValue(int alpha);
  int AlphaBlendValue() const { return alpha_; }

  // The system menu (spSkinPopupMenu3). The standard items restore, minimise,
  // roll-up, minimise to tray and close are inserted at its top (the window's
  // own items follow, beginning with their separator). Not owned; a second
  // call moves the standard items to the new menu.
  void SetSystemMenu(QMenu* menu);
  QMenu* SystemMenu() const { return sysMenu_; }
  QAction* RestoreAction() const { return actRestore_; }
  QAction* MinimizeAction() const { return actMinimize_; }
  QAction* RollUpAction() const { return actRollUp_; }
  QAction* MinimizeToTrayAction() const { return actTray_; }
  QAction* CloseAction() const { return actClose_; }

  // The tray icon spTrayIcon1, made on first need: creating it opens the
  // desktop-bus connection, which the window's first frame does not wait for.
  // The window sets its tool tip, icon and menu when TrayCreated() tells it;
  // until it has an icon it takes the form's window icon. It is shown once the
  // window has painted its first frame and stays shown (where the desktop has
  // no tray nothing appears and the window goes on working).
  QSystemTrayIcon* TrayIcon();

  // Minimise: to the tray (hide the window) where the desktop has a tray;
  // where it has none the window is minimised normally, so it can be found
  // again on the task bar.
  void Minimize();
  // Show the window again: un-minimise, show, raise and activate. The roll-up
  // state is kept.
  void Restore();
  // Keeps the frameless flags when switching the stay-on-top style.
  void SetStayOnTop(bool onTop);
  bool StayOnTop() const;

  // Whether the desktop has a tray; QSystemTrayIcon::isSystemTrayAvailable by
  // default. Replaceable for tests and special desktops.
  void SetTrayAvailableCheck(std::function<bool()> check);
  bool TrayAvailable() const;

 signals:
  void RollUpChanged(bool rolledUp);
  // The window was hidden to the tray.
  void MinimizedToTray();
  // The tray icon has just been made.
  void TrayCreated(QSystemTrayIcon* tray);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplySkin();
  void Relayout();
  void ApplyFixedSize();
  void UpdateMenuStates();
  void ShowTrayIfPossible();

  QPointer<QWidget> form_;
  TspSkinData* skin_;
  TspFormFrame* frame_ = nullptr;
  TspCaptionBar* caption_ = nullptr;
  QWidget* client_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QPointer<QMenu> sysMenu_;
  QAction* actRestore_ = nullptr;
  QAction* actMinimize_ = nullptr;
  QAction* actRollUp_ = nullptr;
  QAction* actTray_ = nullptr;
  QAction* actClose_ = nullptr;
  std::function<bool()> trayCheck_;
  QSize size_;
  bool rolledUp_ = false;
  int alpha_ = 254;
  bool applyingSize_ = false;
  bool framePainted_ = false;  // the window's first frame has been painted

  friend class TspCaptionBar;
};
