#include "playlist/listpanel/listpanel.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

#include "common/codepage.h"
#include "playlist/listpanel/ListRowView.h"

namespace {

// Bitmap numbers of the row states.
constexpr int kOddBack = 0;
constexpr int kEvenBack = 1;
constexpr int kHoverBack = 2;
constexpr int kSelectedBack = 3;

// Byte length of the GB18030 character starting at `i`; a lone or cut-off lead
// byte counts as one.
size_t CharLength(std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x81 || c == 0xFF || i + 1 >= text.size()) return 1;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if (second >= 0x30 && second <= 0x39) return i + 3 < text.size() ? 4 : 1;
  return 2;
}

QString ToQString(const std::string& ansi) {
  const std::string utf8 = cp::AnsiToUtf8(ansi);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

std::string CutCaption(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + CharLength(text, end);
    if (next > maxBytes) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

const QPixmap& TListBackBitmaps::ByIndex(int index) const {
  static const QPixmap kNone;
  switch (index) {
    case 0:
      return ListBack0;
    case 1:
      return ListBack1;
    case 2:
      return ListBack2;
    case 3:
      return ListBack3;
    default:
      return kNone;
  }
}

TCnScroolStoreBox::TCnScroolStoreBox(QWidget* owner, QScrollBar* scrollBar,
                                     const TListBackBitmaps* bitmaps, QMenu* popupMenu)
    : QWidget(owner),
      ownModel_(std::make_unique<TRowModel>()),
      scrollBar_(scrollBar),
      popmenu_(popupMenu),
      bitmaps_(bitmaps) {
  if (owner) setGeometry(0, 0, std::max(0, owner->width() - 20), owner->height());
  // Moves over the rows reach this widget (the row widgets pass them on), so
  // the hover follows the mouse whichever row widget shows which row.
  setMouseTracking(true);
  if (scrollBar_) {
    scrollBar_->setOrientation(Qt::Vertical);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) { SetOffset(value); });
  }
  SetModel(nullptr);
}

TCnScroolStoreBox::~TCnScroolStoreBox() {
  if (model_) disconnect(model_, nullptr, this, nullptr);
  // The row widgets outlive this body (Qt deletes them with the base class);
  // no late event may lead them to the rows, which go with the members.
  for (TCnAppStoreBoxView* view : views_) view->Bind(nullptr);
}

void TCnScroolStoreBox::SetItemHeight(int height) {
  height = std::max(1, height);
  if (height == itemHeight_) return;
  itemHeight_ = height;
  for (TCnAppStoreBoxView* view : views_) view->ApplySize(itemWidth_, itemHeight_);
  UpdateScrollRange();
  Relayout();
}

void TCnScroolStoreBox::SetItemwidth(int width) {
  width = std::max(1, width);
  if (width == itemWidth_) return;
  itemWidth_ = width;
  for (TCnAppStoreBoxView* view : views_) view->ApplySize(itemWidth_, itemHeight_);
}

int TCnScroolStoreBox::AddItem(const std::string& Title, const std::string& Singer, int32_t SongId,
                               const std::string& Path) {
  return AddItem(TPlaylistEntry{Title, Singer, SongId, Path});
}

int TCnScroolStoreBox::AddItem(const TPlaylistEntry& entry) {
  return model_->Append(entry);
}

bool TCnScroolStoreBox::DeleteItem(int Index) {
  return model_->Remove(Index);
}

void TCnScroolStoreBox::DeleteChecked() {
  model_->RemoveChecked();
}

void TCnScroolStoreBox::InvertChecks() {
  model_->InvertChecks();
}

void TCnScroolStoreBox::ClearItems() {
  model_->Clear();
}

void TCnScroolStoreBox::SetModel(TRowModel* model) {
  if (model == nullptr) model = ownModel_.get();
  if (model == model_.data()) return;
  if (model_) disconnect(model_, nullptr, this, nullptr);
  model_ = model;
  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { RowsInserted(first, last); });
  connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex&, int first, int last) {
            for (int i = first; i <= last && i < Count(); ++i) ForgetRow(rows_[i].get());
          });
  connect(model_, &QAbstractItemModel::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { RowsRemoved(first, last); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { Rebuild(); });
  connect(model_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) {
            for (int i = from.row(); i <= to.row() && i < Count(); ++i)
              rows_[i]->checked_ = model_->Checked(i);
            RefreshViews();
          });
  Rebuild();
}

std::unique_ptr<TCnAppStoreBox> TCnScroolStoreBox::MakeRow(int index) const {
  auto row = std::make_unique<TCnAppStoreBox>();
  row->model_ = model_.data();
  row->checked_ = model_->Checked(index);
  const TPlaylistEntry& entry = model_->At(index);
  row->titleCaption_ = CutCaption(entry.Title, kTitleCaptionBytes);
  row->geshouCaption_ = CutCaption(entry.geshou, kSingerCaptionBytes);
  row->dblClick_ = dblClick_;
  row->tag_ = index;
  return row;
}

void TCnScroolStoreBox::RowsInserted(int first, int last) {
  std::vector<std::unique_ptr<TCnAppStoreBox>> added;
  added.reserve(static_cast<size_t>(last - first + 1));
  for (int i = first; i <= last; ++i) {
    added.push_back(MakeRow(i));
    SetStripe(*added.back());
  }
  const bool atEnd = first == Count();
  rows_.insert(rows_.begin() + first, std::make_move_iterator(added.begin()),
               std::make_move_iterator(added.end()));
  Renumber(last + 1);
  UpdateScrollRange();
  if (scrollBar_) scrollBar_->setVisible(true);
  // Only rows that land in view need the row widgets re-bound.
  if (!atEnd || static_cast<qint64>(RowTop(first)) - offset_ < height()) Relayout();
}

void TCnScroolStoreBox::RowsRemoved(int first, int last) {
  rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
  Renumber(first);
  UpdateScrollRange();
  Relayout();
}

// Rows from `from` on take their new index and, unless selected, its stripe.
void TCnScroolStoreBox::Renumber(int from) {
  for (int i = from; i < Count(); ++i) {
    TCnAppStoreBox& row = *rows_[i];
    row.tag_ = i;
    if (!row.selected_) SetStripe(row);
  }
}

void TCnScroolStoreBox::Rebuild() {
  for (TCnAppStoreBoxView* view : views_) view->Bind(nullptr);
  selected_ = nullptr;
  popupRow_ = nullptr;
  hoverRow_ = nullptr;
  rows_.clear();
  rows_.reserve(static_cast<size_t>(model_->Count()));
  for (int i = 0; i < model_->Count(); ++i) {
    rows_.push_back(MakeRow(i));
    SetStripe(*rows_.back());
  }
  UpdateScrollRange();
  Relayout();
}

void TCnScroolStoreBox::RepaintItems() {
  for (auto& row : rows_) {
    if (row->selected_) {
      SetBackground(*row, kSelectedBack);
    } else {
      SetStripe(*row);
    }
  }
  RefreshViews();
}

const TCnAppStoreBox* TCnScroolStoreBox::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return rows_[index].get();
}

TPlaylistEntry TCnScroolStoreBox::Entry(int index) const {
  return model_->Entry(index);
}

std::vector<TPlaylistEntry> TCnScroolStoreBox::Entries() const {
  return model_->Entries();
}

int TCnScroolStoreBox::IndexOf(const TPlaylistEntry& entry) const {
  return model_->IndexOf(entry);
}

bool TCnScroolStoreBox::Checked(int index) const {
  return model_->Checked(index);
}

void TCnScroolStoreBox::SetChecked(int index, bool checked) {
  model_->SetChecked(index, checked);
}

bool TCnScroolStoreBox::Selected(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row && row->selected_;
}

int TCnScroolStoreBox::SelectedIndex() const {
  return selected_ ? selected_->tag_ : -1;
}

int TCnScroolStoreBox::PopupIndex() const {
  return popupRow_ ? popupRow_->tag_ : -1;
}

void TCnScroolStoreBox::ScrollToItem(int index) {
  if (index < 0 || index >= Count()) return;
  const int top = RowTop(index);
  int target = offset_;
  if (top - 3 < offset_) {
    target = top - 3;
  } else if (top + itemHeight_ + 3 > offset_ + height()) {
    target = top + itemHeight_ + 3 - height();
  }
  if (scrollBar_) scrollBar_->setValue(target);
  SetOffset(target);
}

QRect TCnScroolStoreBox::rowRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  return QRect(3, RowTop(index) - offset_, itemWidth_, itemHeight_);
}

QRect TCnScroolStoreBox::checkBoxRect(int index) const {
  const QRect row = rowRect(index);
  if (row.isNull()) return {};
  return QRect(row.left(), row.top(), std::min(25, itemWidth_), itemHeight_);
}

QWidget* TCnScroolStoreBox::rowWidget(int index) const {
  const TCnAppStoreBox* row = Item(index);
  if (!row) return nullptr;
  for (TCnAppStoreBoxView* view : views_) {
    if (view->Row() == row && !view->isHidden()) return view;
  }
  return nullptr;
}

int TCnScroolStoreBox::backgroundIndex(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row ? row->backgroundIndex_ : -1;
}

QString TCnScroolStoreBox::titleCaption(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row ? ToQString(row->titleCaption_) : QString();
}

QString TCnScroolStoreBox::geshouCaption(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row ? ToQString(row->geshouCaption_) : QString();
}

QString TCnScroolStoreBox::titleHint(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row ? ToQString(row->Title()) : QString();
}

QString TCnScroolStoreBox::geshouHint(int index) const {
  const TCnAppStoreBox* row = Item(index);
  return row ? ToQString(row->geshou()) : QString();
}

void TCnScroolStoreBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateScrollRange();
  Relayout();
}

void TCnScroolStoreBox::wheelEvent(QWheelEvent* event) {
  if (scrollBar_) {
    QCoreApplication::sendEvent(scrollBar_, event);
    return;
  }
  const int steps = event->angleDelta().y() / 120;
  SetOffset(offset_ - steps * 3 * Pitch());
  event->accept();
}

void TCnScroolStoreBox::contextMenuEvent(QContextMenuEvent* event) {
  // The empty area below the last row has no menu.
  event->accept();
}

void TCnScroolStoreBox::enterEvent(QEnterEvent* event) {
  mouseInside_ = true;
  mousePos_ = event->position().toPoint();
  UpdateHover();
}

void TCnScroolStoreBox::leaveEvent(QEvent*) {
  mouseInside_ = false;
  UpdateHover();
}

void TCnScroolStoreBox::mouseMoveEvent(QMouseEvent* event) {
  mouseInside_ = true;
  mousePos_ = event->position().toPoint();
  UpdateHover();
}

void TCnScroolStoreBox::ItemClick(TCnAppStoreBox* row) {
  row->selected_ = true;
  SetBackground(*row, kSelectedBack);
  for (auto& other : rows_) {
    if (other.get() == row) continue;
    other->selected_ = false;
    SetStripe(*other);
  }
  selected_ = row;
  RefreshViews();
}

void TCnScroolStoreBox::ItemDblClick(TCnAppStoreBox* row) {
  // The callback may change the list; call it with copies.
  const TItemDblClickFun fun = row->dblClick_;
  const int index = row->tag_;
  if (fun) fun(index);
}

void TCnScroolStoreBox::ItemMouseEnter(TCnAppStoreBox* row) {
  if (row->selected_) return;
  SetBackground(*row, kHoverBack);
  RefreshViews();
}

void TCnScroolStoreBox::ItemMouseLeave(TCnAppStoreBox* row) {
  if (row->selected_) return;
  SetStripe(*row);
  RefreshViews();
}

void TCnScroolStoreBox::ItemPopup(TCnAppStoreBox* row, const QPoint& globalPos) {
  popupRow_ = row;
  if (popmenu_) popmenu_->popup(globalPos);
}

void TCnScroolStoreBox::ItemChecked(TCnAppStoreBox* row, bool checked) {
  model_->SetChecked(row->tag_, checked);
}

void TCnScroolStoreBox::UpdateHover() {
  const int index = mouseInside_ ? RowAt(mousePos_) : -1;
  TCnAppStoreBox* now = index >= 0 ? rows_[index].get() : nullptr;
  if (now == hoverRow_) return;
  TCnAppStoreBox* before = hoverRow_;
  hoverRow_ = now;
  if (before) ItemMouseLeave(before);
  if (now) ItemMouseEnter(now);
}

int TCnScroolStoreBox::RowAt(QPoint pos) const {
  if (pos.x() < 3 || pos.x() >= 3 + itemWidth_ || pos.y() < 0 || pos.y() >= height()) return -1;
  const qint64 y = static_cast<qint64>(pos.y()) + offset_ - 3;
  if (y < 0 || y % Pitch() >= itemHeight_) return -1;
  const qint64 index = y / Pitch();
  return index < Count() ? static_cast<int>(index) : -1;
}

int TCnScroolStoreBox::RowTop(int index) const {
  const qint64 top = 3 + static_cast<qint64>(index) * Pitch();
  return static_cast<int>(std::min<qint64>(top, INT_MAX));
}

void TCnScroolStoreBox::SetBackground(TCnAppStoreBox& row, int bitmapIndex) {
  row.backgroundIndex_ = bitmapIndex;
  row.background_ = bitmaps_ ? bitmaps_->ByIndex(bitmapIndex) : QPixmap();
}

void TCnScroolStoreBox::SetOffset(int offset) {
  const int limit = scrollBar_ ? scrollBar_->maximum() : std::max(0, RowTop(Count()) - height());
  offset = std::clamp(offset, 0, std::max(0, limit));
  if (offset == offset_) return;
  offset_ = offset;
  Relayout();
}

void TCnScroolStoreBox::UpdateScrollRange() {
  // Content ends 3 pixels below the last row, as it starts 3 above the first.
  const qint64 content = 3 + static_cast<qint64>(Count()) * Pitch();
  const int maximum = static_cast<int>(std::clamp<qint64>(content - height(), 0, INT_MAX));
  if (scrollBar_) {
    scrollBar_->setRange(0, maximum);
    scrollBar_->setSingleStep(Pitch());
    scrollBar_->setPageStep(std::max(Pitch(), height()));
  }
  if (offset_ > maximum) {
    offset_ = maximum;
    Relayout();
  }
}

void TCnScroolStoreBox::Relayout() {
  const int pitch = Pitch();
  const size_t wanted = static_cast<size_t>(std::max(0, height()) / pitch + 2);
  while (views_.size() < wanted) {
    auto* view = new TCnAppStoreBoxView(this);
    view->ApplySize(itemWidth_, itemHeight_);
    views_.push_back(view);
  }
  // The first row whose bottom edge is below the top of the list.
  const qint64 hiddenAbove = static_cast<qint64>(offset_) - 3 - itemHeight_;
  const qint64 first = hiddenAbove < 0 ? 0 : hiddenAbove / pitch + 1;
  for (size_t k = 0; k < views_.size(); ++k) {
    TCnAppStoreBoxView* view = views_[k];
    const qint64 index = first + static_cast<qint64>(k);
    TCnAppStoreBox* row = nullptr;
    int top = 0;
    if (k < wanted && index < Count()) {
      top = RowTop(static_cast<int>(index)) - offset_;
      if (top < height()) row = rows_[index].get();
    }
    view->Bind(row);
    if (row) {
      view->move(3, top);
      view->show();
    } else {
      view->hide();
    }
  }
  UpdateHover();
}

void TCnScroolStoreBox::RefreshViews() {
  for (TCnAppStoreBoxView* view : views_) {
    if (view->Row()) view->Bind(view->Row());
  }
}

void TCnScroolStoreBox::ForgetRow(const TCnAppStoreBox* row) {
  for (TCnAppStoreBoxView* view : views_) {
    if (view->Row() == row) view->Bind(nullptr);
  }
  if (selected_ == row) selected_ = nullptr;
  if (popupRow_ == row) popupRow_ = nullptr;
  if (hoverRow_ == row) hoverRow_ = nullptr;
}
