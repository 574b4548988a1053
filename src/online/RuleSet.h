// The remote rule set: seventeen values read from the rule page that say how to
// scrape the music site, plus the flag that publishes them.
//
// The start-up worker is the only writer. It stores every value first and sets
// `Ready` last with release ordering; readers on the window's thread test
// IsReady() (acquire) before they touch any value. Ready is never cleared.
//
// ReadRulePage is the whole reading of a fetched rule page, shared by the
// worker, lyrano-cli and the tests: values, readiness and the window effects in
// the order they must happen.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

// The values alone, copyable; every field is local code page text, empty until
// loaded. Field names are the rule page's key names.
struct TRuleValues {
  std::string listcat;      // pattern, whole result page -> the list part
  std::string tempOne;      // pattern, list part -> one item (repeated)
  std::string songid;       // pattern, item -> song number
  std::string gequ;         // pattern, item -> title
  std::string geshou;       // pattern, item -> singer
  std::string emptygeshou;  // plain text: an item holding it has no singer
  std::string nextpage;     // pattern, whole result page -> next page link
  std::string prevpage;     // pattern, whole result page -> previous page link
  std::string boxurl;       // template without "http://": 《歌名》 《歌手》 《钥匙》
  std::string encode;       // pattern, lookup answer -> address of the stream's folder
  std::string httpdir;      // text, required but unused
  std::string decode;       // pattern, lookup answer -> stream file name
  std::string lrcid;        // pattern, lookup answer -> lyric number
  std::string jsurl;        // template without "http://": 《歌曲ID》
  std::string jsmp3;        // pattern, song information -> audio address
  std::string jsxcode;      // pattern, song information -> access code
  std::string jslrc;        // pattern, song information -> lyric address

  friend bool operator==(const TRuleValues&, const TRuleValues&) = default;
};

struct TRuleSet : TRuleValues {
  std::atomic<bool> Ready{false};

  bool IsReady() const { return Ready.load(std::memory_order_acquire); }
  // Call after every value has been stored.
  void Publish() { Ready.store(true, std::memory_order_release); }
};

namespace rules {

constexpr int kBuiltInVersion = 1;

struct RuleKey {
  const char* name;
  std::string TRuleValues::*field;
  bool required;  // needed for readiness (all but boxurl)
};

// The seventeen keys in the rule page's order (also the order they are read).
extern const std::array<RuleKey, 17> kRuleKeys;

enum class EffectKind {
  SetCaption,   // text: the new window caption
  ShowMessage,  // text: a modal message box; later effects wait until it is closed
  StartTimer4,  // the rule set is complete: play the command-line file
};

struct Effect {
  EffectKind kind;
  std::string text;  // local code page; empty for StartTimer4
  friend bool operator==(const Effect&, const Effect&) = default;
};

struct RulePageReading {
  TRuleValues values;           // keys not found are empty
  bool ready = false;           // every required value is non-empty
  std::vector<Effect> effects;  // what the window shows, in order
};

// Reads a fetched rule page (`fetched` false: the fetch failed and `page` is
// ignored; nothing is read and nothing is shown). Throws lyrano::PatternError
// only if the matcher gives up on a pathological page.
RulePageReading ReadRulePage(bool fetched, std::string_view page);

// The texts the worker shows, in the local code page.
const std::string& CaptionLoading();  // "Lyrano 初始化中...."
const std::string& CaptionReady();    // "Lyrano"
const std::string& CaptionFailed();   // "Lyrano 初始化失败!!!!!"
const std::string& MessageNoRules();  // "云库获取失败，请检测网络！或升级到最新版本！"
const std::string& MessageNewVersion();  // "您当前使用的并不是最新版本！请及时升级，保证正常使用。"

// Stores a reading into the shared rule set the way the worker does: every
// value but boxurl is replaced, boxurl only when the page gave one; then
// publishes Ready when the reading is ready. A rule set that is already ready
// is left alone (its readers hold no lock).
void ApplyReading(TRuleSet& rules, const RulePageReading& reading);

}  // namespace rules
