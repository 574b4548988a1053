#include "playlist/listpanel/ListRowView.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>

#include "common/codepage.h"
#include "playlist/listpanel/listpanel.h"

namespace {

// The background image control is 260 wide whatever the row width, and keeps
// its default height; the row clips it.
constexpr int kBackgroundWidth = 260;
constexpr int kBackgroundHeight = 105;

QString ToQString(const std::string& ansi) {
  const std::string utf8 = cp::AnsiToUtf8(ansi);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Tooltips guess rich text from the text itself; a title such as "<b>x" must
// show as typed.
QString PlainToolTip(const QString& text) {
  if (!Qt::mightBeRichText(text)) return text;
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

// The labels and the check box show only their text and mark over the row's
// picture, whatever background the window's skin gives widgets; everything
// else (font, colour, indicator) still comes from the skin.
const QString kSeeThrough = QStringLiteral("background: transparent;");

// The captions' font. The form's own font does not exist on Linux and its
// stand-in is wider; this is the CJK font the install script provides (its
// Latin letters are narrow too), at the size where the longest captions the
// byte cut allows fit: 10 Chinese characters in the 120 px title label and 9
// in the 90 px singer label take exactly 10 px each.
QFont CaptionFont() {
  QFont font;
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(10);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, Qt::Alignment align) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(CaptionFont());
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(align | Qt::AlignTop);
  label->setWordWrap(false);
  label->setStyleSheet(kSeeThrough);
  return label;
}

}  // namespace

TCnAppStoreBoxView::TCnAppStoreBoxView(TCnScroolStoreBox* list)
    : QWidget(list),
      list_(list),
      checkbox_(new QCheckBox(this)),
      title_(MakeLabel(this, "Title", Qt::AlignHCenter)),
      geshou_(MakeLabel(this, "geshou", Qt::AlignRight)) {
  setObjectName(QStringLiteral("TCnAppStoreBox"));
  checkbox_->setObjectName(QStringLiteral("checkbox"));
  checkbox_->setStyleSheet(kSeeThrough);
  // Recycled rows must not carry keyboard focus from one song to another.
  checkbox_->setFocusPolicy(Qt::NoFocus);
  // Qt drops plain moves at a widget without tracking; these pass them on to
  // the list, which keeps the hover on the row under the mouse.
  setMouseTracking(true);
  checkbox_->setMouseTracking(true);
  title_->setMouseTracking(true);
  geshou_->setMouseTracking(true);
  connect(checkbox_, &QCheckBox::clicked, this, [this](bool checked) {
    if (row_) list_->ItemChecked(row_, checked);
  });
  hide();
}

void TCnAppStoreBoxView::ApplySize(int width, int height) {
  resize(width, height);
  // Left-aligned check box: 25 wide, stretched to the row's height.
  checkbox_->setGeometry(0, 0, 25, height);
  const int labelHeight = std::max(1, height - 3);
  title_->setGeometry(34, 3, 120, labelHeight);
  geshou_->setGeometry(165, 3, 90, labelHeight);
}

void TCnAppStoreBoxView::Bind(TCnAppStoreBox* row) {
  if (row != row_) {
    row_ = row;
    pressed_ = false;
    if (row) {
      title_->setText(ToQString(row->TitleCaption()));
      title_->setToolTip(PlainToolTip(ToQString(row->Title())));
      geshou_->setText(ToQString(row->geshouCaption()));
      geshou_->setToolTip(PlainToolTip(ToQString(row->geshou())));
    } else {
      title_->clear();
      title_->setToolTip({});
      geshou_->clear();
      geshou_->setToolTip({});
    }
  }
  const bool checked = row && row->Checked();
  if (checkbox_->isChecked() != checked) checkbox_->setChecked(checked);
  update();
}

void TCnAppStoreBoxView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!row_) return;
  const QPixmap& picture = row_->BackGround();
  if (picture.isNull()) return;
  // Unscaled from the top-left corner, in device-independent pixels.
  const qreal ratio = picture.devicePixelRatio();
  const int w = std::min(kBackgroundWidth, static_cast<int>(picture.width() / ratio));
  const int h = std::min(kBackgroundHeight, static_cast<int>(picture.height() / ratio));
  painter.drawPixmap(QRect(0, 0, w, h), picture, QRectF(0, 0, w * ratio, h * ratio).toRect());
}

void TCnAppStoreBoxView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TCnAppStoreBoxView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && row_) list_->ItemClick(row_);
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void TCnAppStoreBoxView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseDoubleClickEvent(event);
    return;
  }
  event->accept();
  // The first click has selected the row already; the callback may change the
  // list, so the release that follows must not click whatever row is here then.
  pressed_ = false;
  if (row_) list_->ItemDblClick(row_);
}

void TCnAppStoreBoxView::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (row_) list_->ItemPopup(row_, event->globalPos());
}
