#include "online/RuleSet.h"

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/RegExpr.h"

namespace rules {

const std::array<RuleKey, 17> kRuleKeys = {{
    {"listcat", &TRuleValues::listcat, true},
    {"tempOne", &TRuleValues::tempOne, true},
    {"songid", &TRuleValues::songid, true},
    {"gequ", &TRuleValues::gequ, true},
    {"geshou", &TRuleValues::geshou, true},
    {"emptygeshou", &TRuleValues::emptygeshou, true},
    {"nextpage", &TRuleValues::nextpage, true},
    {"prevpage", &TRuleValues::prevpage, true},
    {"boxurl", &TRuleValues::boxurl, false},
    {"encode", &TRuleValues::encode, true},
    {"httpdir", &TRuleValues::httpdir, true},
    {"decode", &TRuleValues::decode, true},
    {"lrcid", &TRuleValues::lrcid, true},
    {"jsurl", &TRuleValues::jsurl, true},
    {"jsmp3", &TRuleValues::jsmp3, true},
    {"jsxcode", &TRuleValues::jsxcode, true},
    {"jslrc", &TRuleValues::jslrc, true},
}};

// Source literals are UTF-8; the program's text is in the local code page.
#define ANSI_LITERAL(name, utf8)                          \
  const std::string& name() {                             \
    static const std::string text = cp::Utf8ToAnsi(utf8); \
    return text;                                          \
  }

ANSI_LITERAL(CaptionLoading, "Lyrano 初始化中....")
ANSI_LITERAL(CaptionReady, "Lyrano")
ANSI_LITERAL(CaptionFailed, "Lyrano 初始化失败!!!!!")
ANSI_LITERAL(MessageNoRules, "云库获取失败，请检测网络！或升级到最新版本！")
ANSI_LITERAL(MessageNewVersion, "您当前使用的并不是最新版本！请及时升级，保证正常使用。")
#undef ANSI_LITERAL

namespace {

const std::string& RegionPattern() {
  static const std::string text =
      cp::Utf8ToAnsi("(?i)【我的正则区域开始】(.+?)【我的正则区域结束】");
  return text;
}

const std::string& OpenBracket() {
  static const std::string text = cp::Utf8ToAnsi("=【(.+?)】");
  return text;
}

const std::string& VersionPattern() {
  static const std::string text = cp::Utf8ToAnsi("(?i)ver=【(\\d+)】");
  return text;
}

}  // namespace

RulePageReading ReadRulePage(bool fetched, std::string_view page) {
  RulePageReading out;
  if (!fetched) return out;

  TRegExpr re;
  re.SetInputString(page);
  re.SetExpression(RegionPattern());
  const bool haveRegion = re.Exec();
  // Without the region the entries are not read, but the version entry is
  // still looked for on the whole page.
  std::string text = haveRegion ? re.Match(1) : std::string(page);

  if (haveRegion) {
    re.SetInputString(text);
    for (const RuleKey& key : kRuleKeys) {
      re.SetExpression("(?i)" + std::string(key.name) + OpenBracket());
      if (re.Exec()) out.values.*key.field = funPub::DecodeHtmlEntities(re.Match(1));
    }
  }

  out.ready = true;
  for (const RuleKey& key : kRuleKeys) {
    if (key.required && (out.values.*key.field).empty()) out.ready = false;
  }
  if (out.ready) {
    out.effects.push_back({EffectKind::SetCaption, CaptionReady()});
    out.effects.push_back({EffectKind::StartTimer4, {}});
  } else {
    out.effects.push_back({EffectKind::ShowMessage, MessageNoRules()});
    out.effects.push_back({EffectKind::SetCaption, CaptionFailed()});
  }

  re.SetInputString(text);
  re.SetExpression(VersionPattern());
  if (re.Exec()) {
    int32_t version = 0;
    // A number beyond 32 bits is not a version this build can compare.
    if (funPub::TryStrToInt(re.Match(1), version) && version > kBuiltInVersion) {
      out.effects.push_back({EffectKind::ShowMessage, MessageNewVersion()});
    }
  }
  return out;
}

void ApplyReading(TRuleSet& rules, const RulePageReading& reading) {
  // Published values are read without locks: they never change again.
  if (rules.IsReady()) return;
  for (const RuleKey& key : kRuleKeys) {
    const std::string& value = reading.values.*key.field;
    if (key.field == &TRuleValues::boxurl && value.empty()) continue;
    rules.*key.field = value;
  }
  if (reading.ready) rules.Publish();
}

}  // namespace rules
