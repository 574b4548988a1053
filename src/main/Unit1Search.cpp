// The search box, the search button and the commands of the search list.
#include <QAction>
#include <QLineEdit>
#include <QTabWidget>
#include <exception>

#include "common/funPub.h"
#include "main/UiText.h"
#include "main/Unit1.h"
#include "online/Search.h"
#include "player/JobLane.h"

void TForm1::spSkinEdit1Enter() {
  if (funPub::Trim(ui::ToAnsi(spSkinEdit1->text())) == search::KeywordPlaceholder())
    spSkinEdit1->clear();
}

void TForm1::spSkinEdit1Exit() {
  if (funPub::Trim(ui::ToAnsi(spSkinEdit1->text())).empty())
    spSkinEdit1->setText(ui::FromAnsi(search::KeywordPlaceholder()));
}

void TForm1::RzBmpButton6Click() {
  if (!player_->Rules().IsReady()) return;
  std::optional<std::string> address = search::SearchAddress(ui::ToAnsi(spSkinEdit1->text()));
  if (!address) {
    ShowMessage(search::NoKeywordMessage());
    spSkinEdit1->setText(ui::FromAnsi(search::KeywordPlaceholder()));
    return;
  }
  LoadResultPage(*address);
}

// What a page load brings back to the window.
struct TPageLoad {
  bool Fetched = false;
  search::TResultPage Page;  // what was cut before any error
  std::exception_ptr CutError;
};

// One load at a time owns the search panel: a search or page command while a
// page is fetched or still filling cancels that load and replaces it (its
// fetch stops, its late rows are dropped), so two pages never mix and the
// panel shows what the user asked for last.
void TForm1::LoadResultPage(std::string address) {
  if (!player_->Rules().IsReady() || closing_) return;
  searchJobs_->Cancel();
  state_.NextPageUrl.clear();
  state_.PrevPageUrl.clear();
  spSkinPageControl1->setCurrentWidget(spSkinTabSheet2);
  ExpandWindow();
  searchRows_->Clear();
  TRuleValues rules = player_->Rules();
  searchJobs_->Start<TPageLoad>(
      [address = std::move(address), rules](const std::atomic<bool>& cancel) {
        TPageLoad load;
        try {
          load.Fetched = search::FetchResultPage(address, rules, load.Page, {}, &cancel);
        } catch (...) {
          load.Fetched = true;
          load.CutError = std::current_exception();
        }
        return load;
      },
      [this](TPageLoad& load) { ShowResultPage(load); });
}

void TForm1::ShowResultPage(TPageLoad& load) {
  // A failed fetch leaves the panel empty and the page items as they were.
  if (!load.Fetched) return;
  const search::TResultPage& page = load.Page;
  // Links before the first row; a rejected link pattern stops before its item.
  if (page.NextLinkRead) {
    state_.NextPageUrl = page.NextPageUrl;
    N17->setEnabled(page.HasNext);
  }
  if (page.PrevLinkRead) {
    state_.PrevPageUrl = page.PrevPageUrl;
    N16->setEnabled(page.HasPrev);
  }
  searchRows_->AppendAll(page.Rows);
  if (load.CutError) std::rethrow_exception(load.CutError);
}

void TForm1::N16Click() {
  LoadResultPage(state_.PrevPageUrl);
}

void TForm1::N17Click() {
  LoadResultPage(state_.NextPageUrl);
}

void TForm1::MenuItem1Click() {
  int index = searchBox_->PopupIndex();
  if (index >= 0) player_->Audition(searchRows_->Entry(index));
}

void TForm1::MenuItem2Click() {
  int index = searchBox_->PopupIndex();
  if (index >= 0) player_->Add(searchRows_->Entry(index), true);
}

void TForm1::N27Click() {
  searchRows_->InvertChecks();
}

void TForm1::N13Click() {
  player_->AddMany(searchRows_->CheckedEntries());
}

bool TForm1::ResultsLoading() const {
  return searchJobs_->Busy();
}
