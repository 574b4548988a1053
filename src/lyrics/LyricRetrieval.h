// Looks a song up by title and singer on the title lookup service the rule set
// describes (boxurl, encode, decode, lrcid): one answer gives the stream
// address and the lyric number, whose LRC file is then fetched from the lyric
// server (addresses::LyricUrl()).
//
// Called on the window's thread by the play entry after Rules.IsReady(); makes
// up to two blocking fetches. Both outputs are filled together, only when a
// stream address was found. A lyric number that is not an integer throws
// lyrano::ConvertError, a rejected rule pattern lyrano::PatternError; the
// outputs are then empty.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "online/RuleSet.h"

namespace lyrics {

// The lookup address for one call: boxurl with 《歌名》, 《歌手》 and 《钥匙》
// replaced (title and singer are local code page text, sent as encoded UTF-8;
// `random` in [0, 1) for 《钥匙》), "http://" in front.
std::string LookupAddress(std::string_view boxurl, std::string_view title, std::string_view singer,
                          double random);

// A fresh number in [0, 1) from a generator seeded from the clock.
double FreshRandom();
// General format with up to 15 significant digits (0.349824613802117).
std::string FormatRandom(double random);

// "/bdlrc/" + id / 100 + "/" + id + ".lrc" after the lyric server's address.
// Throws lyrano::ConvertError when `id` is not an integer.
std::string LyricAddress(std::string_view id);

// What a lookup answer says, read with the rule patterns encode, decode and
// lrcid: the stream address (the folder of encode's address followed by
// decode's file name; empty unless both were found) and the lyric number
// as found (nullopt when the answer gave none or "0"; not checked here).
struct TLookupAnswer {
  std::string StreamAddress;
  std::optional<std::string> LyricId;
};
TLookupAnswer ReadLookupAnswer(std::string_view page, const TRuleValues& rules);

}  // namespace lyrics

void FindSongAndLyric(std::string_view title, std::string_view singer, const TRuleValues& rules,
                      std::string& lyricText, std::string& streamAddress,
                      const std::atomic<bool>* cancel = nullptr);
