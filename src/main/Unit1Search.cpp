// The search box, the search button and the commands of the search list.
#include <QAction>
#include <QLineEdit>
#include <QTabWidget>

#include "common/funPub.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "online/Search.h"

void TForm1::spSkinEdit1Enter() {
  if (funPub::Trim(ui::ToAnsi(spSkinEdit1->text())) == search::KeywordPlaceholder())
    spSkinEdit1->clear();
}

void TForm1::spSkinEdit1Exit() {
  if (funPub::Trim(ui::ToAnsi(spSkinEdit1->text())).empty())
    spSkinEdit1->setText(ui::FromAnsi(search::KeywordPlaceholder()));
}

void TForm1::RzBmpButton6Click() {
  if (!state_.Rules.IsReady()) return;
  std::optional<std::string> address = search::SearchAddress(ui::ToAnsi(spSkinEdit1->text()));
  if (!address) {
    ShowMessage(search::NoKeywordMessage());
    spSkinEdit1->setText(ui::FromAnsi(search::KeywordPlaceholder()));
    return;
  }
  LoadResultPage(*address);
}

void TForm1::LoadResultPage(const std::string& address) {
  if (!state_.Rules.IsReady()) return;
  state_.NextPageUrl.clear();
  state_.PrevPageUrl.clear();
  spSkinPageControl1->setCurrentWidget(spSkinTabSheet2);
  ExpandWindow();
  searchBox_->ClearItems();
  search::TResultPage page;
  // Links are set before the first row, and rows before a bad item stay.
  auto links = [&] {
    state_.NextPageUrl = page.NextPageUrl;
    state_.PrevPageUrl = page.PrevPageUrl;
    N17->setEnabled(page.HasNext);
    N16->setEnabled(page.HasPrev);
  };
  bool linksSet = false;
  try {
    bool fetched =
        search::FetchResultPage(address, state_.Rules, page, [&](const TPlaylistEntry& row) {
          if (!linksSet) {
            links();
            linksSet = true;
          }
          searchBox_->AddItem(row);
        });
    if (!fetched) return;
  } catch (...) {
    if (!linksSet) links();
    throw;
  }
  if (!linksSet) links();
}

void TForm1::N16Click() {
  LoadResultPage(state_.PrevPageUrl);
}

void TForm1::N17Click() {
  LoadResultPage(state_.NextPageUrl);
}

void TForm1::MenuItem1Click() {
  int index = searchBox_->PopupIndex();
  if (index < 0) return;
  TPlaylistEntry r = searchBox_->Entry(index);
  UserCommand();
  PlayEntry(funPub::Trim(r.Title), funPub::Trim(r.geshou), r.SongId, funPub::Trim(r.mp3Patch));
}

void TForm1::MenuItem2Click() {
  int index = searchBox_->PopupIndex();
  if (index < 0) return;
  TPlaylistEntry r = searchBox_->Entry(index);
  UserCommand();
  AddToPlaylist(funPub::Trim(r.Title), funPub::Trim(r.geshou), r.SongId, true, "");
}

void TForm1::N27Click() {
  searchBox_->InvertChecks();
}

void TForm1::N13Click() {
  for (int i = 0; i < searchBox_->Count(); ++i) {
    if (!searchBox_->Checked(i)) continue;
    TPlaylistEntry r = searchBox_->Entry(i);
    AddToPlaylist(funPub::Trim(r.Title), funPub::Trim(r.geshou), r.SongId, false, "");
  }
  UserCommand();
  PlayCurrent();
}
