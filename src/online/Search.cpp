#include "online/Search.h"

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/Addresses.h"
#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace search {

const std::string& KeywordPlaceholder() {
  static const std::string text = cp::Utf8ToAnsi("关键字");
  return text;
}

const std::string& NoKeywordMessage() {
  static const std::string text = cp::Utf8ToAnsi("请输入关键字");
  return text;
}

std::optional<std::string> SearchAddress(std::string_view searchBoxText) {
  const std::string keyword = funPub::Trim(searchBoxText);
  if (keyword.empty() || keyword == KeywordPlaceholder()) return std::nullopt;
  return addresses::SiteUrl() + "/search?jump=0&key=" + funPub::UrlEncode(cp::AnsiToUtf8(keyword));
}

namespace {

// A link found on the page: resolved against the requested address, then
// entity-decoded.
bool FindLink(TRegExpr& re, const std::string& pattern, std::string_view requestedUrl,
              std::string& link) {
  re.SetExpression("(?i)" + pattern);
  if (!re.Exec()) return false;
  link = funPub::DecodeHtmlEntities(funPub::CombineUrl(requestedUrl, funPub::Trim(re.Match(1))));
  return true;
}

// Markup removed and trimmed; a "|" or line break inside would break the
// playlist line the row may become, so they are replaced as on every road.
std::string WithoutMarkup(TRegExpr& markup, const std::string& text) {
  return StorableText(funPub::Trim(markup.Replace(text, "")));
}

}  // namespace

void CutResultPage(std::string_view page, std::string_view requestedUrl, const TRuleValues& rules,
                   TResultPage& out, const RowSink& onRow) {
  out = TResultPage{};
  // The site writes attributes with either quote; the rules only know ".
  const std::string text = funPub::ReplaceAll(page, "'", "\"");

  TRegExpr pageRe;
  pageRe.SetInputString(text);
  out.HasNext = FindLink(pageRe, rules.nextpage, requestedUrl, out.NextPageUrl);
  out.NextLinkRead = true;
  out.HasPrev = FindLink(pageRe, rules.prevpage, requestedUrl, out.PrevPageUrl);
  out.PrevLinkRead = true;

  pageRe.SetExpression("(?i)" + rules.listcat);
  if (!pageRe.Exec()) return;
  const std::string listPart = pageRe.Match(1);

  pageRe.SetInputString(listPart);
  pageRe.SetExpression("(?i)" + rules.tempOne);
  if (!pageRe.Exec()) return;

  // One compiled matcher per item pattern, kept across items: compiling is
  // the larger cost on a page of many small items.
  TRegExpr songidRe("(?i)" + rules.songid);
  TRegExpr gequRe("(?i)" + rules.gequ);
  TRegExpr geshouRe("(?i)" + rules.geshou);
  TRegExpr markup("(?i)<.+?>");
  do {
    const std::string item = pageRe.Match(1);

    TPlaylistEntry row;
    songidRe.SetInputString(item);
    if (songidRe.Exec()) row.SongId = funPub::StrToInt(songidRe.Match(1));

    gequRe.SetInputString(item);
    if (gequRe.Exec()) row.Title = WithoutMarkup(markup, gequRe.Match(1));

    // An empty marker would be found in every item; a ready rule set never
    // has one.
    const bool noSinger =
        !rules.emptygeshou.empty() && item.find(rules.emptygeshou) != std::string::npos;
    if (!noSinger) {
      geshouRe.SetInputString(item);
      if (geshouRe.Exec()) row.geshou = WithoutMarkup(markup, geshouRe.Match(1));
    }

    if (row.Title.empty()) continue;
    out.Rows.push_back(row);
    if (onRow) onRow(out.Rows.back());
  } while (pageRe.ExecNext());
}

bool FetchResultPage(std::string_view url, const TRuleValues& rules, TResultPage& out,
                     const RowSink& onRow, const std::atomic<bool>* cancel) {
  out = TResultPage{};
  std::string page;
  if (!IEgetHttp::FetchPage(url, page, cancel)) return false;
  CutResultPage(page, url, rules, out, onRow);
  return true;
}

}  // namespace search
