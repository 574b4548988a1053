// The keyword search and the cutting of the music site's result pages with the
// rule patterns. Window-free: the window's search button and page commands call
// these and fill the search panel from the rows.
//
// Called on the window's thread after the caller has seen Rules.IsReady().
// Failures: a failed fetch is a false result; a song number that is not an
// integer throws lyrano::ConvertError and a rule pattern the dialect rejects
// throws lyrano::PatternError, in both cases after the rows before it have been
// delivered and with the page links already set.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "online/RuleSet.h"
#include "playlist/PlaylistEntry.h"

namespace search {

// "关键字", the search box's stand-in for an empty keyword.
const std::string& KeywordPlaceholder();
// "请输入关键字", shown when the search box holds no keyword.
const std::string& NoKeywordMessage();

// The search address for the search box's text (local code page): trimmed,
// UTF-8, form-encoded, after addresses::SiteUrl() + "/search?jump=0&key=".
// Empty or the placeholder: nullopt (show NoKeywordMessage(), put the
// placeholder back in the box).
std::optional<std::string> SearchAddress(std::string_view searchBoxText);

struct TResultPage {
  // Absolute, entity-decoded; empty when the page has no such link.
  std::string NextPageUrl;
  std::string PrevPageUrl;
  bool HasNext = false;  // enables "下一页"
  bool HasPrev = false;  // enables "上一页"
  // The link step ran: a rejected nextpage or prevpage pattern stops the cut
  // before its step, and the page item it drives keeps its state.
  bool NextLinkRead = false;
  bool PrevLinkRead = false;
  // Title non-empty, mp3Patch empty, SongId 0 when the item gave none.
  std::vector<TPlaylistEntry> Rows;
};

using RowSink = std::function<void(const TPlaylistEntry& row)>;

// Cuts a fetched result page. `requestedUrl` is the address the load was given
// (relative links resolve against it). `out` is reset first; links are set
// before any row; each row is appended to out.Rows and handed to `onRow` (if
// any) as soon as it is cut. Throws as described above, `out` keeping what was
// cut before the bad item.
void CutResultPage(std::string_view page, std::string_view requestedUrl, const TRuleValues& rules,
                   TResultPage& out, const RowSink& onRow = {});

// FetchPage of `url`, then CutResultPage. False when the fetch failed (`out`
// is then empty).
bool FetchResultPage(std::string_view url, const TRuleValues& rules, TResultPage& out,
                     const RowSink& onRow = {}, const std::atomic<bool>* cancel = nullptr);

}  // namespace search
