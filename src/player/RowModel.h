// The rows of one list (the playlist, or a page of search results): songs and
// their ticks, in order. The model is the one record of the rows; the list
// panel is a view over it and changes it only through these calls.
//
// Mutators never run the event loop. A long fill (a whole list file, a batch
// of many songs) runs in chunks, one per turn of the event loop, driven by a
// timer the model owns; while one runs, Busy() is true and Cancel() ends it
// where it stands. Callers that change rows or write a list file ask Busy()
// first and refuse while it is true.
//
// Thread: the thread that owns the model (the window's). Indexes out of range
// are answered with an empty value and change nothing.
#pragma once

#include <QAbstractListModel>
#include <functional>
#include <string>
#include <vector>

#include "playlist/PlaylistEntry.h"

class QTimer;

class TRowModel : public QAbstractListModel {
  Q_OBJECT

 public:
  // Rows appended per turn of the event loop during a long fill.
  static constexpr int kFillChunk = 500;
  // The roles data() answers besides Qt::DisplayRole (the title, as UTF-8).
  enum Role { TitleRole = Qt::UserRole + 1, SingerRole, CheckedRole };

  explicit TRowModel(QObject* parent = nullptr);
  ~TRowModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  int Count() const { return static_cast<int>(rows_.size()); }
  TPlaylistEntry Entry(int index) const;
  // The row's song in place (an empty one when out of range); valid until the
  // rows change.
  const TPlaylistEntry& At(int index) const;
  std::vector<TPlaylistEntry> Entries() const;
  // Index of the first row whose four fields equal `entry` byte for byte, or -1.
  int IndexOf(const TPlaylistEntry& entry) const;
  bool Checked(int index) const;
  std::vector<TPlaylistEntry> CheckedEntries() const;

  // Appends one row; its index.
  int Append(const TPlaylistEntry& entry);
  // Appends all at once (one insert), for short lists such as a result page.
  void AppendAll(const std::vector<TPlaylistEntry>& entries);
  bool Remove(int index);
  // Removes every ticked row; how many went.
  int RemoveChecked();
  void Clear();
  void SetChecked(int index, bool checked);
  void InvertChecks();

  // Appends `entries` in chunks. `accept` (may be empty) is asked for each
  // entry just before it is appended and may refuse it (a duplicate, say);
  // `done(completed)` runs once, after the last chunk or on Cancel (false).
  // A fill started while another runs cancels that one first.
  using TAccept = std::function<bool(const TPlaylistEntry&)>;
  void Fill(std::vector<TPlaylistEntry> entries, TAccept accept,
            std::function<void(bool completed)> done);
  bool Busy() const { return filling_; }
  void Cancel();

 signals:
  // A fill ran one chunk or ended; the list is in a consistent state between
  // chunks.
  void FillProgressed(int appended, int remaining);

 private:
  struct TRow {
    TPlaylistEntry Entry;
    bool Checked = false;
  };
  void RunChunk();
  void Finish(bool completed);

  std::vector<TRow> rows_;
  std::vector<TPlaylistEntry> pending_;  // the fill's entries not yet appended
  size_t pendingAt_ = 0;
  bool filling_ = false;
  TAccept accept_;
  std::function<void(bool)> done_;
  QTimer* chunkTimer_ = nullptr;
};
