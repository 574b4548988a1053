// Online commands: the rule page, searches, result pages, song resolution and
// the title lookup, each exactly as the player runs them.
#include <string>
#include <vector>

#include "cli.h"
#include "common/funPub.h"
#include "lyrics/LyricRetrieval.h"
#include "online/Addresses.h"
#include "online/IEgetHttp.h"
#include "online/ResolveSong.h"
#include "online/RuleSet.h"
#include "online/Search.h"

namespace {

rules::RulePageReading FetchRules() {
  std::string page;
  const bool fetched = IEgetHttp::FetchPage(addresses::RuleUrl(), page);
  return rules::ReadRulePage(fetched, page);
}

// The player does nothing online before the rule set is ready.
bool RulesReady(TRuleValues& values) {
  rules::RulePageReading reading = FetchRules();
  if (!reading.ready) {
    cli::Record({"ready", "0"});
    return false;
  }
  values = std::move(reading.values);
  return true;
}

int Rules(const std::vector<std::string>& /*args*/) {
  const rules::RulePageReading reading = FetchRules();
  for (const rules::RuleKey& key : rules::kRuleKeys) {
    cli::Record({key.name, cli::Field(reading.values.*key.field)});
  }
  cli::Record({"ready", reading.ready ? "1" : "0"});
  for (const rules::Effect& effect : reading.effects) {
    if (effect.kind == rules::EffectKind::ShowMessage)
      cli::Record({"message", cli::Field(effect.text)});
  }
  return reading.ready ? cli::kOk : cli::kFailed;
}

// Rows as they are cut (so a bad song number still shows the rows before it),
// then the links.
int ShowResultPage(const std::string& url, const TRuleValues& values) {
  search::TResultPage page;
  const bool fetched = search::FetchResultPage(url, values, page, [](const TPlaylistEntry& row) {
    cli::Record({"row", std::to_string(row.SongId), cli::Field(row.Title), cli::Field(row.geshou)});
  });
  if (!fetched) return cli::kFailed;
  cli::Record({"next", cli::Field(page.NextPageUrl)});
  cli::Record({"prev", cli::Field(page.PrevPageUrl)});
  return cli::kOk;
}

int Search(const std::vector<std::string>& args) {
  const std::string keyword = cli::Arg(args[0]);
  TRuleValues values;
  if (!RulesReady(values)) return cli::kFailed;
  const std::optional<std::string> url = search::SearchAddress(keyword);
  if (!url) {
    cli::Record({"message", cli::Field(search::NoKeywordMessage())});
    return cli::kFailed;
  }
  return ShowResultPage(*url, values);
}

int Page(const std::vector<std::string>& args) {
  const std::string url = cli::Arg(args[0]);
  TRuleValues values;
  if (!RulesReady(values)) return cli::kFailed;
  return ShowResultPage(url, values);
}

// One `lyric` record per line; lines end at CR LF, CR or LF, and the empty
// rest after a final line end is no line.
void LyricLines(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      cli::Record({"lyric", cli::Field(std::string_view(text).substr(start))});
      break;
    }
    cli::Record({"lyric", cli::Field(std::string_view(text).substr(start, end - start))});
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

int ShowStream(const std::string& stream, const std::string& lyrics) {
  cli::Record({"stream", cli::Field(stream)});
  LyricLines(lyrics);
  return stream.empty() ? cli::kFailed : cli::kOk;
}

int Resolve(const std::vector<std::string>& args) {
  const int32_t songId = funPub::StrToInt(cli::Arg(args[0]));
  TRuleValues values;
  if (!RulesReady(values)) return cli::kFailed;
  std::string stream;
  std::string lyrics;
  ResolveSong(songId, values, stream, lyrics);
  return ShowStream(stream, lyrics);
}

int Find(const std::vector<std::string>& args) {
  const std::string title = cli::Arg(args[0]);
  const std::string singer = args.size() > 1 ? cli::Arg(args[1]) : std::string();
  TRuleValues values;
  if (!RulesReady(values)) return cli::kFailed;
  std::string lyrics;
  std::string stream;
  FindSongAndLyric(title, singer, values, lyrics, stream);
  return ShowStream(stream, lyrics);
}

const cli::CliCommand kRules("rules", "rules",
                             "read the rule page: KEY VALUE for 17 keys, ready, messages", 0, 0,
                             Rules);
const cli::CliCommand kSearch("search", "search KEYWORD",
                              "search the music site: row SONGID TITLE SINGER, next, prev", 1, 1,
                              Search);
const cli::CliCommand kPage("page", "page URL", "cut one result page like search", 1, 1, Page);
const cli::CliCommand kResolve("resolve", "resolve SONGID",
                               "song number to stream address and lyric lines", 1, 1, Resolve);
const cli::CliCommand kFind("find", "find TITLE [SINGER]",
                            "title lookup: stream address and lyric lines", 1, 2, Find);

}  // namespace
