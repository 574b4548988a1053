// The list control of both lists of the window (the playlist and the search
// results): TCnScroolStoreBox stacks fixed-size rows, each a TCnAppStoreBox that
// carries one song, a check box, a selected mark and its index in Tag.
//
// The list is a view over a TRowModel, the record of the songs and their
// ticks: the player core's for the playlist, the window's for the search
// results, or one of the list's own until another is set. The row records here
// hold only what the view adds (captions, selection, the background shown) and
// follow the model's signals. Only the rows in view are shown, by a small pool
// of row widgets that is re-bound as the list scrolls, so a list of many
// thousand rows loads and scrolls at once. What a user sees and every row
// property behaves as if each row were its own widget. No call here runs the
// event loop.
//
// Window's thread only. Text is local code page (GB18030) std::string; captions
// and tooltips are converted at this edge. Indexes out of range are answered
// with an empty value (false, -1, empty text) and change nothing.
#pragma once

#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "player/RowModel.h"
#include "playlist/PlaylistEntry.h"

class TCnAppStoreBoxView;

// The four row backgrounds shared by both lists. Owned by the window, which
// fills them from the skin folder; the lists keep its address. A row keeps its
// own copy of the picture it was given, so reloading these changes no row
// until RepaintItems runs.
struct TListBackBitmaps {
  QPixmap ListBack0;  // odd rows ("Listback_0.bmp")
  QPixmap ListBack1;  // even rows ("Listback_1.bmp")
  QPixmap ListBack2;  // under the mouse ("Listback_2.bmp")
  QPixmap ListBack3;  // selected ("Listback_3.bmp")

  // ListBack0 .. ListBack3 by number; an empty pixmap for any other number.
  const QPixmap& ByIndex(int index) const;
};

// Called with the index (Tag) of a double-clicked row.
using TItemDblClickFun = std::function<void(int)>;

// One row: the song, its captions, its check and selection state and the
// background it shows. Read-only for callers; the list changes it.
class TCnAppStoreBox {
 public:
  // The song is the model's: a row keeps no copy of it.
  const TPlaylistEntry& Entry() const { return model_->At(tag_); }
  // Full texts (the label hints), kept whole.
  const std::string& Title() const { return Entry().Title; }
  const std::string& geshou() const { return Entry().geshou; }
  int32_t SongId() const { return Entry().SongId; }
  const std::string& mp3Patch() const { return Entry().mp3Patch; }
  // Shortened label captions: the first 20 (title) and 18 (singer) bytes.
  const std::string& TitleCaption() const { return titleCaption_; }
  const std::string& geshouCaption() const { return geshouCaption_; }

  int Tag() const { return tag_; }  // the row's index
  bool Selected() const { return selected_; }
  bool Checked() const { return checked_; }                  // the check box
  int BackgroundIndex() const { return backgroundIndex_; }   // 0..3: ListBack<n>
  const QPixmap& BackGround() const { return background_; }  // the row's own copy
  const TItemDblClickFun& ItemDBlClickFun() const { return dblClick_; }

 private:
  friend class TCnScroolStoreBox;
  const TRowModel* model_ = nullptr;
  std::string titleCaption_;
  std::string geshouCaption_;
  int tag_ = 0;
  bool selected_ = false;
  bool checked_ = false;
  int backgroundIndex_ = 1;
  QPixmap background_;
  TItemDblClickFun dblClick_;
};

class TCnScroolStoreBox : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTitleCaptionBytes = 20;
  static constexpr int kSingerCaptionBytes = 18;

  // Placed at 0,0 of `owner` (the tab sheet), parent width - 20 wide and parent
  // height high. `scrollBar` is the external vertical scroll bar the window
  // places beside the list; the list drives its range and follows its value.
  // `bitmaps` (may be null) must outlive the list; `popupMenu` is every row's
  // context menu. The list owns none of these.
  TCnScroolStoreBox(QWidget* owner, QScrollBar* scrollBar, const TListBackBitmaps* bitmaps,
                    QMenu* popupMenu);
  ~TCnScroolStoreBox() override;

  // Properties. ItemHeight (46 after construction, the window sets 20) and
  // Itemwidth (260) apply to every row; ItemDBlClickFun is copied into each row
  // when it is added (none after construction).
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);
  int Itemwidth() const { return itemWidth_; }
  void SetItemwidth(int width);
  QMenu* Wpopmenu() const { return popmenu_; }
  void SetWpopmenu(QMenu* menu) { popmenu_ = menu; }
  const TItemDblClickFun& ItemDBlClickFun() const { return dblClick_; }
  void SetItemDBlClickFun(TItemDblClickFun fun) { dblClick_ = std::move(fun); }
  QScrollBar* VScrollBar() const { return scrollBar_; }
  const TListBackBitmaps* ListBackBitmaps() const { return bitmaps_; }

  // The model shown; null goes back to the list's own. The list does not own
  // a model set here, which must outlive it or be set away first.
  void SetModel(TRowModel* model);
  TRowModel* Model() const { return model_; }

  // The row commands below change the model, and the rows follow it.
  // Appends a row and returns its index.
  int AddItem(const std::string& Title, const std::string& Singer, int32_t SongId,
              const std::string& Path);
  int AddItem(const TPlaylistEntry& entry);
  // Removes the row at Index and closes the gap; false (nothing changed) for an
  // index out of range.
  bool DeleteItem(int Index);
  void DeleteChecked();  // removes every ticked row
  void InvertChecks();   // toggles every row's check box
  void ClearItems();     // removes all rows; the scroll bar stays visible
  // Re-applies every row's background from the shared bitmaps: ListBack3 for
  // the selected row, else the stripe for its index.
  void RepaintItems();

  // Rows.
  int Count() const { return static_cast<int>(rows_.size()); }
  const TCnAppStoreBox* Item(int index) const;  // null when out of range
  TPlaylistEntry Entry(int index) const;        // empty entry when out of range
  std::vector<TPlaylistEntry> Entries() const;  // every row, in order
  // Index of the first row whose four fields equal `entry` byte for byte, or -1.
  int IndexOf(const TPlaylistEntry& entry) const;
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);
  bool Selected(int index) const;
  int SelectedIndex() const;  // -1 when no row is selected

  // The row the popup menu was last opened on (null when none or since
  // deleted) and its index (-1).
  const TCnAppStoreBox* PopupComponent() const { return popupRow_; }
  int PopupIndex() const;

  // View. rowRect and checkBoxRect are in this widget's coordinates at the
  // current scroll position (they may lie outside the visible area);
  // ScrollToItem scrolls just enough to show the whole row; rowWidget is the
  // widget showing row i, null when the row is not in view.
  void ScrollToItem(int index);
  QRect rowRect(int index) const;
  QRect checkBoxRect(int index) const;
  QWidget* rowWidget(int index) const;
  int backgroundIndex(int index) const;  // -1 when out of range
  QString titleCaption(int index) const;
  QString geshouCaption(int index) const;
  QString titleHint(int index) const;
  QString geshouHint(int index) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  friend class TCnAppStoreBoxView;

  // Row handlers, called by the row widgets.
  void ItemClick(TCnAppStoreBox* row);
  void ItemDblClick(TCnAppStoreBox* row);
  void ItemMouseEnter(TCnAppStoreBox* row);
  void ItemMouseLeave(TCnAppStoreBox* row);
  // Gives the hover look to the row under the mouse, taking it from the row
  // that had it. Rows move under a resting mouse when the list scrolls or
  // changes, so this runs after every layout too.
  void UpdateHover();
  int RowAt(QPoint pos) const;  // -1 when no row is there
  void ItemPopup(TCnAppStoreBox* row, const QPoint& globalPos);
  void ItemChecked(TCnAppStoreBox* row, bool checked);

  int Pitch() const { return itemHeight_ + 3; }
  int RowTop(int index) const;  // in content coordinates
  void SetBackground(TCnAppStoreBox& row, int bitmapIndex);
  void SetStripe(TCnAppStoreBox& row) { SetBackground(row, row.tag_ % 2 == 0 ? 1 : 0); }
  void SetOffset(int offset);
  void UpdateScrollRange();
  void Relayout();
  void RefreshViews();
  void ForgetRow(const TCnAppStoreBox* row);
  // Following the model.
  std::unique_ptr<TCnAppStoreBox> MakeRow(int index) const;
  void RowsInserted(int first, int last);
  void RowsRemoved(int first, int last);
  void Renumber(int from);
  void Rebuild();

  std::unique_ptr<TRowModel> ownModel_;
  QPointer<TRowModel> model_;
  std::vector<std::unique_ptr<TCnAppStoreBox>> rows_;
  std::vector<TCnAppStoreBoxView*> views_;  // owned by this widget
  QPointer<QScrollBar> scrollBar_;
  QPointer<QMenu> popmenu_;
  const TListBackBitmaps* bitmaps_ = nullptr;
  TItemDblClickFun dblClick_;
  int itemHeight_ = 46;
  int itemWidth_ = 260;
  int offset_ = 0;  // scrolled distance in pixels
  TCnAppStoreBox* selected_ = nullptr;
  TCnAppStoreBox* popupRow_ = nullptr;
  TCnAppStoreBox* hoverRow_ = nullptr;
  bool mouseInside_ = false;
  QPoint mousePos_;  // last known mouse position, this widget's coordinates
};

// The first `maxBytes` bytes of GB18030 text, not ending in part of a
// character: a character that does not fit whole is left out.
std::string CutCaption(std::string_view text, size_t maxBytes);
