#include "player/RowModel.h"

#include <QTimer>
#include <algorithm>
#include <utility>

#include "common/codepage.h"

namespace {

QString Text(const std::string& ansi) {
  return QString::fromStdString(cp::AnsiToUtf8(ansi));
}

}  // namespace

TRowModel::TRowModel(QObject* parent) : QAbstractListModel(parent) {
  chunkTimer_ = new QTimer(this);
  chunkTimer_->setInterval(0);
  connect(chunkTimer_, &QTimer::timeout, this, [this] { RunChunk(); });
}

TRowModel::~TRowModel() = default;

int TRowModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

QVariant TRowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= Count()) return {};
  const TRow& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
      return Text(row.Entry.Title);
    case SingerRole:
      return Text(row.Entry.geshou);
    case CheckedRole:
    case Qt::CheckStateRole:
      return role == CheckedRole ? QVariant(row.Checked)
                                 : QVariant(row.Checked ? Qt::Checked : Qt::Unchecked);
    default:
      return {};
  }
}

TPlaylistEntry TRowModel::Entry(int index) const {
  return At(index);
}

const TPlaylistEntry& TRowModel::At(int index) const {
  static const TPlaylistEntry kNone;
  if (index < 0 || index >= Count()) return kNone;
  return rows_[static_cast<size_t>(index)].Entry;
}

std::vector<TPlaylistEntry> TRowModel::Entries() const {
  std::vector<TPlaylistEntry> entries;
  entries.reserve(rows_.size());
  for (const TRow& row : rows_) entries.push_back(row.Entry);
  return entries;
}

int TRowModel::IndexOf(const TPlaylistEntry& entry) const {
  auto it =
      std::find_if(rows_.begin(), rows_.end(), [&](const TRow& row) { return row.Entry == entry; });
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

bool TRowModel::Checked(int index) const {
  return index >= 0 && index < Count() && rows_[static_cast<size_t>(index)].Checked;
}

std::vector<TPlaylistEntry> TRowModel::CheckedEntries() const {
  std::vector<TPlaylistEntry> entries;
  for (const TRow& row : rows_)
    if (row.Checked) entries.push_back(row.Entry);
  return entries;
}

int TRowModel::Append(const TPlaylistEntry& entry) {
  const int index = Count();
  beginInsertRows({}, index, index);
  rows_.push_back({entry, false});
  endInsertRows();
  return index;
}

void TRowModel::AppendAll(const std::vector<TPlaylistEntry>& entries) {
  if (entries.empty()) return;
  const int first = Count();
  beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
  for (const TPlaylistEntry& entry : entries) rows_.push_back({entry, false});
  endInsertRows();
}

bool TRowModel::Remove(int index) {
  if (index < 0 || index >= Count()) return false;
  beginRemoveRows({}, index, index);
  rows_.erase(rows_.begin() + index);
  endRemoveRows();
  return true;
}

int TRowModel::RemoveChecked() {
  // From the end, in runs, so each removal announces a block of rows and the
  // indexes of the rows before it stay valid.
  int removed = 0;
  int end = Count();
  while (end > 0) {
    if (!rows_[static_cast<size_t>(end - 1)].Checked) {
      --end;
      continue;
    }
    int first = end - 1;
    while (first > 0 && rows_[static_cast<size_t>(first - 1)].Checked) --first;
    beginRemoveRows({}, first, end - 1);
    rows_.erase(rows_.begin() + first, rows_.begin() + end);
    endRemoveRows();
    removed += end - first;
    end = first;
  }
  return removed;
}

void TRowModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void TRowModel::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count()) return;
  TRow& row = rows_[static_cast<size_t>(index)];
  if (row.Checked == checked) return;
  row.Checked = checked;
  const QModelIndex at = this->index(index);
  emit dataChanged(at, at, {CheckedRole, Qt::CheckStateRole});
}

void TRowModel::InvertChecks() {
  if (rows_.empty()) return;
  for (TRow& row : rows_) row.Checked = !row.Checked;
  emit dataChanged(index(0), index(Count() - 1), {CheckedRole, Qt::CheckStateRole});
}

void TRowModel::Fill(std::vector<TPlaylistEntry> entries, TAccept accept,
                     std::function<void(bool completed)> done) {
  Cancel();
  pending_ = std::move(entries);
  pendingAt_ = 0;
  // One allocation for the whole fill rather than doubling along the way.
  rows_.reserve(rows_.size() + pending_.size());
  accept_ = std::move(accept);
  done_ = std::move(done);
  filling_ = true;
  // The first chunk at once: a short fill ends within the call.
  RunChunk();
}

void TRowModel::RunChunk() {
  if (!filling_) return;
  const size_t end = std::min(pending_.size(), pendingAt_ + static_cast<size_t>(kFillChunk));
  int appended = 0;
  if (accept_) {
    // One by one, so that each answer sees the rows appended before it.
    for (; pendingAt_ < end; ++pendingAt_) {
      if (!accept_(pending_[pendingAt_])) continue;
      Append(pending_[pendingAt_]);
      ++appended;
    }
  } else {
    std::vector<TPlaylistEntry> chunk(
        std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_)),
        std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(end)));
    pendingAt_ = end;
    appended = static_cast<int>(chunk.size());
    AppendAll(chunk);
  }
  const int remaining = static_cast<int>(pending_.size() - pendingAt_);
  emit FillProgressed(appended, remaining);
  if (remaining == 0) {
    Finish(true);
  } else if (!chunkTimer_->isActive()) {
    chunkTimer_->start();
  }
}

void TRowModel::Cancel() {
  if (filling_) Finish(false);
}

void TRowModel::Finish(bool completed) {
  chunkTimer_->stop();
  filling_ = false;
  pending_ = {};  // gives the fill's buffer back, not only its entries
  pendingAt_ = 0;
  accept_ = nullptr;
  auto done = std::exchange(done_, nullptr);
  if (done) done(completed);
}
