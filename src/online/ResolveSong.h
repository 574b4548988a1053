// Turns a site song number into a playable stream address and the song's LRC
// text, through the song information request the rule set describes (jsurl,
// jsmp3, jsxcode, jslrc).
//
// Called on the window's thread by the play entry after Rules.IsReady(); makes
// up to two blocking fetches. Expected failures leave both outputs empty; a
// rule pattern the dialect rejects throws lyrano::PatternError (outputs empty).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "online/RuleSet.h"

// What a song information answer says, read with the rule patterns (jsmp3,
// jsxcode, jslrc) after its JSON escapes are decoded. StreamAddress is empty
// unless both the audio address and the access code were found; LyricUrl is
// absolute (a path gets addresses::SiteUrl() in front) or empty.
struct TSongInformation {
  std::string StreamAddress;
  std::string LyricUrl;
};
TSongInformation ReadSongInformation(std::string_view answer, const TRuleValues& rules);

// Both outputs are filled together or both left empty: the lyric text comes
// only with a stream address.
void ResolveSong(int32_t songId, const TRuleValues& rules, std::string& streamAddress,
                 std::string& lyricText, const std::atomic<bool>* cancel = nullptr);
