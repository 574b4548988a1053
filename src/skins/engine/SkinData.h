// TspSkinData: the current skin of the skin engine. It loads a skin
// description (skin.ini, format in skins/SkinDescription.h) with its pictures
// and turns it into style sheets and a palette for the standard controls.
//
// Ownership: a QObject; give it a parent (the main window). Thread: the
// window's thread only.
//
// Before any successful load it holds the built-in look (the defaults of
// TSkinDescription), so a window is usable without a skin folder.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include "skins/SkinDescription.h"

class QWidget;

class TspSkinData : public QObject {
  Q_OBJECT

 public:
  // Object name "spSkinData1".
  explicit TspSkinData(QObject* parent = nullptr);

  // Loads the description at `path` (a file-system path) and the pictures it
  // names from the same folder. Accepts it only when the file has the sections
  // VERSION, PICTURES, FORMINFO, SKINOBJECTS and SKINCONTROLS; otherwise (also
  // for a missing or unreadable file) returns false and keeps the current skin,
  // with the reason in LastError(). On success emits SkinChanged() and returns
  // true. A picture that is missing or cannot be decoded does not refuse the
  // skin: that part is drawn with the skin's colours and Warnings() says so.
  bool LoadFromFile(const QString& path);
  // Device pixels per window pixel the pictures are read for (their @2x twins
  // above 1); 0, the default, means the application's screens.
  void SetDevicePixelRatio(qreal ratio) { ratio_ = ratio; }

  // True until a description has been accepted.
  bool Empty() const { return fileName_.isEmpty(); }
  // The accepted description's path; empty before the first success.
  QString FileName() const { return fileName_; }
  QString LastError() const { return lastError_; }
  QStringList Warnings() const { return warnings_; }

  const skins::TSkinDescription& Description() const { return desc_; }
  // Caption bar height in pixels, always within 23..32.
  int CaptionHeight() const { return desc_.FormInfo.CaptionHeight; }

  // Pictures of the current skin; null when the skin has none (draw colours).
  const QPixmap& CaptionBarPicture() const { return captionBar_; }
  const QPixmap& CaptionButtonsPicture() const { return captionButtons_; }

  QFont CaptionFont() const;
  QFont ControlFont() const;
  static QColor ToColor(const skins::TRgb& c) { return QColor(c.r, c.g, c.b); }

  // Style sheets of the standard controls. StyleSheet() is all of them; the
  // others are its parts. They use class selectors only (QLineEdit, QComboBox,
  // QCheckBox, QPushButton, QTabWidget/QTabBar, QScrollBar, QMenu, QToolTip),
  // so custom widgets (gauges, bitmap buttons, list rows) are left alone, and a
  // widget's own style sheet still wins over them.
  QString StyleSheet() const;
  QString EditStyleSheet() const;
  QString ComboBoxStyleSheet() const;
  QString CheckBoxStyleSheet() const;
  QString ButtonStyleSheet() const;
  QString TabStyleSheet() const;
  QString ScrollBarStyleSheet() const;
  QString MenuStyleSheet() const;
  QString ToolTipStyleSheet() const;

  // Window and text colours for widgets that draw themselves (labels take the
  // text colour from here unless they set their own).
  QPalette Palette() const;

  // Sets StyleSheet(), Palette() and ControlFont() on `widget`; its children
  // (menus parented to it included) inherit them. Used by TspDynamicSkinForm
  // for the main window; call it for other top-level widgets (a tray menu
  // without a parent).
  void ApplyTo(QWidget* widget) const;

 signals:
  // A new skin was accepted; everything above now describes it.
  void SkinChanged();

 private:
  QString PictureUrl(const std::string& name) const;

  skins::TSkinDescription desc_;
  qreal ratio_ = 0;
  QString fileName_;
  QString folder_;  // with a trailing '/'
  QString lastError_;
  QStringList warnings_;
  QPixmap captionBar_;
  QPixmap captionButtons_;
  // Absolute paths of the control pictures that decoded, keyed by file name.
  QStringList goodPictures_;
};
