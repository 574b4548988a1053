#include "online/ResolveSong.h"

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/Addresses.h"
#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace {

// Group 1 of the first match, trimmed, with the JSON escaping leftovers
// (backslashes and quotes) taken out.
std::string Captured(TRegExpr& re, const std::string& pattern) {
  re.SetExpression("(?i)" + pattern);
  if (!re.Exec()) return {};
  std::string value = funPub::Trim(re.Match(1));
  std::erase(value, '\\');
  std::erase(value, '"');
  return value;
}

}  // namespace

TSongInformation ReadSongInformation(std::string_view answer, const TRuleValues& rules) {
  TRegExpr re;
  re.SetInputString(funPub::DecodeJsonEscapes(answer));
  const std::string audio = Captured(re, rules.jsmp3);
  const std::string xcode = Captured(re, rules.jsxcode);
  TSongInformation info;
  info.LyricUrl = funPub::Trim(Captured(re, rules.jslrc));
  if (!info.LyricUrl.empty() && info.LyricUrl.front() == '/') {
    info.LyricUrl = addresses::SiteUrl() + info.LyricUrl;
  }
  if (!audio.empty() && !xcode.empty()) {
    static const std::string kXcode = "?xcode=";
    info.StreamAddress = audio.find(kXcode) != std::string::npos ? audio : audio + kXcode + xcode;
  }
  return info;
}

void ResolveSong(int32_t songId, const TRuleValues& rules, std::string& streamAddress,
                 std::string& lyricText, const std::atomic<bool>* cancel) {
  streamAddress.clear();
  lyricText.clear();
  if (songId <= 0) return;

  static const std::string placeholder = cp::Utf8ToAnsi("《歌曲ID》");
  const std::string url =
      "http://" + funPub::ReplaceAll(rules.jsurl, placeholder, std::to_string(songId));
  std::string answer;
  if (!IEgetHttp::FetchPage(url, answer, cancel)) return;
  TSongInformation info = ReadSongInformation(answer, rules);

  std::string lyrics;
  if (!info.LyricUrl.empty() && !IEgetHttp::FetchPage(info.LyricUrl, lyrics, cancel)) {
    lyrics.clear();
  }
  if (info.StreamAddress.empty()) return;
  streamAddress = std::move(info.StreamAddress);
  lyricText = std::move(lyrics);
}
