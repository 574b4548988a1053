#include "skins/engine/SkinForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "skins/engine/SkinData.h"

namespace {

// Qt's own Wayland platform (not XWayland, which is X11 to Qt).
bool NativeWayland() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

constexpr int kMaxWindowSide = 4096;

// Columns of the caption button picture, in the order skin.ini documents.
enum ButtonFace { kFaceMinimize = 0, kFaceRollUp = 1, kFaceRollDown = 2, kFaceClose = 3 };

}  // namespace

// The client background and the frame's edges.
class TspFormFrame : public QWidget {
 public:
  TspFormFrame(QWidget* parent, TspSkinData* skin) : QWidget(parent), skin_(skin) {
    setObjectName(QStringLiteral("spSkinFrame"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const auto& f = skin_->Description().FormInfo;
    QPainter p(this);
    p.fillRect(rect(), TspSkinData::ToColor(f.ClientColor));
    if (f.FrameWidth > 0) {
      const QColor edge = TspSkinData::ToColor(f.FrameColor);
      const int w = f.FrameWidth;
      p.fillRect(0, 0, width(), w, edge);
      p.fillRect(0, height() - w, width(), w, edge);
      p.fillRect(0, 0, w, height(), edge);
      p.fillRect(width() - w, 0, w, height(), edge);
    }
  }

 private:
  TspSkinData* skin_;
};

// A caption bar button drawn from the skin's button picture, or with the skin's
// colours where the picture lacks the face.
class TspCaptionButton : public QAbstractButton {
 public:
  TspCaptionButton(QWidget* parent, TspSkinData* skin, int face, const char* name)
      : QAbstractButton(parent), skin_(skin), face_(face) {
    setObjectName(QString::fromLatin1(name));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
  }
  void SetFace(int face) {
    if (face != face_) {
      face_ = face;
      update();
    }
  }
  int Face() const { return face_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int row = isDown() ? 2 : (underMouse() ? 1 : 0);
    const QPixmap& pic = skin_->CaptionButtonsPicture();
    // The cell in the picture's own pixels (a @2x picture has twice as many).
    const qreal dpr = pic.devicePixelRatio();
    const QRectF cell(face_ * width() * dpr, row * height() * dpr, width() * dpr, height() * dpr);
    if (!pic.isNull() && QRectF(pic.rect()).contains(cell)) {
      p.drawPixmap(QRectF(rect()), pic, cell);
      return;
    }
    const auto& o = skin_->Description().Objects;
    if (row > 0) {
      QColor back = TspSkinData::ToColor(
          row == 2 ? o.ButtonDownColor
                   : (face_ == kFaceClose ? o.CloseHotColor : o.ButtonHotColor));
      p.setPen(Qt::NoPen);
      p.setBrush(back);
      p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    QPen pen(TspSkinData::ToColor(o.ButtonGlyphColor), 1.6, Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = QRectF(rect()).center();
    const qreal r = std::min(width(), height()) * 0.22;
    switch (face_) {
      case kFaceMinimize:
        p.drawLine(QPointF(c.x() - r, c.y() + r * 0.8), QPointF(c.x() + r, c.y() + r * 0.8));
        break;
      case kFaceRollUp:
        p.drawPolyline(
            QPolygonF({QPointF(c.x() - r, c.y() + r * 0.5), QPointF(c.x(), c.y() - r * 0.5),
                       QPointF(c.x() + r, c.y() + r * 0.5)}));
        break;
      case kFaceRollDown:
        p.drawPolyline(
            QPolygonF({QPointF(c.x() - r, c.y() - r * 0.5), QPointF(c.x(), c.y() + r * 0.5),
                       QPointF(c.x() + r, c.y() - r * 0.5)}));
        break;
      default:
        p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
        p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
        break;
    }
  }

 private:
  TspSkinData* skin_;
  int face_;
};

// The system-menu button: the window's icon.
class TspSysMenuButton : public QAbstractButton {
 public:
  TspSysMenuButton(QWidget* parent, QWidget* form) : QAbstractButton(parent), form_(form) {
    setObjectName(QStringLiteral("spSysMenuButton"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (underMouse() || isDown()) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 255, 255, isDown() ? 40 : 28));
      p.drawRoundedRect(QRectF(rect()), 3, 3);
    }
    QIcon icon = form_ ? form_->windowIcon() : QIcon();
    if (icon.isNull()) icon = QApplication::windowIcon();
    if (!icon.isNull()) {
      icon.paint(&p, rect().adjusted(1, 1, -1, -1));
      return;
    }
    // No icon: three short bars, the usual menu sign.
    p.setPen(QPen(palette().color(QPalette::WindowText), 1.6, Qt::SolidLine, Qt::RoundCap));
    const qreal x0 = width() * 0.25, x1 = width() * 0.75;
    for (qreal y : {height() * 0.3, height() * 0.5, height() * 0.7})
      p.drawLine(QPointF(x0, y), QPointF(x1, y));
  }

 private:
  QPointer<QWidget> form_;
};

// The caption bar: background, icon, text and buttons; dragging moves the window.
class TspCaptionBar : public QWidget {
 public:
  TspCaptionBar(QWidget* parent, TspDynamicSkinForm* owner, TspSkinData* skin)
      : QWidget(parent), owner_(owner), skin_(skin) {
    setObjectName(QStringLiteral("spSkinCaption"));
    sysButton_ = new TspSysMenuButton(this, owner->Form());
    minButton_ = new TspCaptionButton(this, skin, kFaceMinimize, "spMinimizeButton");
    rollButton_ = new TspCaptionButton(this, skin, kFaceRollUp, "spRollUpButton");
    closeButton_ = new TspCaptionButton(this, skin, kFaceClose, "spCloseButton");
    minButton_->setToolTip(QStringLiteral("最小化到托盘"));
    rollButton_->setToolTip(QStringLiteral("卷起"));
    closeButton_->setToolTip(QStringLiteral("关闭"));
    QObject::connect(sysButton_, &QAbstractButton::clicked, this,
                     [this] { ShowSystemMenu(mapToGlobal(QPoint(0, height()))); });
    QObject::connect(minButton_, &QAbstractButton::clicked, owner, &TspDynamicSkinForm::Minimize);
    QObject::connect(rollButton_, &QAbstractButton::clicked, owner,
                     [owner] { owner->SetRollUpState(!owner->RollUpState()); });
    QObject::connect(closeButton_, &QAbstractButton::clicked, owner, [owner] {
      if (owner->Form()) owner->Form()->close();
    });
  }

  void Relayout() {
    const auto& o = skin_->Description().Objects;
    const int h = height();
    const int icon = std::min(o.SysIconSize, h);
    sysButton_->setGeometry(o.SysIconLeft, (h - icon) / 2, icon, icon);
    int x = width() - o.ButtonRightMargin - o.ButtonWidth;
    const int y = (h - o.ButtonHeight) / 2;
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(closeButton_), static_cast<QAbstractButton*>(rollButton_),
          static_cast<QAbstractButton*>(minButton_)}) {
      b->setGeometry(x, y, o.ButtonWidth, o.ButtonHeight);
      x -= o.ButtonWidth + o.ButtonSpacing;
    }
    UpdateRollFace();
    update();
  }

  void UpdateRollFace() {
    const bool rolled = owner_->RollUpState();
    rollButton_->SetFace(rolled ? kFaceRollDown : kFaceRollUp);
    rollButton_->setToolTip(rolled ? QStringLiteral("展开") : QStringLiteral("卷起"));
  }

  void ShowSystemMenu(const QPoint& globalPos) {
    if (QMenu* m = owner_->SystemMenu()) m->popup(globalPos);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const auto& f = skin_->Description().FormInfo;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap& pic = skin_->CaptionBarPicture();
    if (!pic.isNull()) {
      DrawSlices(p, pic, f.CaptionBarLeft, f.CaptionBarRight);
    } else {
      QLinearGradient g(0, 0, 0, height());
      g.setColorAt(0, TspSkinData::ToColor(f.CaptionColor1));
      g.setColorAt(1, TspSkinData::ToColor(f.CaptionColor2));
      p.fillRect(rect(), g);
    }
    if (f.FrameWidth > 0) {
      const QColor edge = TspSkinData::ToColor(f.FrameColor);
      const int w = f.FrameWidth;
      p.fillRect(0, 0, width(), w, edge);
      p.fillRect(0, 0, w, height(), edge);
      p.fillRect(width() - w, 0, w, height(), edge);
      if (owner_->RollUpState()) p.fillRect(0, height() - w, width(), w, edge);
      if (f.FrameHighlight) {
        const QColor hi = TspSkinData::ToColor(*f.FrameHighlight);
        p.fillRect(w, w, width() - 2 * w, 1, hi);
        p.fillRect(w, w, 1, height() - w, hi);
      }
    }
    DrawText(p);
  }

  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::RightButton) {
      ShowSystemMenu(e->globalPosition().toPoint());
      return;
    }
    if (e->button() != Qt::LeftButton) return;
    QWidget* form = owner_->Form();
    if (!form) return;
    // Let the window manager move the window where it can; otherwise follow
    // the mouse ourselves.
    QWindow* handle = form->windowHandle();
    dragging_ = !(handle && handle->startSystemMove());
    dragOffset_ = e->globalPosition().toPoint() - form->frameGeometry().topLeft();
  }

  void mouseMoveEvent(QMouseEvent* e) override {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    if (QWidget* form = owner_->Form()) form->move(e->globalPosition().toPoint() - dragOffset_);
  }

  void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) owner_->SetRollUpState(!owner_->RollUpState());
  }

 private:
  // Left and right slices keep their width; the middle stretches. All three
  // are scaled to the bar's height. Slice widths are in window pixels; the
  // source rectangles in the picture's own pixels (twice as many for a @2x
  // picture).
  void DrawSlices(QPainter& p, const QPixmap& pic, int left, int right) {
    const qreal dpr = pic.devicePixelRatio();
    const QSizeF size = pic.deviceIndependentSize();
    const int pw = static_cast<int>(size.width());
    left = std::clamp(left, 0, pw);
    right = std::clamp(right, 0, pw - left);
    const int w = width();
    const int h = height();
    const int dl = std::min(left, w);
    const int dr = std::min(right, w - dl);
    auto source = [&](qreal x, qreal sw) {
      return QRectF(x * dpr, 0, sw * dpr, size.height() * dpr);
    };
    if (dl > 0) p.drawPixmap(QRectF(0, 0, dl, h), pic, source(0, left));
    if (dr > 0) p.drawPixmap(QRectF(w - dr, 0, dr, h), pic, source(pw - right, right));
    const int mid = pw - left - right;
    if (mid > 0 && w - dl - dr > 0) {
      p.drawPixmap(QRectF(dl, 0, w - dl - dr, h), pic, source(left, mid));
    }
  }

  void DrawText(QPainter& p) {
    QWidget* form = owner_->Form();
    if (!form) return;
    const auto& f = skin_->Description().FormInfo;
    const int textLeft = sysButton_->geometry().right() + 1 + f.CaptionTextIndent;
    const int textRight = minButton_->geometry().left() - 4;
    if (textRight <= textLeft) return;
    QRect area(textLeft, 0, textRight - textLeft, height());
    p.setFont(skin_->CaptionFont());
    const QString text =
        p.fontMetrics().elidedText(form->windowTitle(), Qt::ElideRight, area.width());
    const int align = Qt::AlignVCenter | (f.CaptionTextCenter ? Qt::AlignHCenter : Qt::AlignLeft);
    if (f.CaptionTextShadow) {
      p.setPen(TspSkinData::ToColor(*f.CaptionTextShadow));
      p.drawText(area.translated(1, 1), align, text);
    }
    p.setPen(TspSkinData::ToColor(f.CaptionTextColor));
    p.drawText(area, align, text);
  }

  TspDynamicSkinForm* owner_;
  TspSkinData* skin_;
  TspSysMenuButton* sysButton_;
  TspCaptionButton* minButton_;
  TspCaptionButton* rollButton_;
  TspCaptionButton* closeButton_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

TspDynamicSkinForm::TspDynamicSkinForm(QWidget* form, TspSkinData* skinData)
    : QObject(form), form_(form), skin_(skinData) {
  setObjectName(QStringLiteral("spDynamicSkinForm1"));
  form->setWindowFlags(form->windowFlags() | Qt::Window | Qt::FramelessWindowHint);

  frame_ = new TspFormFrame(form, skin_);
  client_ = new QWidget(frame_);
  client_->setObjectName(QStringLiteral("spSkinClientArea"));
  caption_ = new TspCaptionBar(frame_, this, skin_);

  size_ = QSize(std::clamp(form->width(), 1, kMaxWindowSide),
                std::clamp(form->height(), CaptionHeight(), kMaxWindowSide));
  connect(skin_, &TspSkinData::SkinChanged, this, &TspDynamicSkinForm::ApplySkin);
  form->installEventFilter(this);
  frame_->installEventFilter(this);
  ApplySkin();
  setAlphaBlendValue(254);
}

TspDynamicSkinForm::~TspDynamicSkinForm() {
  if (form_) form_->removeEventFilter(this);
}

QWidget* TspDynamicSkinForm::ClientArea() const {
  return client_;
}

int TspDynamicSkinForm::CaptionHeight() const {
  return skin_->CaptionHeight();
}

int TspDynamicSkinForm::FrameWidth() const {
  return skin_->Description().FormInfo.FrameWidth;
}

void TspDynamicSkinForm::ApplySkin() {
  if (!form_) return;
  // Under the skin's style sheet a widget does not inherit its parent's
  // palette when it is polished: it falls back to the application's. Without
  // this the labels, and every list row made later, drew in the default
  // black whatever the skin's text colour. Set first: applying the style
  // sheet polishes the children again.
  QApplication::setPalette(skin_->Palette());
  skin_->ApplyTo(form_);
  // A taller or shorter bar keeps the window's size; the client area follows.
  size_.setHeight(std::clamp(size_.height(), CaptionHeight(), kMaxWindowSide));
  ApplyFixedSize();
  caption_->update();
  frame_->update();
}

void TspDynamicSkinForm::SetWindowSize(int width, int height) {
  size_ = QSize(std::clamp(width, 1, kMaxWindowSide),
                std::clamp(height, CaptionHeight(), kMaxWindowSide));
  ApplyFixedSize();
}

void TspDynamicSkinForm::ApplyFixedSize() {
  if (!form_) return;
  applyingSize_ = true;
  form_->setFixedSize(size_.width(), rolledUp_ ? CaptionHeight() : size_.height());
  applyingSize_ = false;
  Relayout();
}

void TspDynamicSkinForm::Relayout() {
  if (!form_) return;
  const int bar = CaptionHeight();
  const int edge = FrameWidth();
  frame_->setGeometry(0, 0, form_->width(), form_->height());
  caption_->setGeometry(0, 0, form_->width(), bar);
  // The client area keeps its full size while rolled up; the window clips it.
  client_->setGeometry(edge, bar, std::max(0, size_.width() - 2 * edge),
                       std::max(0, size_.height() - bar - edge));
  caption_->Relayout();
  caption_->raise();
}

void TspDynamicSkinForm::SetRollUpState(bool rolledUp) {
  if (rolledUp == rolledUp_) return;
  rolledUp_ = rolledUp;
  ApplyFixedSize();
  UpdateMenuStates();
  emit RollUpChanged(rolledUp_);
}

void TspDynamicSkinForm::setAlphaBlendValue(int alpha) {
  alpha_ = std::clamp(alpha, 0, 255);
  // Qt's Wayland platform has no window opacity (no Wayland protocol offers
  // one): there the value is kept and the window stays opaque, without the
  // warning every change would print.
  if (form_ && !NativeWayland()) form_->setWindowOpacity(alpha_ / 255.0);
}

void TspDynamicSkinForm::SetSystemMenu(QMenu* menu) {
  if (!actRestore_) {
    auto make = [this](const char* name, const QString& text, auto slot) {
      auto* a = new QAction(text, this);
      a->setObjectName(QString::fromLatin1(name));
      connect(a, &QAction::triggered, this, slot);
      return a;
    };
    actRestore_ = make("spSysRestore", QStringLiteral("还原"), [this] {
      SetRollUpState(false);
      Restore();
    });
    actMinimize_ = make("spSysMinimize", QStringLiteral("最小化"), [this] { Minimize(); });
    actRollUp_ = make("spSysRollUp", QStringLiteral("卷起"),
                      [this](bool checked) { SetRollUpState(checked); });
    actRollUp_->setCheckable(true);
    actRollUp_->setChecked(rolledUp_);
    actTray_ = make("spSysMinimizeToTray", QStringLiteral("最小化到托盘"), [this] {
      if (!form_ || !TrayAvailable()) return;
      form_->hide();
      emit MinimizedToTray();
    });
    actClose_ = make("spSysClose", QStringLiteral("关闭"), [this] {
      if (form_) form_->close();
    });
  }
  const QList<QAction*> standard{actRestore_, actMinimize_, actRollUp_, actTray_, actClose_};
  if (sysMenu_) {
    for (QAction* a : standard) sysMenu_->removeAction(a);
    disconnect(sysMenu_, nullptr, this, nullptr);
  }
  sysMenu_ = menu;
  if (!menu) return;
  const QList<QAction*> own = menu->actions();
  menu->insertActions(own.isEmpty() ? nullptr : own.first(), standard);
  connect(menu, &QMenu::aboutToShow, this, &TspDynamicSkinForm::UpdateMenuStates);
  UpdateMenuStates();
}

void TspDynamicSkinForm::UpdateMenuStates() {
  if (!actRestore_ || !form_) return;
  actRestore_->setEnabled(rolledUp_ || form_->isMinimized() || form_->isHidden());
  actRollUp_->setChecked(rolledUp_);
  actTray_->setEnabled(TrayAvailable());
}

void TspDynamicSkinForm::Minimize() {
  if (!form_) return;
  if (TrayAvailable()) {
    form_->hide();
    emit MinimizedToTray();
  } else {
    // Hiding with no tray would leave no way back to the window.
    form_->showMinimized();
  }
}

void TspDynamicSkinForm::Restore() {
  if (!form_) return;
  if (form_->isMinimized()) form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
  form_->show();
  form_->raise();
  form_->activateWindow();
}

void TspDynamicSkinForm::SetStayOnTop(bool onTop) {
  if (!form_ || StayOnTop() == onTop) return;
  const bool visible = form_->isVisible();
  form_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  // Changing window flags hides a shown window.
  if (visible) form_->show();
}

bool TspDynamicSkinForm::StayOnTop() const {
  return form_ && (form_->windowFlags() & Qt::WindowStaysOnTopHint);
}

void TspDynamicSkinForm::SetTrayAvailableCheck(std::function<bool()> check) {
  trayCheck_ = std::move(check);
}

bool TspDynamicSkinForm::TrayAvailable() const {
  return trayCheck_ ? trayCheck_() : QSystemTrayIcon::isSystemTrayAvailable();
}

QSystemTrayIcon* TspDynamicSkinForm::TrayIcon() {
  if (tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(this);
    tray_->setObjectName(QStringLiteral("spTrayIcon1"));
    emit TrayCreated(tray_);
  }
  return tray_;
}

void TspDynamicSkinForm::ShowTrayIfPossible() {
  // Under Wayland a tray is a StatusNotifier host or nothing: without one,
  // Qt falls back on the X11 tray, which cannot work there and only warns.
  if (tray_ == nullptr && NativeWayland() && !TrayAvailable()) return;
  TrayIcon();
  if (tray_->icon().isNull() && form_) {
    QIcon icon = form_->windowIcon();
    if (icon.isNull()) icon = QApplication::windowIcon();
    if (icon.isNull()) return;  // an icon-less tray entry would be invisible anyway
    tray_->setIcon(icon);
  }
  if (!tray_->isVisible()) tray_->show();
}

bool TspDynamicSkinForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_ && event->type() == QEvent::Paint && !framePainted_) {
    // The tray comes after the first frame, once this paint is done.
    framePainted_ = true;
    QTimer::singleShot(0, this, [this] {
      if (form_ && form_->isVisible()) ShowTrayIfPossible();
    });
  }
  if (watched != form_) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Resize:
      if (!applyingSize_) {
        // Someone sized the window directly: take it as the new window size.
        const QSize now = form_->size();
        if (!rolledUp_ || now.height() != CaptionHeight()) {
          const bool wasRolled = rolledUp_;
          rolledUp_ = false;
          size_ = QSize(std::clamp(now.width(), 1, kMaxWindowSide),
                        std::clamp(now.height(), CaptionHeight(), kMaxWindowSide));
          if (wasRolled) {
            UpdateMenuStates();
            emit RollUpChanged(false);
          }
        }
        Relayout();
      }
      break;
    case QEvent::WindowTitleChange:
      caption_->update();
      break;
    case QEvent::WindowIconChange:
      caption_->update();
      if (tray_ != nullptr || framePainted_) ShowTrayIfPossible();
      break;
    case QEvent::Show:
      if (framePainted_) ShowTrayIfPossible();
      UpdateMenuStates();
      break;
    case QEvent::Hide:
      UpdateMenuStates();
      break;
    case QEvent::WindowStateChange:
      UpdateMenuStates();
      // Minimising from outside (the window manager, a key) also goes to the
      // tray where there is one. Deferred: hiding inside the state change
      // confuses some window managers.
      if (form_->isMinimized() && TrayAvailable()) {
        QTimer::singleShot(0, this, [this] {
          if (!form_ || !form_->isMinimized()) return;
          form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
          form_->hide();
          emit MinimizedToTray();
        });
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
