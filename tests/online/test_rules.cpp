// Reading the rule page: values, readiness, and the window effects in order.
#include <gtest/gtest.h>

#include "online/OnlineFixtures.h"
#include "online/RuleSet.h"

namespace {

using onlinetest::A;
using rules::Effect;
using rules::EffectKind;

rules::RulePageReading Read(const std::string& utf8Page) {
  return rules::ReadRulePage(true, A(utf8Page));
}

const Effect kReadyCaption{EffectKind::SetCaption, rules::CaptionReady()};
const Effect kTimer4{EffectKind::StartTimer4, {}};
const Effect kNoRules{EffectKind::ShowMessage, rules::MessageNoRules()};
const Effect kFailedCaption{EffectKind::SetCaption, rules::CaptionFailed()};
const Effect kNewVersion{EffectKind::ShowMessage, rules::MessageNewVersion()};

TEST(RulePage, CompletePageIsReadyWithEveryValueDecoded) {
  const TRuleValues v = onlinetest::SiteRules();
  const auto r = Read(onlinetest::RulePage(v));
  EXPECT_TRUE(r.ready);
  EXPECT_EQ(r.values, v);  // entities in the page are back to < > " &
  EXPECT_EQ(r.effects, (std::vector<Effect>{kReadyCaption, kTimer4}));
}

TEST(RulePage, VersionMessageFollowsTheOutcome) {
  const TRuleValues v = onlinetest::SiteRules();
  struct Case {
    const char* ver;
    bool region;
    std::vector<Effect> effects;
  };
  const Case cases[] = {
      {"2", true, {kReadyCaption, kTimer4, kNewVersion}},
      {"0001", true, {kReadyCaption, kTimer4}},
      {"0", true, {kReadyCaption, kTimer4}},
      {"99999999999", true, {kReadyCaption, kTimer4}},  // beyond 32 bits: no message
      {"", true, {kReadyCaption, kTimer4}},
      // Without the markers nothing is read, but ver on the page still counts.
      {"2", false, {kNoRules, kFailedCaption, kNewVersion}},
      {"1", false, {kNoRules, kFailedCaption}},
  };
  for (const Case& c : cases) {
    const auto r = Read(onlinetest::RulePage(v, c.ver, c.region));
    EXPECT_EQ(r.ready, c.region) << c.ver;
    EXPECT_EQ(r.effects, c.effects) << "ver " << c.ver << " region " << c.region;
    if (!c.region) {
      EXPECT_EQ(r.values, TRuleValues{});
    }
  }
}

TEST(RulePage, EveryKeyButBoxurlIsRequired) {
  for (const rules::RuleKey& key : rules::kRuleKeys) {
    TRuleValues v = onlinetest::SiteRules();
    v.*key.field = "";
    const auto r = Read(onlinetest::RulePage(v, "2"));
    if (key.field == &TRuleValues::geshou) {
      // Its name is found inside the emptygeshou entry.
      EXPECT_TRUE(r.ready);
      EXPECT_EQ(r.values.geshou, v.emptygeshou);
      continue;
    }
    EXPECT_EQ(r.ready, !key.required) << key.name;
    if (key.required) {
      EXPECT_EQ(r.effects, (std::vector<Effect>{kNoRules, kFailedCaption, kNewVersion}))
          << key.name;
    }
  }
  // An entry with an empty value does not count as present either.
  const auto r = Read("【我的正则区域开始】listcat=【】【我的正则区域结束】");
  EXPECT_FALSE(r.ready);
}

TEST(RulePage, FailedFetchShowsNothing) {
  const auto r = rules::ReadRulePage(false, A(onlinetest::RulePage(onlinetest::SiteRules())));
  EXPECT_FALSE(r.ready);
  EXPECT_TRUE(r.effects.empty());
  EXPECT_EQ(r.values, TRuleValues{});
}

TEST(RulePage, KeysAreFoundAsCaseInsensitiveSubstrings) {
  // geshou's search finds the emptygeshou entry when that one stands first.
  auto r = Read(
      "【我的正则区域开始】emptygeshou=【none】 geshou=【<s>(.+?)</s>】 LISTCAT=【<ul>(.+?)</ul>】"
      "【我的正则区域结束】");
  EXPECT_EQ(r.values.geshou, "none");
  EXPECT_EQ(r.values.emptygeshou, "none");
  EXPECT_EQ(r.values.listcat, "<ul>(.+?)</ul>");

  // The first entry of a key wins; values keep their blanks and span lines.
  r = Read("【我的正则区域开始】gequ=【 a\r\nb 】 gequ=【second】【我的正则区域结束】");
  EXPECT_EQ(r.values.gequ, " a\r\nb ");
}

TEST(RulePage, EntitiesAreDecodedOnce) {
  const auto r = Read(
      "【我的正则区域开始】jsurl=【a&amp;amp;b】 jsmp3=【&quot;mp3&quot;&nbsp;】"
      "jslrc=【中文&lt;值&gt;】【我的正则区域结束】");
  EXPECT_EQ(r.values.jsurl, "a&amp;b");
  EXPECT_EQ(r.values.jsmp3, "\"mp3\" ");
  EXPECT_EQ(r.values.jslrc, A("中文<值>"));
}

TEST(RulePage, OnlyTheFirstRegionCounts) {
  TRuleValues first = onlinetest::SiteRules();
  TRuleValues second = first;
  second.listcat = "other";
  const std::string page = onlinetest::RulePage(first, "1") + onlinetest::RulePage(second, "5");
  const auto r = Read(page);
  EXPECT_EQ(r.values.listcat, first.listcat);
  EXPECT_EQ(r.effects, (std::vector<Effect>{kReadyCaption, kTimer4}));  // ver=5 is outside
}

TEST(RulePage, ApplyingKeepsBoxurlAndPublishesOnce) {
  TRuleSet rules;
  rules.boxurl = "kept";
  rules.listcat = "stale";
  TRuleValues v = onlinetest::SiteRules();
  v.boxurl.clear();
  auto reading = Read(onlinetest::RulePage(v));
  ASSERT_TRUE(reading.ready);
  rules::ApplyReading(rules, reading);
  EXPECT_TRUE(rules.IsReady());
  EXPECT_EQ(rules.boxurl, "kept");
  EXPECT_EQ(rules.listcat, v.listcat);

  // A published rule set is read without locks, so it never changes again.
  reading.values.listcat = "changed";
  rules::ApplyReading(rules, reading);
  EXPECT_EQ(rules.listcat, v.listcat);

  // A failed reading clears the values but not boxurl, and stays unpublished.
  TRuleSet failed;
  failed.boxurl = "kept";
  failed.jsurl = "stale";
  rules::ApplyReading(failed, rules::ReadRulePage(false, ""));
  EXPECT_FALSE(failed.IsReady());
  EXPECT_EQ(failed.jsurl, "");
  EXPECT_EQ(failed.boxurl, "kept");
}

}  // namespace
